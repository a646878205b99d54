#include <twcom/widestr.h>

#include <cstring>

namespace twcom {

std::u16string FoldCase(const std::u16string &s)
{
    std::u16string folded = s;
    for (char16_t &c : folded)
        if (c >= u'a' && c <= u'z')
            c = char16_t(c - u'a' + u'A');
    return folded;
}

LPOLESTR TaskMemString(const std::u16string &s)
{
    auto *copy = static_cast<LPOLESTR>(CoTaskMemAlloc((s.size() + 1) * sizeof(OLECHAR)));
    if (copy) {
        memcpy(copy, s.data(), s.size() * sizeof(OLECHAR));
        copy[s.size()] = 0;
    }
    return copy;
}

} // namespace twcom
