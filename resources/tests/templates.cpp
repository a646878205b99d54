#include "templates.h"

#include <cctype>
#include <cstring>

namespace restest {

namespace {

// Little-endian reads that stop at the end of the data and remember that they did.
class Reader {
public:
    explicit Reader(const Bytes &data) : m_data(data) {}
    bool ok() const { return m_ok; }
    bool atEnd() const { return m_pos >= m_data.size(); }

    uint16_t u16()
    {
        if (m_pos + 2 > m_data.size()) {
            m_ok = false;
            return 0;
        }
        const uint16_t v = uint16_t(m_data[m_pos] | m_data[m_pos + 1] << 8);
        m_pos += 2;
        return v;
    }
    uint32_t u32()
    {
        const uint32_t low = u16();
        return low | uint32_t(u16()) << 16;
    }
    int s16() { return int16_t(u16()); }

    // NUL-terminated UTF-16; the scripts hold ASCII only, anything else shows as '?'.
    std::string text()
    {
        std::string out;
        for (uint16_t c = u16(); m_ok && c != 0; c = u16())
            out += c < 0x80 ? char(c) : '?';
        return out;
    }
    // A name or an ordinal (0xFFFF and a number), the ordinal as "#n".
    std::string nameOrOrdinal()
    {
        if (m_pos + 2 <= m_data.size() && m_data[m_pos] == 0xFF && m_data[m_pos + 1] == 0xFF) {
            u16();
            return "#" + std::to_string(u16());
        }
        return text();
    }
    void align4() { m_pos = (m_pos + 3) & ~size_t(3); }

private:
    const Bytes &m_data;
    size_t m_pos = 0;
    bool m_ok = true;
};

std::string ClassName(const std::string &name)
{
    static const char *const kPredefined[] = {"BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR", "COMBOBOX"};
    if (name.size() > 1 && name[0] == '#') {
        const int atom = std::stoi(name.substr(1));
        if (atom >= 0x80 && atom <= 0x85)
            return kPredefined[atom - 0x80];
    }
    std::string upper = name;
    for (char &c : upper)
        c = char(toupper(static_cast<unsigned char>(c)));
    return upper;
}

bool ParseMenuItems(Reader &in, std::vector<MenuItem> &items, int depth)
{
    if (depth > 8)
        return false;
    for (;;) {
        MenuItem item;
        item.flags = in.u16();
        if (!(item.flags & MF_POPUP))
            item.id = in.u16();
        item.text = in.text();
        if (!in.ok())
            return false;
        if ((item.flags & MF_POPUP) && !ParseMenuItems(in, item.items, depth + 1))
            return false;
        items.push_back(item);
        if (item.flags & MF_END)
            return true;
    }
}

} // namespace

Module::Module(const std::string &fileName)
    : m_path(std::string(TW_TEST_DIR) + "/" + fileName), m_handle(LoadLibraryA(m_path.c_str()))
{
}

Module::~Module()
{
    if (m_handle)
        FreeLibrary(m_handle);
}

Bytes Module::Resource(int id, LPCSTR type) const
{
    HRSRC info = m_handle ? FindResourceA(m_handle, MAKEINTRESOURCEA(id), type) : nullptr;
    if (!info)
        return {};
    const auto *data = static_cast<const uint8_t *>(LockResource(LoadResource(m_handle, info)));
    return data ? Bytes(data, data + SizeofResource(m_handle, info)) : Bytes();
}

bool ParseMenu(const Bytes &data, std::vector<MenuItem> &menu)
{
    Reader in(data);
    const uint16_t version = in.u16();
    const uint16_t headerSize = in.u16();
    return in.ok() && version == 0 && headerSize == 0 && ParseMenuItems(in, menu, 0);
}

bool ParseDialog(const Bytes &data, Dialog &dialog)
{
    Reader in(data);
    // A DIALOGEX template starts with version 1 and 0xFFFF, a DIALOG with its style.
    const uint32_t first = in.u32();
    const bool extended = first == 0xFFFF0001;
    if (extended) {
        in.u32(); // help id
        dialog.exStyle = in.u32();
        dialog.style = in.u32();
    } else {
        dialog.style = first;
        dialog.exStyle = in.u32();
    }
    const int count = in.u16();
    dialog.x = in.s16();
    dialog.y = in.s16();
    dialog.cx = in.s16();
    dialog.cy = in.s16();
    in.nameOrOrdinal(); // menu
    in.nameOrOrdinal(); // class
    dialog.caption = in.text();
    if (dialog.style & DS_SETFONT) {
        dialog.pointSize = in.u16();
        if (extended)
            in.u32(); // weight, italic, character set
        dialog.font = in.text();
    }
    for (int i = 0; i < count && in.ok(); ++i) {
        DialogControl control;
        in.align4();
        if (extended) {
            in.u32(); // help id
            control.exStyle = in.u32();
            control.style = in.u32();
        } else {
            control.style = in.u32();
            control.exStyle = in.u32();
        }
        control.x = in.s16();
        control.y = in.s16();
        control.cx = in.s16();
        control.cy = in.s16();
        control.id = extended ? int(int32_t(in.u32())) : in.s16();
        control.className = ClassName(in.nameOrOrdinal());
        control.text = in.nameOrOrdinal();
        const uint16_t extra = in.u16();
        for (uint16_t b = 0; b + 1 < extra; b += 2)
            in.u16();
        dialog.controls.push_back(control);
    }
    return in.ok() && int(dialog.controls.size()) == count;
}

bool Dib::Parse(const Bytes &data, bool icon)
{
    m_data = data;
    m_icon = icon;
    BITMAPINFOHEADER h;
    if (data.size() < sizeof h)
        return false;
    memcpy(&h, data.data(), sizeof h);
    if (h.biSize < sizeof h || h.biSize > data.size() || h.biPlanes != 1 || (h.biBitCount != 24 && h.biBitCount != 32) ||
        h.biCompression != BI_RGB || h.biClrUsed != 0 || h.biWidth <= 0 || h.biHeight == 0)
        return false;
    m_width = h.biWidth;
    m_topDown = h.biHeight < 0;
    m_height = m_topDown ? -h.biHeight : h.biHeight;
    if (icon) {
        if (m_topDown || m_height % 2)
            return false;
        m_height /= 2;
    }
    m_bitCount = h.biBitCount;
    m_compression = h.biCompression;
    m_pixels = h.biSize;
    const size_t colourRow = ((size_t(m_width) * m_bitCount + 31) / 32) * 4;
    const size_t maskRow = icon ? ((size_t(m_width) + 31) / 32) * 4 : 0;
    return m_pixels + (colourRow + maskRow) * m_height <= data.size();
}

const uint8_t *Dib::Row(size_t offset, size_t rowBytes, int y) const
{
    const int row = m_topDown ? y : m_height - 1 - y;
    return m_data.data() + offset + rowBytes * row;
}

Rgba Dib::Pixel(int x, int y) const
{
    const size_t bytes = m_bitCount / 8;
    const uint8_t *p = Row(m_pixels, ((size_t(m_width) * m_bitCount + 31) / 32) * 4, y) + bytes * x;
    return {p[2], p[1], p[0], bytes == 4 ? p[3] : 255};
}

bool Dib::MaskBit(int x, int y) const
{
    const size_t colourRow = ((size_t(m_width) * m_bitCount + 31) / 32) * 4;
    const uint8_t *row = Row(m_pixels + colourRow * m_height, ((size_t(m_width) + 31) / 32) * 4, y);
    return row[x / 8] & (0x80 >> (x % 8));
}

} // namespace restest
