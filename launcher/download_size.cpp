// What remains to be fetched: the launcher must be current, then every other
// listed file is either current, or has a temporary file Name.Version that the
// download completes.
#include <climits>
#include <cstdio>
#include <windows.h>

#include "digest.h"
#include "manifest.h"
#include "textutil.h"
#include "updater.h"
#include "version.h"
#include "workdir.h"

namespace {

// True when the file named by entry 1 is the launcher the manifest lists: not
// older than the entry's Version and with its digest.
bool LauncherIsCurrent(const char *pszManifest)
{
    MANIFEST_ENTRY entry;
    if (!ReadManifestEntry(pszManifest, 1, "0", "0", &entry) || !entry.bPlain)
        return false;
    char szFileVersion[VERSION_TEXT_SIZE] = "";
    char szProductName[VERSION_TEXT_SIZE] = "";
    GetVersionStrings(entry.szPath, szFileVersion, szProductName);
    if (VersionNumber(entry.szVersion) > VersionNumber(szFileVersion))
        return false;
    return FileDigestMatches(entry.szPath, entry.szMd5);
}

#define NO_TEMPORARY_FILE (-1LL)

// Creates the empty temporary file a download appends to.
long long StartTemporaryFile(const char *pszTempPath, long long nFull)
{
    if (CreateEmptyFile(pszTempPath))
        return nFull;
    std::fprintf(stderr, "%s can't be created\n", pszTempPath);
    return NO_TEMPORARY_FILE;
}

// The bytes still to fetch for one entry (from 2 on), or NO_TEMPORARY_FILE when
// the temporary file cannot be created (a name too long for the file system, a
// directory that cannot be written); installs a complete, verified temporary file.
long long BytesToFetch(const MANIFEST_ENTRY &entry)
{
    int nSize = DecimalToInt(entry.szSize);
    if (FileExists(entry.szPath) && FileSize32(entry.szPath) == nSize && FileDigestMatches(entry.szPath, entry.szMd5))
        return 0;
    long long nFull = nSize > 0 ? nSize : 0;
    if (!FileExists(entry.szTempPath))
        return StartTemporaryFile(entry.szTempPath, nFull);
    int nTempSize = FileSize32(entry.szTempPath);
    if (nTempSize >= 0 && nTempSize < nSize)
        return static_cast<long long>(nSize) - nTempSize;
    if (nTempSize == nSize && FileDigestMatches(entry.szTempPath, entry.szMd5)) {
        ReplaceWithTemporary(entry.szPath, entry.szTempPath);
        return 0;
    }
    // Longer than the file it is to become, unreadable, or complete with the wrong
    // digest: the temporary file is damaged and fetched again from the start.
    DeleteFileA(entry.szTempPath);
    return StartTemporaryFile(entry.szTempPath, nFull);
}

} // namespace

int ComputeDownloadSize()
{
    char szManifest[WORK_PATH_SIZE];
    if (!WorkPath(MANIFEST_NAME, szManifest))
        return DOWNLOAD_BAD_STATUS;
    // A manifest naming anything but plain files in the working directory is
    // refused before any file is looked at.
    if (!ManifestNamesArePlain(szManifest))
        return DOWNLOAD_BAD_STATUS;
    if (!LauncherIsCurrent(szManifest))
        return SIZE_LAUNCHER_OUTDATED;

    long long nTotal = 0;
    MANIFEST_ENTRY entry;
    for (int nEntry = 2; ReadManifestEntry(szManifest, nEntry, "0.0.0.0", "0", &entry); ++nEntry) {
        if (!entry.bPlain)
            continue;
        // A file that has nowhere to be downloaded to fails its download now,
        // before the user is asked for it.
        long long nBytes = BytesToFetch(entry);
        if (nBytes == NO_TEMPORARY_FILE)
            return DOWNLOAD_BAD_SIZE;
        nTotal += nBytes;
    }
    return nTotal > INT_MAX ? INT_MAX : static_cast<int>(nTotal);
}
