// Low-level C runtime file calls.
#pragma once
#include <winnt.h>

// Modes: 0 existence, 2 write, 4 read, 6 read and write.
// 0 when the path exists with the access asked for, else -1 with errno set.
// Accepts both separators.
EXTERN_C int _access(const char *path, int mode);
