// Damaged, foreign and hostile module files: resources are "not found", never a
// crash or a read outside the file's data.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "elfwriter.h"
#include "twtesting.h"

namespace {

using restest::MakeElf;
using restest::MakeRes;

void Put16(std::string &s, size_t at, uint16_t v)
{
    s[at] = char(v & 0xFF);
    s[at + 1] = char(v >> 8);
}

void Put32(std::string &s, size_t at, uint32_t v)
{
    Put16(s, at, uint16_t(v));
    Put16(s, at + 2, uint16_t(v >> 16));
}

void Put64(std::string &s, size_t at, uint64_t v)
{
    Put32(s, at, uint32_t(v));
    Put32(s, at + 4, uint32_t(v >> 32));
}

// The version block embedded in this test program (the same as the module's).
std::string OwnVersionBlock()
{
    HRSRC info = FindResourceA(nullptr, MAKEINTRESOURCEA(VS_VERSION_INFO), RT_VERSION);
    if (!info)
        return "";
    return std::string(static_cast<const char *>(LockResource(LoadResource(nullptr, info))),
                       SizeofResource(nullptr, info));
}

// Reads version information from the file the way callers do, checking that every
// answer lies within the buffer. Returns the size reported.
DWORD Exercise(const std::string &path)
{
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), nullptr);
    if (size == 0)
        return 0;
    std::vector<uint8_t> buffer(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, buffer.data()))
        return size;
    for (const char *q : {"\\", "\\VarFileInfo\\Translation", "\\StringFileInfo\\040904B0\\ProductName",
                          "\\StringFileInfo\\040904B0\\Comments", "\\StringFileInfo\\040904B0",
                          "\\StringFileInfo\\040904B0\\Empty"}) {
        LPVOID value = nullptr;
        UINT len = 0;
        if (!VerQueryValueA(buffer.data(), q, &value, &len))
            continue;
        const auto *p = static_cast<const uint8_t *>(value);
        EXPECT_TRUE(p >= buffer.data() && p + len <= buffer.data() + size) << q;
        if (len > 0 && q[1] == 'S') {
            EXPECT_LT(strlen(static_cast<const char *>(value)), size_t(size));
        }
    }
    return size;
}

void ExpectNoVersion(const std::string &path, DWORD error, const char *what)
{
    SetLastError(0);
    EXPECT_EQ(GetFileVersionInfoSizeA(path.c_str(), nullptr), 0u) << what;
    EXPECT_EQ(GetLastError(), error) << what;
}

TEST(MalformedModules, TruncatedCopiesOfAModule)
{
    twtest::TempDir dir;
    const std::string module = twtest::ReadFile(twtest::TestPath("restest.dll"));
    ASSERT_GT(module.size(), 1000u);
    const std::string path = dir.file("cut.dll");
    for (size_t len : {size_t(0), size_t(1), size_t(4), size_t(63), size_t(64), size_t(65), module.size() / 3,
                       module.size() / 2, module.size() - 64, module.size() - 1}) {
        twtest::WriteFile(path, module.substr(0, len));
        ExpectNoVersion(path, ERROR_RESOURCE_DATA_NOT_FOUND, ("cut at " + std::to_string(len)).c_str());
    }
    twtest::WriteFile(path, module);
    EXPECT_GT(Exercise(path), 0u);
}

TEST(MalformedModules, ForeignFiles)
{
    twtest::TempDir dir;
    std::mt19937 random(7);
    std::string noise(4096, '\0');
    for (char &c : noise)
        c = char(random());
    twtest::WriteFile(dir.file("noise.dll"), noise);
    ExpectNoVersion(dir.file("noise.dll"), ERROR_RESOURCE_DATA_NOT_FOUND, "random bytes");
    // Random bytes behind a valid ELF64 identification.
    twtest::WriteFile(dir.file("noise2.dll"), std::string("\x7f" "ELF\x02\x01\x01", 7) + noise);
    ExpectNoVersion(dir.file("noise2.dll"), ERROR_RESOURCE_DATA_NOT_FOUND, "ELF magic and random bytes");
    twtest::WriteFile(dir.file("text.dll"), "This is not a module.\n");
    ExpectNoVersion(dir.file("text.dll"), ERROR_RESOURCE_DATA_NOT_FOUND, "text file");
    twtest::WriteFile(dir.file("nosection.dll"), MakeElf({{".text", "\xc3"}, {".data", "abcd"}}));
    ExpectNoVersion(dir.file("nosection.dll"), ERROR_RESOURCE_DATA_NOT_FOUND, "ELF without .rsrc");
    twtest::WriteFile(dir.file("noversion.dll"), MakeElf({{".rsrc", MakeRes({{10, 1, 0, "data"}})}}));
    ExpectNoVersion(dir.file("noversion.dll"), ERROR_RESOURCE_TYPE_NOT_FOUND, "resources without version");
}

TEST(MalformedModules, LyingSectionHeaders)
{
    twtest::TempDir dir;
    const std::string good = MakeElf({{".rsrc", MakeRes({{16, 1, 0, OwnVersionBlock()}})}});
    const std::string path = dir.file("lying.dll");
    twtest::WriteFile(path, good);
    ASSERT_GT(Exercise(path), 0u) << "the unaltered file must carry version information";

    const uint64_t shoff = uint8_t(good[0x28]) | (uint64_t(uint8_t(good[0x29])) << 8);
    const size_t rsrcHeader = shoff + 64;  // section 1
    struct Patch {
        const char *what;
        size_t at;
        int width;
        uint64_t value;
    } patches[] = {
        {"section table offset past the end", 0x28, 8, good.size()},
        {"section table offset near 2^64", 0x28, 8, ~uint64_t(0) - 8},
        {"section count beyond the file", 0x3C, 2, 0xFFF0},
        {"section entry size too small", 0x3A, 2, 16},
        {"name table index out of range", 0x3E, 2, 200},
        {"section name beyond the name table", rsrcHeader, 4, 0xFFFFFF},
        {".rsrc offset past the end", rsrcHeader + 24, 8, good.size()},
        {".rsrc size past the end", rsrcHeader + 32, 8, good.size()},
        {".rsrc offset + size wrapping", rsrcHeader + 24, 8, ~uint64_t(0) - 4},
        {".rsrc without file contents", rsrcHeader + 4, 4, 8},
        {"32-bit class", 4, 1, 1},
    };
    for (const Patch &p : patches) {
        std::string bad = good;
        if (p.width == 1)
            bad[p.at] = char(p.value);
        else if (p.width == 2)
            Put16(bad, p.at, uint16_t(p.value));
        else if (p.width == 4)
            Put32(bad, p.at, uint32_t(p.value));
        else
            Put64(bad, p.at, p.value);
        twtest::WriteFile(path, bad);
        ExpectNoVersion(path, ERROR_RESOURCE_DATA_NOT_FOUND, p.what);
    }
}

TEST(MalformedModules, LyingResStreams)
{
    twtest::TempDir dir;
    const std::string good = MakeRes({{16, 1, 0, OwnVersionBlock()}});
    const size_t entry = 32;  // after the empty opening entry
    struct Patch {
        const char *what;
        size_t at;
        uint32_t value;
    } patches[] = {
        {"data size beyond the stream", entry, 0x10000},
        {"data size near 2^32", entry, 0xFFFFFFF0},
        {"header size too small", entry + 4, 8},
        {"header size zero", entry + 4, 0},
        {"header size beyond the stream", entry + 4, 0x7FFFFFFF},
        {"opening entry data size lying", 0, 0xFFFF},
    };
    const std::string path = dir.file("res.dll");
    for (const Patch &p : patches) {
        std::string bad = good;
        Put32(bad, p.at, p.value);
        twtest::WriteFile(path, MakeElf({{".rsrc", bad}}));
        ExpectNoVersion(path, ERROR_RESOURCE_DATA_NOT_FOUND, p.what);
    }
    // A string name with no terminator inside the header.
    std::string bad = good;
    Put16(bad, entry + 12, 'A');
    Put16(bad, entry + 14, 'B');
    for (size_t i = entry + 16; i < entry + 32; i += 2)
        Put16(bad, i, 'C');
    twtest::WriteFile(path, MakeElf({{".rsrc", bad}}));
    ExpectNoVersion(path, ERROR_RESOURCE_DATA_NOT_FOUND, "unterminated name");
    // A version block whose root claims more than the resource holds.
    bad = good;
    Put16(bad, entry + 32, 0xFFF0);
    twtest::WriteFile(path, MakeElf({{".rsrc", bad}}));
    ExpectNoVersion(path, ERROR_RESOURCE_DATA_NOT_FOUND, "root length beyond the resource");
}

// Random damage to the version block and to the .res stream around it.
TEST(MalformedModules, RandomDamageNeverReadsOutOfBounds)
{
    twtest::TempDir dir;
    const std::string block = OwnVersionBlock();
    ASSERT_GT(block.size(), 100u);
    const std::string path = dir.file("fuzz.dll");
    std::mt19937 random(20261207);
    int readable = 0;
    for (int round = 0; round < 400; ++round) {
        std::string damaged = block;
        const int changes = 1 + int(random() % 4);
        for (int i = 0; i < changes; ++i) {
            size_t at = random() % damaged.size();
            // Mostly hit the length words at node starts, which are DWORD-aligned.
            if (random() % 2)
                at &= ~size_t(3);
            damaged[at] = char(random());
        }
        std::string res = MakeRes({{16, 1, 0, damaged}});
        if (round % 4 == 3)
            res[random() % res.size()] = char(random());
        twtest::WriteFile(path, MakeElf({{".rsrc", res}}));
        if (Exercise(path) > 0)
            ++readable;
    }
    EXPECT_GT(readable, 0);
}

} // namespace
