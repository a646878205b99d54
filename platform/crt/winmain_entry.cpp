// The entry point of a Windows GUI program: the process starts in main(), which
// calls the program's WinMain with its instance handle and command line.
#include "commandline.h"

#include <string>
#include <vector>
#include <windows.h>

int main(int argc, char **argv)
{
    std::string line = twcrt::BuildCommandLine(argc, argv);
    // WinMain may write into its command line, as it may on Windows.
    std::vector<char> cmdline(line.begin(), line.end());
    cmdline.push_back('\0');
    return WinMain(GetModuleHandleA(NULL), NULL, cmdline.data(), SW_SHOWNORMAL);
}
