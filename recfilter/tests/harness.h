// Test harness of the Kestrin filter: the module loaded as COM loads it, a graph
// double collecting the events, upstream pins connected to "Video in" and
// "Audio in", and samples from the platform memory allocator.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>
#include <objbase.h>
#include <strmif.h>
#include <wmsdk.h>

#include "asfclip.h"
#include "kestrin.h"
#include "test_doubles.h"

namespace kestrintest {

// Creates a Kestrin object through the module's DllGetClassObject (no registry).
HRESULT CreateKestrin(IUnknown **ppUnknown);

// Media samples of the platform memory allocator, filled and handed to a pin.
class SampleSource {
public:
    explicit SampleSource(LONG bufferSize = 1 << 20, LONG count = 4);
    ~SampleSource();
    HRESULT Deliver(IMemInputPin *pPin, const uint8_t *data, size_t length, REFERENCE_TIME start, bool syncPoint);
    HRESULT DeliverFill(IMemInputPin *pPin, uint8_t fill, size_t length, REFERENCE_TIME start, bool syncPoint);

private:
    IMemAllocator *m_pAllocator = nullptr;
};

// One Kestrin object in a graph double, both pins connected.
class Rig {
public:
    Rig();
    ~Rig();
    bool ok() const { return m_ok; }

    IBaseFilter *filter = nullptr;
    IKestrin *kestrin = nullptr;
    IFileSinkFilter *sink = nullptr;
    IPin *videoPin = nullptr;
    IPin *audioPin = nullptr;
    IMemInputPin *videoInput = nullptr;
    IMemInputPin *audioInput = nullptr;
    fbtest::RecordingGraph graph;

    HRESULT SetFile(const std::string &path);
    HRESULT StopRecording() { return sink->SetFileName(nullptr, nullptr); }

    // Events since the previous call.
    std::vector<fbtest::Event> TakeEvents();
    std::vector<long> Params(const std::vector<fbtest::Event> &events, long code);

private:
    bool m_ok = false;
    size_t m_seen = 0;
    fbtest::UpstreamPin m_videoUp, m_audioUp;
};

using wmftest::ProfileOfFile;

std::u16string Wide(const std::string &text);

// Resets the module-wide last reported time to 0 through a video sample at 0.
void ResetReportedTime(Rig &rig, SampleSource &source);

} // namespace kestrintest

namespace kestrintest {

// A WMV2 + WMA clip made once per test program (6 s, 176x144, 25 fps, key frame every 25).
const std::string &TestClip();

} // namespace kestrintest
