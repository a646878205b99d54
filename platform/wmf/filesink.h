// The file sink: the file a writer's muxer writes into.
#pragma once
#include <mutex>
#include <string>
#include <wmsdkidl.h>

#include <twcom/object.h>

TWCOM_INTERFACE(IWMWriterFileSink, IID_IWMWriterFileSink, IID_IWMWriterSink)

struct AVIOContext;

namespace twwmf {

class FileSink final : public twcom::Object<FileSink, IWMWriterFileSink> {
public:
    FileSink() = default;
    ~FileSink();

    // IWMWriterSink. The writer hands this sink to its muxer directly, so the
    // data-unit calls are not part of the path.
    STDMETHOD(OnHeader)(INSSBuffer *pHeader) override;
    STDMETHOD(IsRealTime)(BOOL *pfRealTime) override;
    STDMETHOD(AllocateDataUnit)(DWORD cbDataUnit, INSSBuffer **ppDataUnit) override;
    STDMETHOD(OnDataUnit)(INSSBuffer *pDataUnit) override;
    STDMETHOD(OnEndWriting)() override;

    // Creates (or truncates) the file. Backslashes and slashes both separate directories.
    STDMETHOD(Open)(const WCHAR *pwszFilename) override;

    // For the writer: the open file while a muxer writes into it.
    AVIOContext *BeginUse();
    // Closes the file after the muxer has finished; the result of the close.
    HRESULT EndUse();
    const std::string &Path() const { return m_path; }

private:
    HRESULT CloseFile();

    std::mutex m_lock;
    AVIOContext *m_io = nullptr;
    std::string m_path;
    bool m_inUse = false;
};

} // namespace twwmf
