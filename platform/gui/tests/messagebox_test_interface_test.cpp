// The test interface: a responder answers boxes without Qt, and TakeMessageBoxes
// reports every box with its answer.
#include "boxdriver.h"
#include <twgui/testing.h>

#include <QAbstractButton>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using twgui::test::MessageBoxInfo;
using twgui::test::SetMessageBoxResponder;
using twgui::test::TakeMessageBoxes;

struct ResponderGuard {
    ~ResponderGuard() { SetMessageBoxResponder(nullptr); }
};

TEST(MessageBoxTestInterface, ResponderAnswersAndBoxesAreRecorded)
{
    ResponderGuard guard;
    TakeMessageBoxes();
    std::vector<MessageBoxInfo> seen;
    SetMessageBoxResponder([&](const MessageBoxInfo &info) {
        seen.push_back(info);
        return info.text == "Keep?" ? IDNO : IDRETRY;
    });
    EXPECT_EQ(MessageBoxA(nullptr, "Keep?", "Recorder", MB_YESNO | MB_ICONQUESTION), IDNO);
    DWORD otherThread = 0;
    std::thread([&] {
        otherThread = GetCurrentThreadId();
        EXPECT_EQ(MessageBoxA(nullptr, "Stream lost\tagain", nullptr, MB_RETRYCANCEL), IDRETRY);
    }).join();

    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].caption, "Recorder");
    EXPECT_EQ(seen[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(seen[0].threadId, GetCurrentThreadId());
    EXPECT_EQ(seen[1].caption, "Error");
    EXPECT_EQ(seen[1].threadId, otherThread);
    EXPECT_NE(otherThread, GetCurrentThreadId());

    auto taken = TakeMessageBoxes();
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_EQ(taken[0].text, "Keep?");
    EXPECT_EQ(taken[0].answer, IDNO);
    EXPECT_EQ(taken[1].text, "Stream lost\tagain");
    EXPECT_EQ(taken[1].answer, IDRETRY);
    EXPECT_TRUE(TakeMessageBoxes().empty());
}

TEST(MessageBoxTestInterface, ClearingTheResponderRestoresRealBoxes)
{
    SetMessageBoxResponder([](const MessageBoxInfo &) { return IDCANCEL; });
    EXPECT_EQ(MessageBoxA(nullptr, "answered", "Test", MB_OKCANCEL), IDCANCEL);
    SetMessageBoxResponder(nullptr);
    TakeMessageBoxes();

    std::atomic<int> answer{-1};
    std::thread caller([&] { answer = MessageBoxA(nullptr, "real again", "Test", MB_OKCANCEL); });
    bool shown = guitest::OnBox("real again", [](QMessageBox *box) { box->button(QMessageBox::Ok)->click(); });
    caller.join();
    ASSERT_TRUE(shown);
    EXPECT_EQ(answer, IDOK);
    auto taken = TakeMessageBoxes();
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0].caption, "Test");
    EXPECT_EQ(taken[0].answer, IDOK);
}

TEST(MessageBoxTestInterface, ResponderServesConcurrentThreads)
{
    ResponderGuard guard;
    TakeMessageBoxes();
    // Each thread's box is answered from its own text, so answers cannot cross.
    SetMessageBoxResponder([](const MessageBoxInfo &info) { return info.text == "yes" ? IDYES : IDNO; });
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&, i] {
            for (int n = 0; n < 50; ++n) {
                bool yes = (i + n) % 2 == 0;
                if (MessageBoxA(nullptr, yes ? "yes" : "no", "T", MB_YESNO) != (yes ? IDYES : IDNO))
                    ++wrong;
            }
        });
    }
    for (auto &t : threads)
        t.join();
    EXPECT_EQ(wrong, 0);
    // Only the most recent boxes are kept when nobody takes them.
    auto taken = TakeMessageBoxes();
    EXPECT_GT(taken.size(), 0u);
    EXPECT_LE(taken.size(), 400u);
}

} // namespace
