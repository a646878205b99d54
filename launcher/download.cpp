// The download of one file into its temporary file, resumed from the offset the
// temporary file has reached.
#include <cstdio>
#include <windows.h>
#include <commctrl.h>

#include "http.h"
#include "launcher_ids.h"
#include "manifest.h"
#include "response.h"
#include "textutil.h"
#include "updater.h"
#include "version.h"

namespace {

#define STATUS_WHOLE "HTTP/1.1 200 OK"
#define STATUS_PARTIAL "HTTP/1.1 206 Partial Content"

// A server that does not answer in time is one that cannot be reached; what
// arrived stays in the temporary file for the next start to resume.
const HTTP_CODES g_downloadCodes = {DOWNLOAD_WINSOCK,     DOWNLOAD_SOCKET,    DOWNLOAD_CONNECT, DOWNLOAD_RECV_COUNT,
                                    DOWNLOAD_RECV_FAILED, DOWNLOAD_CANCELLED, DOWNLOAD_CONNECT};

struct DOWNLOAD_STATE {
    CResponseReader *pReader;
    const char *pszExpectedStatus;
    bool bStatusChecked;
    const char *pszTempPath;
    FILE *pFile;         // the temporary file once the body begins (null if it cannot be opened)
    long long cbCounted; // body bytes received
    long long cbWanted;  // size - offset: what the progress bar counts towards
    int nLastPos;        // the position last shown
};

void ShowProgress(DOWNLOAD_STATE *pState)
{
    // No progress to show when nothing (or less than nothing) is wanted.
    if (pState->cbWanted <= 0)
        return;
    long long nPos = pState->cbCounted * 100 / pState->cbWanted;
    if (nPos > 100)
        nPos = 100;
    if (nPos == pState->nLastPos)
        return;
    pState->nLastPos = static_cast<int>(nPos);
    SendDlgItemMessageA(g_hDlgStartup, IDC_STARTUP_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(nPos), 0);
}

void AppendBody(DOWNLOAD_STATE *pState, const char *pData, int cbData)
{
    if (cbData <= 0)
        return;
    // Without the file the transfer runs on; the size check after it fails.
    if (pState->pFile)
        std::fwrite(pData, 1, static_cast<size_t>(cbData), pState->pFile);
    pState->cbCounted += cbData;
}

int OnDownloadChunk(void *pContext, const char *pChunk, int cbChunk)
{
    DOWNLOAD_STATE *pState = static_cast<DOWNLOAD_STATE *>(pContext);
    CResponseReader *pReader = pState->pReader;
    if (pReader->HeaderDone()) {
        AppendBody(pState, pChunk, cbChunk);
    } else {
        int nBody = pReader->ReadHeader(pChunk, cbChunk);
        if (!pState->bStatusChecked && pReader->StatusLineDone())
            return DOWNLOAD_BAD_STATUS; // the line callback accepts the right status only
        if (nBody >= 0) {
            pState->pFile = std::fopen(pState->pszTempPath, "ab");
            AppendBody(pState, pChunk + nBody, cbChunk - nBody);
        }
    }
    ShowProgress(pState);
    return 0;
}

void OnStatusLine(void *pContext, int nLine, const char *pszLine)
{
    DOWNLOAD_STATE *pState = static_cast<DOWNLOAD_STATE *>(pContext);
    if (nLine == 0 && StartsWithNoCase(pszLine, pState->pszExpectedStatus))
        pState->bStatusChecked = true;
}

} // namespace

int DownloadFile(const char *pszRemoteName, const char *pszTempPath, int nSize, int nOffset)
{
    char szStatus[32 + 2 * ENTRY_TEXT_SIZE];
    std::snprintf(szStatus, sizeof szStatus, "Downloading: %s", pszRemoteName);
    SetDlgItemTextA(g_hDlgStartup, IDC_STARTUP_STATUS, szStatus);
    SendDlgItemMessageA(g_hDlgStartup, IDC_STARTUP_PROGRESS, PBM_SETPOS, 0, 0);

    char szFileVersion[VERSION_TEXT_SIZE];
    char szProductName[VERSION_TEXT_SIZE];
    OwnVersionStrings(szFileVersion, szProductName);
    char szRequestLine[REQUEST_SIZE];
    char szRequest[REQUEST_SIZE];
    int n = std::snprintf(szRequestLine, sizeof szRequestLine, "GET /download/%s HTTP/1.0", pszRemoteName);
    if (n < 0 || n >= static_cast<int>(sizeof szRequestLine) ||
        !FormatRequest(szRequest, szRequestLine, szProductName, szFileVersion, nOffset))
        return DOWNLOAD_BAD_STATUS;

    DOWNLOAD_STATE state = {NULL, nOffset > 0 ? STATUS_PARTIAL : STATUS_WHOLE, false, pszTempPath, NULL, 0,
                            static_cast<long long>(nSize) - nOffset, 0};
    CResponseReader reader(OnStatusLine, &state);
    state.pReader = &reader;
    int nResult = HttpExchange(szRequest, g_downloadCodes, &g_cCancel, OnDownloadChunk, &state);
    // A response that ended before its status line was complete is judged on what came.
    if (nResult == 0 && !state.bStatusChecked) {
        OnStatusLine(&state, 0, reader.CurrentLine());
        if (!state.bStatusChecked)
            nResult = DOWNLOAD_BAD_STATUS;
    }
    if (state.pFile)
        std::fclose(state.pFile);
    return nResult;
}
