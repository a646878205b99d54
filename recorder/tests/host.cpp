// Starts the recorder as the launcher does: loads the library, looks up Main and
// calls it. Arguments: the library's path, then the command line (optional).
#include <windows.h>

typedef int(WINAPI *MainProc)(HINSTANCE, LPSTR, int);

int main(int argc, char **argv)
{
    if (argc < 2)
        return 97;
    HMODULE hModule = LoadLibraryA(argv[1]);
    if (hModule == NULL)
        return 98;
    MainProc pMain = (MainProc)(void *)GetProcAddress(hModule, "Main");
    if (pMain == NULL)
        return 99;
    char szEmpty[] = "";
    return pMain(GetModuleHandleA(NULL), argc > 2 ? argv[2] : szEmpty, SW_SHOWNORMAL);
}
