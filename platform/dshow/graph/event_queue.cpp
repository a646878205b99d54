#include "event_queue.h"

#include <chrono>

#include <evcode.h>
#include <vfwmsgs.h>
#include <windows.h>

namespace twds {
namespace {

// Codes the graph itself handles unless the application cancels that.
bool DefaultHandled(LONG code)
{
    switch (code) {
    case EC_COMPLETE:
    case EC_REPAINT:
    case EC_ACTIVATE:
    case EC_DISPLAY_CHANGED:
    case EC_CLOCK_CHANGED:
        return true;
    default:
        return false;
    }
}

} // namespace

EventQueue::EventQueue() : m_handle(CreateEventA(nullptr, TRUE, FALSE, nullptr))
{
}

EventQueue::~EventQueue()
{
    if (m_handle)
        CloseHandle(m_handle);
}

void EventQueue::Queue(const Event &event)
{
    m_events.push_back(event);
    if (m_handle)
        SetEvent(m_handle);
    m_arrived.notify_all();
    if (m_window && !(m_flags & AM_MEDIAEVENT_NONOTIFY))
        PostMessageA(m_window, m_message, 0, m_instance);
}

HRESULT EventQueue::Notify(LONG code, LONG_PTR param1, LONG_PTR param2)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (!DefaultHandled(code) || m_cancelled.count(code)) {
        Queue({code, param1, param2});
        return S_OK;
    }
    if (code == EC_COMPLETE) {
        // One EC_COMPLETE for the application once every renderer has sent its own.
        ++m_completed;
        if (!m_completeQueued && m_completed >= m_renderers) {
            m_completeQueued = true;
            Queue({EC_COMPLETE, S_OK, 0});
        }
    }
    return S_OK;
}

void EventQueue::StartRun(int renderers)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_renderers = renderers;
    m_completed = 0;
    m_completeQueued = false;
}

void EventQueue::ResetCompletion()
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_completed = 0;
    m_completeQueued = false;
}

HRESULT EventQueue::GetEvent(LONG *code, LONG_PTR *param1, LONG_PTR *param2, LONG timeoutMs)
{
    if (!code || !param1 || !param2)
        return E_POINTER;
    std::unique_lock<std::mutex> hold(m_lock);
    auto ready = [&] { return !m_events.empty(); };
    if (timeoutMs < 0)
        m_arrived.wait(hold, ready);
    else if (!m_arrived.wait_for(hold, std::chrono::milliseconds(timeoutMs), ready)) {
        *code = 0;
        *param1 = *param2 = 0;
        return E_ABORT;
    }
    Event e = m_events.front();
    m_events.pop_front();
    if (m_events.empty() && m_handle)
        ResetEvent(m_handle);
    *code = e.code;
    *param1 = e.param1;
    *param2 = e.param2;
    return S_OK;
}

HRESULT EventQueue::WaitForCompletion(LONG timeoutMs, LONG *code)
{
    if (!code)
        return E_POINTER;
    *code = 0;
    std::unique_lock<std::mutex> hold(m_lock);
    auto finished = [&] {
        for (const Event &e : m_events)
            if (e.code == EC_COMPLETE || e.code == EC_ERRORABORT || e.code == EC_USERABORT)
                return true;
        return false;
    };
    bool done = timeoutMs < 0 ? (m_arrived.wait(hold, finished), true)
                              : m_arrived.wait_for(hold, std::chrono::milliseconds(timeoutMs), finished);
    if (!done)
        return E_ABORT;
    for (auto it = m_events.begin(); it != m_events.end(); ++it) {
        if (it->code == EC_COMPLETE || it->code == EC_ERRORABORT || it->code == EC_USERABORT) {
            *code = it->code;
            m_events.erase(it);
            break;
        }
    }
    if (m_events.empty() && m_handle)
        ResetEvent(m_handle);
    return S_OK;
}

HRESULT EventQueue::CancelDefaultHandling(LONG code)
{
    if (!DefaultHandled(code))
        return S_FALSE;
    std::lock_guard<std::mutex> hold(m_lock);
    m_cancelled.insert(code);
    return S_OK;
}

HRESULT EventQueue::RestoreDefaultHandling(LONG code)
{
    if (!DefaultHandled(code))
        return S_FALSE;
    std::lock_guard<std::mutex> hold(m_lock);
    m_cancelled.erase(code);
    return S_OK;
}

HRESULT EventQueue::SetNotifyWindow(OAHWND hwnd, LONG message, LONG_PTR instance)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_window = reinterpret_cast<HWND>(hwnd);
    m_message = static_cast<UINT>(message);
    m_instance = instance;
    // Events already waiting are announced, one message each, as if they came now.
    if (m_window && !(m_flags & AM_MEDIAEVENT_NONOTIFY))
        for (size_t i = 0; i < m_events.size(); ++i)
            PostMessageA(m_window, m_message, 0, m_instance);
    return S_OK;
}

HRESULT EventQueue::SetNotifyFlags(LONG flags)
{
    if (flags != 0 && flags != AM_MEDIAEVENT_NONOTIFY)
        return E_INVALIDARG;
    std::lock_guard<std::mutex> hold(m_lock);
    m_flags = flags;
    return S_OK;
}

HRESULT EventQueue::GetNotifyFlags(LONG *flags)
{
    if (!flags)
        return E_POINTER;
    std::lock_guard<std::mutex> hold(m_lock);
    *flags = m_flags;
    return S_OK;
}

HRESULT EventQueue::GetEventHandle(OAEVENT *handle)
{
    if (!handle)
        return E_POINTER;
    *handle = reinterpret_cast<OAEVENT>(m_handle);
    return m_handle ? S_OK : E_OUTOFMEMORY;
}

} // namespace twds
