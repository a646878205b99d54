// A recorder library for the launcher's tests: its Main writes what it was given
// to recorder-main.txt in the current directory and returns 42.
#include <cstdio>
#include <windows.h>

EXTERN_C __declspec(dllexport) int WINAPI Main(HINSTANCE hInstance, LPSTR lpCmdLine, int nCmdShow)
{
    FILE *pFile = std::fopen("recorder-main.txt", "wb");
    if (!pFile)
        return 1;
    std::fprintf(pFile, "cmdline=[%s]\nshow=%d\ninstance=%s\n", lpCmdLine ? lpCmdLine : "(null)", nCmdShow,
                 hInstance == GetModuleHandleA(NULL) ? "launcher" : "other");
    std::fclose(pFile);
    return 42;
}
