// The launcher's start-up: the update policy, the reaction to the start-up
// dialog's result, and the hand-off to the recorder library.
#ifndef TARNWICK_STARTUP_H
#define TARNWICK_STARTUP_H

#include <windows.h>

#define RECORDER_LIBRARY "TarnwickDll.dll"
#define RECORDER_ENTRY "Main"
#define LAUNCHER_CAPTION "Tarnwick"

// Exit codes of the launcher's own.
#define EXIT_NOT_ALL_FILES (-1)  // files still missing or not current after a download
#define EXIT_NO_MAIN (-7)        // the recorder library has no Main
#define EXIT_NO_RECORDER (-8)    // the recorder library could not be loaded

// The recorder library's entry: instance handle, command line, show command.
typedef int(WINAPI *RECORDER_MAIN)(HINSTANCE hInstance, LPSTR lpCmdLine, int nCmdShow);

// Applies the update policy of the settings store; writes the policy back (or
// today's date for the daily check) and returns true when a check is due.
bool UpdateCheckDue();

// Acts on the start-up dialog's result: returns true when the recorder is to
// start, otherwise false with the exit code, after telling the user why.
bool ActOnStartupResult(INT_PTR nResult, int *pnExitCode);

// Loads the recorder library and runs its Main; returns the exit code.
int StartRecorder(HINSTANCE hInstance, LPSTR lpCmdLine, int nCmdShow);

#endif
