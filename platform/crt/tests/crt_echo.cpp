// Prints the arguments WinMain receives, each in brackets, and ends with the exit
// status asked for by a command line of the form "exit <n>".
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <windows.h>

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nShowCmd)
{
    std::printf("cmdline=[%s]\n", lpCmdLine);
    std::printf("instance=%s prev=%s show=%d\n", hInstance == GetModuleHandleA(NULL) ? "self" : "other",
                hPrevInstance ? "set" : "null", nShowCmd);
    if (std::strncmp(lpCmdLine, "exit ", 5) == 0)
        return std::atoi(lpCmdLine + 5);
    return 0;
}
