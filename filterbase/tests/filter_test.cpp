// Base filter and pins: state machine, queries, connection protocol, end of stream
// and sample reception.
#include <gtest/gtest.h>

#include <string>

#include "test_doubles.h"
#include "test_filter.h"

using namespace fbtest;

namespace {

TEST(BaseFilter, RunFromStoppedActivatesThenRunsConnectedPinsOnly)
{
    ConnectedFilter f;
    ASSERT_TRUE(f.pin()->IsConnected());
    ASSERT_EQ(S_OK, f.upstream.Allocator()->Commit());
    EXPECT_EQ(S_OK, f.filter->Run(100));
    EXPECT_EQ(State_Running, f.filter->State());
    EXPECT_EQ(1, f.pin()->activateCalls);
    EXPECT_EQ(1, f.pin()->onRunCalls);
    EXPECT_EQ(0, f.filter->Pin(1)->activateCalls) << "an unconnected pin is left alone";
    EXPECT_EQ(0, f.filter->Pin(1)->onRunCalls);

    // Running again only stores the start time.
    EXPECT_EQ(S_OK, f.filter->Run(500));
    EXPECT_EQ(1, f.pin()->activateCalls);
    EXPECT_EQ(1, f.pin()->onRunCalls);

    // Pausing from Running touches no pin; Stop deactivates the connected one.
    EXPECT_EQ(S_OK, f.filter->Pause());
    EXPECT_EQ(0, f.pin()->deactivateCalls);
    EXPECT_EQ(S_OK, f.filter->Stop());
    EXPECT_EQ(1, f.pin()->deactivateCalls);
    EXPECT_EQ(0, f.filter->Pin(1)->deactivateCalls);
    EXPECT_EQ(S_OK, f.filter->Stop());
    EXPECT_EQ(1, f.pin()->deactivateCalls) << "Stop on a stopped filter deactivates nothing";
}

TEST(BaseFilter, FailedActivationLeavesTheFilterStopped)
{
    ConnectedFilter f;
    f.pin()->failActivate = true;
    EXPECT_EQ(E_FAIL, f.filter->Run(0));
    EXPECT_EQ(State_Stopped, f.filter->State());
    EXPECT_EQ(0, f.pin()->onRunCalls);
}

TEST(BaseFilter, StopWithoutAllocatorReportsButStillStops)
{
    CoScope com;
    FilterRef filter;
    UpstreamPin upstream;
    AM_MEDIA_TYPE mt = MakeType(MEDIATYPE_Video, MEDIASUBTYPE_WMV3);
    // Connected without the allocator handshake.
    ASSERT_EQ(S_OK, filter->Pin(0)->ReceiveConnection(&upstream, &mt));
    ASSERT_EQ(S_OK, filter->Pause());
    EXPECT_EQ(VFW_E_NO_ALLOCATOR, filter->Stop());
    EXPECT_EQ(State_Stopped, filter->State());
    EXPECT_EQ(S_OK, filter->Pin(0)->Disconnect());
    EXPECT_EQ(1u, upstream.refs.load()) << "the pin dropped its reference on the peer";
}

TEST(BaseFilter, FindPinIsExactAndCaseSensitive)
{
    FilterRef filter;
    IPin *pin = nullptr;
    ASSERT_EQ(S_OK, filter->FindPin(OLESTR("Audio in"), &pin));
    EXPECT_EQ(static_cast<IPin *>(filter->Pin(1)), pin);
    pin->Release();
    pin = reinterpret_cast<IPin *>(1);
    EXPECT_EQ(VFW_E_NOT_FOUND, filter->FindPin(OLESTR("audio in"), &pin));
    EXPECT_EQ(nullptr, pin);
    EXPECT_EQ(VFW_E_NOT_FOUND, filter->FindPin(OLESTR("Audio"), &pin));
    EXPECT_EQ(VFW_E_NOT_FOUND, filter->FindPin(OLESTR("Audio in "), &pin));
    EXPECT_EQ(E_POINTER, filter->FindPin(OLESTR("Audio in"), nullptr));
}

TEST(BaseFilter, FilterInfoTruncatesLongNamesAndHoldsNoGraphReference)
{
    RecordingGraph graph;
    FilterRef filter;
    std::u16string name(200, u'n');
    name[126] = u'X';
    name[127] = u'Y';
    ASSERT_EQ(S_OK, filter->JoinFilterGraph(&graph, name.c_str()));
    EXPECT_EQ(1u, graph.refs.load()) << "the filter keeps no reference on its graph";
    FILTER_INFO info;
    ASSERT_EQ(S_OK, filter->QueryFilterInfo(&info));
    EXPECT_EQ(name.substr(0, 127), std::u16string(info.achName));
    EXPECT_EQ(static_cast<IFilterGraph *>(&graph), info.pGraph);
    info.pGraph->Release();

    // Without a graph there is nowhere to post.
    EXPECT_EQ(S_OK, filter->PostGraphEvent(EC_USER + 1, 7, 8));
    ASSERT_EQ(S_OK, filter->JoinFilterGraph(nullptr, nullptr));
    EXPECT_EQ(E_NOTIMPL, filter->PostGraphEvent(EC_USER + 1, 7, 8));
    ASSERT_EQ(S_OK, filter->QueryFilterInfo(&info));
    EXPECT_EQ(0, info.achName[0]);
    EXPECT_EQ(nullptr, info.pGraph);
    ASSERT_EQ(1u, graph.Events().size());
    EXPECT_EQ(7, graph.Events()[0].param1);
    EXPECT_EQ(8, graph.Events()[0].param2);
}

TEST(BaseFilter, StreamTimeNeedsAClock)
{
    struct Clock : IReferenceClock {
        int refs = 1;
        REFERENCE_TIME now = 5000;
        STDMETHODIMP QueryInterface(REFIID, void **) override { return E_NOINTERFACE; }
        STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
        STDMETHODIMP_(ULONG) Release() override { return --refs; }
        STDMETHODIMP GetTime(REFERENCE_TIME *t) override
        {
            *t = now;
            return S_OK;
        }
        STDMETHODIMP AdviseTime(REFERENCE_TIME, REFERENCE_TIME, HEVENT, DWORD_PTR *) override { return E_NOTIMPL; }
        STDMETHODIMP AdvisePeriodic(REFERENCE_TIME, REFERENCE_TIME, HSEMAPHORE, DWORD_PTR *) override
        {
            return E_NOTIMPL;
        }
        STDMETHODIMP Unadvise(DWORD_PTR) override { return E_NOTIMPL; }
    } clock;
    {
        FilterRef filter;
        REFERENCE_TIME t = 0;
        EXPECT_EQ(VFW_E_NO_CLOCK, filter->CurrentStreamTime(&t));
        ASSERT_EQ(S_OK, filter->SetSyncSource(&clock));
        EXPECT_EQ(2, clock.refs);
        ASSERT_EQ(S_OK, filter->Run(2000));
        EXPECT_EQ(S_OK, filter->CurrentStreamTime(&t));
        EXPECT_EQ(3000, t);
        IReferenceClock *got = nullptr;
        EXPECT_EQ(S_OK, filter->GetSyncSource(&got));
        EXPECT_EQ(&clock, got);
        got->Release();
    }
    EXPECT_EQ(1, clock.refs) << "the filter released its clock";
}

TEST(BasePin, QueriesReportNameDirectionAndFilter)
{
    FilterRef filter;
    TestPin *pin = filter->Pin(0);
    PIN_INFO info;
    ASSERT_EQ(S_OK, pin->QueryPinInfo(&info));
    EXPECT_EQ(std::u16string(u"Video in"), std::u16string(info.achName));
    EXPECT_EQ(PINDIR_INPUT, info.dir);
    EXPECT_EQ(filter->Base(), info.pFilter);
    info.pFilter->Release();
    LPWSTR id = nullptr;
    ASSERT_EQ(S_OK, pin->QueryId(&id));
    EXPECT_EQ(std::u16string(u"Video in"), std::u16string(id));
    CoTaskMemFree(id);

    AM_MEDIA_TYPE wmv3 = MakeType(MEDIATYPE_Video, MEDIASUBTYPE_WMV3);
    AM_MEDIA_TYPE wmv2 = MakeType(MEDIATYPE_Video, MEDIASUBTYPE_WMV2);
    AM_MEDIA_TYPE audio = MakeType(MEDIATYPE_Audio, MEDIASUBTYPE_WMAudioV9);
    EXPECT_EQ(S_OK, pin->QueryAccept(&wmv3));
    EXPECT_EQ(S_FALSE, pin->QueryAccept(&wmv2));
    EXPECT_EQ(S_FALSE, pin->QueryAccept(&audio));
    EXPECT_EQ(E_POINTER, pin->QueryAccept(nullptr));

    // Pins count on their filter.
    IPin *ipin = nullptr;
    ASSERT_EQ(S_OK, pin->QueryInterface(IID_IPin, reinterpret_cast<void **>(&ipin)));
    EXPECT_EQ(3u, filter->Base()->AddRef()) << "one for the test, one for the pin interface";
    filter->Base()->Release();
    IMemInputPin *input = nullptr;
    ASSERT_EQ(S_OK, ipin->QueryInterface(IID_IMemInputPin, reinterpret_cast<void **>(&input)));
    input->Release();
    ipin->Release();
}

TEST(BasePin, ReceiveConnectionRules)
{
    CoScope com;
    FilterRef filter;
    UpstreamPin upstream, other;
    TestPin *pin = filter->Pin(0);
    AM_MEDIA_TYPE wmv3 = MakeType(MEDIATYPE_Video, MEDIASUBTYPE_WMV3);
    AM_MEDIA_TYPE wmv2 = MakeType(MEDIATYPE_Video, MEDIASUBTYPE_WMV2);

    EXPECT_EQ(E_POINTER, pin->ReceiveConnection(&upstream, nullptr));
    EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, pin->ReceiveConnection(&upstream, &wmv2)) << "S_FALSE is a refusal";
    EXPECT_FALSE(pin->IsConnected());
    EXPECT_EQ(1u, upstream.refs.load());

    UpstreamPin sameWay(PINDIR_INPUT);
    EXPECT_EQ(VFW_E_INVALID_DIRECTION, pin->ReceiveConnection(&sameWay, &wmv3));

    ASSERT_EQ(S_OK, filter->Pause());
    EXPECT_EQ(VFW_E_NOT_STOPPED, pin->ReceiveConnection(&upstream, &wmv3));
    ASSERT_EQ(S_OK, filter->Stop());

    ASSERT_EQ(S_OK, pin->ReceiveConnection(&upstream, &wmv3));
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, pin->ReceiveConnection(&other, &wmv3));
    IPin *peer = nullptr;
    ASSERT_EQ(S_OK, pin->ConnectedTo(&peer));
    EXPECT_EQ(static_cast<IPin *>(&upstream), peer);
    peer->Release();
    AM_MEDIA_TYPE mt;
    ASSERT_EQ(S_OK, pin->ConnectionMediaType(&mt));
    EXPECT_EQ(MEDIASUBTYPE_WMV3, mt.subtype);
    FreeMediaTypeContents(&mt);

    ASSERT_EQ(S_OK, filter->Run(0));
    EXPECT_EQ(VFW_E_NOT_STOPPED, pin->Disconnect());
    filter->Stop();
    EXPECT_EQ(S_OK, pin->Disconnect());
    EXPECT_EQ(S_FALSE, pin->Disconnect());
    EXPECT_EQ(1u, upstream.refs.load());
    peer = reinterpret_cast<IPin *>(1);
    EXPECT_EQ(VFW_E_NOT_CONNECTED, pin->ConnectedTo(&peer));
    EXPECT_EQ(nullptr, peer);

    memset(&mt, 0xAB, sizeof mt);
    EXPECT_EQ(VFW_E_NOT_CONNECTED, pin->ConnectionMediaType(&mt));
    EXPECT_EQ(GUID_NULL, mt.majortype);
    EXPECT_EQ(1u, mt.lSampleSize);
    EXPECT_TRUE(mt.bFixedSizeSamples);
    EXPECT_EQ(nullptr, mt.pbFormat);
}

TEST(BasePin, ConnectNegotiatesPeerTypesFirstThenOwn)
{
    FilterRef filter;
    TestPin *pin = filter->Pin(0);

    // The peer offers audio, then WMV2 (S_FALSE here), then WMV3: only WMV3 is tried on the peer.
    UpstreamPin upstream;
    upstream.offered = {MakeType(MEDIATYPE_Audio, MEDIASUBTYPE_WMAudioV9), MakeType(MEDIATYPE_Video, MEDIASUBTYPE_WMV2),
                        MakeType(MEDIATYPE_Video, MEDIASUBTYPE_WMV3)};
    ASSERT_EQ(S_OK, pin->Connect(&upstream, nullptr));
    EXPECT_EQ(MEDIASUBTYPE_WMV3, upstream.receivedSubtype);
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, pin->Connect(&upstream, nullptr));
    ASSERT_EQ(S_OK, pin->Disconnect());
    upstream.Disconnect();

    // Nothing acceptable among the peer's types: the pin's own preferred types follow.
    UpstreamPin picky;
    picky.offered = {MakeType(MEDIATYPE_Audio, MEDIASUBTYPE_WMAudioV9)};
    picky.acceptedSubtypes = {MEDIASUBTYPE_WMV3};
    EXPECT_EQ(VFW_E_NO_ACCEPTABLE_TYPES, pin->Connect(&picky, nullptr));
    EXPECT_FALSE(pin->IsConnected());
    pin->preferred = {MakeType(MEDIATYPE_Video, MEDIASUBTYPE_WMV3)};
    ASSERT_EQ(S_OK, pin->Connect(&picky, nullptr));
    EXPECT_EQ(MEDIASUBTYPE_WMV3, picky.receivedSubtype);
    ASSERT_EQ(S_OK, pin->Disconnect());
    picky.Disconnect();

    // A partial type filters the candidates; a full type is tried alone.
    AM_MEDIA_TYPE partial = MakeType(MEDIATYPE_Video, MEDIASUBTYPE_WMV2, GUID_NULL);
    EXPECT_EQ(VFW_E_NO_ACCEPTABLE_TYPES, pin->Connect(&upstream, &partial));
    AM_MEDIA_TYPE full = MakeType(MEDIATYPE_Video, MEDIASUBTYPE_WMV2);
    EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, pin->Connect(&upstream, &full));
    EXPECT_FALSE(pin->IsConnected());

    // A peer facing the same way is refused with the reason, not a type refusal.
    UpstreamPin sameWay(PINDIR_INPUT);
    sameWay.offered = {MakeType(MEDIATYPE_Video, MEDIASUBTYPE_WMV3)};
    EXPECT_EQ(VFW_E_INVALID_DIRECTION, pin->Connect(&sameWay, nullptr));
    EXPECT_EQ(1u, upstream.refs.load());
    EXPECT_EQ(1u, picky.refs.load());
    EXPECT_EQ(1u, sameWay.refs.load());
}

TEST(RenderedPin, EndOfStreamWhilePausedCompletesOnRun)
{
    ConnectedFilter f;
    ASSERT_EQ(S_OK, f.filter->Pause());
    EXPECT_EQ(S_OK, f.pin()->EndOfStream());
    EXPECT_EQ(0, f.graph.Count(EC_COMPLETE)) << "nothing is posted while paused";
    ASSERT_EQ(S_OK, f.filter->Run(0));
    ASSERT_EQ(1, f.graph.Count(EC_COMPLETE));
    Event e = f.graph.Events().back();
    EXPECT_EQ(S_OK, e.param1);
    EXPECT_EQ(f.FilterParam(), e.param2) << "EC_COMPLETE names the filter";
    EXPECT_EQ(S_OK, f.pin()->EndOfStream());
    EXPECT_EQ(1, f.graph.Count(EC_COMPLETE)) << "once per run period";

    // Paused and running again re-arms the report of the same end of stream.
    ASSERT_EQ(S_OK, f.filter->Pause());
    ASSERT_EQ(S_OK, f.filter->Run(0));
    EXPECT_EQ(2, f.graph.Count(EC_COMPLETE));

    // Stop and restart forget it.
    ASSERT_EQ(S_OK, f.filter->Stop());
    ASSERT_EQ(S_OK, f.filter->Run(0));
    EXPECT_EQ(2, f.graph.Count(EC_COMPLETE));
    EXPECT_EQ(S_OK, f.pin()->EndOfStream());
    EXPECT_EQ(3, f.graph.Count(EC_COMPLETE)) << "running: reported at once";
}

TEST(RenderedPin, EndOfStreamDuringFlushOrStopIsForgotten)
{
    ConnectedFilter f;
    EXPECT_EQ(VFW_E_WRONG_STATE, f.pin()->EndOfStream()) << "stopped";
    ASSERT_EQ(S_OK, f.filter->Run(0));
    ASSERT_EQ(S_OK, f.pin()->BeginFlush());
    EXPECT_EQ(S_FALSE, f.pin()->EndOfStream());
    ASSERT_EQ(S_OK, f.pin()->EndFlush());
    ASSERT_EQ(S_OK, f.filter->Pause());
    ASSERT_EQ(S_OK, f.filter->Run(0));
    EXPECT_EQ(0, f.graph.Count(EC_COMPLETE));

    // A flush after the report clears it: the next end of stream reports again.
    EXPECT_EQ(S_OK, f.pin()->EndOfStream());
    EXPECT_EQ(1, f.graph.Count(EC_COMPLETE));
    ASSERT_EQ(S_OK, f.pin()->BeginFlush());
    ASSERT_EQ(S_OK, f.pin()->EndFlush());
    EXPECT_EQ(S_OK, f.pin()->EndOfStream());
    EXPECT_EQ(2, f.graph.Count(EC_COMPLETE));
}

TEST(InputPin, ReceiveFillsPropertiesFromTheRealSample)
{
    ConnectedFilter f;
    ASSERT_EQ(S_OK, f.upstream.Allocator()->Commit());
    EXPECT_EQ(VFW_E_WRONG_STATE, f.upstream.Deliver(1, 0)) << "a stopped filter takes no samples";
    ASSERT_EQ(S_OK, f.filter->Run(0));
    ASSERT_EQ(S_OK, f.upstream.Deliver(7, 4000));
    const AM_SAMPLE2_PROPERTIES &props = f.pin()->LastProperties();
    EXPECT_EQ(16, props.lActual);
    EXPECT_EQ(4000, props.tStart);
    EXPECT_EQ(5000, props.tStop);
    EXPECT_EQ(static_cast<DWORD>(AM_SAMPLE_SPLICEPOINT | AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID),
              props.dwSampleFlags);
    EXPECT_EQ(256, props.cbBuffer);

    ASSERT_EQ(S_OK, f.pin()->BeginFlush());
    EXPECT_EQ(S_FALSE, f.upstream.Deliver(7, 5000));
    ASSERT_EQ(S_OK, f.pin()->EndFlush());
    EXPECT_EQ(S_OK, f.upstream.Deliver(7, 5000));
}

// A plain IMediaSample without IMediaSample2 that carries a media type.
struct PlainSample : IMediaSample {
    AM_MEDIA_TYPE type;
    BYTE data[8] = {};
    explicit PlainSample(const AM_MEDIA_TYPE &mt) : type(mt) {}
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_IMediaSample) {
            *ppv = this;
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetPointer(BYTE **pp) override
    {
        *pp = data;
        return S_OK;
    }
    STDMETHODIMP_(LONG) GetSize() override { return 8; }
    STDMETHODIMP GetTime(REFERENCE_TIME *, REFERENCE_TIME *) override { return VFW_E_SAMPLE_TIME_NOT_SET; }
    STDMETHODIMP SetTime(REFERENCE_TIME *, REFERENCE_TIME *) override { return S_OK; }
    STDMETHODIMP IsSyncPoint() override { return S_FALSE; }
    STDMETHODIMP SetSyncPoint(BOOL) override { return S_OK; }
    STDMETHODIMP IsPreroll() override { return S_OK; }
    STDMETHODIMP SetPreroll(BOOL) override { return S_OK; }
    STDMETHODIMP_(LONG) GetActualDataLength() override { return 5; }
    STDMETHODIMP SetActualDataLength(LONG) override { return S_OK; }
    STDMETHODIMP GetMediaType(AM_MEDIA_TYPE **pp) override
    {
        *pp = static_cast<AM_MEDIA_TYPE *>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
        **pp = type;
        return S_OK;
    }
    STDMETHODIMP SetMediaType(AM_MEDIA_TYPE *) override { return S_OK; }
    STDMETHODIMP IsDiscontinuity() override { return S_OK; }
    STDMETHODIMP SetDiscontinuity(BOOL) override { return S_OK; }
    STDMETHODIMP GetMediaTime(LONGLONG *, LONGLONG *) override { return VFW_E_MEDIA_TIME_NOT_SET; }
    STDMETHODIMP SetMediaTime(LONGLONG *, LONGLONG *) override { return S_OK; }
};

TEST(InputPin, RefusedTypeChangeIsARuntimeErrorUntilFlushed)
{
    ConnectedFilter f;
    ASSERT_EQ(S_OK, f.filter->Run(0));
    PlainSample same(MakeType(MEDIATYPE_Video, MEDIASUBTYPE_WMV3));
    ASSERT_EQ(S_OK, f.pin()->Receive(&same));
    const AM_SAMPLE2_PROPERTIES &props = f.pin()->LastProperties();
    EXPECT_EQ(static_cast<DWORD>(AM_SAMPLE_DATADISCONTINUITY | AM_SAMPLE_PREROLL | AM_SAMPLE_TYPECHANGED),
              props.dwSampleFlags);
    EXPECT_EQ(5, props.lActual);
    EXPECT_EQ(8, props.cbBuffer);
    ASSERT_NE(nullptr, props.pMediaType);
    EXPECT_EQ(MEDIASUBTYPE_WMV3, props.pMediaType->subtype);

    PlainSample other(MakeType(MEDIATYPE_Audio, MEDIASUBTYPE_WMAudioV9));
    EXPECT_EQ(VFW_E_INVALIDMEDIATYPE, f.pin()->Receive(&other));
    EXPECT_EQ(1, f.graph.Count(EC_ERRORABORT));
    EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, f.graph.Events().front().param1);
    EXPECT_EQ(VFW_E_RUNTIME_ERROR, f.pin()->Receive(&same));
    EXPECT_EQ(VFW_E_RUNTIME_ERROR, f.pin()->EndOfStream());
    EXPECT_EQ(0, f.graph.Count(EC_COMPLETE));
    ASSERT_EQ(S_OK, f.pin()->BeginFlush());
    ASSERT_EQ(S_OK, f.pin()->EndFlush());
    EXPECT_EQ(S_OK, f.pin()->Receive(&same));
}

TEST(InputPin, ReceiveMultipleStopsAtTheFirstResultThatIsNotOk)
{
    FilterRef filter;
    TestPin *pin = filter->Pin(0);
    PlainSample s(MakeType(MEDIATYPE_Video, MEDIASUBTYPE_WMV3));
    IMediaSample *samples[3] = {&s, &s, &s};
    pin->scriptedReceive = {S_OK, S_FALSE, S_OK};
    LONG processed = -1;
    EXPECT_EQ(S_FALSE, pin->ReceiveMultiple(samples, 3, &processed));
    EXPECT_EQ(1, processed);
    EXPECT_EQ(2, pin->receiveCalls.load());
    EXPECT_EQ(S_OK, pin->ReceiveMultiple(samples, 0, &processed));
    EXPECT_EQ(0, processed);
    EXPECT_EQ(E_POINTER, pin->ReceiveMultiple(nullptr, 1, &processed));
}

TEST(InputPin, AllocatorHandshake)
{
    CoScope com;
    FilterRef filter;
    TestPin *pin = filter->Pin(0);
    EXPECT_EQ(E_POINTER, pin->NotifyAllocator(nullptr, FALSE));
    IMemAllocator *first = nullptr, *again = nullptr;
    ASSERT_EQ(S_OK, pin->GetAllocator(&first));
    ASSERT_EQ(S_OK, pin->GetAllocator(&again));
    EXPECT_EQ(first, again) << "the pin keeps the allocator it made";
    again->Release();
    IMemAllocator *own = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                     reinterpret_cast<void **>(&own)));
    ASSERT_EQ(S_OK, pin->NotifyAllocator(own, TRUE));
    EXPECT_TRUE(pin->IsReadOnly());
    EXPECT_EQ(0u, first->Release()) << "the pin let go of the allocator it replaced";
    ASSERT_EQ(S_OK, pin->GetAllocator(&again));
    EXPECT_EQ(own, again);
    again->Release();
    own->Release();
    EXPECT_EQ(S_OK, pin->ReceiveCanBlock()) << "no outputs: can block";
    EXPECT_EQ(E_NOTIMPL, pin->GetAllocatorRequirements(nullptr));
}

} // namespace
