// The class of the framework's test module and the event it posts per sample.
#pragma once
#include <guiddef.h>
#include <evcode.h>

DEFINE_GUID(CLSID_FbModuleFilter, 0x6a1c2f10, 0x3b7d, 0x4e55, 0x9a, 0x11, 0x52, 0x0c, 0x7e, 0x41, 0x90, 0x10);

// Posted for each sample received: param1 is the sample's first byte, param2 the count so far.
#define EC_FBTEST_SAMPLE (EC_USER + 1)
