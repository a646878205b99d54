// Paths in the launcher's working directory, where every program file and the
// manifest live.
#ifndef TARNWICK_WORKDIR_H
#define TARNWICK_WORKDIR_H

// Room for the current directory (260), a separator, a name and a version.
#define WORK_PATH_SIZE 1024

// Composes "<current directory>\<name>" with one trailing separator of the
// directory removed. Returns false, leaving an empty path, when it does not fit.
bool WorkPath(const char *pszName, char *pszPath);

// True for a name that stays inside the working directory: not empty or blank,
// no directory separator or drive colon, no control character, not "." or "..".
bool IsPlainFileName(const char *pszName);

// True when the path names an existing file (not a directory).
bool FileExists(const char *pszPath);

// The file's size as the low 32 bits the system reports, or -1 when it cannot be read.
int FileSize32(const char *pszPath);

// Creates the file empty (truncating it if it exists); false when it cannot.
bool CreateEmptyFile(const char *pszPath);

// Deletes the file Name and renames the temporary file to Name.
bool ReplaceWithTemporary(const char *pszPath, const char *pszTempPath);

#endif
