// Filters built on the kit for the runtime's tests: a timed source, a pass-through
// transform (a stand-in decoder) and a recording renderer. The decoders and
// renderers are COM classes of the test program (RegisterTestFilters) and can be
// registered in the filter mapper, so that the graph's intelligent connect finds them.
#pragma once
#include <mutex>
#include <string>
#include <vector>

#include <uuids.h>

#include "kit/renderer.h"
#include "kit/source.h"
#include "kit/transform.h"

TWCOM_INTERFACE(IFileSourceFilter, IID_IFileSourceFilter)

namespace dstest {

extern const CLSID CLSID_TestSource;
extern const CLSID CLSID_TestVideoDecoder;
extern const CLSID CLSID_TestAudioDecoder;
extern const CLSID CLSID_TestVideoRenderer;
extern const CLSID CLSID_TestAudioRenderer;
extern const CLSID CLSID_TestShyRenderer;

// One output stream of the timed source.
struct StreamSpec {
    std::u16string pin;
    GUID major;
    GUID sub;
    int samples;                 // then end of stream; -1: none and no end
    REFERENCE_TIME period;       // sample i lasts [i*period, (i+1)*period)
    int firstDelayMs = 0;        // the first sample comes this late (a network source filling its buffer)
};

// Delivers `samples` samples per pin as fast as downstream takes them; each
// sample's first four bytes hold its index.
class TimedSource final : public twcom::Object<TimedSource, twds::kit::Source, IFileSourceFilter> {
public:
    explicit TimedSource(std::vector<StreamSpec> streams);
    ~TimedSource() override;

    // A URL containing "unreachable" fails to load; "audio=other" gives the second
    // stream a type no test decoder takes.
    HRESULT STDMETHODCALLTYPE Load(LPCOLESTR pszFileName, const AM_MEDIA_TYPE *pmt) override;
    HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR *ppszFileName, AM_MEDIA_TYPE *pmt) override;

protected:
    HRESULT CheckOutputType(twds::kit::OutputPin *pin, const AM_MEDIA_TYPE &mt) override;
    std::vector<twds::kit::MediaType> OutputTypes(twds::kit::OutputPin *pin) override;
    HRESULT DecideBufferSize(twds::kit::OutputPin *pin, ALLOCATOR_PROPERTIES *props) override;
    HRESULT FillSample(size_t index, IMediaSample *sample) override;
    void OnThreadStart(size_t index) override;

private:
    size_t IndexOf(twds::kit::OutputPin *pin);
    std::vector<StreamSpec> m_streams;   // changed only by Load, before connecting
    std::vector<int> m_next;     // per pin, touched by that pin's thread only
};

// Stand-in decoder: accepts major/in, offers major/out, copies the bytes.
class PassThrough final : public twcom::Object<PassThrough, twds::kit::Transform> {
public:
    PassThrough(const CLSID &clsid, const GUID &major, const GUID &in, const GUID &out);

protected:
    HRESULT CheckInput(const AM_MEDIA_TYPE &mt) override;
    HRESULT CheckTransform(const AM_MEDIA_TYPE &in, const AM_MEDIA_TYPE &out) override;
    std::vector<twds::kit::MediaType> TypesFor(const AM_MEDIA_TYPE &in) override;
    HRESULT DecideBufferSize(twds::kit::OutputPin *, ALLOCATOR_PROPERTIES *props) override;
    HRESULT DoTransform(IMediaSample *in, IMediaSample *out) override;

private:
    const GUID m_major, m_in, m_out;
};

// What a recording renderer saw of one sample.
struct Presentation {
    int index;                   // the source's sample index
    REFERENCE_TIME start;
    REFERENCE_TIME lateness;
};

// Accepts major/sub and records every sample it presents.
class RecordingRenderer final : public twcom::Object<RecordingRenderer, twds::kit::Renderer, IAMFilterMiscFlags> {
public:
    RecordingRenderer(const CLSID &clsid, const GUID &major, const GUID &sub, bool dropsLate);
    std::vector<Presentation> Seen();
    ULONG STDMETHODCALLTYPE GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }

    using Renderer::Dropped;
    using Renderer::Presented;

protected:
    HRESULT CheckMediaType(const AM_MEDIA_TYPE &mt) override;
    HRESULT DoRenderSample(IMediaSample *sample, REFERENCE_TIME lateness) override;
    bool DropsLateSamples() override { return m_dropsLate; }

private:
    const GUID m_major, m_sub;
    const bool m_dropsLate;
    std::mutex m_seenLock;
    std::vector<Presentation> m_seen;     // m_seenLock
};

// The stream specs of a two-stream clip: "Stream 1" video WMV2, "Stream 2" audio WMA.
std::vector<StreamSpec> TwoStreams(int samples, REFERENCE_TIME period);

// The error a test source gives for an unreachable URL.
const HRESULT kUnreachable = HRESULT_FROM_WIN32(ERROR_TIMEOUT);

// Registers the test classes with COM (once) and, when `inMapper`, in the filter
// mapper: "WMVideo Decoder DMO" (WMV2 to RGB32) and "WMAudio Decoder DMO" (WMA to
// PCM) MERIT_NORMAL, "Video Renderer" (RGB32) and "Audio Renderer" (PCM)
// MERIT_NORMAL, "Shy Renderer" (RGB32, never drops) MERIT_DO_NOT_USE.
// The source (two streams of 10 samples, 40 ms each) is the registry's source filter
// for ".tws" URLs.
void RegisterTestFilters(bool inMapper);

} // namespace dstest
