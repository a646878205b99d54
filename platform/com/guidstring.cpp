// GUIDs as text: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hex.
#include <twcom/guidtext.h>
#include <twcom/widestr.h>

#include <objbase.h>
#include <twkernel/textconv.h>

namespace {

constexpr int kGuidChars = 38; // without the terminator

int HexValue(OLECHAR c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// Reads `digits` hex digits at s[pos]; false when any is not a hex digit.
bool ReadHex(LPCOLESTR s, int pos, int digits, uint32_t &value)
{
    value = 0;
    for (int i = 0; i < digits; ++i) {
        int v = HexValue(s[pos + i]);
        if (v < 0)
            return false;
        value = (value << 4) | uint32_t(v);
    }
    return true;
}

// Parses exactly the braced form; reads no character past a terminator.
bool ParseGuid(LPCOLESTR s, GUID &guid)
{
    for (int i = 0; i < kGuidChars; ++i)
        if (s[i] == 0)
            return false;
    if (s[kGuidChars] != 0 || s[0] != u'{' || s[37] != u'}' || s[9] != u'-' || s[14] != u'-' || s[19] != u'-' ||
        s[24] != u'-')
        return false;
    uint32_t v;
    GUID g;
    if (!ReadHex(s, 1, 8, v))
        return false;
    g.Data1 = v;
    if (!ReadHex(s, 10, 4, v))
        return false;
    g.Data2 = uint16_t(v);
    if (!ReadHex(s, 15, 4, v))
        return false;
    g.Data3 = uint16_t(v);
    static const int kBytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!ReadHex(s, kBytePos[i], 2, v))
            return false;
        g.Data4[i] = uint8_t(v);
    }
    guid = g;
    return true;
}

HRESULT GuidFromString(LPCOLESTR lpsz, GUID *pguid, HRESULT malformed)
{
    if (!pguid)
        return E_INVALIDARG;
    if (!lpsz) {
        *pguid = GUID_NULL;
        return S_OK;
    }
    if (!ParseGuid(lpsz, *pguid))
        return malformed;
    return S_OK;
}

} // namespace

STDAPI_(int) StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax)
{
    if (!lpsz || cchMax < kGuidChars + 1)
        return 0;
    static const char kHex[] = "0123456789ABCDEF";
    int pos = 0;
    auto put = [&](uint32_t value, int digits) {
        for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
            lpsz[pos++] = OLECHAR(kHex[(value >> shift) & 0xF]);
    };
    lpsz[pos++] = u'{';
    put(rguid.Data1, 8);
    lpsz[pos++] = u'-';
    put(rguid.Data2, 4);
    lpsz[pos++] = u'-';
    put(rguid.Data3, 4);
    lpsz[pos++] = u'-';
    put(rguid.Data4[0], 2);
    put(rguid.Data4[1], 2);
    lpsz[pos++] = u'-';
    for (int i = 2; i < 8; ++i)
        put(rguid.Data4[i], 2);
    lpsz[pos++] = u'}';
    lpsz[pos++] = 0;
    return pos;
}

STDAPI StringFromCLSID(REFCLSID rclsid, LPOLESTR *lplpsz)
{
    if (!lplpsz)
        return E_INVALIDARG;
    OLECHAR text[kGuidChars + 1];
    StringFromGUID2(rclsid, text, kGuidChars + 1);
    *lplpsz = twcom::TaskMemString(text);
    return *lplpsz ? S_OK : E_OUTOFMEMORY;
}

STDAPI StringFromIID(REFIID rclsid, LPOLESTR *lplpsz)
{
    return StringFromCLSID(rclsid, lplpsz);
}

STDAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid)
{
    return GuidFromString(lpsz, pclsid, CO_E_CLASSSTRING);
}

STDAPI IIDFromString(LPCOLESTR lpsz, LPIID lpiid)
{
    return GuidFromString(lpsz, lpiid, E_INVALIDARG);
}

std::string twcom::GuidText(REFGUID guid)
{
    OLECHAR wide[kGuidChars + 1];
    StringFromGUID2(guid, wide, kGuidChars + 1);
    return twk::Utf8FromWide(wide);
}

bool twcom::GuidFromText(const std::string &text, GUID *guid)
{
    return guid && ParseGuid(twk::WideFromUtf8(text).c_str(), *guid);
}
