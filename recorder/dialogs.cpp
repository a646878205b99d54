// The Enter-URL and About dialogs.
#include "recorder.h"

INT_PTR CALLBACK UrlDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (uMsg) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            GetDlgItemTextA(hDlg, IDC_URL, g_szURL, TEXT_BUFFER_SIZE);
            DeriveClipName();
            EndDialog(hDlg, 1);
            return TRUE;
        case IDCANCEL:
            g_szURL[0] = '\0';
            EnableMenuItem(g_hMenu, ID_FILE_OPENURL, MF_BYCOMMAND | MF_ENABLED);
            EnableMenuItem(g_hMenu, ID_FILE_CLOSE, MF_BYCOMMAND | MF_GRAYED);
            EnableMenuItem(g_hMenu, ID_CONTROL_RESTART, MF_BYCOMMAND | MF_GRAYED);
            EndDialog(hDlg, 0);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK AboutDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    if (uMsg == WM_INITDIALOG)
        return TRUE;
    if (uMsg == WM_COMMAND && LOWORD(wParam) == IDOK) {
        EndDialog(hDlg, 1);
        return TRUE;
    }
    return FALSE;
}
