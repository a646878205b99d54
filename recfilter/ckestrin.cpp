#include "ckestrin.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "kestrinfilter.h"
#include "kestrinpin.h"
#include "writer.h"

void KestrinWarning(const char *pFormat, ...)
{
    char text[512];
    va_list args;
    va_start(args, pFormat);
    vsnprintf(text, sizeof text, pFormat, args);
    va_end(args);
    MessageBoxA(nullptr, text, "Kestrin Filter info", MB_ICONWARNING);
}

CUnknown *CreateKestrinInstance(LPUNKNOWN pUnkOuter, HRESULT *phr)
{
    CKestrin *pObject = new (std::nothrow) CKestrin(pUnkOuter, phr);
    if (!pObject) {
        if (phr)
            *phr = E_OUTOFMEMORY;
        return nullptr;
    }
    return pObject;
}

CKestrin::CKestrin(LPUNKNOWN pUnk, HRESULT *phr)
    : CUnknown(nullptr, pUnk), m_pFilter(nullptr), m_pVideoPin(nullptr), m_pAudioPin(nullptr), m_pFileName(nullptr),
      m_WMWriter(nullptr), m_State(NoProfile), m_AudioSamplesWritten(0), m_pProfile(nullptr), m_pQueue(nullptr),
      m_pQueueTail(nullptr), m_QueueLength(0), m_ppPending(&m_pQueue),
      m_VideoBitrate(0), m_AudioBitrate(0), m_VideoStreamNumber(0), m_AudioStreamNumber(0),
      m_bAllocateFailureShown(FALSE), m_bWriteFailureShown(FALSE), m_bStopped(FALSE)
{
    m_pFilter = new (std::nothrow) CKestrinFilter(GetOwner(), &m_Lock, this);
    if (!m_pFilter) {
        if (phr)
            *phr = E_OUTOFMEMORY;
        return;
    }
    m_pVideoPin = new (std::nothrow) CKestrinInputPin(this, nullptr, m_pFilter, &m_Lock, &m_ReceiveLock, phr, false);
    if (!m_pVideoPin) {
        if (phr)
            *phr = E_OUTOFMEMORY;
        return;
    }
    m_pAudioPin = new (std::nothrow) CKestrinInputPin(this, nullptr, m_pFilter, &m_Lock, &m_ReceiveLock, phr, true);
    if (!m_pAudioPin) {
        if (phr)
            *phr = E_OUTOFMEMORY;
        return;
    }
    m_WMWriter = new (std::nothrow) CWriter();
    if (!m_WMWriter && phr)
        *phr = E_OUTOFMEMORY;
}

CKestrin::~CKestrin()
{
    if (m_pProfile) {
        m_pProfile->Release();
        m_pProfile = nullptr;
    }
    CloseFile();
    if (m_pFilter)
        m_pFilter->Detach();
    delete m_pAudioPin;
    delete m_pVideoPin;
    delete m_pFilter;
    delete m_WMWriter;
    FreeQueue();
    delete[] m_pFileName;
}

CBasePin *CKestrin::PinAt(int n) const
{
    if (n == 0)
        return m_pVideoPin;
    if (n == 1)
        return m_pAudioPin;
    return nullptr;
}

STDMETHODIMP CKestrin::InnerQueryInterface(REFIID riid, void **ppv)
{
    CAutoLock lock(&m_Lock);
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IKestrin)
        return HandOutInterface(static_cast<IKestrin *>(this), ppv);
    if (riid == IID_IFileSinkFilter)
        return HandOutInterface(static_cast<IFileSinkFilter *>(this), ppv);
    if (riid == IID_IBaseFilter || riid == IID_IMediaFilter || riid == IID_IPersist) {
        if (!m_pFilter) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        return m_pFilter->InnerQueryInterface(riid, ppv);
    }
    return CUnknown::InnerQueryInterface(riid, ppv);
}

void CKestrin::StoreStreamInfo(bool isVideo, DWORD bitrate, WORD streamNumber)
{
    CAutoLock receive(&m_ReceiveLock);
    if (isVideo) {
        m_VideoBitrate = bitrate;
        m_VideoStreamNumber = streamNumber;
    } else {
        m_AudioBitrate = bitrate;
        m_AudioStreamNumber = streamNumber;
    }
}

// Reads streams 0 and 1 of the profile. The profile is read without a lock, so
// that a warning box never holds up the streaming threads; what it changes is
// stored under the receive lock. A file being written is finished first: its
// samples must not be written under stream numbers of another profile.
STDMETHODIMP CKestrin::set_Profile(IWMProfile *pProfile)
{
    if (!pProfile) {
        KestrinWarning("CKestrin::set_Profile: 1 failed hr=%x", static_cast<unsigned>(E_POINTER));
        return E_POINTER;
    }
    LONG state = m_State;
    if (state == WriterStarted || state >= 0)
        CloseFile();

    DWORD cStreams = 0;
    HRESULT hr = pProfile->GetStreamCount(&cStreams);
    if (FAILED(hr)) {
        KestrinWarning("CKestrin::set_Profile: 1 failed hr=%x", static_cast<unsigned>(hr));
        return hr;
    }
    // Steps per stream index: GetStream, GetStreamType, then the bitrate of a video
    // or of another stream.
    static const int kSteps[2][4] = {{1, 3, 4, 5}, {6, 7, 8, 9}};
    for (DWORD index = 0; index < 2; index++) {
        const int *step = kSteps[index];
        IWMStreamConfig *pConfig = nullptr;
        hr = pProfile->GetStream(index, &pConfig);
        if (SUCCEEDED(hr) && !pConfig)
            hr = E_POINTER;
        if (FAILED(hr)) {
            KestrinWarning("CKestrin::set_Profile: %d failed hr=%x", step[0], static_cast<unsigned>(hr));
            return hr;
        }
        GUID type = GUID_NULL;
        hr = pConfig->GetStreamType(&type);
        if (FAILED(hr)) {
            pConfig->Release();
            KestrinWarning("CKestrin::set_Profile: %d failed hr=%x", step[1], static_cast<unsigned>(hr));
            return hr;
        }
        bool isVideo = type == WMMEDIATYPE_Video;
        DWORD bitrate = 0;
        hr = pConfig->GetBitrate(&bitrate);
        if (FAILED(hr)) {
            pConfig->Release();
            KestrinWarning("CKestrin::set_Profile: %d failed hr=%x", isVideo ? step[2] : step[3],
                           static_cast<unsigned>(hr));
            return hr;
        }
        WORD streamNumber = 0;
        pConfig->GetStreamNumber(&streamNumber);
        pConfig->Release();
        StoreStreamInfo(isVideo, bitrate, streamNumber);
    }

    hr = m_pFilter ? m_pFilter->PostGraphEvent(EC_KESTRIN_PROFILE_SET, 0, 0) : E_UNEXPECTED;
    if (FAILED(hr)) {
        KestrinWarning("CKestrin::set_Profile: 10 failed hr=%x", static_cast<unsigned>(hr));
        return hr;
    }

    CAutoLock lock(&m_Lock);
    CAutoLock receive(&m_ReceiveLock);
    // A recording that a pending file name started meanwhile ends here too.
    StopRecordingLocked();
    pProfile->AddRef();
    if (m_pProfile)
        m_pProfile->Release();
    m_pProfile = pProfile;
    m_State = ProfileSet;
    return hr;
}

STDMETHODIMP CKestrin::SetFileName(LPCOLESTR pszFileName, const AM_MEDIA_TYPE *)
{
    if (!pszFileName)
        return CloseFile();
    size_t length = 0;
    while (pszFileName[length]) {
        // A failure code, so that a caller testing FAILED() does not take the
        // refused name for a recording that has started.
        if (++length > MAX_PATH)
            return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    }
    WCHAR *pCopy = new (std::nothrow) WCHAR[length + 1];
    if (!pCopy)
        return E_OUTOFMEMORY;
    memcpy(pCopy, pszFileName, (length + 1) * sizeof(WCHAR));
    {
        // A streaming thread reads the name when it starts the writer.
        CAutoLock receive(&m_ReceiveLock);
        delete[] m_pFileName;
        m_pFileName = pCopy;
        OpenFile();
    }
    return S_OK;
}

// Arms the next recording when a profile is known; the caller holds the receive lock.
HRESULT CKestrin::OpenFile()
{
    if (m_State != ProfileSet)
        return E_FAIL;
    if (!m_pFileName)
        return ERROR_INVALID_NAME;
    char name[MAX_PATH];
    if (WideCharToMultiByte(CP_ACP, 0, m_pFileName, -1, name, MAX_PATH, nullptr, nullptr) == 0)
        return ERROR_INVALID_NAME;
    m_State = FileNamed;
    return S_OK;
}

STDMETHODIMP CKestrin::GetCurFile(LPOLESTR *ppszFileName, AM_MEDIA_TYPE *pmt)
{
    if (!ppszFileName)
        return E_POINTER;
    *ppszFileName = nullptr;
    {
        CAutoLock receive(&m_ReceiveLock);
        if (m_pFileName) {
            size_t length = std::char_traits<WCHAR>::length(m_pFileName);
            auto *pCopy = static_cast<WCHAR *>(CoTaskMemAlloc((length + 1) * sizeof(WCHAR)));
            if (pCopy)
                memcpy(pCopy, m_pFileName, (length + 1) * sizeof(WCHAR));
            *ppszFileName = pCopy;
        }
    }
    if (pmt)
        memset(pmt, 0, sizeof *pmt);
    return S_OK;
}

void CKestrin::StopRecordingLocked()
{
    LONG state = m_State;
    if (state == WriterStarted || state >= 0) {
        m_State = ProfileSet;
        m_WMWriter->StopWriting();
    }
}

// Takes the filter lock, then the receive lock: the order of the filter's Stop,
// which holds the filter lock when it gets here. The streaming threads never
// take the filter lock, so the two cannot deadlock.
HRESULT CKestrin::CloseFile()
{
    CAutoLock lock(&m_Lock);
    CAutoLock receive(&m_ReceiveLock);
    if (m_WMWriter)
        StopRecordingLocked();
    for (QueuedSample *p = m_pQueue; p; p = p->next)
        p->written = 0;
    m_ppPending = &m_pQueue;
    return S_OK;
}

HRESULT CKestrin::StopAndDiscardQueue()
{
    CAutoLock lock(&m_Lock);
    CloseFile();
    CAutoLock receive(&m_ReceiveLock);
    FreeQueue();
    m_bStopped = TRUE;
    return S_OK;
}

void CKestrin::AcceptSamples()
{
    CAutoLock receive(&m_ReceiveLock);
    m_bStopped = FALSE;
}

void CKestrin::FreeQueue()
{
    while (m_pQueue) {
        QueuedSample *pNext = m_pQueue->next;
        m_Records.Recycle(m_pQueue);
        m_pQueue = pNext;
    }
    // The records stay with the store (bounded) until the filter goes: a stopped
    // graph is usually run again, and its first key-frame interval then finds
    // them instead of allocating one per sample.
    m_pQueueTail = nullptr;
    m_QueueLength = 0;
    m_ppPending = &m_pQueue;
}
