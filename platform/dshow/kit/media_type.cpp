#include "media_type.h"

#include <cstring>

#include "media/media_types.h"

namespace twds::kit {

MediaType::MediaType()
{
    std::memset(&m_mt, 0, sizeof(m_mt));
}

MediaType::MediaType(const AM_MEDIA_TYPE &mt) : MediaType()
{
    Set(mt);
}

MediaType::MediaType(const GUID &major, const GUID &sub) : MediaType()
{
    m_mt.majortype = major;
    m_mt.subtype = sub;
    m_mt.bFixedSizeSamples = TRUE;
    m_mt.lSampleSize = 1;
}

MediaType::MediaType(const MediaType &other) : MediaType()
{
    Set(other.m_mt);
}

MediaType &MediaType::operator=(const MediaType &other)
{
    if (this != &other)
        Set(other.m_mt);
    return *this;
}

MediaType::~MediaType()
{
    FreeMediaType(&m_mt);
}

HRESULT MediaType::Set(const AM_MEDIA_TYPE &mt)
{
    AM_MEDIA_TYPE copy;
    HRESULT hr = CopyMediaType(&copy, &mt);
    Clear();
    if (FAILED(hr))
        return hr;
    m_mt = copy;
    return S_OK;
}

void MediaType::Clear()
{
    FreeMediaType(&m_mt);
    std::memset(&m_mt, 0, sizeof(m_mt));
}

HRESULT MediaType::CopyTo(AM_MEDIA_TYPE *out) const
{
    if (!out)
        return E_POINTER;
    return CopyMediaType(out, &m_mt);
}

AM_MEDIA_TYPE *MediaType::CreateCopy() const
{
    return CreateMediaType(&m_mt);
}

bool MediaType::Empty() const
{
    return m_mt.majortype == GUID_NULL && m_mt.subtype == GUID_NULL && m_mt.formattype == GUID_NULL;
}

bool MediaType::Matches(const AM_MEDIA_TYPE &full, const AM_MEDIA_TYPE &partial)
{
    if (partial.majortype != GUID_NULL && partial.majortype != full.majortype)
        return false;
    if (partial.subtype != GUID_NULL && partial.subtype != full.subtype)
        return false;
    if (partial.formattype != GUID_NULL) {
        if (partial.formattype != full.formattype)
            return false;
        if (partial.cbFormat != full.cbFormat)
            return false;
        if (partial.cbFormat && std::memcmp(partial.pbFormat, full.pbFormat, partial.cbFormat) != 0)
            return false;
    }
    return true;
}

bool MediaType::IsFullySpecified(const AM_MEDIA_TYPE &mt)
{
    return mt.majortype != GUID_NULL && mt.subtype != GUID_NULL && mt.formattype != GUID_NULL;
}

} // namespace twds::kit
