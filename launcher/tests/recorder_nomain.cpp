// A recorder library for the launcher's tests that lacks the Main export.
#include <windows.h>

EXTERN_C __declspec(dllexport) int WINAPI NotMain(HINSTANCE, LPSTR, int)
{
    return 0;
}
