// Windows Media Format SDK.
#pragma once
#include <windows.h>
#include <wmsdkidl.h>
