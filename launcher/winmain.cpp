// The launcher program: checks for updates when the policy says so, then hands
// its command line to the recorder library.
#include <windows.h>
#include <commctrl.h>

#include "launcher_ids.h"
#include "startup.h"
#include "startup_dialog.h"
#include "updater.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR lpCmdLine, int nCmdShow)
{
    g_hInstance = hInstance;
    if (UpdateCheckDue()) {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&icc);
        INT_PTR nResult = DialogBoxParamA(hInstance, MAKEINTRESOURCEA(IDD_STARTUP), GetDesktopWindow(),
                                          StartupDlgProc, 0);
        WaitForStartupWorkers();
        int nExitCode = 0;
        if (!ActOnStartupResult(nResult, &nExitCode))
            return nExitCode;
    }
    return StartRecorder(hInstance, lpCmdLine, nCmdShow);
}
