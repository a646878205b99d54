// Reading DIALOG and DIALOGEX templates, bounds-checked throughout.
#include "dialogtemplate.h"

#include <twkernel/textconv.h>

namespace twgui {
namespace {

class Reader {
public:
    Reader(const BYTE *data, size_t size) : m_begin(data), m_p(data), m_end(data + size) {}

    bool Word(WORD &v)
    {
        if (m_end - m_p < 2)
            return false;
        v = static_cast<WORD>(m_p[0] | (m_p[1] << 8));
        m_p += 2;
        return true;
    }
    bool Dword(DWORD &v)
    {
        WORD lo, hi;
        if (!Word(lo) || !Word(hi))
            return false;
        v = static_cast<DWORD>(lo) | (static_cast<DWORD>(hi) << 16);
        return true;
    }
    bool Short(short &v)
    {
        WORD w;
        if (!Word(w))
            return false;
        v = static_cast<short>(w);
        return true;
    }
    bool Byte(BYTE &v)
    {
        if (m_p >= m_end)
            return false;
        v = *m_p++;
        return true;
    }
    // A NUL-terminated UTF-16 string, as UTF-8.
    bool String(std::string &out)
    {
        std::u16string wide;
        for (;;) {
            WORD c;
            if (!Word(c))
                return false;
            if (c == 0)
                break;
            wide.push_back(static_cast<char16_t>(c));
        }
        out = twk::Utf8FromWide(wide);
        return true;
    }
    // A string or an ordinal (0xFFFF then a number); ordinals come back as "#n"
    // unless `names` gives the predefined class for them.
    bool StringOrOrdinal(std::string &out, bool classNames)
    {
        WORD first;
        if (!Word(first))
            return false;
        if (first == 0) {
            out.clear();
            return true;
        }
        if (first == 0xFFFF) {
            WORD ordinal;
            if (!Word(ordinal))
                return false;
            out = classNames ? PredefinedClass(ordinal) : "#" + std::to_string(ordinal);
            return true;
        }
        m_p -= 2;
        return String(out);
    }
    bool AlignDword()
    {
        size_t offset = static_cast<size_t>(m_p - m_begin);
        size_t pad = (4 - offset % 4) % 4;
        if (static_cast<size_t>(m_end - m_p) < pad) {
            m_p = m_end;
            return pad == 0;
        }
        m_p += pad;
        return true;
    }
    bool Skip(size_t n)
    {
        if (static_cast<size_t>(m_end - m_p) < n)
            return false;
        m_p += n;
        return true;
    }

private:
    static std::string PredefinedClass(WORD ordinal)
    {
        switch (ordinal) {
        case 0x0080: return "Button";
        case 0x0081: return "Edit";
        case 0x0082: return "Static";
        case 0x0083: return "ListBox";
        case 0x0084: return "ScrollBar";
        case 0x0085: return "ComboBox";
        default: return "#" + std::to_string(ordinal);
        }
    }

    const BYTE *m_begin;
    const BYTE *m_p;
    const BYTE *m_end;
};

constexpr WORD kMaxItems = 1024;

} // namespace

bool ParseDialogTemplate(const void *data, size_t size, DialogTemplate &out)
{
    if (data == nullptr)
        return false;
    Reader in(static_cast<const BYTE *>(data), size);
    DialogTemplate t;
    WORD count = 0;
    WORD w0, w1;
    if (!in.Word(w0) || !in.Word(w1))
        return false;
    t.extended = w0 == 1 && w1 == 0xFFFF;
    if (t.extended) {
        DWORD helpId;
        if (!in.Dword(helpId) || !in.Dword(t.exStyle) || !in.Dword(t.style))
            return false;
    } else {
        t.style = static_cast<DWORD>(w0) | (static_cast<DWORD>(w1) << 16);
        if (!in.Dword(t.exStyle))
            return false;
    }
    std::string menu;
    if (!in.Word(count) || !in.Short(t.x) || !in.Short(t.y) || !in.Short(t.cx) || !in.Short(t.cy) ||
        !in.StringOrOrdinal(menu, false) || !in.StringOrOrdinal(t.className, false) || !in.String(t.caption))
        return false;
    if (count > kMaxItems)
        return false;
    if (t.style & DS_SETFONT) {
        WORD points;
        if (!in.Word(points))
            return false;
        t.pointSize = points;
        if (t.extended) {
            WORD weight;
            BYTE italic, charset;
            if (!in.Word(weight) || !in.Byte(italic) || !in.Byte(charset))
                return false;
        }
        if (!in.String(t.typeface))
            return false;
    }
    for (WORD i = 0; i < count; ++i) {
        DialogItemTemplate item;
        if (!in.AlignDword())
            return false;
        if (t.extended) {
            DWORD helpId, id;
            if (!in.Dword(helpId) || !in.Dword(item.exStyle) || !in.Dword(item.style))
                return false;
            if (!in.Short(item.x) || !in.Short(item.y) || !in.Short(item.cx) || !in.Short(item.cy) || !in.Dword(id))
                return false;
            item.id = static_cast<int>(static_cast<LONG>(id));
        } else {
            WORD id;
            if (!in.Dword(item.style) || !in.Dword(item.exStyle) || !in.Short(item.x) || !in.Short(item.y) ||
                !in.Short(item.cx) || !in.Short(item.cy) || !in.Word(id))
                return false;
            item.id = static_cast<short>(id);
        }
        WORD extra;
        if (!in.StringOrOrdinal(item.className, true) || !in.StringOrOrdinal(item.text, false) || !in.Word(extra) ||
            !in.Skip(extra))
            return false;
        t.items.push_back(std::move(item));
    }
    out = std::move(t);
    return true;
}

} // namespace twgui
