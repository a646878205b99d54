#include "textutil.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

bool StartsWithNoCase(const char *pszText, const char *pszPrefix)
{
    for (; *pszPrefix; ++pszText, ++pszPrefix) {
        if (*pszText == '\0' || LowerAscii(*pszText) != LowerAscii(*pszPrefix))
            return false;
    }
    return true;
}

int DecimalToInt(const char *pszText)
{
    long long value = std::strtoll(pszText, NULL, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

void CopyText(char *pszDest, size_t cchDest, const char *pszSource)
{
    if (cchDest == 0)
        return;
    size_t cch = std::strlen(pszSource);
    if (cch >= cchDest)
        cch = cchDest - 1;
    std::memcpy(pszDest, pszSource, cch);
    pszDest[cch] = '\0';
}

void LowerCaseText(char *pszText)
{
    for (; *pszText; ++pszText)
        *pszText = LowerAscii(*pszText);
}
