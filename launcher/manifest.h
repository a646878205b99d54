// The manifest files.ini in the working directory: a first line carrying the
// manifest version, then sections File1, File2, ... with Name, Version, Size, MD5
// and the launcher's own bookkeeping DownloadedSize.
#ifndef TARNWICK_MANIFEST_H
#define TARNWICK_MANIFEST_H

#include "workdir.h"

#define MANIFEST_NAME "files.ini"
#define ENTRY_TEXT_SIZE 256

#define KEY_NAME "Name"
#define KEY_VERSION "Version"
#define KEY_SIZE "Size"
#define KEY_MD5 "MD5"
#define KEY_DOWNLOADED_SIZE "DownloadedSize"

// Reads the manifest version from the first line: one leading byte is skipped,
// then the text runs to the first CR or LF or the end of the file, cut at 63
// bytes. False when the manifest cannot be opened.
bool ReadManifestVersion(const char *pszManifest, char *pszVersion);

// Reads a key of section File<nEntry> into an ENTRY_TEXT_SIZE buffer.
void ReadEntryKey(const char *pszManifest, int nEntry, const char *pszKey, const char *pszDefault, char *pszValue);

// Writes a key of section File<nEntry>; a null value removes the key.
void WriteEntryKey(const char *pszManifest, int nEntry, const char *pszKey, const char *pszValue);

// One section File<n> as read, with the paths of its file and temporary file.
struct MANIFEST_ENTRY {
    char szName[ENTRY_TEXT_SIZE];
    char szVersion[ENTRY_TEXT_SIZE];
    char szSize[ENTRY_TEXT_SIZE];
    char szMd5[ENTRY_TEXT_SIZE];
    char szTempName[2 * ENTRY_TEXT_SIZE]; // Name.Version, also the remote name
    char szPath[WORK_PATH_SIZE];          // Name in the working directory
    char szTempPath[WORK_PATH_SIZE];      // Name.Version in the working directory
    bool bPlain;                          // both names stay in the working directory
};

// Reads entry nEntry with the defaults its reader uses for Version and Size (MD5
// defaults to ""). Returns false when the entry ends the list (its Name is empty).
// The paths are composed only for an entry whose names are plain (bPlain).
bool ReadManifestEntry(const char *pszManifest, int nEntry, const char *pszVersionDefault,
                       const char *pszSizeDefault, MANIFEST_ENTRY *pEntry);

// True when entry 1 and every further entry up to the end of the list (the first
// empty Name) name plain files in the working directory, both as Name and as the
// temporary Name.Version.
bool ManifestNamesArePlain(const char *pszManifest);

#endif
