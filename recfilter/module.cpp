// The module's glue: the class template table with the filter's setup record,
// and the exports, which forward to the framework.
#include "ckestrin.h"

namespace {

const REGPINTYPES kVideoTypes[] = {
    {&MEDIATYPE_Video, &MEDIASUBTYPE_WMV1},
    {&MEDIATYPE_Video, &MEDIASUBTYPE_WMV2},
    {&MEDIATYPE_Video, &MEDIASUBTYPE_WMV3},
};
const REGPINTYPES kAudioTypes[] = {
    {&MEDIATYPE_Audio, &MEDIASUBTYPE_WMAudioV9},
    {&MEDIATYPE_Audio, &MEDIASUBTYPE_WMAudioV8},
};

const WCHAR kFilterName[] = OLESTR("Kestrin");

const REGFILTERPINS kPins[] = {
    {const_cast<LPWSTR>(OLESTR("Video")), FALSE, FALSE, FALSE, FALSE, &CLSID_NULL, OLESTR("Output"), 3, kVideoTypes},
    {const_cast<LPWSTR>(OLESTR("Audio")), FALSE, FALSE, FALSE, FALSE, &CLSID_NULL, OLESTR("Output"), 2, kAudioTypes},
};

const FilterSetupRecord kFilterSetup = {&CLSID_Kestrin, kFilterName, MERIT_DO_NOT_USE, 2, kPins};

} // namespace

const ClassTemplate ClassTemplateTable[] = {
    {kFilterName, &CLSID_Kestrin, CreateKestrinInstance, nullptr, &kFilterSetup},
};
const int ClassTemplateCount = 1;

EXTERN_C BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID pReserved)
{
    return ModuleEntry(hInstance, dwReason, pReserved);
}

STDAPI DllRegisterServer(void)
{
    return RegisterModuleServers(TRUE);
}

STDAPI DllUnregisterServer(void)
{
    return RegisterModuleServers(FALSE);
}
