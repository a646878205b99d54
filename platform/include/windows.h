// The Win32 API as this platform provides it.
#pragma once
#include <windef.h>
#include <winerror.h>
#include <winbase.h>
#include <winnls.h>
#include <winuser.h>
#include <winreg.h>
#include <winver.h>
#ifndef RC_INVOKED
#include <wingdi.h>
#include <objbase.h>
#endif
