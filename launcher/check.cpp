// The update check: asks the update server for its manifest version, stores a
// newer manifest, and otherwise verifies the local files against the manifest.
#include <cstdio>
#include <cstring>
#include <windows.h>

#include "digest.h"
#include "http.h"
#include "manifest.h"
#include "response.h"
#include "textutil.h"
#include "updater.h"
#include "version.h"
#include "workdir.h"

namespace {

#define STATUS_OK "HTTP/1.1 200 OK"
#define STATUS_HTTP11 "HTTP/1.1"
#define VERSION_HEADER "X-App_version:"
// The new manifest is received beside the old one and replaces it only once it is complete.
#define MANIFEST_INCOMING "files.ini.new"

// A server that does not answer in time is one that cannot be reached.
const HTTP_CODES g_checkCodes = {CHECK_WINSOCK,     CHECK_SOCKET, CHECK_CONNECT, CHECK_RECV_COUNT,
                                 CHECK_RECV_FAILED, 0,            CHECK_CONNECT};

struct CHECK_STATE {
    CResponseReader *pReader;
    long long nLocalVersion;
    int nResult;     // CHECK_UPDATE_DUE or CHECK_CURRENT once the version header was read, else -1
    int nStatus;     // 0 once the status line was accepted, else its failure code, or 1 while unread
    const char *pszIncomingPath;
    FILE *pIncoming; // the new manifest while its body arrives
    bool bFailed;    // the new manifest could not be written
};

int StatusCode(const char *pszStatusLine)
{
    if (StartsWithNoCase(pszStatusLine, STATUS_OK))
        return 0;
    return StartsWithNoCase(pszStatusLine, STATUS_HTTP11) ? CHECK_NOT_OK : CHECK_NOT_HTTP;
}

void OnHeaderLine(void *pContext, int nLine, const char *pszLine)
{
    CHECK_STATE *pState = static_cast<CHECK_STATE *>(pContext);
    if (nLine == 0) {
        pState->nStatus = StatusCode(pszLine);
    } else if (pState->nResult < 0 && StartsWithNoCase(pszLine, VERSION_HEADER)) {
        // The value follows the colon after one space.
        const char *pszValue = pszLine + std::strlen(VERSION_HEADER);
        if (*pszValue)
            ++pszValue;
        long long nServerVersion = VersionNumber(pszValue);
        pState->nResult = nServerVersion > pState->nLocalVersion ? CHECK_UPDATE_DUE : CHECK_CURRENT;
    }
}

void WriteManifestBody(CHECK_STATE *pState, const char *pData, int cbData)
{
    if (pState->pIncoming && cbData > 0 &&
        std::fwrite(pData, 1, static_cast<size_t>(cbData), pState->pIncoming) != static_cast<size_t>(cbData))
        pState->bFailed = true;
}

int OnCheckChunk(void *pContext, const char *pChunk, int cbChunk)
{
    CHECK_STATE *pState = static_cast<CHECK_STATE *>(pContext);
    CResponseReader *pReader = pState->pReader;
    if (pReader->HeaderDone()) {
        WriteManifestBody(pState, pChunk, cbChunk);
        return 0;
    }
    int nBody = pReader->ReadHeader(pChunk, cbChunk);
    if (pState->nStatus < 0)
        return pState->nStatus;
    if (nBody < 0)
        return 0;
    // A success without the version header gives no answer to the check.
    if (pState->nResult < 0)
        return CHECK_NOT_OK;
    if (pState->nResult == CHECK_UPDATE_DUE) {
        pState->pIncoming = std::fopen(pState->pszIncomingPath, "wb");
        if (!pState->pIncoming)
            pState->bFailed = true;
        WriteManifestBody(pState, pChunk + nBody, cbChunk - nBody);
    }
    return 0;
}

// Verifies every listed file: a missing file or one whose digest differs makes an
// update due. Entries naming something other than a plain file are left alone and
// make an update due; the download-size computation then rejects the manifest.
int VerifyLocalFiles(const char *pszManifest)
{
    int nResult = CHECK_CURRENT;
    MANIFEST_ENTRY entry;
    for (int nEntry = 1; ReadManifestEntry(pszManifest, nEntry, "0", "", &entry); ++nEntry) {
        if (!IsPlainFileName(entry.szName) || !WorkPath(entry.szName, entry.szPath)) {
            nResult = CHECK_UPDATE_DUE;
        } else if (!FileExists(entry.szPath)) {
            WriteEntryKey(pszManifest, nEntry, KEY_DOWNLOADED_SIZE, "0");
            nResult = CHECK_UPDATE_DUE;
        } else if (entry.szMd5[0] != '\0') {
            bool bCurrent = FileDigestMatches(entry.szPath, entry.szMd5);
            WriteEntryKey(pszManifest, nEntry, KEY_DOWNLOADED_SIZE, bCurrent ? entry.szSize : "0");
            if (!bCurrent)
                nResult = CHECK_UPDATE_DUE;
        }
    }
    return nResult;
}

} // namespace

int CheckForUpdates()
{
    char szManifest[WORK_PATH_SIZE];
    char szIncoming[WORK_PATH_SIZE];
    if (!WorkPath(MANIFEST_NAME, szManifest) || !WorkPath(MANIFEST_INCOMING, szIncoming) || !FileExists(szManifest))
        return CHECK_NO_MANIFEST;
    char szLocalVersion[VERSION_TEXT_SIZE];
    if (!ReadManifestVersion(szManifest, szLocalVersion))
        return CHECK_NO_MANIFEST;

    char szFileVersion[VERSION_TEXT_SIZE];
    char szProductName[VERSION_TEXT_SIZE];
    OwnVersionStrings(szFileVersion, szProductName);
    char szRequest[REQUEST_SIZE];
    if (!FormatRequest(szRequest, "GET /download/start.php HTTP/1.1", szProductName, szLocalVersion, 0))
        return CHECK_NOT_OK;

    CHECK_STATE state = {NULL, VersionNumber(szLocalVersion), -1, 1, szIncoming, NULL, false};
    CResponseReader reader(OnHeaderLine, &state);
    state.pReader = &reader;
    int nExchange = HttpExchange(szRequest, g_checkCodes, NULL, OnCheckChunk, &state);

    bool bStoreDue = state.pIncoming != NULL || state.bFailed;
    if (state.pIncoming && std::fclose(state.pIncoming) != 0)
        state.bFailed = true;
    int nResult = nExchange;
    if (nResult == 0) {
        // The connection closed: a status line cut short, or a header that never
        // ended, is not an answer.
        if (state.nStatus == 1)
            state.nStatus = StatusCode(reader.CurrentLine());
        if (state.nStatus != 0)
            nResult = state.nStatus;
        else if (!reader.HeaderDone() || state.nResult < 0)
            nResult = CHECK_NOT_OK;
        else
            nResult = state.nResult;
    }
    if (bStoreDue) {
        bool bStored = nResult == CHECK_UPDATE_DUE && !state.bFailed &&
                       MoveFileExA(szIncoming, szManifest, MOVEFILE_REPLACE_EXISTING);
        if (!bStored) {
            DeleteFileA(szIncoming);
            // A newer manifest that could not be stored leaves nothing to update from.
            if (nResult == CHECK_UPDATE_DUE)
                nResult = CHECK_NO_MANIFEST;
        }
    }
    if (nResult != CHECK_CURRENT || VersionNumber(szLocalVersion) == 0)
        return nResult;
    return VerifyLocalFiles(szManifest);
}
