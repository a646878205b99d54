// A streaming thread delivering samples and end of stream while the graph's
// thread changes state: run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "test_filter.h"

using namespace fbtest;

namespace {

TEST(Threads, StreamingRacesStateChangesSafely)
{
    ConnectedFilter f;
    const int kPeriods = 60;
    std::atomic<bool> done{false};
    std::atomic<int> accepted{0};
    std::thread streaming([&] {
        int n = 0;
        while (!done) {
            // Stop decommits the allocator: a blocked or failing GetBuffer is expected then.
            if (f.upstream.Deliver(static_cast<BYTE>(n), n * 1000) == S_OK)
                accepted++;
            if (++n % 16 == 0)
                f.pin()->EndOfStream();
            std::this_thread::yield();
        }
    });
    for (int i = 0; i < kPeriods; i++) {
        ASSERT_EQ(S_OK, f.filter->Pause());
        ASSERT_EQ(S_OK, f.upstream.Allocator()->Commit());
        ASSERT_EQ(S_OK, f.filter->Run(0));
        for (int spin = 0; spin < 200 && f.pin()->receiveCalls < (i + 1) * 4; spin++)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        ASSERT_EQ(S_OK, f.filter->Pause());
        ASSERT_EQ(S_OK, f.filter->Stop());
    }
    done = true;
    streaming.join();
    EXPECT_GT(accepted.load(), 0);
    EXPECT_LE(f.graph.Count(EC_COMPLETE), kPeriods) << "at most one completion per run period";
    EXPECT_EQ(0, f.graph.Count(EC_ERRORABORT));
}

} // namespace
