// File handles: create dispositions and their errors, read, write, seek, size, sharing.
#include <gtest/gtest.h>
#include <twtesting.h>
#include <windows.h>

#include <string>

#ifndef ERROR_NEGATIVE_SEEK
#define ERROR_NEGATIVE_SEEK 131L
#endif

namespace {

// The test directory written the way system code composes paths.
std::string WindowsStyle(const twtest::TempDir &dir, const std::string &name)
{
    return dir.path() + "\\" + name;
}

HANDLE Open(const std::string &path, DWORD access, DWORD disposition, DWORD share = 0)
{
    return CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST(Files, DispositionsAndTheirLastErrors)
{
    twtest::TempDir dir;
    std::string path = WindowsStyle(dir, "clip.asf");

    EXPECT_EQ(Open(path, GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Open(WindowsStyle(dir, "nodir\\clip.asf"), GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(Open(WindowsStyle(dir, "nodir\\clip.asf"), GENERIC_WRITE, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(Open(path, GENERIC_WRITE, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);

    HANDLE h = Open(path, GENERIC_WRITE, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(h, "0123456789", 10, &written, nullptr));
    EXPECT_EQ(written, 10u);
    CloseHandle(h);
    EXPECT_EQ(twtest::ReadFile(dir.file("clip.asf")), "0123456789");

    EXPECT_EQ(Open(path, GENERIC_WRITE, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_EXISTS);

    h = Open(path, GENERIC_READ, OPEN_ALWAYS);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    EXPECT_EQ(GetFileSize(h, nullptr), 10u);
    CloseHandle(h);

    h = Open(path, GENERIC_WRITE, CREATE_ALWAYS);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    EXPECT_EQ(GetFileSize(h, nullptr), 0u) << "CREATE_ALWAYS truncates";
    CloseHandle(h);

    h = Open(WindowsStyle(dir, "fresh.ini"), GENERIC_WRITE, OPEN_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
    CloseHandle(h);

    twtest::WriteFile(dir.file("clip.asf"), "abc");
    h = Open(path, GENERIC_WRITE, TRUNCATE_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(h, nullptr), 0u);
    CloseHandle(h);

    EXPECT_EQ(Open(dir.path(), GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
}

TEST(Files, ReadWriteSeekAndSize)
{
    twtest::TempDir dir;
    HANDLE h = Open(WindowsStyle(dir, "data.bin"), GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    ASSERT_TRUE(WriteFile(h, "hello world", 11, &n, nullptr));

    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 11u);
    EXPECT_EQ(SetFilePointer(h, 6, nullptr, FILE_BEGIN), 6u);
    char buffer[32] = {};
    ASSERT_TRUE(ReadFile(h, buffer, sizeof buffer, &n, nullptr));
    EXPECT_EQ(n, 5u);
    EXPECT_STREQ(buffer, "world");
    ASSERT_TRUE(ReadFile(h, buffer, sizeof buffer, &n, nullptr)); // at the end: success, nothing read
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(SetFilePointer(h, -5, nullptr, FILE_END), 6u);
    EXPECT_EQ(SetFilePointer(h, -1, nullptr, FILE_CURRENT), 5u);

    EXPECT_EQ(SetFilePointer(h, -100, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NEGATIVE_SEEK);
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 5u) << "a failed seek leaves the pointer";

    // A 64-bit position through the high part: 4 GiB + 16, a sparse extension.
    LONG high = 1;
    EXPECT_EQ(SetFilePointer(h, 16, &high, FILE_BEGIN), 16u);
    EXPECT_EQ(high, 1);
    ASSERT_TRUE(WriteFile(h, "x", 1, &n, nullptr));
    DWORD sizeHigh = 0;
    EXPECT_EQ(GetFileSize(h, &sizeHigh), 17u);
    EXPECT_EQ(sizeHigh, 1u);
    LARGE_INTEGER size;
    EXPECT_TRUE(GetFileSizeEx(h, &size));
    EXPECT_EQ(size.QuadPart, 0x100000011LL);
    // Without a high part the answer would not fit 32 bits.
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
    EXPECT_NE(GetLastError(), (DWORD)NO_ERROR);

    EXPECT_EQ(SetFilePointer(h, 5, nullptr, FILE_BEGIN), 5u);
    EXPECT_TRUE(SetEndOfFile(h));
    EXPECT_EQ(GetFileSize(h, &sizeHigh), 5u);
    EXPECT_EQ(sizeHigh, 0u);
    EXPECT_TRUE(FlushFileBuffers(h));
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(twtest::ReadFile(dir.file("data.bin")), "hello");
}

TEST(Files, AccessModeIsEnforced)
{
    twtest::TempDir dir;
    twtest::WriteFile(dir.file("ro.txt"), "data");
    HANDLE h = Open(WindowsStyle(dir, "ro.txt"), GENERIC_READ, OPEN_EXISTING);
    DWORD n = 0;
    EXPECT_FALSE(WriteFile(h, "x", 1, &n, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    CloseHandle(h);
    EXPECT_FALSE(ReadFile(h, &n, 1, &n, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetFileSize(h, nullptr), INVALID_FILE_SIZE);
}

TEST(Files, OverlappedOffsetsOnASynchronousHandle)
{
    twtest::TempDir dir;
    twtest::WriteFile(dir.file("o.bin"), "abcdefgh");
    HANDLE h = Open(WindowsStyle(dir, "o.bin"), GENERIC_READ, OPEN_EXISTING);
    OVERLAPPED ov = {};
    ov.Offset = 4;
    char buffer[8] = {};
    DWORD n = 0;
    ASSERT_TRUE(ReadFile(h, buffer, 2, &n, &ov));
    EXPECT_EQ(std::string(buffer, n), "ef");
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 6u);
    CloseHandle(h);
}

TEST(Files, ShareModesWithinTheProcess)
{
    twtest::TempDir dir;
    std::string path = WindowsStyle(dir, "shared.dat");
    HANDLE writer = Open(path, GENERIC_WRITE, CREATE_ALWAYS, FILE_SHARE_READ);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);

    HANDLE reader = Open(path, GENERIC_READ, OPEN_EXISTING, FILE_SHARE_READ | FILE_SHARE_WRITE);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    // The open writer does not share writing.
    EXPECT_EQ(Open(path, GENERIC_WRITE, OPEN_EXISTING, FILE_SHARE_READ | FILE_SHARE_WRITE), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    // A reader that does not share writing conflicts with the open writer.
    EXPECT_EQ(Open(path, GENERIC_READ, OPEN_EXISTING, FILE_SHARE_READ), INVALID_HANDLE_VALUE);
    // CREATE_ALWAYS that conflicts must not truncate.
    DWORD n;
    WriteFile(writer, "keep", 4, &n, nullptr);
    EXPECT_EQ(Open(path, GENERIC_WRITE, CREATE_ALWAYS, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(twtest::ReadFile(dir.file("shared.dat")), "keep");

    EXPECT_FALSE(DeleteFileA(path.c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    CloseHandle(reader);
    CloseHandle(writer);
    HANDLE exclusive = Open(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, 0);
    EXPECT_NE(exclusive, INVALID_HANDLE_VALUE);
    CloseHandle(exclusive);
    EXPECT_TRUE(DeleteFileA(path.c_str()));
}

TEST(Files, DeleteOnClose)
{
    twtest::TempDir dir;
    HANDLE h = CreateFileA(WindowsStyle(dir, "tmp.part").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(twtest::FileExists(dir.file("tmp.part")));
    CloseHandle(h);
    EXPECT_FALSE(twtest::FileExists(dir.file("tmp.part")));
}

} // namespace
