// IEnumPins over a filter's pins and IEnumMediaTypes over a pin's preferred types.
// Each holds a reference on what it enumerates and watches its version number.
#pragma once
#include <vector>

#include <strmif.h>

class CBaseFilter;
class CBasePin;

class CEnumPins : public IEnumPins {
public:
    // A fresh enumerator on pFilter, or with pClone a copy of that enumerator's position.
    CEnumPins(CBaseFilter *pFilter, const CEnumPins *pClone);
    virtual ~CEnumPins();
    CEnumPins(const CEnumPins &) = delete;
    CEnumPins &operator=(const CEnumPins &) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP Next(ULONG cPins, IPin **ppPins, ULONG *pcFetched) override;
    STDMETHODIMP Skip(ULONG cPins) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumPins **ppEnum) override;

private:
    bool AreWeOutOfSync() const;

    int m_Position;
    int m_PinCount;
    CBaseFilter *m_pFilter;
    int m_Version;
    volatile LONG m_cRef;
    // Pins already handed out, compared by identity; they hold no reference.
    std::vector<CBasePin *> ReturnedPinList;
};

class CEnumMediaTypes : public IEnumMediaTypes {
public:
    CEnumMediaTypes(CBasePin *pPin, const CEnumMediaTypes *pClone);
    virtual ~CEnumMediaTypes();
    CEnumMediaTypes(const CEnumMediaTypes &) = delete;
    CEnumMediaTypes &operator=(const CEnumMediaTypes &) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP Next(ULONG cMediaTypes, AM_MEDIA_TYPE **ppMediaTypes, ULONG *pcFetched) override;
    STDMETHODIMP Skip(ULONG cMediaTypes) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumMediaTypes **ppEnum) override;

private:
    bool AreWeOutOfSync() const;

    int m_Position;
    CBasePin *m_pPin;
    int m_Version;
    volatile LONG m_cRef;
};
