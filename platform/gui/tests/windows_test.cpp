// The window model: queues and their order, sending across threads, timers,
// painting, geometry limits, menus from resources and modal dialogs.
#include "dialogs/dialogtemplate.h"
#include "automation/uiactions.h"
#include "twtesting.h"

#include <commctrl.h>
#include <shlobj.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

constexpr int kMenu = 7;
constexpr int kPlainDialog = 20;
constexpr int kExtendedDialog = 21;

struct Seen {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
thread_local std::vector<Seen> t_seen;
POINT g_minTrack{0, 0};

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    t_seen.push_back({msg, wParam, lParam});
    switch (msg) {
    case WM_GETMINMAXINFO:
        if (g_minTrack.x != 0)
            reinterpret_cast<MINMAXINFO *>(lParam)->ptMinTrackSize = g_minTrack;
        return 0;
    case WM_USER + 1:
        return static_cast<LRESULT>(wParam * 2);
    case WM_DESTROY:
        PostQuitMessage(7);
        return 0;
    default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static bool registered = false;
        if (!registered) {
            WNDCLASSA wc{};
            wc.lpfnWndProc = RecordingProc;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
            wc.lpszClassName = "TestWindow";
            wc.lpszMenuName = MAKEINTRESOURCEA(kMenu);
            ASSERT_NE(RegisterClassA(&wc), 0);
            registered = true;
        }
        g_minTrack = POINT{0, 0};
        t_seen.clear();
    }
    HWND Create(DWORD style = WS_OVERLAPPEDWINDOW)
    {
        HWND hwnd = CreateWindowExA(0, "TestWindow", "Test", style, 10, 10, 300, 200, nullptr, nullptr,
                                    GetModuleHandleA(nullptr), nullptr);
        EXPECT_NE(hwnd, nullptr);
        return hwnd;
    }
    // Runs the loop until WM_QUIT; returns its exit code.
    static int Loop()
    {
        MSG m;
        while (GetMessageA(&m, nullptr, 0, 0)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        return static_cast<int>(m.wParam);
    }
    static bool SawMessage(UINT msg)
    {
        for (const Seen &s : t_seen)
            if (s.message == msg)
                return true;
        return false;
    }
};

TEST_F(WindowTest, PostedMessagesComeInOrderAndQuitEndsTheLoop)
{
    HWND hwnd = Create();
    ASSERT_TRUE(PostMessageA(hwnd, WM_USER + 5, 1, 0));
    ASSERT_TRUE(PostMessageA(hwnd, WM_USER + 5, 2, 0));
    PostQuitMessage(3);
    ASSERT_TRUE(PostMessageA(hwnd, WM_USER + 5, 3, 0));
    EXPECT_EQ(Loop(), 3);
    std::vector<WPARAM> order;
    for (const Seen &s : t_seen)
        if (s.message == WM_USER + 5)
            order.push_back(s.wParam);
    // WM_QUIT comes once the posted messages are taken.
    EXPECT_EQ(order, (std::vector<WPARAM>{1, 2, 3}));
    EXPECT_TRUE(DestroyWindow(hwnd));
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(Loop(), 7);   // WM_DESTROY posted the quit
}

TEST_F(WindowTest, SendFromAnotherThreadWaitsForTheOwnerAndBothCanSend)
{
    HWND hwnd = Create();
    std::atomic<LRESULT> answer{0};
    std::thread worker([&] {
        answer = SendMessageA(hwnd, WM_USER + 1, 21, 0);
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(Loop(), 7);
    worker.join();
    EXPECT_EQ(answer.load(), 42);
    // Send to a window of an ended thread's queue fails instead of hanging.
    EXPECT_EQ(SendMessageA(reinterpret_cast<HWND>(0x5), WM_USER + 1, 1, 0), 0);
}

// Windows made, raised and destroyed on several threads at once: the cascade of
// default positions and the foreground window are shared by all of them (run
// under TSan to see the two are guarded).
TEST_F(WindowTest, ThreadsCreateRaiseAndDestroyWindowsTogether)
{
    std::atomic<int> offCascade{0};
    std::atomic<int> deadForeground{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 40; ++i) {
                HWND hwnd = CreateWindowExA(0, "TestWindow", "Cascade", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                            200, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
                if (!hwnd) {
                    ++offCascade;
                    continue;
                }
                RECT r{};
                GetWindowRect(hwnd, &r);
                if (r.left < 48 || r.left > 48 + 7 * 32 || (r.left - 48) % 32 != 0 || r.top != r.left)
                    ++offCascade;
                SetForegroundWindow(hwnd);
                HWND foreground = GetForegroundWindow();
                if (foreground && !IsWindow(foreground))
                    ++deadForeground;
                DestroyWindow(hwnd);
            }
        });
    }
    for (std::thread &t : threads)
        t.join();
    EXPECT_EQ(offCascade.load(), 0);
    EXPECT_EQ(deadForeground.load(), 0);
    // Every window is gone, so none is the foreground window.
    EXPECT_EQ(GetForegroundWindow(), nullptr);
}

TEST_F(WindowTest, TimersPaintAndSizeMessages)
{
    HWND hwnd = Create();
    ShowWindow(hwnd, SW_SHOWNORMAL);
    EXPECT_TRUE(SawMessage(WM_SIZE));
    EXPECT_TRUE(SawMessage(WM_MOVE));
    ASSERT_NE(SetTimer(hwnd, 1, 20, nullptr), 0u);
    int ticks = 0, paints = 0;
    MSG m;
    while (ticks < 3 && GetMessageA(&m, nullptr, 0, 0)) {
        if (m.message == WM_TIMER && m.wParam == 1)
            ++ticks;
        if (m.message == WM_PAINT)
            ++paints;
        DispatchMessageA(&m);
    }
    EXPECT_EQ(ticks, 3);
    // Shown windows are painted once, and DefWindowProc validated them.
    EXPECT_EQ(paints, 1);
    EXPECT_FALSE(GetUpdateRect(hwnd, nullptr, FALSE));
    RECT part{5, 5, 10, 10};
    InvalidateRect(hwnd, &part, FALSE);
    RECT update;
    ASSERT_TRUE(GetUpdateRect(hwnd, &update, FALSE));
    EXPECT_EQ(update.left, 5);
    EXPECT_EQ(update.right, 10);
    EXPECT_TRUE(KillTimer(hwnd, 1));
    EXPECT_FALSE(KillTimer(hwnd, 1));
    DestroyWindow(hwnd);
    Loop();
}

TEST_F(WindowTest, GeometryFollowsTheFrameMetricsAndTheMinimumTrackingSize)
{
    g_minTrack = POINT{200, 120};
    HWND hwnd = Create();
    ShowWindow(hwnd, SW_SHOW);
    ASSERT_TRUE(SetWindowPos(hwnd, nullptr, 0, 0, 320 + 2 * GetSystemMetrics(SM_CXBORDER),
                             240 + GetSystemMetrics(SM_CYMENU) + 2 * GetSystemMetrics(SM_CYBORDER) +
                                 GetSystemMetrics(SM_CYCAPTION),
                             SWP_NOMOVE | SWP_NOOWNERZORDER));
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 320);
    EXPECT_EQ(client.bottom, 240);
    // Neither the program nor the user's dragging goes below the minimum.
    SetWindowPos(hwnd, nullptr, 0, 0, 50, 50, SWP_NOMOVE);
    RECT w;
    GetWindowRect(hwnd, &w);
    EXPECT_EQ(w.right - w.left, 200);
    EXPECT_EQ(w.bottom - w.top, 120);
    twgui::MirrorUserResize(hwnd, 300, 300);
    twgui::MirrorUserResize(hwnd, 100, 60);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&m);
    GetWindowRect(hwnd, &w);
    EXPECT_EQ(w.right - w.left, 200);
    EXPECT_EQ(w.bottom - w.top, 120);
    DestroyWindow(hwnd);
    Loop();
}

TEST_F(WindowTest, MenuFromResourceKeepsStatesAndChoosingPostsCommands)
{
    HWND hwnd = Create();
    ShowWindow(hwnd, SW_SHOW);
    HMENU menu = GetMenu(hwnd);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetMenuState(menu, 101, MF_BYCOMMAND) & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
    EXPECT_EQ(GetMenuState(menu, 200, MF_BYCOMMAND) & MF_CHECKED, static_cast<UINT>(MF_CHECKED));
    EXPECT_EQ(CheckMenuItem(menu, 201, MF_CHECKED), static_cast<DWORD>(MF_UNCHECKED));
    EXPECT_EQ(CheckMenuItem(menu, 200, MF_UNCHECKED), static_cast<DWORD>(MF_CHECKED));
    EXPECT_EQ(EnableMenuItem(menu, 100, MF_GRAYED), MF_ENABLED);
    EXPECT_EQ(CheckMenuItem(menu, 999, MF_CHECKED), static_cast<DWORD>(-1));

    auto states = twgui::MenuStatesOf(hwnd);
    ASSERT_EQ(states.size(), 4u);
    EXPECT_EQ(states[0].text, "&Open\tO");
    EXPECT_TRUE(states[0].grayed);
    EXPECT_TRUE(states[3].checked);

    // A gray item does nothing; an enabled one posts WM_COMMAND with its id.
    EXPECT_TRUE(twgui::ChooseMenuItem(hwnd, 100));
    EnableMenuItem(menu, 101, MF_ENABLED);
    EXPECT_TRUE(twgui::ChooseMenuItem(hwnd, 101));
    EXPECT_FALSE(twgui::ChooseMenuItem(hwnd, 555));
    PostMessageA(hwnd, WM_CLOSE, 0, 0);
    Loop();
    std::vector<WPARAM> commands;
    for (const Seen &s : t_seen)
        if (s.message == WM_COMMAND)
            commands.push_back(s.wParam);
    EXPECT_EQ(commands, std::vector<WPARAM>{101});
}

// The plain dialog's procedure: fills the list, answers OK with the edit's text
// length and the selection, Cancel with -5.
INT_PTR CALLBACK PlainDlgProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        for (const char *s : {"Every day", "Never", "Next time"})
            SendDlgItemMessageA(hDlg, 1001, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
        SendDlgItemMessageA(hDlg, 1001, CB_SELECTSTRING, static_cast<WPARAM>(-1), lParam);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            char text[16];
            UINT n = GetDlgItemTextA(hDlg, 1000, text, sizeof text);
            LRESULT sel = SendDlgItemMessageA(hDlg, 1001, CB_GETCURSEL, 0, 0);
            EndDialog(hDlg, static_cast<INT_PTR>(n * 10 + sel + 1));
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(hDlg, -5);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

TEST_F(WindowTest, DialogRunsModallyWithItsControlsAndKeys)
{
    std::thread user([] {
        HWND dlg = twgui::WaitForCaption("Plain dialog", 10000);
        ASSERT_NE(dlg, nullptr);
        // The list search ignores case; an overlong text is cut at the buffer.
        EXPECT_EQ(SendDlgItemMessageA(dlg, 1001, CB_GETCURSEL, 0, 0), 1);
        EXPECT_TRUE(twgui::TypeIntoControl(dlg, 1000, "a text longer than sixteen"));
        EXPECT_TRUE(twgui::ClickControl(dlg, IDOK, 10000));
    });
    INT_PTR r = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kPlainDialog), nullptr, PlainDlgProc,
                                reinterpret_cast<LPARAM>("NEVER"));
    user.join();
    EXPECT_EQ(r, 15 * 10 + 1 + 1);

    std::thread escape([] {
        HWND dlg = twgui::WaitForCaption("Plain dialog", 10000);
        ASSERT_NE(dlg, nullptr);
        // A text that begins no entry selects nothing.
        EXPECT_EQ(SendDlgItemMessageA(dlg, 1001, CB_GETCURSEL, 0, 0), CB_ERR);
        PostMessageA(dlg, WM_CLOSE, 0, 0);   // the close box means Cancel
    });
    r = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kPlainDialog), nullptr, PlainDlgProc,
                        reinterpret_cast<LPARAM>("sometimes"));
    escape.join();
    EXPECT_EQ(r, -5);

    // A worker's SendMessage that ends the dialog ends the modal loop too.
    std::thread sender([] {
        HWND dlg = twgui::WaitForCaption("Plain dialog", 10000);
        ASSERT_NE(dlg, nullptr);
        SendMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
    });
    r = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kPlainDialog), nullptr, PlainDlgProc, 0);
    sender.join();
    EXPECT_EQ(r, -5);
    EXPECT_EQ(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(999), nullptr, PlainDlgProc, 0), -1);
}

HWND g_extended = nullptr;
INT_PTR CALLBACK ExtendedDlgProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM)
{
    if (msg == WM_INITDIALOG) {
        g_extended = hDlg;
        return TRUE;
    }
    if (msg == WM_COMMAND && LOWORD(wParam) == 1005) {
        EndDialog(hDlg, SendDlgItemMessageA(hDlg, 1004, PBM_GETPOS, 0, 0));
        return TRUE;
    }
    return FALSE;
}

TEST_F(WindowTest, WorkerThreadDrivesDialogControlsThroughMessages)
{
    g_extended = nullptr;
    std::thread worker([] {
        HWND dlg = twgui::WaitForCaption("Extended dialog", 10000);
        ASSERT_NE(dlg, nullptr);
        EXPECT_TRUE(SetDlgItemTextA(dlg, 1002, "Working..."));
        SendDlgItemMessageA(dlg, 1004, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        EXPECT_EQ(SendDlgItemMessageA(dlg, 1004, PBM_SETPOS, 150, 0), 0);   // clamped to the range
        char text[32];
        GetDlgItemTextA(dlg, 1002, text, sizeof text);
        EXPECT_STREQ(text, "Working...");
        // A hidden button cannot be clicked until it is shown.
        HWND go = GetDlgItem(dlg, 1005);
        EXPECT_FALSE(IsWindowVisible(go));
        SetWindowPos(go, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        EXPECT_TRUE(IsWindowVisible(go));
        EXPECT_TRUE(twgui::ClickControl(dlg, 1005, 10000));
    });
    INT_PTR r = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kExtendedDialog), GetDesktopWindow(),
                                ExtendedDlgProc, 0);
    worker.join();
    EXPECT_EQ(r, 100);
    EXPECT_FALSE(IsWindow(g_extended));
}

TEST_F(WindowTest, MsgWaitWakesForHandlesAndForInput)
{
    HWND hwnd = Create();
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))   // what earlier tests left
        DispatchMessageA(&m);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 50, QS_ALLINPUT), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(event);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 5000, QS_ALLINPUT), static_cast<DWORD>(WAIT_OBJECT_0));
    ResetEvent(event);
    std::thread poster([hwnd] {
        Sleep(50);
        PostMessageA(hwnd, WM_USER + 9, 0, 0);
    });
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 5000, QS_ALLINPUT), static_cast<DWORD>(WAIT_OBJECT_0 + 1));
    poster.join();
    ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_USER + 9, WM_USER + 9, PM_REMOVE));
    EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_USER + 9, WM_USER + 9, PM_REMOVE));
    CloseHandle(event);
    DestroyWindow(hwnd);
    Loop();
}

// A window whose procedure, asked with WM_USER + 2, asks another window in turn.
HWND g_peer = nullptr;
LRESULT CALLBACK RelayProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_USER + 2)
        return g_peer != nullptr ? SendMessageA(g_peer, WM_USER + 1, wParam + 1, 0) : -1;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

TEST_F(WindowTest, ThreadsSendingToEachOtherDoNotLock)
{
    // The main thread's window doubles; the worker's window asks it back while the
    // main thread is itself waiting for the worker.
    HWND mine = Create();
    g_peer = mine;
    WNDCLASSA wc{};
    wc.lpfnWndProc = RelayProc;
    wc.lpszClassName = "Relay";
    RegisterClassA(&wc);
    std::atomic<HWND> theirs{nullptr};
    std::atomic<bool> stop{false};
    std::thread worker([&] {
        HWND w = CreateWindowExA(0, "Relay", "relay", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        theirs = w;
        MSG m;
        while (!stop) {
            if (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&m);
            else
                MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
        DestroyWindow(w);
    });
    while (theirs.load() == nullptr)
        Sleep(5);
    EXPECT_EQ(SendMessageA(theirs.load(), WM_USER + 2, 20, 0), 42);
    stop = true;
    worker.join();
    g_peer = nullptr;
    DestroyWindow(mine);
    Loop();
}

TEST(FolderBrowser, AnswersGiveItemListsOfPaths)
{
    BROWSEINFOA bi{};
    char name[MAX_PATH];
    bi.pszDisplayName = name;
    bi.lpszTitle = "Pick";
    twgui::QueueFolderAnswer(std::string("/srv/recordings"));
    PIDLIST_ABSOLUTE pidl = SHBrowseForFolderA(&bi);
    ASSERT_NE(pidl, nullptr);
    char path[MAX_PATH];
    ASSERT_TRUE(SHGetPathFromIDListA(pidl, path));
    EXPECT_STREQ(path, "/srv/recordings");
    EXPECT_STREQ(name, "recordings");
    IMalloc *malloc = nullptr;
    ASSERT_EQ(SHGetMalloc(&malloc), S_OK);
    malloc->Free(pidl);
    malloc->Release();
    // Cancel, and a path too long for MAX_PATH, give no item list.
    twgui::QueueFolderAnswer(std::nullopt);
    EXPECT_EQ(SHBrowseForFolderA(&bi), nullptr);
    twgui::QueueFolderAnswer("/" + std::string(300, 'd'));
    EXPECT_EQ(SHBrowseForFolderA(&bi), nullptr);
}

TEST(DialogTemplate, MalformedTemplatesAreRefusedWithoutReadingPastThem)
{
    HRSRC res = FindResourceA(nullptr, MAKEINTRESOURCEA(kExtendedDialog), RT_DIALOG);
    ASSERT_NE(res, nullptr);
    const BYTE *bytes = static_cast<const BYTE *>(LockResource(LoadResource(nullptr, res)));
    DWORD size = SizeofResource(nullptr, res);
    twgui::DialogTemplate t;
    ASSERT_TRUE(twgui::ParseDialogTemplate(bytes, size, t));
    EXPECT_TRUE(t.extended);
    EXPECT_EQ(t.caption, "Extended dialog");
    ASSERT_EQ(t.items.size(), 3u);
    EXPECT_STRCASEEQ(t.items[1].className.c_str(), "msctls_progress32");
    EXPECT_EQ(t.items[2].id, 1005);
    // Every truncation fails cleanly (run under ASan, a read past the copy is caught).
    for (DWORD cut = 0; cut < size - 1; ++cut) {
        std::vector<BYTE> copy(bytes, bytes + cut);
        twgui::DialogTemplate partial;
        EXPECT_FALSE(twgui::ParseDialogTemplate(copy.data(), copy.size(), partial)) << cut;
    }
}

TEST(MenuTemplate, TruncatedMenusAreRefusedWithoutReadingPastThem)
{
    HRSRC res = FindResourceA(nullptr, MAKEINTRESOURCEA(kMenu), RT_MENU);
    ASSERT_NE(res, nullptr);
    const BYTE *bytes = static_cast<const BYTE *>(LockResource(LoadResource(nullptr, res)));
    DWORD size = SizeofResource(nullptr, res);
    HMENU whole = twgui::CreateMenuFromTemplate(bytes, size);
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(twgui::MenuItemStates(whole).size(), 4u);
    EXPECT_TRUE(DestroyMenu(whole));
    EXPECT_FALSE(DestroyMenu(whole));
    // A header alone is an empty menu; any item cut short fails the whole menu.
    HMENU empty = twgui::CreateMenuFromTemplate(bytes, 4);
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(twgui::MenuItemStates(empty).empty());
    DestroyMenu(empty);
    for (DWORD cut = 5; cut < size; ++cut) {
        std::vector<BYTE> copy(bytes, bytes + cut);
        EXPECT_EQ(twgui::CreateMenuFromTemplate(copy.data(), copy.size()), nullptr) << cut;
    }
}

} // namespace
