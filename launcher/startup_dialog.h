// The start-up dialog: runs the update check and the download on worker threads,
// shows their progress, asks for the download, and ends with the update's result.
#ifndef TARNWICK_STARTUP_DIALOG_H
#define TARNWICK_STARTUP_DIALOG_H

#include <windows.h>

// Dialog results besides the engine's failure codes.
#define STARTUP_NOTHING_TO_DO 0 // nothing to update, or the download was cancelled
#define STARTUP_DOWNLOADED 1    // files were downloaded and the user pressed OK

#define STARTUP_DONE_TEXT "Download completed succesfully!, click 'OK' to start the program "

// Shows or hides one of the dialog's controls, keeping its place and size.
void ShowStartupControl(HWND hDlg, int nId, bool bShow);

INT_PTR CALLBACK StartupDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

// Waits until the worker threads the dialog started have ended. Call after the
// dialog, whose end means each has delivered its last result.
void WaitForStartupWorkers();

// The worker threads, started with the dialog handle as their argument.
void __cdecl UpdateCheckThread(void *pArg);
void __cdecl DownloadThread(void *pArg);

#endif
