// MessageBoxA through real QMessageBoxes on the Qt thread, answered the way a user
// would: clicking, Enter, Esc and the close box.
#include "boxdriver.h"

#include <windows.h>

#include <QPushButton>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

using guitest::BoxOpen;
using guitest::OnBox;
using guitest::PressKey;

namespace {

// Shows a box on a thread of its own; answer() joins it and returns the result.
class BoxCall {
public:
    BoxCall(const char *text, const char *caption, UINT type)
        : m_thread([=] { m_answer = MessageBoxA(nullptr, text, caption, type); })
    {
    }
    ~BoxCall()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    int answer()
    {
        m_thread.join();
        return m_answer;
    }

private:
    std::atomic<int> m_answer{-1};
    std::thread m_thread;
};

void Click(QMessageBox *box, QMessageBox::StandardButton which)
{
    QAbstractButton *button = box->button(which);
    ASSERT_NE(button, nullptr);
    button->click();
}

TEST(MessageBoxQt, OkBoxShowsCaptionTextAndIcon)
{
    BoxCall call("Disk full", "Recorder", MB_OK | MB_ICONERROR);
    std::string title; // a deep copy: Qt's shared strings must not cross threads
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    ASSERT_TRUE(OnBox("Disk full", [&](QMessageBox *box) {
        title = box->windowTitle().toStdString();
        icon = box->icon();
        buttons = static_cast<int>(box->buttons().size());
        Click(box, QMessageBox::Ok);
    }));
    EXPECT_EQ(call.answer(), IDOK);
    EXPECT_EQ(title, "Recorder");
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(buttons, 1);
}

TEST(MessageBoxQt, NullCaptionReadsErrorAndIconsMap)
{
    struct Case {
        UINT type;
        QMessageBox::Icon icon;
    } cases[] = {{MB_ICONWARNING, QMessageBox::Warning},
                 {MB_ICONINFORMATION, QMessageBox::Information},
                 {MB_ICONQUESTION, QMessageBox::Question},
                 {MB_ICONEXCLAMATION | MB_OKCANCEL, QMessageBox::Warning},
                 {MB_OK, QMessageBox::NoIcon}};
    for (const Case &c : cases) {
        BoxCall call("icon check", nullptr, c.type);
        std::string title; // a deep copy: Qt's shared strings must not cross threads
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        ASSERT_TRUE(OnBox("icon check", [&](QMessageBox *box) {
            title = box->windowTitle().toStdString();
            icon = box->icon();
            Click(box, QMessageBox::Ok);
        }));
        EXPECT_EQ(call.answer(), IDOK);
        EXPECT_EQ(title, "Error");
        EXPECT_EQ(icon, c.icon) << "type " << c.type;
    }
}

TEST(MessageBoxQt, UnicodeAndMarkupShownAsPlainText)
{
    const char *text = "Caf\xc3\xa9 <b>not bold</b> & <img src=x>";
    BoxCall call(text, "\xe2\x9c\x93 done", MB_OK);
    Qt::TextFormat format = Qt::AutoText;
    std::string title; // a deep copy: Qt's shared strings must not cross threads
    ASSERT_TRUE(OnBox(QString::fromUtf8(text), [&](QMessageBox *box) {
        format = box->textFormat();
        title = box->windowTitle().toStdString();
        Click(box, QMessageBox::Ok);
    }));
    EXPECT_EQ(call.answer(), IDOK);
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(title, "\xe2\x9c\x93 done");
}

TEST(MessageBoxQt, EachButtonSetAnswersWithItsIds)
{
    struct Case {
        UINT type;
        QMessageBox::StandardButton click;
        int expected;
    } cases[] = {
        {MB_OKCANCEL, QMessageBox::Cancel, IDCANCEL},
        {MB_OKCANCEL, QMessageBox::Ok, IDOK},
        {MB_ABORTRETRYIGNORE, QMessageBox::Abort, IDABORT},
        {MB_ABORTRETRYIGNORE, QMessageBox::Retry, IDRETRY},
        {MB_ABORTRETRYIGNORE, QMessageBox::Ignore, IDIGNORE},
        {MB_YESNOCANCEL, QMessageBox::Yes, IDYES},
        {MB_YESNOCANCEL, QMessageBox::No, IDNO},
        {MB_YESNOCANCEL, QMessageBox::Cancel, IDCANCEL},
        {MB_YESNO, QMessageBox::Yes, IDYES},
        {MB_YESNO, QMessageBox::No, IDNO},
        {MB_RETRYCANCEL, QMessageBox::Retry, IDRETRY},
        {MB_RETRYCANCEL, QMessageBox::Cancel, IDCANCEL},
    };
    for (const Case &c : cases) {
        BoxCall call("buttons", "Test", c.type);
        int buttons = 0;
        ASSERT_TRUE(OnBox("buttons", [&](QMessageBox *box) {
            buttons = static_cast<int>(box->buttons().size());
            Click(box, c.click);
        }));
        EXPECT_EQ(call.answer(), c.expected) << "type " << c.type;
        EXPECT_EQ(buttons, c.type == MB_ABORTRETRYIGNORE || c.type == MB_YESNOCANCEL ? 3 : 2);
    }
}

TEST(MessageBoxQt, EnterPressesTheDefaultButton)
{
    struct Case {
        UINT type;
        int expected;
    } cases[] = {
        {MB_OK, IDOK},
        {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
        {MB_YESNO, IDYES},
        {MB_YESNO | MB_DEFBUTTON2, IDNO},
        {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, IDRETRY},
        {MB_RETRYCANCEL | MB_DEFBUTTON3, IDRETRY}, // past the last button: the first
    };
    for (const Case &c : cases) {
        BoxCall call("enter", "Test", c.type);
        ASSERT_TRUE(OnBox("enter", [&](QMessageBox *box) { PressKey(box, Qt::Key_Return); }));
        EXPECT_EQ(call.answer(), c.expected) << "type " << c.type;
    }
}

TEST(MessageBoxQt, ClosingAnswersCancelOrOkOnly)
{
    struct Case {
        UINT type;
        int expected;
    } cases[] = {{MB_OK, IDOK}, {MB_OKCANCEL, IDCANCEL}, {MB_YESNOCANCEL | MB_DEFBUTTON1, IDCANCEL},
                 {MB_RETRYCANCEL, IDCANCEL}};
    for (const Case &c : cases) {
        BoxCall viaClose("close box", "Test", c.type);
        ASSERT_TRUE(OnBox("close box", [](QMessageBox *box) { box->close(); }));
        EXPECT_EQ(viaClose.answer(), c.expected) << "type " << c.type;
        BoxCall viaEsc("escape key", "Test", c.type);
        ASSERT_TRUE(OnBox("escape key", [](QMessageBox *box) { PressKey(box, Qt::Key_Escape); }));
        EXPECT_EQ(viaEsc.answer(), c.expected) << "type " << c.type;
    }
}

TEST(MessageBoxQt, BoxesWithoutCancelCannotBeClosed)
{
    for (UINT type : {UINT(MB_YESNO), UINT(MB_ABORTRETRYIGNORE)}) {
        BoxCall call("no way out", "Test", type);
        ASSERT_TRUE(OnBox("no way out", [](QMessageBox *box) {
            box->close();
            PressKey(box, Qt::Key_Escape);
        }));
        EXPECT_TRUE(BoxOpen("no way out"));
        ASSERT_TRUE(OnBox("no way out", [&](QMessageBox *box) {
            Click(box, type == MB_YESNO ? QMessageBox::No : QMessageBox::Ignore);
        }));
        EXPECT_EQ(call.answer(), type == MB_YESNO ? IDNO : IDIGNORE);
    }
}

TEST(MessageBoxQt, FourThreadsEachGetTheirOwnAnswer)
{
    const char *texts[] = {"first", "second", "third", "fourth"};
    BoxCall a(texts[0], "One", MB_YESNOCANCEL);
    BoxCall b(texts[1], "Two", MB_YESNOCANCEL);
    BoxCall c(texts[2], "Three", MB_YESNOCANCEL);
    BoxCall d(texts[3], "Four", MB_ABORTRETRYIGNORE);
    // All four are open together before any is answered.
    for (const char *t : texts)
        ASSERT_TRUE(OnBox(t, [](QMessageBox *) {}));
    // Answer in reverse order of asking.
    ASSERT_TRUE(OnBox("fourth", [](QMessageBox *box) { Click(box, QMessageBox::Retry); }));
    ASSERT_TRUE(OnBox("third", [](QMessageBox *box) { Click(box, QMessageBox::Cancel); }));
    ASSERT_TRUE(OnBox("second", [](QMessageBox *box) { Click(box, QMessageBox::No); }));
    EXPECT_TRUE(BoxOpen("first"));
    ASSERT_TRUE(OnBox("first", [](QMessageBox *box) { Click(box, QMessageBox::Yes); }));
    EXPECT_EQ(d.answer(), IDRETRY);
    EXPECT_EQ(c.answer(), IDCANCEL);
    EXPECT_EQ(b.answer(), IDNO);
    EXPECT_EQ(a.answer(), IDYES);
}

TEST(MessageBoxQt, UnsupportedStyleFailsWithoutShowing)
{
    SetLastError(0);
    EXPECT_EQ(MessageBoxA(nullptr, "bad style", "Test", 7), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(BoxOpen("bad style"));
}

} // namespace
