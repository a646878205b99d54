#include "writer.h"

#include <cstdio>
#include <new>

namespace {

template <class T>
void ReleaseAndClear(T *&p)
{
    if (p) {
        p->Release();
        p = nullptr;
    }
}

unsigned Hex(HRESULT hr)
{
    return static_cast<unsigned>(hr);
}

} // namespace

CWriter::CWriter()
    : m_bWriting(FALSE), m_pStreamNumbers(nullptr), m_cStreams(0), m_pWriter(nullptr), m_pWriterAdvanced(nullptr),
      m_pWriterAdvanced3(nullptr), m_pFileSink(nullptr), m_pHeaderInfo(nullptr)
{
}

CWriter::~CWriter()
{
    if (m_pFileSink)
        RemoveFileSink();
    ReleaseAndClear(m_pFileSink);
    ReleaseInterfaces();
    delete[] m_pStreamNumbers;
}

void CWriter::ReleaseInterfaces()
{
    ReleaseAndClear(m_pHeaderInfo);
    ReleaseAndClear(m_pWriterAdvanced);
    ReleaseAndClear(m_pWriterAdvanced3);
    ReleaseAndClear(m_pWriter);
}

HRESULT CWriter::Init()
{
    if (m_bWriting || m_pHeaderInfo)
        return E_FAIL;
    HRESULT hr = WMCreateWriter(nullptr, &m_pWriter);
    if (FAILED(hr)) {
        printf("Could not create Writer (hr=0x%08x).\n", Hex(hr));
        m_pWriter = nullptr;
        return hr;
    }
    hr = m_pWriter->QueryInterface(IID_IWMWriterAdvanced, reinterpret_cast<void **>(&m_pWriterAdvanced));
    if (FAILED(hr)) {
        printf("Could not QI for IWMWriterAdvanced (hr=0x%08x).\n", Hex(hr));
        m_pWriterAdvanced = nullptr;
        ReleaseInterfaces();
        return hr;
    }
    hr = m_pWriter->QueryInterface(IID_IWMWriterAdvanced3, reinterpret_cast<void **>(&m_pWriterAdvanced3));
    if (FAILED(hr)) {
        printf("Could not QI for IWMWriterAdvanced3 (hr=0x%08x).\n", Hex(hr));
        m_pWriterAdvanced3 = nullptr;
        ReleaseInterfaces();
        return hr;
    }
    hr = m_pWriter->QueryInterface(IID_IWMHeaderInfo, reinterpret_cast<void **>(&m_pHeaderInfo));
    if (FAILED(hr)) {
        printf("Could not QI for IWMHeaderInfo (hr=0x%08x).\n", Hex(hr));
        m_pHeaderInfo = nullptr;
        ReleaseInterfaces();
        return hr;
    }
    return S_OK;
}

HRESULT CWriter::CreateFileSink(LPCWSTR pszFileName)
{
    if (!m_pWriterAdvanced || m_bWriting || m_pFileSink)
        return E_FAIL;
    HRESULT hr = WMCreateWriterFileSink(&m_pFileSink);
    if (FAILED(hr)) {
        printf("Could not create Writer File Sink (hr=0x%08x).\n", Hex(hr));
        m_pFileSink = nullptr;
        return hr;
    }
    hr = m_pFileSink->Open(pszFileName);
    if (FAILED(hr)) {
        char name[MAX_PATH * 3] = "";
        if (pszFileName)
            WideCharToMultiByte(CP_ACP, 0, pszFileName, -1, name, sizeof name, nullptr, nullptr);
        name[sizeof name - 1] = 0;
        printf("File sink failed to open file %s (hr=0x%08x).\n", name, Hex(hr));
        ReleaseAndClear(m_pFileSink);
        return hr;
    }
    hr = m_pWriterAdvanced->AddSink(m_pFileSink);
    if (FAILED(hr)) {
        printf("Could not Add Sink (hr=0x%08x).\n", Hex(hr));
        ReleaseAndClear(m_pFileSink);
        return hr;
    }
    return S_OK;
}

HRESULT CWriter::Configure(IWMProfile *pProfile)
{
    if (m_bWriting || !m_pHeaderInfo || !pProfile)
        return E_FAIL;
    HRESULT hr = m_pWriter->SetProfile(pProfile);
    if (FAILED(hr)) {
        printf("Could not set profile on IWMWriter (hr=0x%08x).\n", Hex(hr));
        return hr;
    }
    DWORD cInputs = 0;
    hr = m_pWriter->GetInputCount(&cInputs);
    if (FAILED(hr)) {
        printf("Could not get input count from IWMWriter (hr=0x%08x).\n", Hex(hr));
        return hr;
    }
    // Null input properties make every input pass-through: no codec runs.
    for (DWORD i = 0; i < cInputs; i++) {
        hr = m_pWriter->SetInputProps(i, nullptr);
        if (FAILED(hr))
            return hr;
    }

    // The stream-number table; its failures do not change the result.
    delete[] m_pStreamNumbers;
    m_pStreamNumbers = nullptr;
    m_cStreams = 0;
    HRESULT hrTable = pProfile->GetStreamCount(&m_cStreams);
    if (FAILED(hrTable)) {
        printf("GetStreamCount on IWMProfile failed (hr=0x%08x).\n", Hex(hrTable));
        m_cStreams = 0;
        return hr;
    }
    if (m_cStreams == 0)
        return hr;
    m_pStreamNumbers = new (std::nothrow) WORD[m_cStreams]();
    if (!m_pStreamNumbers) {
        m_cStreams = 0;
        return hr;
    }
    for (DWORD i = 0; i < m_cStreams; i++) {
        IWMStreamConfig *pConfig = nullptr;
        hrTable = pProfile->GetStream(i, &pConfig);
        if (FAILED(hrTable) || !pConfig) {
            printf("Could not get Stream %d of %d from IWMProfile (hr=0x%08x).\n", static_cast<int>(i),
                   static_cast<int>(m_cStreams), Hex(hrTable));
            continue;
        }
        hrTable = pConfig->GetStreamNumber(&m_pStreamNumbers[i]);
        if (FAILED(hrTable))
            printf("Could not get stream number from IWMStreamConfig %d of %d (hr=0x%08x).\n", static_cast<int>(i),
                   static_cast<int>(m_cStreams), Hex(hrTable));
        pConfig->Release();
    }
    return hr;
}

HRESULT CWriter::Start()
{
    if (!m_pWriter || m_bWriting)
        return E_FAIL;
    HRESULT hr = m_pWriter->BeginWriting();
    if (FAILED(hr)) {
        printf("BeginWriting on IWMWriter failed (hr=0x%08x).\n", Hex(hr));
        return hr;
    }
    m_bWriting = TRUE;
    return S_OK;
}

HRESULT CWriter::AllocateSample(DWORD dwLength, INSSBuffer **ppBuffer)
{
    if (!m_pWriter)
        return E_FAIL;
    return m_pWriter->AllocateSample(dwLength, ppBuffer);
}

HRESULT CWriter::WriteStreamSample(WORD wStreamNum, QWORD cnsSampleTime, DWORD msSampleSendTime,
                                   QWORD cnsSampleDuration, DWORD dwFlags, INSSBuffer *pSample)
{
    if (!m_pWriterAdvanced || !m_bWriting)
        return E_FAIL;
    return m_pWriterAdvanced->WriteStreamSample(wStreamNum, cnsSampleTime, msSampleSendTime, cnsSampleDuration,
                                                dwFlags, pSample);
}

HRESULT CWriter::StopWriting()
{
    if (!m_pWriter || !m_bWriting)
        return E_FAIL;
    HRESULT hr = m_pWriter->Flush();
    if (FAILED(hr)) {
        printf("Could not Flush on IWMWriter (hr=0x%08x).\n", Hex(hr));
        return hr;
    }
    hr = m_pWriter->EndWriting();
    if (FAILED(hr)) {
        printf("Could not EndWriting on IWMWriter (hr=0x%08x).\n", Hex(hr));
        return hr;
    }
    m_bWriting = FALSE;
    if (m_pFileSink) {
        hr = RemoveFileSink();
        if (FAILED(hr))
            printf("Could not remove file sink (hr=0x%08x).\n", Hex(hr));
    }
    return hr;
}

HRESULT CWriter::RemoveFileSink()
{
    if (!m_pWriterAdvanced || !m_pFileSink || m_bWriting)
        return E_FAIL;
    HRESULT hr = m_pWriterAdvanced->RemoveSink(m_pFileSink);
    if (FAILED(hr)) {
        printf("Could not remove the File Sink (hr=0x%08x).\n", Hex(hr));
        return hr;
    }
    ReleaseAndClear(m_pFileSink);
    ReleaseInterfaces();
    return S_OK;
}

void CWriter::Discard()
{
    if (m_bWriting)
        return;
    if (m_pFileSink && m_pWriterAdvanced)
        m_pWriterAdvanced->RemoveSink(m_pFileSink);
    ReleaseAndClear(m_pFileSink);
    ReleaseInterfaces();
}
