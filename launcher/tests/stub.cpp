// The stand-in launcher file of the engine tests: a module whose only content
// that matters is its version block.
#include <windows.h>

EXTERN_C __declspec(dllexport) int TarnwickStub(void)
{
    return 1;
}
