// reg export <key> <file> [/y]
// Writes the registry-editor text format, version 5.00: UTF-16LE with a byte
// order mark and CRLF line ends, one [key] section per key, subkeys after their
// parent.
#include <cstdio>
#include <fstream>

#include "regtool.h"

namespace regtool {

namespace {

// Longest line before a hex list continues on the next, as the editor writes it.
constexpr size_t kLineWidth = 80;

// UTF-8 bytes as UTF-16 code units; a malformed sequence becomes U+FFFD.
std::u16string Utf16(const std::string &text)
{
    std::u16string out;
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        uint32_t cp = extra == 0 ? c : extra == 1 ? c & 0x1F : extra == 2 ? c & 0x0F : c & 0x07;
        bool ok = extra >= 0 && i + static_cast<size_t>(extra) < text.size();
        for (int k = 1; ok && k <= extra; ++k) {
            unsigned char next = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
            ok = (next & 0xC0) == 0x80;
            cp = cp << 6 | (next & 0x3F);
        }
        if (!ok || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

std::string Quoted(const std::string &text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

// "name"=hex(N):xx,xx,... wrapped with a trailing backslash.
std::string HexList(const std::string &prefix, const std::vector<BYTE> &bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out = prefix;
    size_t lineStart = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
        if (i + 1 < bytes.size()) {
            out += ',';
            if (out.size() - lineStart > kLineWidth - 5) {
                out += "\\\r\n";
                lineStart = out.size();
                out += "  ";
            }
        }
    }
    return out;
}

// Strings held as UTF-8 are written as the UTF-16 the format carries.
std::vector<BYTE> WideBytes(const std::vector<BYTE> &data)
{
    std::u16string wide = Utf16(std::string(data.begin(), data.end()));
    std::vector<BYTE> bytes;
    for (char16_t unit : wide) {
        bytes.push_back(static_cast<BYTE>(unit & 0xFF));
        bytes.push_back(static_cast<BYTE>(unit >> 8));
    }
    return bytes;
}

// Types without a notation of their own are written as hex(<type in hex>).
std::string HexType(DWORD type)
{
    char text[24];
    snprintf(text, sizeof text, "hex(%x):", static_cast<unsigned>(type));
    return text;
}

std::string ValueLine(const Value &value)
{
    std::string name = value.name.empty() ? "@" : Quoted(value.name);
    switch (value.type) {
    case REG_SZ:
        return name + "=" + Quoted(DisplayData(REG_SZ, value.data));
    case REG_DWORD:
        if (value.data.size() == 4) {
            char text[16];
            DWORD dword = static_cast<DWORD>(value.data[0] | value.data[1] << 8 | value.data[2] << 16 |
                                             static_cast<DWORD>(value.data[3]) << 24);
            snprintf(text, sizeof text, "dword:%08x", static_cast<unsigned>(dword));
            return name + "=" + text;
        }
        break;
    case REG_BINARY:
        return HexList(name + "=hex:", value.data);
    case REG_EXPAND_SZ:
    case REG_MULTI_SZ:
        return HexList(name + "=" + HexType(value.type), WideBytes(value.data));
    }
    return HexList(name + "=" + HexType(value.type), value.data);
}

LONG ExportTree(HKEY parent, const std::string &subKey, const std::string &display, std::string *out)
{
    HKEY key = nullptr;
    if (LONG err = RegOpenKeyExA(parent, subKey.c_str(), 0, KEY_READ, &key))
        return err;
    std::vector<Value> values;
    std::vector<std::string> subKeys;
    LONG err = ReadValues(key, &values);
    if (!err)
        err = ReadSubKeys(key, &subKeys);
    if (!err) {
        *out += "[" + display + "]\r\n";
        for (const Value &value : values)
            *out += ValueLine(value) + "\r\n";
        *out += "\r\n";
    }
    for (size_t i = 0; !err && i < subKeys.size(); ++i)
        err = ExportTree(key, subKeys[i], display + "\\" + subKeys[i], out);
    RegCloseKey(key);
    return err;
}

} // namespace

int Export(int argc, char **argv)
{
    Args args;
    KeyPath path;
    if (!ParseArgs(argc, argv, {}, {"y"}, &args) || args.positional.size() != 2)
        return SyntaxError("EXPORT");
    if (!ParseKeyPath(args.positional[0], &path))
        return Failed("Invalid key name.");
    const std::string &file = args.positional[1];

    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
    if (LONG err = ExportTree(path.root, path.subKey, path.Display(), &text))
        return err == ERROR_FILE_NOT_FOUND ? NotFound() : Failed(err);

    if (!args.Has("y") && std::ifstream(file).good() && !Confirm("File " + file + " already exists. Overwrite (Yes/No)?"))
        return Cancelled();
    std::u16string wide = u"\uFEFF" + Utf16(text);
    std::string bytes;
    for (char16_t unit : wide) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out || !out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) || !out.flush())
        return Failed("Unable to write the file " + file + ".");
    return Succeeded();
}

} // namespace regtool
