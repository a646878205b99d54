// Header attributes (IWMHeaderInfo's name, type and value triples) by stream.
#pragma once
#include <string>
#include <vector>
#include <wmsdkidl.h>

namespace twwmf {

class AttributeStore {
public:
    struct Attribute {
        WORD stream = 0;
        std::u16string name;
        WMT_ATTR_DATATYPE type = WMT_TYPE_DWORD;
        std::vector<BYTE> value;
    };

    // Adds or replaces an attribute; the value's size must suit its type
    // (a string is UTF-16 with its NUL).
    HRESULT Set(WORD stream, const WCHAR *name, WMT_ATTR_DATATYPE type, const BYTE *value, WORD length);

    // The IWMHeaderInfo reading calls, with their size-query rules.
    HRESULT Count(WORD stream, WORD *pcAttributes) const;
    HRESULT ByIndex(WORD index, WORD *pwStream, WCHAR *pwszName, WORD *pcchName, WMT_ATTR_DATATYPE *pType,
                    BYTE *pValue, WORD *pcbLength) const;
    HRESULT ByName(WORD *pwStream, const WCHAR *name, WMT_ATTR_DATATYPE *pType, BYTE *pValue,
                   WORD *pcbLength) const;

    const std::vector<Attribute> &All() const { return m_attributes; }

private:
    std::vector<Attribute> m_attributes;
};

} // namespace twwmf
