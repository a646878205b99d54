// A module that carries the test resources; its code is incidental.
#include <windows.h>

EXTERN_C __declspec(dllexport) int WINAPI ResTestValue(void)
{
    return 42;
}
