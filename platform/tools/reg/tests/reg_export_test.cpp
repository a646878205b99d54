// reg export: the file parses back into the keys and values that were exported.
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "regrun.h"

namespace {

struct Parsed {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    bool operator==(const Parsed &o) const { return type == o.type && data == o.data; }
};
using Sections = std::map<std::string, std::map<std::string, Parsed>>;

// UTF-16LE with a byte order mark, ASCII content only in these tests.
std::string Narrow(const std::string &bytes)
{
    EXPECT_GE(bytes.size(), 2u);
    EXPECT_EQ('\xff', bytes[0]);
    EXPECT_EQ('\xfe', bytes[1]);
    std::string text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        EXPECT_EQ(0, bytes[i + 1]) << "non-ASCII unit at " << i;
        text += bytes[i];
    }
    return text;
}

std::vector<BYTE> HexBytes(const std::string &list)
{
    std::vector<BYTE> bytes;
    for (size_t i = 0; i < list.size(); i += 3) {
        EXPECT_TRUE(i + 2 == list.size() || list[i + 2] == ',') << list;
        bytes.push_back(static_cast<BYTE>(std::stoul(list.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

std::string Unquote(const std::string &text, size_t *pos)
{
    std::string out;
    EXPECT_EQ('"', text[*pos]);
    size_t i = *pos + 1;
    for (; i < text.size() && text[i] != '"'; ++i) {
        if (text[i] == '\\')
            ++i;
        out += text[i];
    }
    *pos = i + 1;
    return out;
}

// A small reader of the format: sections, continuation lines, the value notations.
Sections Parse(const std::string &text, std::string *error)
{
    Sections sections;
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            *error = "line without CRLF";
            return sections;
        }
        std::string line = text.substr(start, end - start);
        if (!lines.empty() && !lines.back().empty() && lines.back().back() == '\\') {
            lines.back().pop_back();
            lines.back() += line.substr(line.find_first_not_of(' '));
        } else {
            lines.push_back(line);
        }
        start = end + 2;
    }
    if (lines.empty() || lines[0] != "Windows Registry Editor Version 5.00") {
        *error = "missing header";
        return sections;
    }
    std::string current;
    for (size_t n = 1; n < lines.size(); ++n) {
        const std::string &line = lines[n];
        if (line.empty())
            continue;
        if (line.front() == '[' && line.back() == ']') {
            current = line.substr(1, line.size() - 2);
            sections[current];
            continue;
        }
        size_t pos = 0;
        std::string name;
        if (line[0] == '@')
            pos = 1;
        else
            name = Unquote(line, &pos);
        if (current.empty() || line[pos] != '=') {
            *error = "bad line: " + line;
            return sections;
        }
        std::string rhs = line.substr(pos + 1);
        Parsed value;
        if (rhs[0] == '"') {
            size_t p = 0;
            std::string s = Unquote(rhs, &p);
            value.type = REG_SZ;
            value.data.assign(s.begin(), s.end());
            value.data.push_back(0);
        } else if (rhs.rfind("dword:", 0) == 0) {
            DWORD d = static_cast<DWORD>(std::stoul(rhs.substr(6), nullptr, 16));
            value.type = REG_DWORD;
            value.data = {BYTE(d), BYTE(d >> 8), BYTE(d >> 16), BYTE(d >> 24)};
        } else if (rhs.rfind("hex:", 0) == 0) {
            value.type = REG_BINARY;
            value.data = HexBytes(rhs.substr(4));
        } else if (rhs.rfind("hex(", 0) == 0) {
            size_t close = rhs.find("):");
            value.type = static_cast<DWORD>(std::stoul(rhs.substr(4, close - 4), nullptr, 16));
            value.data = HexBytes(rhs.substr(close + 2));
            if (value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ) {
                std::vector<BYTE> narrow;
                for (size_t i = 0; i + 1 < value.data.size(); i += 2)
                    narrow.push_back(value.data[i]);
                value.data = narrow;
            }
        } else {
            *error = "bad value: " + line;
            return sections;
        }
        sections[current][name] = value;
    }
    return sections;
}

void Set(HKEY key, const char *name, DWORD type, const std::vector<BYTE> &data)
{
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name, 0, type, data.data(), static_cast<DWORD>(data.size())));
}

std::vector<BYTE> Sz(const std::string &text)
{
    std::vector<BYTE> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

TEST(RegExport, FileParsesBackIntoTheExportedKeys)
{
    twtest::ScratchRegistry registry;
    twtest::TempDir dir;
    HKEY key = nullptr, sub = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Orvanne\\Tarnwick", &key));
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(key, "Sub", &sub));
    std::vector<BYTE> longBlob;
    for (int i = 0; i < 100; ++i)
        longBlob.push_back(static_cast<BYTE>(i * 7));
    Set(key, nullptr, REG_SZ, Sz("default"));
    Set(key, "Quoted \"name\"", REG_SZ, Sz("C:\\Videos \"here\""));
    Set(key, "Expand", REG_EXPAND_SZ, Sz("%PATH%\\bin"));
    Set(key, "Count", REG_DWORD, {0x2a, 0, 0, 0x80});
    Set(key, "Blob", REG_BINARY, longBlob);
    Set(key, "Empty", REG_BINARY, {});
    Set(key, "List", REG_MULTI_SZ, {'a', 0, 'b', 'c', 0, 0});
    Set(key, "Quad", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8});
    Set(sub, "Inner", REG_SZ, Sz("inside"));
    RegCloseKey(sub);
    RegCloseKey(key);

    const std::string file = dir.file("out.reg");
    auto r = Reg({"export", "HKCU\\Software\\Orvanne", file});
    ASSERT_EQ(0, r.exitCode) << r.output;
    std::string text = Narrow(twtest::ReadFile(file));
    for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        EXPECT_LE(end - start, 80u) << text.substr(start, end - start);

    std::string error;
    Sections sections = Parse(text, &error);
    ASSERT_EQ("", error) << text;
    ASSERT_EQ(3u, sections.size()) << text;
    EXPECT_TRUE(sections["HKEY_CURRENT_USER\\Software\\Orvanne"].empty());
    const auto &values = sections["HKEY_CURRENT_USER\\Software\\Orvanne\\Tarnwick"];
    std::map<std::string, Parsed> expected = {
        {"", {REG_SZ, Sz("default")}},
        {"Quoted \"name\"", {REG_SZ, Sz("C:\\Videos \"here\"")}},
        {"Expand", {REG_EXPAND_SZ, Sz("%PATH%\\bin")}},
        {"Count", {REG_DWORD, {0x2a, 0, 0, 0x80}}},
        {"Blob", {REG_BINARY, longBlob}},
        {"Empty", {REG_BINARY, {}}},
        {"List", {REG_MULTI_SZ, {'a', 0, 'b', 'c', 0, 0}}},
        {"Quad", {REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}}},
    };
    EXPECT_TRUE(expected == values) << text;
    EXPECT_TRUE(sections["HKEY_CURRENT_USER\\Software\\Orvanne\\Tarnwick\\Sub"]["Inner"] ==
                (Parsed{REG_SZ, Sz("inside")}));
    EXPECT_TRUE(Contains(text, "\"Count\"=dword:8000002a\r\n")) << text;

    // An existing file is kept unless /y says otherwise.
    twtest::WriteFile(file, "keep me");
    r = Reg({"export", "HKCU\\Software\\Orvanne\\Tarnwick\\Sub", file});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ("keep me", twtest::ReadFile(file));
    r = Reg({"export", "HKCU\\Software\\Orvanne\\Tarnwick\\Sub", file, "/y"});
    ASSERT_EQ(0, r.exitCode) << r.output;
    EXPECT_EQ(1u, Parse(Narrow(twtest::ReadFile(file)), &error).size());

    r = Reg({"export", "HKCU\\Software\\Missing", dir.file("missing.reg")});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_TRUE(Contains(r.output, kNotFound)) << r.output;
    EXPECT_FALSE(twtest::FileExists(dir.file("missing.reg")));
}

} // namespace
