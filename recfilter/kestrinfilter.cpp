#include "kestrinfilter.h"

#include "ckestrin.h"
#include "kestrinpin.h"

CKestrinFilter::CKestrinFilter(LPUNKNOWN pOwner, CCritSec *pLock, CKestrin *pKestrin)
    : CBaseFilter(nullptr, pOwner, pLock, CLSID_Kestrin), m_pKestrin(pKestrin)
{
}

CKestrinFilter::~CKestrinFilter() = default;

int CKestrinFilter::PinCount()
{
    return 2;
}

CBasePin *CKestrinFilter::PinAt(int n)
{
    if (!m_pKestrin)
        return nullptr;
    return m_pKestrin->PinAt(n);
}

const FilterSetupRecord *CKestrinFilter::FilterSetupData()
{
    return nullptr;
}

STDMETHODIMP CKestrinFilter::Stop()
{
    CAutoLock lock(m_pLock);
    // The recording is finished and the queue emptied before the pins are deactivated.
    if (m_pKestrin)
        m_pKestrin->StopAndDiscardQueue();
    return CBaseFilter::Stop();
}

STDMETHODIMP CKestrinFilter::Pause()
{
    CAutoLock lock(m_pLock);
    // Also the way into Run from Stopped.
    if (m_pKestrin)
        m_pKestrin->AcceptSamples();
    return CBaseFilter::Pause();
}

STDMETHODIMP CKestrinFilter::Run(REFERENCE_TIME tStart)
{
    CAutoLock lock(m_pLock);
    return CBaseFilter::Run(tStart);
}
