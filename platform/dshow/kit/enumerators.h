// Enumerators over a snapshot: IEnumPins, IEnumFilters (any enumerator of
// interface pointers) and IEnumMediaTypes. Each is used by one thread at a time,
// as COM enumerators are.
#pragma once
#include <vector>

#include "kit/interfaces.h"
#include "kit/media_type.h"

namespace twds::kit {

// An enumerator of interface pointers I, as IEnum (IEnumPins, IEnumFilters).
template <class IEnum, class I>
class InterfaceEnum final : public twcom::Object<InterfaceEnum<IEnum, I>, IEnum> {
public:
    explicit InterfaceEnum(std::vector<twcom::ComPtr<I>> items, size_t position = 0)
        : m_items(std::move(items)), m_position(position)
    {
    }

    // Hands out a new enumerator over items.
    static HRESULT Create(std::vector<twcom::ComPtr<I>> items, IEnum **out)
    {
        if (!out)
            return E_POINTER;
        auto e = twcom::Make<InterfaceEnum>(std::move(items));
        if (!e)
            return E_OUTOFMEMORY;
        *out = e.detach();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, I **out, ULONG *fetched) override
    {
        if (!out || (count != 1 && !fetched))
            return E_POINTER;
        ULONG n = 0;
        while (n < count && m_position < m_items.size())
            m_items[m_position++].copy_to(&out[n++]);
        if (fetched)
            *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override
    {
        size_t left = m_items.size() - m_position;
        if (count > left) {
            m_position = m_items.size();
            return S_FALSE;
        }
        m_position += count;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reset() override
    {
        m_position = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnum **out) override
    {
        if (!out)
            return E_POINTER;
        auto e = twcom::Make<InterfaceEnum>(m_items, m_position);
        if (!e)
            return E_OUTOFMEMORY;
        *out = e.detach();
        return S_OK;
    }

private:
    std::vector<twcom::ComPtr<I>> m_items;
    size_t m_position;
};

// An IEnumMediaTypes over copies of the given types.
class MediaTypeEnum final : public twcom::Object<MediaTypeEnum, IEnumMediaTypes> {
public:
    explicit MediaTypeEnum(std::vector<MediaType> types, size_t position = 0);
    static HRESULT Create(std::vector<MediaType> types, IEnumMediaTypes **out);

    HRESULT STDMETHODCALLTYPE Next(ULONG count, AM_MEDIA_TYPE **out, ULONG *fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumMediaTypes **out) override;

private:
    std::vector<MediaType> m_types;
    size_t m_position;
};

} // namespace twds::kit
