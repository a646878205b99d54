// The Options dialog: the save directory and the update policy.
#include "recorder.h"
#include "dirpath.h"
#include "settings.h"

#include <objbase.h>
#include <shlobj.h>
#include <string.h>

// The policies in the order the list shows them.
static const char *const g_pszPolicies[] = {POLICY_EVERY_START, POLICY_NEXT_START, POLICY_FIRST_START_DAILY,
                                            POLICY_NEVER};

// Lets the user pick a folder and puts its path into the directory box.
static void BrowseForDirectory(HWND hDlg)
{
    BROWSEINFOA bi;
    memset(&bi, 0, sizeof bi);
    bi.hwndOwner = NULL;
    bi.pidlRoot = NULL;
    bi.lpszTitle = "Pick a Directory";
    bi.ulFlags = BIF_EDITBOX | BIF_VALIDATE | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE pidl = SHBrowseForFolderA(&bi);
    if (pidl == NULL)
        return;
    char szPath[MAX_PATH];
    if (SHGetPathFromIDListA(pidl, szPath))
        SetDlgItemTextA(hDlg, IDC_SAVEDIR, szPath);
    IMalloc *pMalloc = NULL;
    if (SUCCEEDED(SHGetMalloc(&pMalloc))) {
        pMalloc->Free(pidl);
        pMalloc->Release();
    }
}

INT_PTR CALLBACK OptionsDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (uMsg) {
    case WM_INITDIALOG:
        SetDlgItemTextA(hDlg, IDC_SAVEDIR, g_szSaveDirectory);
        for (const char *pszPolicy : g_pszPolicies)
            SendDlgItemMessageA(hDlg, IDC_AUTOUPDATE, CB_ADDSTRING, 0, (LPARAM)pszPolicy);
        SendDlgItemMessageA(hDlg, IDC_AUTOUPDATE, CB_SELECTSTRING, (WPARAM)-1, (LPARAM)g_szAutoUpdate);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_BROWSE:
            BrowseForDirectory(hDlg);
            return TRUE;
        case IDOK: {
            GetDlgItemTextA(hDlg, IDC_SAVEDIR, g_szSaveDirectory, TEXT_BUFFER_SIZE);
            RemoveTrailingSeparator(g_szSaveDirectory);
            WriteSetting(g_szSaveDirectory, SETTING_SAVE_DIRECTORY);
            // No selection stores an empty policy.
            g_szAutoUpdate[0] = '\0';
            LRESULT lSel = SendDlgItemMessageA(hDlg, IDC_AUTOUPDATE, CB_GETCURSEL, 0, 0);
            if (lSel != CB_ERR)
                GetDlgItemTextA(hDlg, IDC_AUTOUPDATE, g_szAutoUpdate, TEXT_BUFFER_SIZE);
            WriteSetting(g_szAutoUpdate, SETTING_AUTO_UPDATE);
            EndDialog(hDlg, 1);
            return TRUE;
        }
        case IDCANCEL:
            EndDialog(hDlg, 0);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}
