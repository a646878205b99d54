// A loadable module that is no COM server: it exports none of the server entry points.
#include <windows.h>

EXTERN_C BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
