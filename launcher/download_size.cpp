// What remains to be fetched: the launcher must be current, then every other
// listed file is either current, or has a temporary file Name.Version that the
// download completes.
#include <climits>
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

// The bytes still to fetch for one entry (from 2 on); installs a complete,
// verified temporary file.
long long BytesToFetch(const MANIFEST_ENTRY &entry)
{
    int nSize = DecimalToInt(entry.szSize);
    if (FileExists(entry.szPath) && FileSize32(entry.szPath) == nSize && FileDigestMatches(entry.szPath, entry.szMd5))
        return 0;
    long long nFull = nSize > 0 ? nSize : 0;
    if (!FileExists(entry.szTempPath)) {
        CreateEmptyFile(entry.szTempPath);
        return nFull;
    }
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
    CreateEmptyFile(entry.szTempPath);
    return nFull;
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
        if (entry.bPlain)
            nTotal += BytesToFetch(entry);
    }
    return nTotal > INT_MAX ? INT_MAX : static_cast<int>(nTotal);
}
