#include "enumerators.h"

namespace twds::kit {

MediaTypeEnum::MediaTypeEnum(std::vector<MediaType> types, size_t position)
    : m_types(std::move(types)), m_position(position)
{
}

HRESULT MediaTypeEnum::Create(std::vector<MediaType> types, IEnumMediaTypes **out)
{
    if (!out)
        return E_POINTER;
    auto e = twcom::Make<MediaTypeEnum>(std::move(types));
    if (!e)
        return E_OUTOFMEMORY;
    *out = e.detach();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaTypeEnum::Next(ULONG count, AM_MEDIA_TYPE **out, ULONG *fetched)
{
    if (!out || (count != 1 && !fetched))
        return E_POINTER;
    ULONG n = 0;
    while (n < count && m_position < m_types.size()) {
        AM_MEDIA_TYPE *copy = m_types[m_position].CreateCopy();
        if (!copy)
            break;
        out[n++] = copy;
        ++m_position;
    }
    if (fetched)
        *fetched = n;
    return n == count ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE MediaTypeEnum::Skip(ULONG count)
{
    size_t left = m_types.size() - m_position;
    if (count > left) {
        m_position = m_types.size();
        return S_FALSE;
    }
    m_position += count;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaTypeEnum::Reset()
{
    m_position = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaTypeEnum::Clone(IEnumMediaTypes **out)
{
    if (!out)
        return E_POINTER;
    auto e = twcom::Make<MediaTypeEnum>(m_types, m_position);
    if (!e)
        return E_OUTOFMEMORY;
    *out = e.detach();
    return S_OK;
}

} // namespace twds::kit
