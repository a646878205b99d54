// Common controls initialisation: the control classes are always there.
#include <commctrl.h>

EXTERN_C BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX *picce)
{
    if (picce == nullptr || picce->dwSize != sizeof(INITCOMMONCONTROLSEX)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}

EXTERN_C void WINAPI InitCommonControls(void) {}
