#include <climits>
#include <new>

#include <vfwmsgs.h>

#include "basefilter.h"
#include "basepin.h"
#include "enumerators.h"

CEnumPins::CEnumPins(CBaseFilter *pFilter, const CEnumPins *pClone)
    : m_Position(pClone ? pClone->m_Position : 0), m_PinCount(pClone ? pClone->m_PinCount : 0),
      m_pFilter(pFilter), m_Version(pClone ? pClone->m_Version : 0), m_cRef(1),
      ReturnedPinList(pClone ? pClone->ReturnedPinList : std::vector<CBasePin *>())
{
    if (!pClone) {
        m_Version = m_pFilter->PinListVersion();
        m_PinCount = m_pFilter->PinCount();
    }
    // Last, so that a constructor that throws holds nothing.
    m_pFilter->AddRef();
}

CEnumPins::~CEnumPins()
{
    m_pFilter->Release();
}

STDMETHODIMP CEnumPins::QueryInterface(REFIID riid, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IEnumPins || riid == IID_IUnknown) {
        *ppv = static_cast<IEnumPins *>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CEnumPins::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_cRef));
}

STDMETHODIMP_(ULONG) CEnumPins::Release()
{
    LONG count = InterlockedDecrement(&m_cRef);
    if (count == 0)
        delete this;
    return static_cast<ULONG>(count);
}

bool CEnumPins::AreWeOutOfSync() const
{
    return m_pFilter->PinListVersion() != m_Version;
}

STDMETHODIMP CEnumPins::Next(ULONG cPins, IPin **ppPins, ULONG *pcFetched)
{
    if (!ppPins)
        return E_POINTER;
    if (pcFetched)
        *pcFetched = 0;
    else if (cPins > 1)
        return E_INVALIDARG;

    // After a change of the pin list the enumeration carries on from the start
    // of the new list, skipping the pins it has already handed out.
    if (AreWeOutOfSync()) {
        m_Version = m_pFilter->PinListVersion();
        m_PinCount = m_pFilter->PinCount();
        m_Position = 0;
    }
    if (cPins == 0 || m_Position >= m_PinCount)
        return S_FALSE;

    ULONG fetched = 0;
    while (m_Position < m_PinCount && fetched < cPins) {
        CBasePin *pPin = m_pFilter->PinAt(m_Position);
        m_Position++;
        if (!pPin) {
            // Take back what this call handed out; the caller sees a failure only.
            for (ULONG i = 0; i < fetched; i++) {
                ppPins[i]->Release();
                ppPins[i] = nullptr;
                ReturnedPinList.pop_back();
            }
            return VFW_E_ENUM_OUT_OF_SYNC;
        }
        bool returned = false;
        for (CBasePin *p : ReturnedPinList)
            if (p == pPin)
                returned = true;
        if (returned)
            continue;
        try {
            ReturnedPinList.push_back(pPin);
        } catch (const std::bad_alloc &) {
            m_Position--;
            break;
        }
        ppPins[fetched] = static_cast<IPin *>(pPin);
        ppPins[fetched]->AddRef();
        fetched++;
    }
    if (pcFetched)
        *pcFetched = fetched;
    return fetched == cPins ? S_OK : S_FALSE;
}

STDMETHODIMP CEnumPins::Skip(ULONG cPins)
{
    if (AreWeOutOfSync())
        return VFW_E_ENUM_OUT_OF_SYNC;
    ULONG remaining = static_cast<ULONG>(m_PinCount - m_Position);
    if (cPins > remaining)
        return S_FALSE;
    m_Position += static_cast<int>(cPins);
    return S_OK;
}

STDMETHODIMP CEnumPins::Reset()
{
    m_Version = m_pFilter->PinListVersion();
    m_PinCount = m_pFilter->PinCount();
    m_Position = 0;
    ReturnedPinList.clear();
    return S_OK;
}

STDMETHODIMP CEnumPins::Clone(IEnumPins **ppEnum)
{
    if (!ppEnum)
        return E_POINTER;
    *ppEnum = nullptr;
    if (AreWeOutOfSync())
        return VFW_E_ENUM_OUT_OF_SYNC;
    CEnumPins *pClone = nullptr;
    try {
        pClone = new CEnumPins(m_pFilter, this);
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    *ppEnum = pClone;
    return S_OK;
}
