// MD5 digests of the program files.
#ifndef TARNWICK_DIGEST_H
#define TARNWICK_DIGEST_H

// True when the two digest texts agree in their first 32 characters, compared
// without regard to case; a digest shorter than 32 characters never agrees.
bool DigestsEqual(const char *pszComputed, const char *pszExpected);

// True when the file's digest equals the expected one. A file that cannot be
// opened is reported on the standard output and does not match.
bool FileDigestMatches(const char *pszPath, const char *pszExpected);

#endif
