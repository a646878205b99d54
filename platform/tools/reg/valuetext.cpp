// Value types and data as the tool shows and takes them.
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "regtool.h"

namespace regtool {

namespace {

const struct {
    DWORD type;
    const char *name;
} kTypes[] = {
    {REG_NONE, "REG_NONE"},
    {REG_SZ, "REG_SZ"},
    {REG_EXPAND_SZ, "REG_EXPAND_SZ"},
    {REG_BINARY, "REG_BINARY"},
    {REG_DWORD, "REG_DWORD"},
    {REG_DWORD_BIG_ENDIAN, "REG_DWORD_BIG_ENDIAN"},
    {REG_LINK, "REG_LINK"},
    {REG_MULTI_SZ, "REG_MULTI_SZ"},
    {REG_QWORD, "REG_QWORD"},
};

std::string Hex(const std::vector<BYTE> &data)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (BYTE b : data) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The bytes up to the first NUL.
std::string StringData(const std::vector<BYTE> &data)
{
    const char *text = reinterpret_cast<const char *>(data.data());
    return std::string(text, strnlen(text, data.size()));
}

} // namespace

std::string TypeName(DWORD type)
{
    for (const auto &t : kTypes)
        if (t.type == type)
            return t.name;
    char text[32];
    snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(type));
    return text;
}

bool ParseTypeName(const std::string &name, DWORD *type)
{
    for (DWORD known : {REG_SZ, REG_EXPAND_SZ, REG_DWORD, REG_BINARY}) {
        if (strcasecmp(name.c_str(), TypeName(known).c_str()) == 0) {
            *type = known;
            return true;
        }
    }
    return false;
}

const char *DisplayName(const std::string &valueName)
{
    return valueName.empty() ? "(Default)" : valueName.c_str();
}

std::string DisplayData(DWORD type, const std::vector<BYTE> &data)
{
    char text[32];
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return StringData(data);
    case REG_MULTI_SZ: {
        std::string joined;
        size_t pos = 0;
        while (pos < data.size() && data[pos]) {
            std::vector<BYTE> rest(data.begin() + static_cast<long>(pos), data.end());
            std::string part = StringData(rest);
            if (!joined.empty())
                joined += "\\0";
            joined += part;
            pos += part.size() + 1;
        }
        return joined;
    }
    case REG_DWORD:
        if (data.size() == 4) {
            DWORD value;
            memcpy(&value, data.data(), 4);
            snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(value));
            return text;
        }
        break;
    case REG_QWORD:
        if (data.size() == 8) {
            uint64_t value;
            memcpy(&value, data.data(), 8);
            snprintf(text, sizeof text, "0x%" PRIx64, value);
            return text;
        }
        break;
    }
    return Hex(data);
}

bool EncodeData(DWORD type, const std::string &text, std::vector<BYTE> *data, std::string *error)
{
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        // Stored verbatim, with its terminator; %VARIABLES% stay unexpanded.
        data->assign(text.begin(), text.end());
        data->push_back(0);
        return true;
    case REG_DWORD: {
        const char *start = text.c_str();
        char *end = nullptr;
        errno = 0;
        bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
        unsigned long long value = strtoull(hex ? start + 2 : start, &end, hex ? 16 : 10);
        if (text.empty() || text[0] == '-' || text[0] == '+' || *end || errno || value > 0xFFFFFFFFull) {
            *error = "Invalid value for REG_DWORD: \"" + text + "\"; expected a number from 0 to 4294967295.";
            return false;
        }
        DWORD dword = static_cast<DWORD>(value);
        data->resize(4);
        memcpy(data->data(), &dword, 4);
        return true;
    }
    case REG_BINARY:
        data->clear();
        if (text.size() % 2) {
            *error = "Invalid value for REG_BINARY: an odd number of hex digits.";
            return false;
        }
        for (size_t i = 0; i < text.size(); i += 2) {
            int high = HexDigit(text[i]), low = HexDigit(text[i + 1]);
            if (high < 0 || low < 0) {
                *error = "Invalid value for REG_BINARY: \"" + text + "\" is not a string of hex digits.";
                return false;
            }
            data->push_back(static_cast<BYTE>(high << 4 | low));
        }
        return true;
    }
    *error = "Invalid type.";
    return false;
}

} // namespace regtool
