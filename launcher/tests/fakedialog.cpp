#include "fakedialog.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include <commctrl.h>

namespace lt {
namespace {

const uintptr_t kDialogHandle = 0x7000;
const uintptr_t kControlBase = 0x10000;

struct PendingCall {
    std::function<LRESULT()> call;
    LRESULT result = 0;
    bool done = false;
};

struct FakeState {
    std::mutex lock;
    std::condition_variable changed;
    std::deque<PendingCall *> queue;
    bool running = false;
    bool ended = false;
    INT_PTR result = 0;
    std::thread::id dialogThread;
    DLGPROC proc = nullptr;
    std::function<void(const DialogEvent &)> react;
    std::vector<DialogEvent> events;
    std::map<int, bool> visible;
    std::map<uintptr_t, LONG_PTR> userData;
    std::vector<MessageBoxRecord> boxes;
};

// Never destroyed: worker threads may still be returning when a test ends.
FakeState &State()
{
    static FakeState *state = new FakeState;
    return *state;
}

int ControlId(HWND hwnd)
{
    return static_cast<int>(reinterpret_cast<uintptr_t>(hwnd) - kControlBase);
}

// Runs the call on the dialog's thread while a dialog runs (waiting for it, as
// SendMessage does), otherwise right here.
LRESULT OnDialogThread(std::function<LRESULT()> call)
{
    FakeState &s = State();
    std::unique_lock<std::mutex> guard(s.lock);
    if (!s.running || std::this_thread::get_id() == s.dialogThread) {
        guard.unlock();
        return call();
    }
    if (s.ended)
        return 0; // the window is gone
    PendingCall pending;
    pending.call = std::move(call);
    s.queue.push_back(&pending);
    s.changed.notify_all();
    s.changed.wait(guard, [&] { return pending.done; });
    return pending.result;
}

void Record(const DialogEvent &event)
{
    FakeState &s = State();
    std::function<void(const DialogEvent &)> react;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        s.events.push_back(event);
        if (event.kind == DialogEvent::Show || event.kind == DialogEvent::Hide)
            s.visible[event.id] = event.kind == DialogEvent::Show;
        if (s.running && std::this_thread::get_id() == s.dialogThread)
            react = s.react;
    }
    if (react)
        react(event);
}

} // namespace

HWND FakeDialogHandle()
{
    return reinterpret_cast<HWND>(kDialogHandle);
}

INT_PTR RunFakeDialog(DLGPROC proc, std::function<void(const DialogEvent &)> react, int timeoutMs)
{
    FakeState &s = State();
    {
        std::lock_guard<std::mutex> guard(s.lock);
        s.running = true;
        s.ended = false;
        s.result = 0;
        s.dialogThread = std::this_thread::get_id();
        s.proc = proc;
        s.react = std::move(react);
    }
    proc(FakeDialogHandle(), WM_INITDIALOG, 0, 0);
    std::unique_lock<std::mutex> guard(s.lock);
    bool timedOut = false;
    while (!s.ended) {
        if (s.queue.empty()) {
            if (!s.changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                    [&] { return !s.queue.empty() || s.ended; })) {
                timedOut = true;
                break;
            }
            continue;
        }
        PendingCall *pending = s.queue.front();
        s.queue.pop_front();
        guard.unlock();
        LRESULT result = pending->call();
        guard.lock();
        pending->result = result;
        pending->done = true;
        s.changed.notify_all();
    }
    // Calls still waiting find the window gone.
    for (PendingCall *pending : s.queue)
        pending->done = true;
    s.queue.clear();
    s.running = false;
    s.react = nullptr;
    s.changed.notify_all();
    return timedOut ? -1000 : s.result;
}

void ClickFakeButton(int id)
{
    DLGPROC proc = State().proc;
    proc(FakeDialogHandle(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
         reinterpret_cast<LPARAM>(GetDlgItem(FakeDialogHandle(), id)));
}

std::vector<DialogEvent> DialogEvents()
{
    std::lock_guard<std::mutex> guard(State().lock);
    return State().events;
}

std::vector<std::string> StatusTexts(int id)
{
    std::vector<std::string> texts;
    for (const DialogEvent &event : DialogEvents())
        if (event.kind == DialogEvent::Text && event.id == id)
            texts.push_back(event.text);
    return texts;
}

std::vector<int> ProgressPositions()
{
    std::vector<int> positions;
    for (const DialogEvent &event : DialogEvents())
        if (event.kind == DialogEvent::Progress)
            positions.push_back(static_cast<int>(event.value));
    return positions;
}

bool ControlVisible(int id)
{
    std::lock_guard<std::mutex> guard(State().lock);
    auto it = State().visible.find(id);
    return it != State().visible.end() && it->second;
}

void ResetFakeDialog()
{
    std::lock_guard<std::mutex> guard(State().lock);
    State().events.clear();
    State().visible.clear();
    State().userData.clear();
    State().boxes.clear();
}

std::vector<MessageBoxRecord> TakeMessageBoxes()
{
    std::lock_guard<std::mutex> guard(State().lock);
    std::vector<MessageBoxRecord> boxes;
    boxes.swap(State().boxes);
    return boxes;
}

} // namespace lt

using namespace lt;

// The window system's calls, as the launcher's code reaches them.

extern "C" BOOL WINAPI SetDlgItemTextA(HWND, int nIDDlgItem, LPCSTR lpString)
{
    std::string text = lpString ? lpString : "";
    return static_cast<BOOL>(OnDialogThread([=] {
        Record({DialogEvent::Text, nIDDlgItem, text, 0});
        return LRESULT(TRUE);
    }));
}

extern "C" LRESULT WINAPI SendDlgItemMessageA(HWND, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM)
{
    return OnDialogThread([=] {
        if (Msg == PBM_SETPOS)
            Record({DialogEvent::Progress, nIDDlgItem, "", static_cast<long long>(wParam)});
        return LRESULT(0);
    });
}

extern "C" LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    return OnDialogThread([=] {
        if (Msg == WM_COMMAND && LOWORD(wParam) == IDOK)
            Record({DialogEvent::Result, 0, "", static_cast<long long>(lParam)});
        DLGPROC proc = nullptr;
        {
            std::lock_guard<std::mutex> guard(State().lock);
            if (State().running)
                proc = State().proc;
        }
        return proc ? static_cast<LRESULT>(proc(hWnd, Msg, wParam, lParam)) : LRESULT(0);
    });
}

extern "C" HWND WINAPI GetDlgItem(HWND, int nIDDlgItem)
{
    return reinterpret_cast<HWND>(kControlBase + static_cast<uintptr_t>(nIDDlgItem));
}

extern "C" BOOL WINAPI SetWindowPos(HWND hWnd, HWND, int, int, int, int, UINT uFlags)
{
    int id = ControlId(hWnd);
    return static_cast<BOOL>(OnDialogThread([=] {
        if (uFlags & SWP_SHOWWINDOW)
            Record({DialogEvent::Show, id, "", 0});
        else if (uFlags & SWP_HIDEWINDOW)
            Record({DialogEvent::Hide, id, "", 0});
        return LRESULT(TRUE);
    }));
}

extern "C" LONG_PTR WINAPI SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong)
{
    if (nIndex != GWLP_USERDATA)
        return 0;
    std::lock_guard<std::mutex> guard(State().lock);
    LONG_PTR &slot = State().userData[reinterpret_cast<uintptr_t>(hWnd)];
    LONG_PTR old = slot;
    slot = dwNewLong;
    return old;
}

extern "C" LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex)
{
    if (nIndex != GWLP_USERDATA)
        return 0;
    std::lock_guard<std::mutex> guard(State().lock);
    return State().userData[reinterpret_cast<uintptr_t>(hWnd)];
}

extern "C" BOOL WINAPI EndDialog(HWND, INT_PTR nResult)
{
    {
        std::lock_guard<std::mutex> guard(State().lock);
        State().ended = true;
        State().result = nResult;
        State().changed.notify_all();
    }
    Record({DialogEvent::End, 0, "", static_cast<long long>(nResult)});
    return TRUE;
}

extern "C" int WINAPI MessageBoxA(HWND, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    std::lock_guard<std::mutex> guard(State().lock);
    State().boxes.push_back({lpCaption ? lpCaption : "Error", lpText ? lpText : "", uType});
    return IDOK;
}
