// The message calls: getting, peeking, translating, dispatching, posting and
// sending messages, quitting, timers, and waiting for input with kernel objects.
#include "internalmsg.h"
#include "msgqueue.h"
#include "automation/uiactions.h"
#include "windowtable.h"

#include <algorithm>
#include <cctype>

using namespace twgui;

namespace {

constexpr UINT kMinimumTimer = 10;   // USER_TIMER_MINIMUM

bool ValidFilter(HWND hwnd)
{
    if (hwnd == nullptr)
        return true;
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    return true;
}

} // namespace

EXTERN_C BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax)
{
    if (lpMsg == nullptr || !ValidFilter(hWnd))
        return -1;
    FetchMessage(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, true, true);
    return lpMsg->message == WM_QUIT ? FALSE : TRUE;
}

EXTERN_C BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg)
{
    if (lpMsg == nullptr || !ValidFilter(hWnd))
        return FALSE;
    return FetchMessage(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, (wRemoveMsg & PM_REMOVE) != 0, false) ? TRUE
                                                                                                           : FALSE;
}

EXTERN_C BOOL WINAPI WaitMessage(void)
{
    auto q = CurrentQueue();
    twk::WaitForObjects({q}, false, INFINITE);
    return TRUE;
}

EXTERN_C BOOL WINAPI TranslateMessage(const MSG *lpMsg)
{
    if (lpMsg == nullptr || lpMsg->message != WM_KEYDOWN)
        return FALSE;
    WPARAM vk = lpMsg->wParam;
    char c = 0;
    if (vk >= 'A' && vk <= 'Z')
        c = static_cast<char>(std::tolower(static_cast<int>(vk)));
    else if ((vk >= '0' && vk <= '9') || vk == VK_SPACE)
        c = static_cast<char>(vk);
    else if (vk == VK_RETURN || vk == VK_ESCAPE || vk == VK_BACK || vk == VK_TAB)
        c = static_cast<char>(vk);
    if (c == 0)
        return FALSE;
    return PostMessageA(lpMsg->hwnd, WM_CHAR, static_cast<WPARAM>(static_cast<unsigned char>(c)), lpMsg->lParam);
}

EXTERN_C LRESULT WINAPI DispatchMessageA(const MSG *lpMsg)
{
    if (lpMsg == nullptr)
        return 0;
    if (lpMsg->hwnd == nullptr) {
        if (lpMsg->message == kMsgSettleMarker)
            MarkerDispatched(lpMsg->wParam);
        return 0;
    }
    if (lpMsg->message == WM_TIMER && lpMsg->lParam != 0) {
        reinterpret_cast<TIMERPROC>(lpMsg->lParam)(lpMsg->hwnd, WM_TIMER, lpMsg->wParam, GetTickCount());
        return 0;
    }
    if (OwnerThread(lpMsg->hwnd) != GetCurrentThreadId()) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return DeliverMessage(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

EXTERN_C BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    if (hWnd == nullptr)
        return PostThreadMessageA(GetCurrentThreadId(), Msg, wParam, lParam);
    DWORD owner = OwnerThread(hWnd);
    if (owner == 0) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return PostToQueue(owner, MakeMsg(hWnd, Msg, wParam, lParam)) ? TRUE : FALSE;
}

EXTERN_C BOOL WINAPI PostThreadMessageA(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    if (idThread == GetCurrentThreadId())
        CurrentQueue();
    if (!PostToQueue(idThread, MakeMsg(nullptr, Msg, wParam, lParam))) {
        SetLastError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    return TRUE;
}

EXTERN_C LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    DWORD owner = OwnerThread(hWnd);
    if (owner == 0) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (owner == GetCurrentThreadId())
        return DeliverMessage(hWnd, Msg, wParam, lParam);
    return SendToOtherThread(owner, hWnd, Msg, wParam, lParam);
}

EXTERN_C VOID WINAPI PostQuitMessage(int nExitCode)
{
    auto q = CurrentQueue();
    std::lock_guard<std::mutex> lock(twk::WaitLock());
    q->quitPosted = true;
    q->quitCode = nExitCode;
    q->Notify();
}

EXTERN_C UINT_PTR WINAPI SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc)
{
    if (hWnd != nullptr && OwnerThread(hWnd) != GetCurrentThreadId()) {
        SetLastError(hWnd != nullptr && IsWindow(hWnd) ? ERROR_ACCESS_DENIED : ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    auto q = CurrentQueue();
    UINT elapse = std::max(uElapse, kMinimumTimer);
    std::lock_guard<std::mutex> lock(twk::WaitLock());
    if (hWnd == nullptr) {
        // A thread timer gets an id of its own.
        UINT_PTR id = 0x7000;
        while (std::any_of(q->timers.begin(), q->timers.end(),
                           [id](const QueueTimer &t) { return t.hwnd == nullptr && t.id == id; }))
            ++id;
        nIDEvent = id;
    }
    auto due = std::chrono::steady_clock::now() + std::chrono::milliseconds(elapse);
    for (QueueTimer &t : q->timers) {
        if (t.hwnd == hWnd && t.id == nIDEvent) {
            t.elapse = elapse;
            t.proc = lpTimerFunc;
            t.due = due;
            q->Notify();
            return hWnd != nullptr ? 1 : nIDEvent;
        }
    }
    q->timers.push_back(QueueTimer{hWnd, nIDEvent, elapse, lpTimerFunc, due});
    q->Notify();
    return hWnd != nullptr ? 1 : nIDEvent;
}

EXTERN_C BOOL WINAPI KillTimer(HWND hWnd, UINT_PTR uIDEvent)
{
    auto q = CurrentQueue();
    std::lock_guard<std::mutex> lock(twk::WaitLock());
    auto it = std::find_if(q->timers.begin(), q->timers.end(),
                           [&](const QueueTimer &t) { return t.hwnd == hWnd && t.id == uIDEvent; });
    if (it == q->timers.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    q->timers.erase(it);
    return TRUE;
}

EXTERN_C DWORD WINAPI MsgWaitForMultipleObjects(DWORD nCount, const HANDLE *pHandles, BOOL fWaitAll,
                                                DWORD dwMilliseconds, DWORD dwWakeMask)
{
    std::vector<std::shared_ptr<twk::Waitable>> objects;
    if (nCount > 0 && !twk::LookupWaitables(nCount, pHandles, objects))
        return WAIT_FAILED;
    if (fWaitAll) {
        // Waiting for all handles and input at once: the handles, then input.
        if (nCount > 0) {
            DWORD r = twk::WaitForObjects(objects, true, dwMilliseconds);
            if (r != WAIT_OBJECT_0)
                return r;
        }
        return WAIT_OBJECT_0;
    }
    auto q = CurrentQueue();
    if (dwWakeMask != 0)
        objects.push_back(q);
    // A due timer counts as input: wait no longer than the next one.
    DWORD timeout = dwMilliseconds;
    bool timerCut = false;
    if (dwWakeMask & QS_TIMER) {
        std::lock_guard<std::mutex> lock(twk::WaitLock());
        auto now = std::chrono::steady_clock::now();
        for (const QueueTimer &t : q->timers) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(t.due - now).count();
            DWORD ms = left <= 0 ? 0 : static_cast<DWORD>(left);
            if (timeout == INFINITE || ms < timeout) {
                timeout = ms;
                timerCut = true;
            }
        }
    }
    if (objects.empty()) {
        Sleep(timeout == INFINITE ? 0 : timeout);
        return WAIT_TIMEOUT;
    }
    DWORD r = twk::WaitForObjects(objects, false, timeout);
    if (r == WAIT_TIMEOUT && timerCut)
        return WAIT_OBJECT_0 + nCount;
    return r;
}
