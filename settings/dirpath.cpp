#include "dirpath.h"

#include <string.h>

void RemoveTrailingSeparator(char *pszDirectory)
{
    size_t cch = strlen(pszDirectory);
    if (cch == 0)
        return;
    char chLast = pszDirectory[cch - 1];
    if (chLast == '\\' || (chLast == '/' && cch > 1))
        pszDirectory[cch - 1] = '\0';
}
