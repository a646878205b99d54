// The start-up dialog's two worker threads: the update check, which ends with
// the download prompt or a result, and the download of every listed file.
#include <cstdio>
#include <windows.h>

#include "digest.h"
#include "launcher_ids.h"
#include "manifest.h"
#include "startup_dialog.h"
#include "textutil.h"
#include "updater.h"
#include "workdir.h"

namespace {

#define CHECKING_TEXT "Checking for updates..."
#define CALCULATING_TEXT "Updates found, calculating downloadsize..."
#define PROMPT_FORMAT "Some files are out of date or missing and need to be updated.\r\nPress OK to start download (%d bytes)"

// Hands a result to the dialog and waits until it has been handled.
void SendResult(HWND hDlg, int nResult)
{
    SendMessageA(hDlg, WM_COMMAND, IDOK, static_cast<LPARAM>(nResult));
}

// Fetches and installs the file of one manifest entry. Returns true when it is in
// place (or has nothing to fetch), otherwise false with the result that ends the
// download.
bool DownloadEntry(const char *pszManifest, int nEntry, const MANIFEST_ENTRY &entry, int *pnResult)
{
    if (!entry.bPlain) {
        *pnResult = DOWNLOAD_BAD_STATUS;
        return false;
    }
    if (!FileExists(entry.szTempPath)) {
        // Current: the download-size computation made no temporary file for it.
        // A file that is missing all the same had nowhere to be downloaded to.
        if (FileExists(entry.szPath))
            return true;
        *pnResult = DOWNLOAD_BAD_SIZE;
        return false;
    }

    int nSize = DecimalToInt(entry.szSize);
    int nResult = DownloadFile(entry.szTempName, entry.szTempPath, nSize, FileSize32(entry.szTempPath));
    if (nResult != DOWNLOAD_DONE) {
        // Cancelled: the recorder starts with the files in place.
        *pnResult = nResult == DOWNLOAD_CANCELLED ? STARTUP_NOTHING_TO_DO : nResult;
        return false;
    }

    int nReceived = FileSize32(entry.szTempPath);
    char szReceived[16];
    std::snprintf(szReceived, sizeof szReceived, "%d", nReceived);
    WriteEntryKey(pszManifest, nEntry, KEY_DOWNLOADED_SIZE, szReceived);
    if (nReceived != nSize) {
        *pnResult = DOWNLOAD_BAD_SIZE;
        return false;
    }
    if (!FileDigestMatches(entry.szTempPath, entry.szMd5)) {
        WriteEntryKey(pszManifest, nEntry, KEY_DOWNLOADED_SIZE, NULL);
        DeleteFileA(entry.szTempPath);
        *pnResult = DOWNLOAD_BAD_DIGEST;
        return false;
    }
    ReplaceWithTemporary(entry.szPath, entry.szTempPath);
    return true;
}

} // namespace

void __cdecl UpdateCheckThread(void *pArg)
{
    HWND hDlg = static_cast<HWND>(pArg);
    SetDlgItemTextA(hDlg, IDC_STARTUP_STATUS, CHECKING_TEXT);
    int nResult = CheckForUpdates();
    if (nResult <= 0) {
        SendResult(hDlg, nResult);
        return;
    }
    SetDlgItemTextA(hDlg, IDC_STARTUP_STATUS, CALCULATING_TEXT);
    int nTotal = ComputeDownloadSize();
    if (nTotal > 0) {
        char szPrompt[256];
        std::snprintf(szPrompt, sizeof szPrompt, PROMPT_FORMAT, nTotal);
        SetDlgItemTextA(hDlg, IDC_STARTUP_STATUS, szPrompt);
        // The dialog now waits for the user.
        ShowStartupControl(hDlg, IDC_STARTUP_OK, true);
        return;
    }
    // 0: start with the files as they are; -10 or a refused manifest: report it.
    SendResult(hDlg, nTotal);
}

void __cdecl DownloadThread(void *pArg)
{
    HWND hDlg = static_cast<HWND>(pArg);
    char szManifest[WORK_PATH_SIZE];
    if (!WorkPath(MANIFEST_NAME, szManifest)) {
        SendResult(hDlg, DOWNLOAD_BAD_STATUS);
        return;
    }
    MANIFEST_ENTRY entry;
    for (int nEntry = 2; ReadManifestEntry(szManifest, nEntry, "0", "0", &entry); ++nEntry) {
        int nResult = 0;
        if (!DownloadEntry(szManifest, nEntry, entry, &nResult)) {
            SendResult(hDlg, nResult);
            return;
        }
    }
    SendResult(hDlg, STARTUP_DOWNLOADED);
}
