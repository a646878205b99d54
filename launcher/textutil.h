// Small text helpers of the launcher.
#ifndef TARNWICK_TEXTUTIL_H
#define TARNWICK_TEXTUTIL_H

#include <stddef.h>

// True when the text begins with the prefix, compared without regard to ASCII case.
bool StartsWithNoCase(const char *pszText, const char *pszPrefix);

// The C library's decimal conversion (leading blanks, a sign, the digits that
// follow), kept within the range of int instead of overflowing.
int DecimalToInt(const char *pszText);

// Copies at most cchDest - 1 characters and always terminates.
void CopyText(char *pszDest, size_t cchDest, const char *pszSource);

// Converts ASCII upper-case letters to lower case in place.
void LowerCaseText(char *pszText);

#endif
