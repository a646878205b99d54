// Version texts and numbers.
#ifndef TARNWICK_VERSION_H
#define TARNWICK_VERSION_H

// Reduces "a.b.c.d" to a * 100000000 + b * 10000 + c; the fourth component takes
// no part. Components are read like "%d" up to the first text that does not
// continue the pattern; missing components count 0. Computed in 64 bits, so large
// components order without overflowing.
long long VersionNumber(const char *pszVersion);

// The launcher's own FileVersion and ProductName (empty when its module file has
// no version block), in VERSION_TEXT_SIZE buffers.
void OwnVersionStrings(char *pszFileVersion, char *pszProductName);

#endif
