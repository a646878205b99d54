// The stream probe: opens the URL with a Windows Media reader, only to learn the
// stream profile, the clip title and the clip duration. It never starts the
// reader, so no samples flow through it.
#pragma once
#include <windows.h>
#include <wmsdk.h>

// Length of the title buffer, NUL included.
#define READER_TITLE_SIZE 256

// The reader's callback plus the reader and its interfaces. Lives on the stack of
// the open operation; every call but OnStatus and OnSample is made on the window
// thread, in the order Init, Configure, GetProfile, Close, destruction.
class CReader : public IWMReaderCallback {
public:
    CReader();
    virtual ~CReader();

    HRESULT Init();
    HRESULT Configure(LPCWSTR url);
    IWMProfile *GetProfile();
    HRESULT Close();

    // IUnknown: the object itself, counted by nobody; it lives as long as the
    // open operation.
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv);
    STDMETHODIMP_(ULONG) AddRef();
    STDMETHODIMP_(ULONG) Release();

    // IWMStatusCallback: runs on a reader thread; touches only m_hrAsync and
    // m_hEvent.
    STDMETHODIMP OnStatus(WMT_STATUS Status, HRESULT hr, WMT_ATTR_DATATYPE dwType, BYTE *pValue, void *pvContext);
    // IWMReaderCallback
    STDMETHODIMP OnSample(DWORD dwOutputNum, QWORD cnsSampleTime, QWORD cnsSampleDuration, DWORD dwFlags,
                          INSSBuffer *pSample, void *pvContext);

    HANDLE m_hEvent;       // auto-reset; signalled by OnStatus on open and close completion
    HRESULT m_hrAsync;     // written by OnStatus before the signal, read after the wait
    IWMReaderAdvanced *m_pReaderAdvanced;
    IWMReader *m_pReader;
    IWMHeaderInfo *m_pHeaderInfo;
    IWMReaderStreamClock *m_pStreamClock;
    IWMProfile *m_pProfile; // handed over by GetProfile, never released here
    QWORD m_qwDuration;     // 100 ns; 0 for a broadcast or when unknown
    char m_szTitle[READER_TITLE_SIZE];

private:
    void ReleaseInterfaces();
    void ReadTitle(const WCHAR *pwszTitle, int cchTitle);
};

// Converts UTF-16 text to the ANSI code page into a buffer of cbOut bytes, cut
// after the last whole character that fits with the NUL. Returns the bytes
// written without the NUL.
int ConvertTitle(const WCHAR *pwsz, int cch, char *pszOut, int cbOut);
