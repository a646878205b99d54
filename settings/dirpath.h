// Directory text shared by the launcher and the recorder: the save directory and
// the working directory are kept without a trailing separator.
#ifndef TARNWICK_DIRPATH_H
#define TARNWICK_DIRPATH_H

// Removes one trailing directory separator, unless the text is the root "/" alone.
void RemoveTrailingSeparator(char *pszDirectory);

#endif
