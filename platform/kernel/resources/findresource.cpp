// FindResource and friends over the cached resources of loaded modules.
#include "moduleresources.h"

namespace {

HRSRC Find(HMODULE hModule, LPCSTR lpType, LPCSTR lpName, WORD wLanguage)
{
    twk::ResourceId type, name;
    if (!lpType || !lpName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!twk::ResourceId::FromArgument(lpType, type)) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    if (!twk::ResourceId::FromArgument(lpName, name)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    DWORD error = ERROR_SUCCESS;
    const twk::ResourceSet *set = twk::ModuleResources(hModule, error);
    const twk::ResourceEntry *entry = set ? set->Find(type, name, wLanguage, error) : nullptr;
    if (!entry) {
        SetLastError(error);
        return nullptr;
    }
    return reinterpret_cast<HRSRC>(const_cast<twk::ResourceEntry *>(entry));
}

const twk::ResourceEntry *Entry(HRSRC hResInfo)
{
    return reinterpret_cast<const twk::ResourceEntry *>(hResInfo);
}

} // namespace

extern "C" HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType)
{
    return Find(hModule, lpType, lpName, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
}

extern "C" HRSRC WINAPI FindResourceExA(HMODULE hModule, LPCSTR lpType, LPCSTR lpName, WORD wLanguage)
{
    return Find(hModule, lpType, lpName, wLanguage);
}

// The resource's bytes live in the module's resource cache for the rest of the
// process, so the global handle is simply their address.
extern "C" HGLOBAL WINAPI LoadResource(HMODULE, HRSRC hResInfo)
{
    if (!hResInfo) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return const_cast<uint8_t *>(Entry(hResInfo)->data);
}

extern "C" DWORD WINAPI SizeofResource(HMODULE, HRSRC hResInfo)
{
    if (!hResInfo) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return Entry(hResInfo)->size;
}

extern "C" LPVOID WINAPI LockResource(HGLOBAL hResData)
{
    return hResData;
}

extern "C" BOOL WINAPI FreeResource(HGLOBAL)
{
    return FALSE;
}
