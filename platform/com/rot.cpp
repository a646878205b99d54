// The running object table: objects registered under monikers, found again by
// any moniker that is equal to the one they were registered with.
#include "rot.h"

#include <twcom/enummoniker.h>
#include <twcom/widestr.h>
#include <twkernel/textconv.h>

#include <chrono>
#include <twcom/interfaces.h>
#include <mutex>
#include <string>
#include <vector>

namespace twcom {
namespace {

// 100-nanosecond intervals between 1601-01-01 and 1970-01-01.
constexpr ULONGLONG kFileTimeEpochOffset = 116444736000000000ULL;

FILETIME Now()
{
    using namespace std::chrono;
    const auto since1970 = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count() / 100;
    const ULONGLONG ticks = ULONGLONG(since1970) + kFileTimeEpochOffset;
    FILETIME ft;
    ft.dwLowDateTime = DWORD(ticks & 0xFFFFFFFFu);
    ft.dwHighDateTime = DWORD(ticks >> 32);
    return ft;
}

// Monikers are compared by their case-folded display names, which is what
// item-moniker equality amounts to. Computed before the table lock is taken,
// so that no moniker code runs while it is held.
HRESULT ComparisonKey(IMoniker *pmk, std::u16string &key)
{
    IBindCtx *pbc = nullptr;
    HRESULT hr = CreateBindCtx(0, &pbc);
    if (FAILED(hr))
        return hr;
    LPOLESTR name = nullptr;
    hr = pmk->GetDisplayName(pbc, nullptr, &name);
    pbc->Release();
    if (FAILED(hr))
        return hr;
    key = FoldCase(twk::WideString(name));
    CoTaskMemFree(name);
    return S_OK;
}

struct Entry {
    DWORD cookie;
    std::u16string key;
    IUnknown *object;
    IMoniker *moniker;
    FILETIME changed;
};

// Lives as long as the process: its last Release frees nothing.
class CRunningObjectTable final : public Object<CRunningObjectTable, IRunningObjectTable> {
public:

    // The table holds a reference on each registered object and moniker until
    // the registration is revoked, whatever the flags say.
    STDMETHODIMP Register(DWORD grfFlags, IUnknown *punkObject, IMoniker *pmkObjectName, DWORD *pdwRegister) override
    {
        if (!pdwRegister)
            return E_INVALIDARG;
        *pdwRegister = 0;
        if (!punkObject || !pmkObjectName ||
            (grfFlags & ~DWORD(ROTFLAGS_REGISTRATIONKEEPSALIVE | ROTFLAGS_ALLOWANYCLIENT)))
            return E_INVALIDARG;
        std::u16string key;
        HRESULT hr = ComparisonKey(pmkObjectName, key);
        if (FAILED(hr))
            return hr;
        punkObject->AddRef();
        pmkObjectName->AddRef();
        std::lock_guard<std::mutex> hold(m_lock);
        hr = S_OK;
        for (const Entry &e : m_entries)
            if (e.key == key)
                hr = MK_S_MONIKERALREADYREGISTERED;
        DWORD cookie = m_nextCookie++;
        if (m_nextCookie == 0)
            m_nextCookie = 1; // 0 never names a registration
        m_entries.push_back({cookie, std::move(key), punkObject, pmkObjectName, Now()});
        *pdwRegister = cookie;
        return hr;
    }

    STDMETHODIMP Revoke(DWORD dwRegister) override
    {
        Entry revoked;
        {
            std::lock_guard<std::mutex> hold(m_lock);
            auto it = Find(dwRegister);
            if (it == m_entries.end())
                return E_INVALIDARG;
            revoked = std::move(*it);
            m_entries.erase(it);
        }
        // Released outside the lock: the object may revoke or register others as it goes.
        revoked.moniker->Release();
        revoked.object->Release();
        return S_OK;
    }

    STDMETHODIMP IsRunning(IMoniker *pmkObjectName) override
    {
        if (!pmkObjectName)
            return E_INVALIDARG;
        std::u16string key;
        HRESULT hr = ComparisonKey(pmkObjectName, key);
        if (FAILED(hr))
            return hr;
        std::lock_guard<std::mutex> hold(m_lock);
        return Find(key) != m_entries.end() ? S_OK : S_FALSE;
    }

    STDMETHODIMP GetObject(IMoniker *pmkObjectName, IUnknown **ppunkObject) override
    {
        if (!ppunkObject)
            return E_INVALIDARG;
        *ppunkObject = nullptr;
        if (!pmkObjectName)
            return E_INVALIDARG;
        std::u16string key;
        HRESULT hr = ComparisonKey(pmkObjectName, key);
        if (FAILED(hr))
            return hr;
        std::lock_guard<std::mutex> hold(m_lock);
        auto it = Find(key);
        if (it == m_entries.end())
            return MK_E_UNAVAILABLE;
        it->object->AddRef(); // under the lock, so a concurrent Revoke cannot free it first
        *ppunkObject = it->object;
        return S_OK;
    }

    STDMETHODIMP NoteChangeTime(DWORD dwRegister, FILETIME *pfiletime) override
    {
        if (!pfiletime)
            return E_INVALIDARG;
        std::lock_guard<std::mutex> hold(m_lock);
        auto it = Find(dwRegister);
        if (it == m_entries.end())
            return E_INVALIDARG;
        it->changed = *pfiletime;
        return S_OK;
    }

    STDMETHODIMP GetTimeOfLastChange(IMoniker *pmkObjectName, FILETIME *pfiletime) override
    {
        if (!pmkObjectName || !pfiletime)
            return E_INVALIDARG;
        std::u16string key;
        HRESULT hr = ComparisonKey(pmkObjectName, key);
        if (FAILED(hr))
            return hr;
        std::lock_guard<std::mutex> hold(m_lock);
        auto it = Find(key);
        if (it == m_entries.end())
            return MK_E_UNAVAILABLE;
        *pfiletime = it->changed;
        return S_OK;
    }

    STDMETHODIMP EnumRunning(IEnumMoniker **ppenumMoniker) override
    {
        if (!ppenumMoniker)
            return E_INVALIDARG;
        *ppenumMoniker = nullptr;
        std::vector<IMoniker *> monikers;
        {
            std::lock_guard<std::mutex> hold(m_lock);
            monikers.reserve(m_entries.size());
            for (const Entry &e : m_entries) {
                e.moniker->AddRef();
                monikers.push_back(e.moniker);
            }
        }
        return CreateMonikerEnumerator(std::move(monikers), ppenumMoniker);
    }

private:
    friend class Object<CRunningObjectTable, IRunningObjectTable>;
    void FinalRelease() {}

    std::vector<Entry>::iterator Find(DWORD cookie)
    {
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
            if (it->cookie == cookie)
                return it;
        return m_entries.end();
    }
    std::vector<Entry>::iterator Find(const std::u16string &key)
    {
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
            if (it->key == key)
                return it;
        return m_entries.end();
    }

    std::mutex m_lock;      // guards the members below
    std::vector<Entry> m_entries;
    DWORD m_nextCookie = 1;
};

} // namespace

IRunningObjectTable *RunningObjectTable()
{
    // Never destroyed: objects may be revoked from static destructors of other libraries.
    static CRunningObjectTable *table = new CRunningObjectTable;
    return table;
}

} // namespace twcom

STDAPI GetRunningObjectTable(DWORD reserved, LPRUNNINGOBJECTTABLE *pprot)
{
    if (!pprot)
        return E_INVALIDARG;
    *pprot = nullptr;
    if (reserved != 0)
        return E_INVALIDARG;
    *pprot = twcom::RunningObjectTable();
    (*pprot)->AddRef();
    return S_OK;
}
