// LoadStringA: string tables hold 16 counted UTF-16 strings per block; block
// id / 16 + 1 holds string id at position id % 16.
#include "utf16.h"

#include <cstring>
#include <string>
#include <windows.h>

namespace {

// The UTF-8 text of string uID, or false when the table or the entry is missing.
bool FindString(HINSTANCE hInstance, UINT uID, std::string &text)
{
    if (uID > 0xFFFF) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return false;
    }
    HRSRC info = FindResourceA(hInstance, MAKEINTRESOURCEA((uID >> 4) + 1), RT_STRING);
    if (!info)
        return false;
    const auto *p = static_cast<const uint8_t *>(LockResource(LoadResource(hInstance, info)));
    const size_t size = SizeofResource(hInstance, info);
    size_t pos = 0;
    for (UINT index = 0; index < 16; ++index) {
        if (size - pos < 2)
            break;
        const size_t count = twk::ReadUnit(p + pos);
        pos += 2;
        if (count > (size - pos) / 2)
            break;
        if (index == (uID & 15)) {
            if (count == 0)
                break;
            text = twk::Utf16LeToUtf8(p + pos, count);
            return true;
        }
        pos += 2 * count;
    }
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return false;
}

} // namespace

extern "C" int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax)
{
    if (!lpBuffer || cchBufferMax <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string text;
    if (!FindString(hInstance, uID, text)) {
        lpBuffer[0] = '\0';
        return 0;
    }
    // Truncation never splits a multi-byte character.
    const size_t length = twk::Utf8PrefixLength(text, static_cast<size_t>(cchBufferMax) - 1);
    memcpy(lpBuffer, text.data(), length);
    lpBuffer[length] = '\0';
    return static_cast<int>(length);
}
