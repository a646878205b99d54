#include "filesink.h"

#include <new>
#include <nserror.h>

#include "averror.h"
#include "fileio.h"
#include <twkernel/paths.h>
#include "samplebuffer.h"
#include "text.h"

namespace twwmf {

FileSink::~FileSink()
{
    CloseFile();
}

STDMETHODIMP FileSink::OnHeader(INSSBuffer *) { return S_OK; }

STDMETHODIMP FileSink::IsRealTime(BOOL *pfRealTime)
{
    if (!pfRealTime)
        return E_POINTER;
    *pfRealTime = FALSE;
    return S_OK;
}

STDMETHODIMP FileSink::AllocateDataUnit(DWORD cbDataUnit, INSSBuffer **ppDataUnit)
{
    return SampleBuffer::Create(cbDataUnit, ppDataUnit);
}

STDMETHODIMP FileSink::OnDataUnit(INSSBuffer *) { return S_OK; }

STDMETHODIMP FileSink::OnEndWriting() { return S_OK; }

STDMETHODIMP FileSink::Open(const WCHAR *pwszFilename)
{
    if (!pwszFilename)
        return E_POINTER;
    std::u16string name = WideString(pwszFilename);
    if (name.empty())
        return NS_E_INVALID_NAME;
    std::string path = twk::NativePath(twk::Utf8FromWide(name).c_str());
    if (path.empty())
        return NS_E_INVALID_NAME;

    std::lock_guard<std::mutex> guard(m_lock);
    if (m_inUse)
        return NS_E_INVALID_REQUEST;
    CloseFile();
    int err = 0;
    AVIOContext *io = OpenFileIO(path, &err);
    if (!io)
        return HResultFromAVError(err, path);
    m_io = io;
    m_path = path;
    return S_OK;
}

AVIOContext *FileSink::BeginUse()
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_io || m_inUse)
        return nullptr;
    m_inUse = true;
    return m_io;
}

HRESULT FileSink::EndUse()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_inUse = false;
    return CloseFile();
}

HRESULT FileSink::CloseFile()
{
    int err = CloseFileIO(&m_io);
    return err < 0 ? HResultFromAVError(err, m_path) : S_OK;
}

} // namespace twwmf

extern "C" HRESULT STDAPICALLTYPE WMCreateWriterFileSink(IWMWriterFileSink **ppSink)
{
    if (!ppSink)
        return E_POINTER;
    *ppSink = twcom::Make<twwmf::FileSink>().detach();
    return *ppSink ? S_OK : E_OUTOFMEMORY;
}
