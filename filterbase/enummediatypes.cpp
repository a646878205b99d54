#include <climits>
#include <new>

#include <objbase.h>
#include <vfwmsgs.h>

#include "basepin.h"
#include "enumerators.h"

CEnumMediaTypes::CEnumMediaTypes(CBasePin *pPin, const CEnumMediaTypes *pClone)
    : m_Position(0), m_pPin(pPin), m_Version(0), m_cRef(1)
{
    // The pin's reference goes to its filter.
    m_pPin->AddRef();
    if (pClone) {
        m_Position = pClone->m_Position;
        m_Version = pClone->m_Version;
    } else {
        m_Version = m_pPin->MediaTypeListVersion();
    }
}

CEnumMediaTypes::~CEnumMediaTypes()
{
    m_pPin->Release();
}

STDMETHODIMP CEnumMediaTypes::QueryInterface(REFIID riid, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IEnumMediaTypes || riid == IID_IUnknown) {
        *ppv = static_cast<IEnumMediaTypes *>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CEnumMediaTypes::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_cRef));
}

STDMETHODIMP_(ULONG) CEnumMediaTypes::Release()
{
    LONG count = InterlockedDecrement(&m_cRef);
    if (count == 0)
        delete this;
    return static_cast<ULONG>(count);
}

bool CEnumMediaTypes::AreWeOutOfSync() const
{
    return m_pPin->MediaTypeListVersion() != m_Version;
}

STDMETHODIMP CEnumMediaTypes::Next(ULONG cMediaTypes, AM_MEDIA_TYPE **ppMediaTypes, ULONG *pcFetched)
{
    if (!ppMediaTypes)
        return E_POINTER;
    if (AreWeOutOfSync())
        return VFW_E_ENUM_OUT_OF_SYNC;
    if (pcFetched)
        *pcFetched = 0;
    else if (cMediaTypes > 1)
        return E_INVALIDARG;

    ULONG fetched = 0;
    ULONG wanted = cMediaTypes;
    while (wanted > 0) {
        MediaTypeValue value;
        if (m_Position == INT_MAX)
            break;
        HRESULT hr = m_pPin->PreferredMediaType(m_Position++, &value);
        if (hr != S_OK)
            break;
        AM_MEDIA_TYPE *pRecord = static_cast<AM_MEDIA_TYPE *>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
        if (!pRecord)
            break;
        // The record takes over the value's format block and format object.
        *pRecord = value;
        value.pbFormat = nullptr;
        value.cbFormat = 0;
        value.pUnk = nullptr;
        ppMediaTypes[fetched++] = pRecord;
        wanted--;
    }
    if (pcFetched)
        *pcFetched = fetched;
    return wanted == 0 ? S_OK : S_FALSE;
}

STDMETHODIMP CEnumMediaTypes::Skip(ULONG cMediaTypes)
{
    if (cMediaTypes == 0)
        return S_OK;
    if (AreWeOutOfSync())
        return VFW_E_ENUM_OUT_OF_SYNC;
    if (cMediaTypes > static_cast<ULONG>(INT_MAX - m_Position))
        m_Position = INT_MAX;
    else
        m_Position += static_cast<int>(cMediaTypes);
    MediaTypeValue probe;
    return m_pPin->PreferredMediaType(m_Position - 1, &probe) == S_OK ? S_OK : S_FALSE;
}

STDMETHODIMP CEnumMediaTypes::Reset()
{
    m_Position = 0;
    m_Version = m_pPin->MediaTypeListVersion();
    return S_OK;
}

STDMETHODIMP CEnumMediaTypes::Clone(IEnumMediaTypes **ppEnum)
{
    if (!ppEnum)
        return E_POINTER;
    *ppEnum = nullptr;
    if (AreWeOutOfSync())
        return VFW_E_ENUM_OUT_OF_SYNC;
    CEnumMediaTypes *pClone = new (std::nothrow) CEnumMediaTypes(m_pPin, this);
    if (!pClone)
        return E_OUTOFMEMORY;
    *ppEnum = pClone;
    return S_OK;
}
