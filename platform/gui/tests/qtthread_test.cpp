// The Qt thread: one thread, work in order, the QApplication living there.
#include "qt/qtthread.h"

#include <QApplication>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace {

TEST(QtThread, WorkRunsInOrderOnOneThreadThatOwnsTheApplication)
{
    std::thread::id qtId;
    bool ownsApp = false;
    ASSERT_TRUE(twgui::RunOnQtThread([&] {
        qtId = std::this_thread::get_id();
        ownsApp = qApp != nullptr && qApp->thread() == QThread::currentThread();
    }));
    EXPECT_NE(qtId, std::this_thread::get_id());
    EXPECT_TRUE(ownsApp);
    EXPECT_FALSE(twgui::IsQtThread());

    // Posts from several threads: each thread's work arrives in its own order.
    std::mutex mutex;
    std::vector<int> seen[4];
    std::atomic<int> wrongThread{0};
    std::vector<std::thread> posters;
    for (int t = 0; t < 4; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                twgui::PostToQtThread([&, t, i] {
                    if (!twgui::IsQtThread())
                        ++wrongThread;
                    std::lock_guard<std::mutex> lock(mutex);
                    seen[t].push_back(i);
                });
            }
        });
    }
    for (auto &p : posters)
        p.join();
    // A blocking call queued after all posts returns after they have run.
    twgui::RunOnQtThread([] {});
    EXPECT_EQ(wrongThread, 0);
    for (auto &list : seen) {
        ASSERT_EQ(list.size(), 200u);
        for (int i = 0; i < 200; ++i)
            EXPECT_EQ(list[i], i);
    }
}

TEST(QtThread, RunOnQtThreadFromTheQtThreadRunsAtOnce)
{
    bool inner = false;
    ASSERT_TRUE(twgui::RunOnQtThread([&] { twgui::RunOnQtThread([&] { inner = twgui::IsQtThread(); }); }));
    EXPECT_TRUE(inner);
}

} // namespace
