// Both pins fed from their own threads while the control thread starts and stops
// recordings and stops and runs the filter. Meant for the sanitizer builds too.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <twgui/testing.h>
#include <twtesting.h>

#include "asfclip.h"
#include "harness.h"

using namespace kestrintest;

TEST(KestrinThreads, RecordingsStartAndStopWhileBothPinsReceive)
{
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    twgui::test::SetMessageBoxResponder([](const twgui::test::MessageBoxInfo &) { return IDOK; });
    ASSERT_FALSE(TestClip().empty());
    IWMProfile *profile = nullptr;
    ASSERT_EQ(S_OK, ProfileOfFile(TestClip(), &profile));
    twtest::TempDir dir;
    std::vector<std::string> files;
    {
        Rig rig;
        ASSERT_TRUE(rig.ok());
        ASSERT_EQ(S_OK, rig.kestrin->set_Profile(profile));
        ASSERT_EQ(S_OK, rig.filter->Run(0));
        std::atomic<bool> done{false};
        // Both streams are stamped from one clock, as a live source's are.
        const auto start = std::chrono::steady_clock::now();
        auto feed = [&](IMemInputPin *pin, bool video) {
            SampleSource samples(4096, 4);
            for (int i = 0; !done; i++) {
                REFERENCE_TIME t = std::chrono::duration_cast<std::chrono::microseconds>(
                                       std::chrono::steady_clock::now() - start)
                                       .count() *
                                   10;
                HRESULT hr = samples.DeliverFill(pin, static_cast<uint8_t>(i), video ? 900 : 300, t,
                                                 !video || i % 10 == 0);
                EXPECT_EQ(S_OK, hr);
            }
        };
        std::thread videoThread(feed, rig.videoInput, true);
        std::thread audioThread(feed, rig.audioInput, false);
        for (int i = 0; i < 24; i++) {
            files.push_back(dir.file("rec" + std::to_string(i) + ".asf"));
            EXPECT_EQ(S_OK, rig.SetFile(files.back()));
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (i % 4 == 3) {
                EXPECT_EQ(S_OK, rig.filter->Stop());
                EXPECT_EQ(S_OK, rig.filter->Run(0));
            } else {
                EXPECT_EQ(S_OK, rig.StopRecording());
            }
        }
        done = true;
        videoThread.join();
        audioThread.join();
        EXPECT_GT(rig.graph.Count(EC_KESTRIN_VIDEO_WRITTEN), 0);
    }
    profile->Release();
    EXPECT_TRUE(twgui::test::TakeMessageBoxes().empty());
    int recorded = 0;
    for (const std::string &path : files) {
        if (!twtest::FileExists(path))
            continue;
        wmftest::Clip clip;
        std::string error;
        EXPECT_TRUE(wmftest::ReadClip(path, clip, error)) << path << ": " << error;
        recorded += !clip.packets.empty();
    }
    EXPECT_GT(recorded, 12) << "most recordings received samples";
    twgui::test::SetMessageBoxResponder(nullptr);
    CoUninitialize();
}
