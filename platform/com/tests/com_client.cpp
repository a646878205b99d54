// A COM client process: creates the test counter through CoCreateInstance,
// increments it the number of times given and prints the final value.
#include <initguid.h>
#include "testserver/counter.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    const int times = argc > 1 ? atoi(argv[1]) : 1;
    HRESULT hr = CoInitialize(nullptr);
    if (FAILED(hr)) {
        printf("CoInitialize failed: 0x%08x\n", unsigned(hr));
        return 2;
    }
    ICounter *pCounter = nullptr;
    hr = CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, IID_ICounter,
                          reinterpret_cast<void **>(&pCounter));
    if (FAILED(hr)) {
        printf("CoCreateInstance failed: 0x%08x\n", unsigned(hr));
        CoUninitialize();
        return 3;
    }
    LONG value = 0;
    for (int i = 0; i < times; ++i)
        pCounter->Increment(&value);
    printf("value=%d\n", int(value));
    pCounter->Release();
    CoUninitialize();
    return 0;
}
