// CWriter: the Windows Media writer with a file sink, set up anew for every
// recording, with pass-through inputs so that samples reach the file as given.
#pragma once
#include <windows.h>
#include <wmsdk.h>

class CWriter {
public:
    CWriter();
    virtual ~CWriter();
    CWriter(const CWriter &) = delete;
    CWriter &operator=(const CWriter &) = delete;

    HRESULT Init();
    HRESULT CreateFileSink(LPCWSTR pszFileName);
    HRESULT Configure(IWMProfile *pProfile);
    HRESULT Start();
    HRESULT AllocateSample(DWORD dwLength, INSSBuffer **ppBuffer);
    HRESULT WriteStreamSample(WORD wStreamNum, QWORD cnsSampleTime, DWORD msSampleSendTime,
                              QWORD cnsSampleDuration, DWORD dwFlags, INSSBuffer *pSample);
    HRESULT StopWriting();
    HRESULT RemoveFileSink();
    // Drops everything a recording that failed to start obtained, so that the
    // next recording can Init again. Not for use while writing.
    void Discard();

private:
    void ReleaseInterfaces();

    BOOL m_bWriting;
    WORD *m_pStreamNumbers;
    DWORD m_cStreams;
    IWMWriter *m_pWriter;
    IWMWriterAdvanced *m_pWriterAdvanced;
    IWMWriterAdvanced3 *m_pWriterAdvanced3;
    IWMWriterFileSink *m_pFileSink;
    IWMHeaderInfo *m_pHeaderInfo;
};
