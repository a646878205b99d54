// The Kestrin object's interfaces, its control calls and the events and
// ordering of its sample path, with the real writer writing real files.
#include <gtest/gtest.h>

#include <initguid.h>

#include <twgui/testing.h>
#include <twtesting.h>

#include "asfclip.h"
#include "harness.h"

using namespace kestrintest;

namespace {

const REFERENCE_TIME kUnit = 100000; // 10 ms: the example times below are in these units

class KestrinTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        twgui::test::SetMessageBoxResponder([](const twgui::test::MessageBoxInfo &) { return IDOK; });
        twgui::test::TakeMessageBoxes();
        ASSERT_FALSE(TestClip().empty()) << "clipmaker failed";
        ASSERT_EQ(S_OK, ProfileOfFile(TestClip(), &profile));
        ASSERT_TRUE(rig.ok());
        ResetReportedTime(rig, source);
    }
    void TearDown() override
    {
        if (profile)
            profile->Release();
        twgui::test::SetMessageBoxResponder(nullptr);
    }

    HRESULT Video(int id, bool key, REFERENCE_TIME t)
    {
        return source.DeliverFill(rig.videoInput, static_cast<uint8_t>(id), 64, t, key);
    }
    HRESULT Audio(int id, REFERENCE_TIME t) { return source.DeliverFill(rig.audioInput, static_cast<uint8_t>(id), 32, t, true); }

    // The first byte of every packet of a recording, in file order, and which were key frames.
    static void ReadOrder(const std::string &path, std::vector<int> &ids, std::vector<bool> &keys)
    {
        wmftest::Clip clip;
        std::string error;
        ASSERT_TRUE(wmftest::ReadClip(path, clip, error)) << error;
        for (const wmftest::ClipPacket &p : clip.packets) {
            ids.push_back(p.data.empty() ? -1 : p.data[0]);
            keys.push_back(p.key);
        }
    }

    twtest::TempDir dir;
    IWMProfile *profile = nullptr;
    SampleSource source{1 << 16, 4};
    Rig rig;
};

TEST_F(KestrinTest, OneIdentityBehindEveryInterface)
{
    IKestrin *viaFilter = nullptr;
    ASSERT_EQ(S_OK, rig.filter->QueryInterface(IID_IKestrin, reinterpret_cast<void **>(&viaFilter)));
    IUnknown *a = nullptr, *b = nullptr;
    viaFilter->QueryInterface(IID_IUnknown, reinterpret_cast<void **>(&a));
    rig.sink->QueryInterface(IID_IUnknown, reinterpret_cast<void **>(&b));
    EXPECT_EQ(a, b);
    a->Release();
    b->Release();
    viaFilter->Release();

    IAMovieSetup *setup = nullptr;
    EXPECT_EQ(E_NOINTERFACE, rig.filter->QueryInterface(IID_IAMovieSetup, reinterpret_cast<void **>(&setup)));
    CLSID clsid{};
    IPersist *persist = nullptr;
    ASSERT_EQ(S_OK, rig.sink->QueryInterface(IID_IPersist, reinterpret_cast<void **>(&persist)));
    EXPECT_EQ(S_OK, persist->GetClassID(&clsid));
    EXPECT_TRUE(clsid == CLSID_Kestrin);
    persist->Release();
}

TEST_F(KestrinTest, PinsAcceptOnlyTheirWindowsMediaTypes)
{
    AM_MEDIA_TYPE wmv3 = fbtest::MakeType(MEDIATYPE_Video, MEDIASUBTYPE_WMV3);
    AM_MEDIA_TYPE wmv1 = fbtest::MakeType(MEDIATYPE_Video, MEDIASUBTYPE_WMV1);
    AM_MEDIA_TYPE wma9 = fbtest::MakeType(MEDIATYPE_Audio, MEDIASUBTYPE_WMAudioV9);
    GUID wma160 = MEDIASUBTYPE_WMAudioV8;
    wma160.Data1 = 0x160;
    AM_MEDIA_TYPE wmaOld = fbtest::MakeType(MEDIATYPE_Audio, wma160);
    AM_MEDIA_TYPE audioAsWmv = fbtest::MakeType(MEDIATYPE_Audio, MEDIASUBTYPE_WMV2);
    EXPECT_EQ(S_OK, rig.videoPin->QueryAccept(&wmv3));
    EXPECT_EQ(S_OK, rig.videoPin->QueryAccept(&wmv1));
    EXPECT_NE(S_OK, rig.videoPin->QueryAccept(&wma9));
    EXPECT_NE(S_OK, rig.videoPin->QueryAccept(&audioAsWmv));
    EXPECT_EQ(S_OK, rig.audioPin->QueryAccept(&wma9));
    EXPECT_NE(S_OK, rig.audioPin->QueryAccept(&wmv1));
    EXPECT_NE(S_OK, rig.audioPin->QueryAccept(&wmaOld));

    IEnumPins *pins = nullptr;
    ASSERT_EQ(S_OK, rig.filter->EnumPins(&pins));
    IPin *got[3] = {};
    ULONG n = 0;
    EXPECT_EQ(S_FALSE, pins->Next(3, got, &n));
    EXPECT_EQ(2u, n);
    for (ULONG i = 0; i < n; i++) {
        PIN_INFO info{};
        got[i]->QueryPinInfo(&info);
        EXPECT_EQ(PINDIR_INPUT, info.dir);
        EXPECT_EQ(std::u16string(i == 0 ? u"Video in" : u"Audio in"), std::u16string(info.achName));
        if (info.pFilter)
            info.pFilter->Release();
        got[i]->Release();
    }
    pins->Release();
    EXPECT_EQ(E_POINTER, rig.videoInput->Receive(nullptr));
    EXPECT_EQ(S_FALSE, rig.videoInput->ReceiveCanBlock());
    EXPECT_EQ(E_NOTIMPL, rig.videoPin->QueryInternalConnections(nullptr, nullptr));
}

TEST_F(KestrinTest, ProfileOutsideAGraphFailsAtStepTenWithAWarningBox)
{
    IUnknown *unknown = nullptr;
    ASSERT_EQ(S_OK, CreateKestrin(&unknown));
    IKestrin *loose = nullptr;
    ASSERT_EQ(S_OK, unknown->QueryInterface(IID_IKestrin, reinterpret_cast<void **>(&loose)));
    EXPECT_EQ(E_NOTIMPL, loose->set_Profile(profile));
    std::vector<twgui::test::MessageBoxInfo> boxes = twgui::test::TakeMessageBoxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("CKestrin::set_Profile: 10 failed hr=80004001", boxes[0].text);
    EXPECT_EQ("Kestrin Filter info", boxes[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONWARNING), boxes[0].type);

    // The state is unchanged: a file name armed now starts nothing.
    IFileSinkFilter *sink = nullptr;
    unknown->QueryInterface(IID_IFileSinkFilter, reinterpret_cast<void **>(&sink));
    EXPECT_EQ(S_OK, sink->SetFileName(Wide(dir.file("never.asf")).c_str(), nullptr));
    sink->Release();
    loose->Release();
    unknown->Release();
    EXPECT_FALSE(twtest::FileExists(dir.file("never.asf")));
}

TEST_F(KestrinTest, OneStreamProfileFailsAtStepSix)
{
    std::string videoOnly = dir.file("video.asf");
    ASSERT_EQ("", wmftest::MakeClip(videoOnly, {"--seconds", "1", "--size", "64x48", "--no-audio"}));
    IWMProfile *single = nullptr;
    ASSERT_EQ(S_OK, ProfileOfFile(videoOnly, &single));
    HRESULT hr = rig.kestrin->set_Profile(single);
    single->Release();
    EXPECT_TRUE(FAILED(hr));
    std::vector<twgui::test::MessageBoxInfo> boxes = twgui::test::TakeMessageBoxes();
    ASSERT_EQ(1u, boxes.size());
    char expected[80];
    snprintf(expected, sizeof expected, "CKestrin::set_Profile: 6 failed hr=%x", static_cast<unsigned>(hr));
    EXPECT_EQ(expected, boxes[0].text);
    EXPECT_TRUE(rig.Params(rig.TakeEvents(), EC_KESTRIN_PROFILE_SET).empty());
}

TEST_F(KestrinTest, FileNameLengthLimitAndCurrentName)
{
    LPOLESTR name = reinterpret_cast<LPOLESTR>(1);
    EXPECT_EQ(S_OK, rig.sink->GetCurFile(&name, nullptr));
    EXPECT_EQ(nullptr, name);
    EXPECT_EQ(E_POINTER, rig.sink->GetCurFile(nullptr, nullptr));

    std::u16string longest(260, u'a'), tooLong(261, u'b');
    EXPECT_EQ(S_OK, rig.sink->SetFileName(longest.c_str(), nullptr));
    HRESULT hr = rig.sink->SetFileName(tooLong.c_str(), nullptr);
    EXPECT_TRUE(FAILED(hr)); // a refused name must not read as a started recording
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE), hr);
    AM_MEDIA_TYPE mt;
    memset(&mt, 0xab, sizeof mt);
    ASSERT_EQ(S_OK, rig.sink->GetCurFile(&name, &mt));
    ASSERT_NE(nullptr, name);
    EXPECT_EQ(longest, std::u16string(name));
    EXPECT_TRUE(mt.majortype == GUID_NULL && mt.subtype == GUID_NULL && mt.pbFormat == nullptr);
    CoTaskMemFree(name);

    // Stopping keeps the name.
    EXPECT_EQ(S_OK, rig.StopRecording());
    ASSERT_EQ(S_OK, rig.sink->GetCurFile(&name, nullptr));
    EXPECT_EQ(longest, std::u16string(name));
    CoTaskMemFree(name);
}

TEST_F(KestrinTest, NameBeforeProfileStartsNothingUntilNamedAgain)
{
    std::string early = dir.file("early.asf"), later = dir.file("later.asf");
    ASSERT_EQ(S_OK, rig.SetFile(early));
    ASSERT_EQ(S_OK, rig.kestrin->set_Profile(profile));
    EXPECT_EQ(S_OK, Video(1, true, 0));
    EXPECT_EQ(0, rig.graph.Count(EC_KESTRIN_WRITER_STARTING));
    EXPECT_FALSE(twtest::FileExists(early));
    ASSERT_EQ(S_OK, rig.SetFile(later));
    EXPECT_EQ(S_OK, Video(2, false, kUnit));
    EXPECT_EQ(1, rig.graph.Count(EC_KESTRIN_WRITER_STARTING));
    EXPECT_EQ(S_OK, rig.StopRecording());
    EXPECT_TRUE(twtest::FileExists(later));
}

TEST_F(KestrinTest, NoProfileKeepsNothingAndReportsOnlyTime)
{
    EXPECT_EQ(S_OK, Audio(1, 0));
    EXPECT_EQ(S_OK, Video(2, true, 12 * 10000000LL));
    EXPECT_EQ(S_OK, Video(3, false, 13 * 10000000LL));
    std::vector<fbtest::Event> events = rig.TakeEvents();
    ASSERT_EQ(2u, events.size());
    EXPECT_EQ(std::vector<long>({12, 13}), rig.Params(events, EC_KESTRIN_STREAM_SECONDS));

    // Nothing was queued: after the profile a recording has no pre-roll.
    ASSERT_EQ(S_OK, rig.kestrin->set_Profile(profile));
    EXPECT_EQ(std::vector<long>({0}), rig.Params(rig.TakeEvents(), EC_KESTRIN_PROFILE_SET));
    ASSERT_EQ(S_OK, rig.SetFile(dir.file("empty-preroll.asf")));
    EXPECT_EQ(S_OK, Video(4, true, 14 * 10000000LL));
    EXPECT_EQ(std::vector<long>({1}), rig.Params(rig.TakeEvents(), EC_KESTRIN_VIDEO_WRITTEN));
}

TEST_F(KestrinTest, StreamSecondsOncePerSecondAndOnAJumpBack)
{
    const REFERENCE_TIME s = 10000000;
    for (REFERENCE_TIME t : {s / 2, s, s * 17 / 10, 2 * s})
        Video(1, false, t);
    Audio(2, 5 * s); // audio never reports time
    EXPECT_EQ(std::vector<long>({1, 2}), rig.Params(rig.TakeEvents(), EC_KESTRIN_STREAM_SECONDS));
    Video(1, false, 25 * s);
    Video(1, false, 0);
    EXPECT_EQ(std::vector<long>({25, 0}), rig.Params(rig.TakeEvents(), EC_KESTRIN_STREAM_SECONDS));
}

TEST_F(KestrinTest, QueueLengthEventsWhileNotWriting)
{
    ASSERT_EQ(S_OK, rig.kestrin->set_Profile(profile));
    rig.TakeEvents();
    Video(1, false, 0);        // not a key frame, empty queue: not kept, no event
    Audio(2, kUnit);           // empty queue: queued without an event
    Video(3, false, kUnit);    // still no key frame: not kept, no event
    Audio(4, kUnit);           // 1 before it
    Video(5, true, 2 * kUnit); // key frame: the queue starts again
    Audio(6, 2 * kUnit);
    Video(7, false, 3 * kUnit);
    EXPECT_EQ(std::vector<long>({1, 1, 1, 2}), rig.Params(rig.TakeEvents(), EC_KESTRIN_QUEUE_LENGTH));
}

// The queue holds audio 101, key frame 100, video 110, audio 112 and video 120; a
// recording started by audio 125 and continued by video 130 writes them in time order.
TEST_F(KestrinTest, PrerollOrderAndRestartFromTheSameKeyFrame)
{
    ASSERT_EQ(S_OK, rig.kestrin->set_Profile(profile));
    ASSERT_EQ(S_OK, Audio(101, 101 * kUnit));
    ASSERT_EQ(S_OK, Video(100, true, 100 * kUnit));
    ASSERT_EQ(S_OK, Video(110, false, 110 * kUnit));
    ASSERT_EQ(S_OK, Audio(112, 112 * kUnit));
    ASSERT_EQ(S_OK, Video(120, false, 120 * kUnit));
    rig.TakeEvents();

    std::string first = dir.file("first.asf");
    ASSERT_EQ(S_OK, rig.SetFile(first));
    ASSERT_EQ(S_OK, Audio(125, 125 * kUnit));
    ASSERT_EQ(S_OK, Video(130, false, 130 * kUnit));
    std::vector<fbtest::Event> events = rig.TakeEvents();
    EXPECT_EQ(1u, rig.Params(events, EC_KESTRIN_WRITER_STARTING).size());
    EXPECT_EQ(2u, rig.Params(events, EC_KESTRIN_WRITER_STARTED).size());
    EXPECT_EQ(std::vector<long>({1, 2, 3, 4}), rig.Params(events, EC_KESTRIN_VIDEO_WRITTEN));
    EXPECT_EQ(std::vector<long>({5}), rig.Params(events, EC_KESTRIN_QUEUE_LENGTH)) << "audio 125 waits in the queue";
    ASSERT_EQ(S_OK, rig.StopRecording());

    std::vector<int> ids;
    std::vector<bool> keys;
    ReadOrder(first, ids, keys);
    EXPECT_EQ(std::vector<int>({100, 101, 110, 112, 120, 125, 130}), ids);
    ASSERT_EQ(7u, keys.size());
    EXPECT_TRUE(keys[0]) << "the pre-roll begins with a clean point";
    EXPECT_FALSE(keys[2] || keys[4] || keys[6]);

    // A second recording without a new key frame begins with the same one.
    std::string second = dir.file("second.asf");
    ASSERT_EQ(S_OK, rig.SetFile(second));
    ASSERT_EQ(S_OK, Video(140, false, 140 * kUnit));
    ASSERT_EQ(S_OK, rig.StopRecording());
    EXPECT_EQ(std::vector<long>({1, 2, 3, 4, 5}), rig.Params(rig.TakeEvents(), EC_KESTRIN_VIDEO_WRITTEN));
    ids.clear();
    keys.clear();
    ReadOrder(second, ids, keys);
    EXPECT_EQ(std::vector<int>({100, 101, 110, 112, 120, 125, 130, 140}), ids);
    ASSERT_FALSE(keys.empty());
    EXPECT_TRUE(keys[0]);
}

// A recording started before any key frame (as after a live server's first,
// partial group of pictures) waits for one: the file begins with a picture that
// decodes on its own, and audio older than it never reaches the file.
TEST_F(KestrinTest, ARecordingStartedBeforeAnyKeyFrameBeginsAtTheFirstOne)
{
    ASSERT_EQ(S_OK, rig.kestrin->set_Profile(profile));
    ASSERT_EQ(S_OK, Video(1, false, 5 * kUnit)); // the tail of a group of pictures: not kept
    std::string path = dir.file("late.asf");
    ASSERT_EQ(S_OK, rig.SetFile(path));
    ASSERT_EQ(S_OK, Audio(2, 10 * kUnit)); // starts the writer, waits in the queue
    ASSERT_EQ(S_OK, Audio(3, 20 * kUnit));
    ASSERT_EQ(S_OK, Video(4, false, 30 * kUnit)); // still no key frame: the file waits
    ASSERT_EQ(S_OK, Audio(5, 35 * kUnit));
    ASSERT_EQ(S_OK, Video(6, true, 40 * kUnit));
    ASSERT_EQ(S_OK, Audio(7, 40 * kUnit));
    ASSERT_EQ(S_OK, Video(8, false, 50 * kUnit));
    ASSERT_EQ(S_OK, rig.StopRecording());
    EXPECT_EQ(std::vector<long>({1, 2}), rig.Params(rig.TakeEvents(), EC_KESTRIN_VIDEO_WRITTEN));
    std::vector<int> ids;
    std::vector<bool> keys;
    ReadOrder(path, ids, keys);
    EXPECT_EQ(std::vector<int>({6, 7, 8}), ids);
    ASSERT_EQ(3u, keys.size());
    EXPECT_TRUE(keys[0]) << "the file begins with the key frame";
    EXPECT_FALSE(keys[2]);
}

TEST_F(KestrinTest, UncreatableFileFailsTheStartAndDropsLaterSamples)
{
    ASSERT_EQ(S_OK, rig.kestrin->set_Profile(profile));
    Video(1, true, 0);
    rig.TakeEvents();
    ASSERT_EQ(S_OK, rig.SetFile(dir.file("no/such/dir/rec.asf")));
    HRESULT hr = Video(2, false, kUnit);
    EXPECT_TRUE(FAILED(hr)) << "the triggering sample gets the failure";
    std::vector<twgui::test::MessageBoxInfo> boxes = twgui::test::TakeMessageBoxes();
    ASSERT_EQ(1u, boxes.size());
    char expected[96];
    snprintf(expected, sizeof expected, "CKestrin::Write: m_WMWriter->CreateFileSink failed hr=%x",
             static_cast<unsigned>(hr));
    EXPECT_EQ(expected, boxes[0].text);
    EXPECT_EQ(std::vector<long>({0}), rig.Params(rig.TakeEvents(), EC_KESTRIN_WRITER_STARTING));

    // WriterFailed: later samples are dropped with S_OK and only time is reported.
    EXPECT_EQ(S_OK, Audio(3, 2 * kUnit));
    EXPECT_EQ(S_OK, Video(4, true, 3 * 10000000LL));
    std::vector<fbtest::Event> events = rig.TakeEvents();
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ(EC_KESTRIN_STREAM_SECONDS, events[0].code);
    EXPECT_TRUE(twgui::test::TakeMessageBoxes().empty());
    ASSERT_EQ(S_OK, rig.SetFile(dir.file("still-failed.asf")));
    EXPECT_EQ(S_OK, Video(5, true, 4 * 10000000LL));
    EXPECT_FALSE(twtest::FileExists(dir.file("still-failed.asf")));

    // A new profile ends WriterFailed, and the next recording starts afresh.
    ASSERT_EQ(S_OK, rig.kestrin->set_Profile(profile));
    std::string good = dir.file("good.asf");
    ASSERT_EQ(S_OK, rig.SetFile(good));
    EXPECT_EQ(S_OK, Video(6, true, 5 * 10000000LL));
    ASSERT_EQ(S_OK, rig.StopRecording());
    std::vector<int> ids;
    std::vector<bool> keys;
    ReadOrder(good, ids, keys);
    EXPECT_EQ(std::vector<int>({1, 6}), ids) << "the key frame queued before the failure is the pre-roll";
}

TEST_F(KestrinTest, StopFinishesTheFileAndEmptiesTheQueue)
{
    ASSERT_EQ(S_OK, rig.filter->Run(0));
    ASSERT_EQ(S_OK, rig.kestrin->set_Profile(profile));
    std::string path = dir.file("stopped.asf");
    Video(1, true, 0);
    Audio(2, kUnit);
    ASSERT_EQ(S_OK, rig.SetFile(path));
    Video(3, false, 2 * kUnit);
    Audio(4, 3 * kUnit);
    ASSERT_EQ(S_OK, rig.filter->Stop());

    twtest::ProcessResult probe =
        twtest::RunProcess({"/usr/bin/ffprobe", "-v", "error", "-count_packets", "-show_entries", "stream=nb_read_packets",
                            "-of", "csv=p=0", path});
    EXPECT_EQ(0, probe.exitCode) << probe.output;
    EXPECT_EQ("2\n1\n", probe.output) << "two video and one audio packet: audio 4 waited for a later video";

    // The queue is empty after the stop: the first sample after a new run finds
    // nothing before it.
    ASSERT_EQ(S_OK, rig.filter->Run(0));
    rig.TakeEvents();
    Audio(5, 4 * kUnit);
    Audio(6, 5 * kUnit);
    EXPECT_EQ(std::vector<long>({1}), rig.Params(rig.TakeEvents(), EC_KESTRIN_QUEUE_LENGTH));

    // And a new name records into a new file.
    std::string again = dir.file("again.asf");
    ASSERT_EQ(S_OK, rig.SetFile(again));
    Video(7, true, 6 * kUnit);
    ASSERT_EQ(S_OK, rig.filter->Stop());
    std::vector<int> ids;
    std::vector<bool> keys;
    ReadOrder(again, ids, keys);
    EXPECT_EQ(std::vector<int>({7}), ids) << "audio older than the first video stays out";
}


// Between the filter's stop and the graph's, upstream can still hand the pins a
// sample or two of the ending run. They are not kept: the next run's recording
// holds only that run's samples, although a live source's new times begin again
// below the stragglers' (which would otherwise stay queued, or count as audio on
// another clock, and land in the file).
TEST_F(KestrinTest, SamplesArrivingAfterAStopStayOutOfTheNextRunsRecording)
{
    ASSERT_EQ(S_OK, rig.filter->Run(0));
    ASSERT_EQ(S_OK, rig.kestrin->set_Profile(profile));
    Video(1, true, 600 * kUnit);
    Audio(2, 610 * kUnit);
    ASSERT_EQ(S_OK, rig.filter->Stop());
    rig.TakeEvents();
    EXPECT_EQ(S_OK, Audio(3, 700 * kUnit)) << "a straggler is dropped quietly";
    EXPECT_EQ(S_OK, Video(4, true, 700 * kUnit));
    EXPECT_EQ(S_OK, Audio(5, 710 * kUnit));
    EXPECT_TRUE(rig.TakeEvents().empty()) << "a stopped filter reports nothing, not even the stream time";

    ASSERT_EQ(S_OK, rig.filter->Run(0));
    std::string path = dir.file("next-run.asf");
    ASSERT_EQ(S_OK, rig.SetFile(path));
    Video(6, true, 0);
    Audio(7, kUnit);
    Video(8, false, 2 * kUnit);
    Audio(9, 3 * kUnit);
    Video(10, false, 4 * kUnit);
    ASSERT_EQ(S_OK, rig.filter->Stop());
    std::vector<int> ids;
    std::vector<bool> keys;
    ReadOrder(path, ids, keys);
    EXPECT_EQ(std::vector<int>({6, 7, 8, 9, 10}), ids);

    // Pause starts a run too: samples are kept again from then on.
    ASSERT_EQ(S_OK, rig.filter->Pause());
    rig.TakeEvents();
    Audio(11, 5 * kUnit);
    Audio(12, 6 * kUnit);
    EXPECT_EQ(std::vector<long>({1}), rig.Params(rig.TakeEvents(), EC_KESTRIN_QUEUE_LENGTH));
}

} // namespace
