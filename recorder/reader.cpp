// The stream probe.
#include "reader.h"

#include <new>
#include <stdio.h>
#include <string.h>

// Diagnostics go to standard output; the caller shows its own error box.
static void Diagnostic(const char *pszFormat, HRESULT hr)
{
    printf(pszFormat, (unsigned)hr);
    fflush(stdout);
}

template <class T>
static void SafeRelease(T *&p)
{
    if (p != NULL) {
        p->Release();
        p = NULL;
    }
}

CReader::CReader()
    : m_hEvent(NULL), m_hrAsync(S_OK), m_pReaderAdvanced(NULL), m_pReader(NULL), m_pHeaderInfo(NULL),
      m_pStreamClock(NULL), m_pProfile(NULL), m_qwDuration(0)
{
    m_szTitle[0] = 0;
}

CReader::~CReader()
{
    SafeRelease(m_pStreamClock);
    SafeRelease(m_pHeaderInfo);
    SafeRelease(m_pReaderAdvanced);
    SafeRelease(m_pReader);
    if (m_hEvent != NULL) {
        CloseHandle(m_hEvent);
        m_hEvent = NULL;
    }
}

void CReader::ReleaseInterfaces()
{
    SafeRelease(m_pStreamClock);
    SafeRelease(m_pHeaderInfo);
    SafeRelease(m_pReaderAdvanced);
    SafeRelease(m_pProfile);
    SafeRelease(m_pReader);
    if (m_hEvent != NULL) {
        CloseHandle(m_hEvent);
        m_hEvent = NULL;
    }
}

HRESULT CReader::Init()
{
    if (m_pHeaderInfo != NULL)
        return E_FAIL;
    m_hrAsync = S_OK;
    m_hEvent = CreateEventA(NULL, FALSE, FALSE, NULL);
    if (m_hEvent == NULL) {
        printf("Could not Create Event.\n");
        fflush(stdout);
        return E_FAIL;
    }
    HRESULT hr = WMCreateReader(NULL, WMT_RIGHT_PLAYBACK, &m_pReader);
    if (FAILED(hr)) {
        Diagnostic("Could not create reader (hr=0x%08x).\n", hr);
    } else {
        hr = m_pReader->QueryInterface(IID_IWMReaderAdvanced, (void **)&m_pReaderAdvanced);
        if (FAILED(hr)) {
            Diagnostic("Could not QI for IWMReaderAdvanced (hr=0x%08x).\n", hr);
        } else {
            hr = m_pReader->QueryInterface(IID_IWMHeaderInfo, (void **)&m_pHeaderInfo);
            if (FAILED(hr)) {
                Diagnostic("Could not QI for IWMHeaderInfo (hr=0x%08x).\n", hr);
            } else {
                hr = m_pReader->QueryInterface(IID_IWMReaderStreamClock, (void **)&m_pStreamClock);
                if (FAILED(hr))
                    Diagnostic("Could not QI for IWMReaderStreamClock (hr=0x%08x).\n", hr);
            }
        }
    }
    if (FAILED(hr)) {
        ReleaseInterfaces();
        return hr;
    }
    return S_OK;
}

int ConvertTitle(const WCHAR *pwsz, int cch, char *pszOut, int cbOut)
{
    if (cbOut <= 0)
        return 0;
    // Whole characters only: a surrogate pair counts as one, and a character
    // whose bytes would not all fit ends the title before it.
    int cchFit = 0;
    int cbFit = 0;
    while (cchFit < cch) {
        int cchChar = 1;
        if (pwsz[cchFit] >= 0xD800 && pwsz[cchFit] <= 0xDBFF && cchFit + 1 < cch && pwsz[cchFit + 1] >= 0xDC00 &&
            pwsz[cchFit + 1] <= 0xDFFF)
            cchChar = 2;
        int cbChar = WideCharToMultiByte(CP_ACP, 0, pwsz + cchFit, cchChar, NULL, 0, NULL, NULL);
        if (cbChar <= 0 || cbFit + cbChar > cbOut - 1)
            break;
        cbFit += cbChar;
        cchFit += cchChar;
    }
    int cb = cchFit > 0 ? WideCharToMultiByte(CP_ACP, 0, pwsz, cchFit, pszOut, cbOut - 1, NULL, NULL) : 0;
    if (cb < 0)
        cb = 0;
    pszOut[cb] = 0;
    return cb;
}

void CReader::ReadTitle(const WCHAR *pwszTitle, int cchTitle)
{
    int cch = 0;
    while (cch < cchTitle && pwszTitle[cch] != 0)
        cch++;
    if (cch == 0)
        lstrcpynA(m_szTitle, "Unknown Title", READER_TITLE_SIZE);
    else
        ConvertTitle(pwszTitle, cch, m_szTitle, READER_TITLE_SIZE);
}

HRESULT CReader::Configure(LPCWSTR url)
{
    if (url == NULL || url[0] == 0)
        return E_INVALIDARG;
    HRESULT hr = m_pReader->Open(url, this, NULL);
    if (FAILED(hr)) {
        char szURL[1024];
        if (WideCharToMultiByte(CP_ACP, 0, url, -1, szURL, sizeof(szURL), NULL, NULL) == 0)
            szURL[0] = 0;
        szURL[sizeof(szURL) - 1] = 0;
        printf("Could not open file %s (hr=0x%08x).\n", szURL, (unsigned)hr);
        fflush(stdout);
        return hr;
    }
    WaitForSingleObject(m_hEvent, INFINITE);
    if (FAILED(m_hrAsync)) {
        Diagnostic("Open failed (hr=0x%08x).\n", m_hrAsync);
        return m_hrAsync;
    }

    // Title: the file-level attribute, its length asked first.
    WORD wStream = 0;
    WMT_ATTR_DATATYPE type = WMT_TYPE_STRING;
    WORD cbLength = 0;
    hr = m_pHeaderInfo->GetAttributeByName(&wStream, g_wszWMTitle, &type, NULL, &cbLength);
    if (FAILED(hr) || type != WMT_TYPE_STRING || cbLength < sizeof(WCHAR)) {
        lstrcpynA(m_szTitle, "Unknown Title", READER_TITLE_SIZE);
    } else {
        BYTE *pValue = new (std::nothrow) BYTE[cbLength];
        if (pValue == NULL)
            return E_OUTOFMEMORY;
        hr = m_pHeaderInfo->GetAttributeByName(&wStream, g_wszWMTitle, &type, pValue, &cbLength);
        if (FAILED(hr)) {
            delete[] pValue;
            return hr;
        }
        ReadTitle((const WCHAR *)pValue, cbLength / sizeof(WCHAR));
        delete[] pValue;
    }

    // Duration: a missing one leaves 0, a live broadcast.
    wStream = 0;
    cbLength = 0;
    type = WMT_TYPE_QWORD;
    hr = m_pHeaderInfo->GetAttributeByName(&wStream, g_wszWMDuration, &type, NULL, &cbLength);
    if (SUCCEEDED(hr)) {
        QWORD qwDuration = 0;
        cbLength = sizeof(qwDuration);
        hr = m_pHeaderInfo->GetAttributeByName(&wStream, g_wszWMDuration, &type, (BYTE *)&qwDuration, &cbLength);
        m_qwDuration = SUCCEEDED(hr) && type == WMT_TYPE_QWORD ? qwDuration : 0;
    }

    hr = m_pReaderAdvanced->SetManualStreamSelection(TRUE);
    if (FAILED(hr)) {
        Diagnostic("Failed to set manual stream selection (hr=0x%08x).\n", hr);
        return hr;
    }
    hr = m_pReader->QueryInterface(IID_IWMProfile, (void **)&m_pProfile);
    if (FAILED(hr)) {
        Diagnostic("Could not QI for IWMProfile (hr=0x%08x).\n", hr);
        return hr;
    }

    // The profile must survive serialisation: the recording writer is set up from it.
    IWMProfileManager *pManager = NULL;
    hr = WMCreateProfileManager(&pManager);
    if (FAILED(hr))
        return hr;
    DWORD cchProfile = 0;
    hr = pManager->SaveProfile(m_pProfile, NULL, &cchProfile);
    if (SUCCEEDED(hr)) {
        WCHAR *pwszProfile = new (std::nothrow) WCHAR[cchProfile + 1];
        if (pwszProfile == NULL) {
            hr = E_OUTOFMEMORY;
        } else {
            hr = pManager->SaveProfile(m_pProfile, pwszProfile, &cchProfile);
            delete[] pwszProfile;
        }
    }
    pManager->Release();
    return hr;
}

IWMProfile *CReader::GetProfile()
{
    return m_pProfile;
}

HRESULT CReader::Close()
{
    HRESULT hr = m_pReader->Close();
    if (FAILED(hr))
        return hr;
    WaitForSingleObject(m_hEvent, INFINITE);
    return S_OK;
}

STDMETHODIMP CReader::QueryInterface(REFIID riid, void **ppv)
{
    if (ppv == NULL)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IWMReaderCallback)) {
        *ppv = (IWMReaderCallback *)this;
        return S_OK;
    }
    *ppv = NULL;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CReader::AddRef()
{
    return 1;
}

STDMETHODIMP_(ULONG) CReader::Release()
{
    return 1;
}

STDMETHODIMP CReader::OnStatus(WMT_STATUS Status, HRESULT hr, WMT_ATTR_DATATYPE, BYTE *, void *)
{
    switch (Status) {
    case WMT_OPENED:
        m_hrAsync = hr;
        SetEvent(m_hEvent);
        break;
    case WMT_END_OF_FILE:
        printf("EndOfStream detected in reader.\n");
        fflush(stdout);
        SetEvent(m_hEvent);
        break;
    case WMT_CLOSED:
        m_hrAsync = hr;
        SetEvent(m_hEvent);
        break;
    case WMT_TIMER:
        printf("Timer ...........................\n");
        fflush(stdout);
        break;
    default:
        break;
    }
    return S_OK;
}

STDMETHODIMP CReader::OnSample(DWORD, QWORD, QWORD, DWORD, INSSBuffer *, void *)
{
    return S_OK;
}
