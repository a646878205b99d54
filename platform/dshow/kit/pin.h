// What input and output pins share: name, direction, owner filter, the peer and
// the connection's media type, and the IPin queries over them.
//
// Threads: connections are made and broken on the graph's thread while the filter
// is stopped, under m_lock (the pin lock). Streaming threads read the peer and
// the type under m_lock too (Peer(), Type()), so a reading is never torn.
#pragma once
#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>

#include <objbase.h>
#include <vfwmsgs.h>

#include "kit/enumerators.h"
#include "kit/filter.h"

namespace twds::kit {

template <class Derived, class... More>
class PinBase : public twcom::Inner<Derived, IPin, More...> {
public:
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin **pPin) override
    {
        if (!pPin)
            return E_POINTER;
        std::lock_guard<std::mutex> hold(m_lock);
        *pPin = nullptr;
        if (!m_peer)
            return VFW_E_NOT_CONNECTED;
        m_peer.copy_to(pPin);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE *pmt) override
    {
        if (!pmt)
            return E_POINTER;
        std::lock_guard<std::mutex> hold(m_lock);
        if (!m_peer) {
            std::memset(pmt, 0, sizeof(*pmt));
            return VFW_E_NOT_CONNECTED;
        }
        return m_type.CopyTo(pmt);
    }
    HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO *pInfo) override
    {
        if (!pInfo)
            return E_POINTER;
        pInfo->pFilter = m_filter;
        m_filter->AddRef();
        pInfo->dir = m_dir;
        size_t n = std::min<size_t>(m_name.size(), MAX_PIN_NAME - 1);
        std::memcpy(pInfo->achName, m_name.data(), n * sizeof(WCHAR));
        pInfo->achName[n] = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION *pPinDir) override
    {
        if (!pPinDir)
            return E_POINTER;
        *pPinDir = m_dir;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR *Id) override
    {
        if (!Id)
            return E_POINTER;
        size_t bytes = (m_name.size() + 1) * sizeof(WCHAR);
        *Id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
        if (!*Id)
            return E_OUTOFMEMORY;
        std::memcpy(*Id, m_name.c_str(), bytes);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin **, ULONG *) override { return E_NOTIMPL; }

    // The connected pin (a reference) or null.
    twcom::ComPtr<IPin> Peer()
    {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_peer;
    }
    bool IsConnected()
    {
        std::lock_guard<std::mutex> hold(m_lock);
        return static_cast<bool>(m_peer);
    }
    // The connection's media type (empty when not connected).
    MediaType Type()
    {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_type;
    }
    Filter *OwnerFilter() const { return m_filter; }
    // Names the pin; only while its filter is being built.
    void Rename(std::u16string name) { m_name = std::move(name); }
    const std::u16string &Name() const { return m_name; }

protected:
    PinBase(Filter *filter, PIN_DIRECTION dir, std::u16string name)
        : twcom::Inner<Derived, IPin, More...>(filter->Self()), m_filter(filter), m_dir(dir), m_name(std::move(name))
    {
    }

    // Connections are changed only while the filter is stopped.
    HRESULT CheckStopped() const
    {
        return m_filter->State() == State_Stopped ? S_OK : VFW_E_NOT_STOPPED;
    }

    Filter *const m_filter;
    const PIN_DIRECTION m_dir;
    std::u16string m_name;               // set in construction
    std::mutex m_lock;                   // the pin lock
    twcom::ComPtr<IPin> m_peer;          // m_lock
    MediaType m_type;                    // m_lock
};

} // namespace twds::kit
