// Test support: the resource modules, and readers of the resource formats they
// carry (menu and dialog templates, device-independent bitmaps).
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace restest {

using Bytes = std::vector<uint8_t>;

// A test module from the test directory, loaded for the scope.
class Module {
public:
    explicit Module(const std::string &fileName);
    ~Module();
    Module(const Module &) = delete;
    Module &operator=(const Module &) = delete;

    HMODULE handle() const { return m_handle; }
    const std::string &path() const { return m_path; }
    // The resource's bytes, empty when it is missing.
    Bytes Resource(int id, LPCSTR type) const;

private:
    std::string m_path;
    HMODULE m_handle;
};

struct MenuItem {
    WORD flags = 0;
    WORD id = 0; // items only, not pop-ups
    std::string text;
    std::vector<MenuItem> items; // a pop-up's
};

// The top-level items of a MENU template; false when it is malformed.
bool ParseMenu(const Bytes &data, std::vector<MenuItem> &menu);

struct DialogControl {
    DWORD style = 0, exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;             // -1 for IDC_STATIC
    std::string className;  // upper case; predefined classes by name ("BUTTON")
    std::string text;
};

struct Dialog {
    DWORD style = 0, exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::string caption;
    int pointSize = 0;
    std::string font;
    std::vector<DialogControl> controls;
};

// A DIALOG or DIALOGEX template; false when it is malformed.
bool ParseDialog(const Bytes &data, Dialog &dialog);

struct Rgba {
    int r = 0, g = 0, b = 0, a = 0;
};

// A packed DIB: BITMAPINFOHEADER and uncompressed 24- or 32-bit pixels. An icon
// image stores its colour rows and then its AND mask, with the doubled height.
class Dib {
public:
    // False when the header is malformed or the pixels do not fit the data.
    bool Parse(const Bytes &data, bool icon = false);
    int width() const { return m_width; }
    int height() const { return m_height; }
    int bitCount() const { return m_bitCount; }
    DWORD compression() const { return m_compression; }
    // (x, y) from the top-left corner; alpha 255 for 24-bit pixels.
    Rgba Pixel(int x, int y) const;
    // An icon's AND mask bit: true where the image is transparent.
    bool MaskBit(int x, int y) const;

private:
    const uint8_t *Row(size_t offset, size_t rowBytes, int y) const;
    Bytes m_data;
    int m_width = 0, m_height = 0, m_bitCount = 0;
    DWORD m_compression = 0;
    bool m_topDown = false, m_icon = false;
    size_t m_pixels = 0;
};

} // namespace restest
