// The test server's class: a counter object behind ICounter.
#pragma once
#include <objbase.h>

// {5E3C8A41-2B7D-4F19-9A61-3C0D842E71B5}
DEFINE_GUID(CLSID_TestCounter, 0x5e3c8a41, 0x2b7d, 0x4f19, 0x9a, 0x61, 0x3c, 0x0d, 0x84, 0x2e, 0x71, 0xb5);
// {A7F0D3C2-6E14-4B8A-B5D9-0F21C4E6A893}
DEFINE_GUID(IID_ICounter, 0xa7f0d3c2, 0x6e14, 0x4b8a, 0xb5, 0xd9, 0x0f, 0x21, 0xc4, 0xe6, 0xa8, 0x93);

interface ICounter : public IUnknown {
    // Adds one and returns the new value.
    virtual HRESULT STDMETHODCALLTYPE Increment(LONG *pValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetValue(LONG *pValue) = 0;
};

#define TESTSERVER_DESCRIPTION "Tarnwick COM test counter"
#define TESTSERVER_CLSID_KEY "CLSID\\{5E3C8A41-2B7D-4F19-9A61-3C0D842E71B5}"
