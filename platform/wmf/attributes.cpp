#include "attributes.h"

#include <algorithm>
#include <asferr.h>
#include <cstring>

#include "text.h"

namespace twwmf {

namespace {

bool SizeFits(WMT_ATTR_DATATYPE type, WORD length)
{
    switch (type) {
    case WMT_TYPE_DWORD:
    case WMT_TYPE_BOOL: return length == 4;
    case WMT_TYPE_QWORD: return length == 8;
    case WMT_TYPE_WORD: return length == 2;
    case WMT_TYPE_GUID: return length == sizeof(GUID);
    case WMT_TYPE_STRING: return length >= 2 && length % 2 == 0;
    case WMT_TYPE_BINARY: return true;
    }
    return false;
}

HRESULT CopyOutValue(const std::vector<BYTE> &value, BYTE *pValue, WORD *pcbLength)
{
    if (!pcbLength)
        return E_POINTER;
    WORD needed = static_cast<WORD>(value.size());
    if (!pValue) {
        *pcbLength = needed;
        return S_OK;
    }
    if (*pcbLength < needed) {
        *pcbLength = needed;
        return ASF_E_BUFFERTOOSMALL;
    }
    if (needed)
        memcpy(pValue, value.data(), needed);
    *pcbLength = needed;
    return S_OK;
}

} // namespace

HRESULT AttributeStore::Set(WORD stream, const WCHAR *name, WMT_ATTR_DATATYPE type, const BYTE *value, WORD length)
{
    if (!name || (length && !value))
        return E_POINTER;
    std::u16string key = WideString(name);
    if (key.empty() || key.size() >= 0xFFFF || !SizeFits(type, length))
        return E_INVALIDARG;
    Attribute a{stream, key, type, std::vector<BYTE>(value, value + length)};
    if (type == WMT_TYPE_STRING) {
        // Strings are kept with exactly one terminating NUL.
        std::u16string text(length / 2, u'\0');
        memcpy(text.data(), value, length);
        text.resize(std::char_traits<char16_t>::length(text.c_str()));
        a.value.resize((text.size() + 1) * 2);
        memcpy(a.value.data(), text.c_str(), a.value.size());
    }
    auto it = std::find_if(m_attributes.begin(), m_attributes.end(),
                           [&](const Attribute &x) { return x.stream == stream && x.name == key; });
    if (it != m_attributes.end())
        *it = std::move(a);
    else
        m_attributes.push_back(std::move(a));
    return S_OK;
}

HRESULT AttributeStore::Count(WORD stream, WORD *pcAttributes) const
{
    if (!pcAttributes)
        return E_POINTER;
    *pcAttributes = static_cast<WORD>(std::count_if(m_attributes.begin(), m_attributes.end(),
                                                    [&](const Attribute &a) { return a.stream == stream; }));
    return S_OK;
}

HRESULT AttributeStore::ByIndex(WORD index, WORD *pwStream, WCHAR *pwszName, WORD *pcchName,
                                WMT_ATTR_DATATYPE *pType, BYTE *pValue, WORD *pcbLength) const
{
    if (!pwStream || !pcchName || !pType || !pcbLength)
        return E_POINTER;
    WORD seen = 0;
    for (const Attribute &a : m_attributes) {
        if (a.stream != *pwStream)
            continue;
        if (seen++ != index)
            continue;
        HRESULT hr = CopyOutText(a.name, pwszName, pcchName);
        if (FAILED(hr))
            return hr;
        *pType = a.type;
        return CopyOutValue(a.value, pValue, pcbLength);
    }
    return E_INVALIDARG;
}

HRESULT AttributeStore::ByName(WORD *pwStream, const WCHAR *name, WMT_ATTR_DATATYPE *pType, BYTE *pValue,
                               WORD *pcbLength) const
{
    if (!pwStream || !name || !pType || !pcbLength)
        return E_POINTER;
    std::u16string key = WideString(name);
    for (const Attribute &a : m_attributes) {
        if (a.stream == *pwStream && a.name == key) {
            *pType = a.type;
            return CopyOutValue(a.value, pValue, pcbLength);
        }
    }
    return ASF_E_NOTFOUND;
}

} // namespace twwmf
