// What the loader tests' module reports to the test that loads it.
#pragma once
#include <windows.h>

// The test puts the address of one of these, printed with %p, in TW_TESTMOD_COUNTERS.
struct TestModuleCounters {
    int attaches;
    int detaches;
    HINSTANCE lastInstance;
};
