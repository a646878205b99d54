// CKestrinFilter: the DirectShow face of CKestrin, a renderer with the input pins
// "Video in" and "Audio in".
#pragma once
#include "streams.h"

class CKestrin;

class CKestrinFilter : public CBaseFilter {
public:
    CKestrinFilter(LPUNKNOWN pOwner, CCritSec *pLock, CKestrin *pKestrin);
    ~CKestrinFilter() override;

    int PinCount() override;
    CBasePin *PinAt(int n) override;
    const FilterSetupRecord *FilterSetupData() override;

    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME tStart) override;

    // Cleared when the owning object goes away first.
    void Detach() { m_pKestrin = nullptr; }

private:
    CKestrin *m_pKestrin;
};
