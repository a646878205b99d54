// GetPrivateProfileStringA, GetPrivateProfileIntA and WritePrivateProfileStringA.
// Files are read whole and kept parsed while they are unchanged (inifile_cache.h);
// every change replaces the whole file. Calls within the process are serialised,
// files are not locked against other processes.
#include <twkernel/paths.h>
#include "inifile_cache.h"
#include "inifile_edit.h"
#include "inifile_io.h"
#include "inifile_parse.h"

#include <cstring>
#include <mutex>
#include <string>
#include <vector>
#include <windows.h>

namespace {

std::mutex g_profileLock;
// The parsed copies of the files used last. Owned by g_profileLock.
twk::ProfileCache g_profileCache;

// One value into the caller's buffer: truncated to nSize-1 bytes and terminated.
DWORD CopyString(std::string_view value, LPSTR buffer, DWORD nSize)
{
    value = value.substr(0, value.find('\0'));
    std::size_t count = value.size() < nSize ? value.size() : nSize - 1;
    std::memcpy(buffer, value.data(), count);
    buffer[count] = '\0';
    if (count < value.size())
        SetLastError(ERROR_MORE_DATA);
    return static_cast<DWORD>(count);
}

// Names as a list of terminated strings followed by one more terminator. When the
// list does not fit, it is cut at nSize-2 bytes, ends in two terminators, and the
// result is nSize-2.
DWORD CopyList(const std::vector<std::string_view> &names, LPSTR buffer, DWORD nSize)
{
    std::string list;
    for (std::string_view name : names) {
        // A name cut to nothing by a NUL would end the list early.
        name = name.substr(0, name.find('\0'));
        if (name.empty())
            continue;
        list.append(name);
        list.push_back('\0');
    }
    if (list.size() + 1 <= nSize) {
        std::memcpy(buffer, list.data(), list.size());
        buffer[list.size()] = '\0';
        if (list.empty() && nSize >= 2)
            buffer[1] = '\0';
        return static_cast<DWORD>(list.size());
    }
    if (nSize < 2) {
        buffer[0] = '\0';
        return 0;
    }
    std::memcpy(buffer, list.data(), nSize - 2);
    buffer[nSize - 2] = '\0';
    buffer[nSize - 1] = '\0';
    SetLastError(ERROR_MORE_DATA);
    return nSize - 2;
}

std::string_view TrimRight(std::string_view text)
{
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

bool HasLineBreak(LPCSTR text)
{
    return text && std::strpbrk(text, "\r\n") != nullptr;
}

// Parses like the run-time's integer conversion with base 0: blanks, a sign, then
// 0x, 0o or 0b for hexadecimal, octal or binary, else decimal, up to the first
// byte that is not a digit. Overflow wraps.
UINT ParseProfileInt(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    unsigned base = 10;
    if (i + 1 < text.size() && text[i] == '0') {
        char prefix = static_cast<char>(text[i + 1] | 0x20);
        base = prefix == 'x' ? 16 : prefix == 'o' ? 8 : prefix == 'b' ? 2 : 10;
        if (base != 10)
            i += 2;
    }
    UINT value = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        unsigned digit = (c >= '0' && c <= '9') ? unsigned(c - '0')
                         : ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') ? unsigned((c | 0x20) - 'a' + 10)
                                                                    : 99u;
        if (digit >= base)
            break;
        value = value * base + digit;
    }
    return negative ? 0u - value : value;
}

// Looks up one value; false when the file, the section or the key is missing.
// Needs g_profileLock.
bool LookupValue(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpFileName, std::string &value)
{
    unsigned long error = ERROR_SUCCESS;
    const twk::ProfileSnapshot *file = lpFileName ? g_profileCache.Get(twk::NativePath(lpFileName), error) : nullptr;
    if (!file)
        return false;
    std::size_t key = file->lookup.FindKey(twk::ProfileTrim(lpAppName), twk::ProfileTrim(lpKeyName));
    if (key == twk::ProfileIndex::npos)
        return false;
    value = std::string(twk::ProfileStripQuotes(file->index.Lines()[key].value));
    return true;
}

// True when setting the key to this value would leave the file as it is.
bool ValueIsAlready(const twk::ProfileSnapshot &file, std::string_view section, std::string_view key,
                    std::string_view value)
{
    std::size_t line = file.lookup.FindKey(section, key);
    if (line == twk::ProfileIndex::npos)
        return false;
    const twk::ProfileLine &found = file.index.Lines()[line];
    return std::string_view(file.text).substr(found.valueStart, found.end - found.valueStart) == value;
}

} // namespace

extern "C" DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                                                 LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName)
{
    if (!lpReturnedString || nSize == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string_view fallback = TrimRight(lpDefault ? lpDefault : "");
    std::lock_guard<std::mutex> lock(g_profileLock);

    if (lpAppName && lpKeyName) {
        std::string value;
        if (*lpKeyName && LookupValue(lpAppName, lpKeyName, lpFileName, value))
            return CopyString(value, lpReturnedString, nSize);
        SetLastError(ERROR_FILE_NOT_FOUND);
        return CopyString(fallback, lpReturnedString, nSize);
    }

    unsigned long error = ERROR_FILE_NOT_FOUND;
    const twk::ProfileSnapshot *file = lpFileName ? g_profileCache.Get(twk::NativePath(lpFileName), error) : nullptr;
    bool read = file != nullptr;
    if (!lpAppName) {
        if (!read)
            SetLastError(error);
        return CopyList(read ? file->index.SectionNames() : std::vector<std::string_view>(), lpReturnedString, nSize);
    }
    std::size_t header = read ? file->lookup.FindSection(twk::ProfileTrim(lpAppName)) : twk::ProfileIndex::npos;
    std::vector<std::string_view> keys;
    if (header != twk::ProfileIndex::npos)
        keys = file->index.KeyNames(header);
    if (keys.empty()) {
        SetLastError(read ? ERROR_FILE_NOT_FOUND : error);
        return CopyString(fallback, lpReturnedString, nSize);
    }
    return CopyList(keys, lpReturnedString, nSize);
}

extern "C" UINT WINAPI GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault, LPCSTR lpFileName)
{
    if (!lpAppName || !lpKeyName)
        return static_cast<UINT>(nDefault);
    std::string value;
    {
        std::lock_guard<std::mutex> lock(g_profileLock);
        if (!*lpKeyName || !LookupValue(lpAppName, lpKeyName, lpFileName, value)) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return static_cast<UINT>(nDefault);
        }
    }
    if (value.empty())
        return static_cast<UINT>(nDefault);
    return ParseProfileInt(value);
}

extern "C" BOOL WINAPI WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                                  LPCSTR lpFileName)
{
    // Every change is written at once, so the documented "flush" call has nothing to do.
    if (!lpAppName && !lpKeyName && !lpString)
        return TRUE;
    // A line break in a name or value would turn into lines of their own.
    if (!lpAppName || !lpFileName || HasLineBreak(lpAppName) || HasLineBreak(lpKeyName) ||
        HasLineBreak(lpString)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string path = twk::NativePath(lpFileName);
    std::string_view section = twk::ProfileTrim(lpAppName);

    std::lock_guard<std::mutex> lock(g_profileLock);
    unsigned long error = ERROR_SUCCESS;
    const twk::ProfileSnapshot *file = g_profileCache.Get(path, error);
    bool exists = file != nullptr;
    if (!exists && error != ERROR_FILE_NOT_FOUND) {
        SetLastError(error);
        return FALSE;
    }
    // Found without rebuilding the text: rewriting a value with itself.
    if (exists && lpKeyName && lpString && ValueIsAlready(*file, section, twk::ProfileTrim(lpKeyName), lpString))
        return TRUE;
    std::string_view content = exists ? std::string_view(file->text) : std::string_view();

    std::string updated;
    if (!lpKeyName)
        updated = twk::ProfileDeleteSection(content, section);
    else if (!lpString)
        updated = twk::ProfileDeleteKey(content, section, twk::ProfileTrim(lpKeyName));
    else
        updated = twk::ProfileSetValue(content, section, twk::ProfileTrim(lpKeyName), lpString);

    if (exists && updated == content)
        return TRUE;
    if (!exists && updated.empty())
        return TRUE;
    if (!twk::ProfileReplaceFile(path, updated, error)) {
        SetLastError(error);
        return FALSE;
    }
    g_profileCache.Store(path, std::move(updated));
    return TRUE;
}
