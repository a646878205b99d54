#include "startup_dialog.h"

#include <commctrl.h>
#include <process.h>

#include "http.h"
#include "launcher_ids.h"
#include "updater.h"

// The OK button's marker in its window user data: 0 while OK starts the download,
// 1 once OK finishes the dialog, 2 while the download runs (a click that was on
// its way before OK was hidden starts no second download).
#define OK_STARTS_DOWNLOAD 0
#define OK_FINISHES 1
#define OK_DOWNLOADING 2

HWND g_hDlgStartup;
std::atomic<char> g_cCancel{0};

namespace {

// The handles of the check and the download thread, kept so that the launcher can
// wait for their end once the dialog is over. Dialog thread only.
HANDLE g_hCheckThread;
HANDLE g_hDownloadThread;

unsigned __stdcall CheckThreadEntry(void *pArg)
{
    UpdateCheckThread(pArg);
    return 0;
}

unsigned __stdcall DownloadThreadEntry(void *pArg)
{
    DownloadThread(pArg);
    return 0;
}

void WaitForWorker(HANDLE *phThread)
{
    if (!*phThread)
        return;
    WaitForSingleObject(*phThread, INFINITE);
    CloseHandle(*phThread);
    *phThread = NULL;
}

// Starts a worker with the dialog handle as its argument; its handle goes to *phThread.
// A handle still there is that of an earlier dialog's worker, which has ended.
void StartWorker(unsigned(__stdcall *pEntry)(void *), HWND hDlg, HANDLE *phThread)
{
    WaitForWorker(phThread);
    *phThread = reinterpret_cast<HANDLE>(_beginthreadex(NULL, 0, pEntry, hDlg, 0, NULL));
}

} // namespace

void WaitForStartupWorkers()
{
    WaitForWorker(&g_hCheckThread);
    WaitForWorker(&g_hDownloadThread);
}

void ShowStartupControl(HWND hDlg, int nId, bool bShow)
{
    SetWindowPos(GetDlgItem(hDlg, nId), HWND_BOTTOM, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | (bShow ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

INT_PTR CALLBACK StartupDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_INITDIALOG) {
        g_hDlgStartup = hDlg;
        SendDlgItemMessageA(hDlg, IDC_STARTUP_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        StartWorker(CheckThreadEntry, hDlg, &g_hCheckThread);
        return TRUE;
    }
    if (uMsg != WM_COMMAND)
        return FALSE;

    switch (LOWORD(wParam)) {
    case IDOK: // a worker's result
        if (lParam == STARTUP_DOWNLOADED) {
            SetDlgItemTextA(hDlg, IDC_STARTUP_STATUS, STARTUP_DONE_TEXT);
            SetWindowLongPtrA(GetDlgItem(hDlg, IDC_STARTUP_OK), GWLP_USERDATA, OK_FINISHES);
            ShowStartupControl(hDlg, IDC_STARTUP_OK, true);
            ShowStartupControl(hDlg, IDCANCEL, false);
            ShowStartupControl(hDlg, IDC_STARTUP_PROGRESS, false);
        } else {
            EndDialog(hDlg, lParam);
        }
        return TRUE;
    case IDCANCEL:
        // The running download stops at once, even while it waits for a server
        // that has fallen silent; the dialog stays open until the download thread
        // reports.
        g_cCancel.store(1);
        CancelHttpExchange();
        return TRUE;
    case IDC_STARTUP_OK:
        switch (GetWindowLongPtrA(GetDlgItem(hDlg, IDC_STARTUP_OK), GWLP_USERDATA)) {
        case OK_FINISHES:
            EndDialog(hDlg, STARTUP_DOWNLOADED);
            break;
        case OK_STARTS_DOWNLOAD:
            SetWindowLongPtrA(GetDlgItem(hDlg, IDC_STARTUP_OK), GWLP_USERDATA, OK_DOWNLOADING);
            ShowStartupControl(hDlg, IDC_STARTUP_OK, false);
            ShowStartupControl(hDlg, IDCANCEL, true);
            ShowStartupControl(hDlg, IDC_STARTUP_PROGRESS, true);
            StartWorker(DownloadThreadEntry, hDlg, &g_hDownloadThread);
            break;
        }
        return TRUE;
    default:
        return FALSE;
    }
}
