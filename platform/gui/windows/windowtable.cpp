// The window records and their handles.
#include "windowtable.h"

#include <algorithm>
#include <unordered_map>

namespace twgui {
namespace {

struct Table {
    std::mutex mutex;
    std::unordered_map<HWND, std::unique_ptr<WindowRecord>> records;
    ULONG_PTR next = 0x10000;
    HWND desktop = nullptr;
};

Table &TheTable()
{
    // Never destroyed: the Qt thread and threads still ending at process exit use it.
    static Table *table = new Table;
    return *table;
}

HWND NewHandle(Table &t)
{
    t.next += 4;
    return reinterpret_cast<HWND>(t.next);
}

} // namespace

std::mutex &WindowLock()
{
    return TheTable().mutex;
}

WindowRecord *LockedRecord(HWND hwnd)
{
    Table &t = TheTable();
    auto it = t.records.find(hwnd);
    return it == t.records.end() ? nullptr : it->second.get();
}

HWND InsertRecord(std::unique_ptr<WindowRecord> record)
{
    Table &t = TheTable();
    std::lock_guard<std::mutex> lock(t.mutex);
    HWND hwnd = NewHandle(t);
    record->hwnd = hwnd;
    t.records.emplace(hwnd, std::move(record));
    return hwnd;
}

void RemoveRecord(HWND hwnd)
{
    Table &t = TheTable();
    std::unique_ptr<WindowRecord> gone;   // destroyed outside the lock
    std::lock_guard<std::mutex> lock(t.mutex);
    auto it = t.records.find(hwnd);
    if (it != t.records.end()) {
        gone = std::move(it->second);
        t.records.erase(it);
    }
}

bool SnapshotRecord(HWND hwnd, WindowRecord &out)
{
    std::lock_guard<std::mutex> lock(WindowLock());
    const WindowRecord *r = LockedRecord(hwnd);
    if (r == nullptr)
        return false;
    out = *r;
    return true;
}

DWORD OwnerThread(HWND hwnd)
{
    std::lock_guard<std::mutex> lock(WindowLock());
    const WindowRecord *r = LockedRecord(hwnd);
    return r == nullptr ? 0 : r->threadId;
}

std::vector<HWND> FindWindows(const std::function<bool(const WindowRecord &)> &pred)
{
    Table &t = TheTable();
    std::lock_guard<std::mutex> lock(t.mutex);
    std::vector<HWND> found;
    for (const auto &entry : t.records)
        if (pred(*entry.second))
            found.push_back(entry.first);
    // Handles grow with creation: oldest first.
    std::sort(found.begin(), found.end());
    return found;
}

HWND FindWindowToPaint(DWORD threadId, HWND filter)
{
    Table &t = TheTable();
    std::lock_guard<std::mutex> lock(t.mutex);
    for (const auto &entry : t.records) {
        const WindowRecord &r = *entry.second;
        if (r.threadId == threadId && r.hasUpdate && r.visible && !r.destroying &&
            (filter == nullptr || filter == r.hwnd))
            return r.hwnd;
    }
    return nullptr;
}

HWND DesktopWindow()
{
    Table &t = TheTable();
    std::lock_guard<std::mutex> lock(t.mutex);
    if (t.desktop == nullptr) {
        auto r = std::make_unique<WindowRecord>();
        r->className = "#32769";
        r->style = WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN;
        r->rect = RECT{0, 0, kScreenWidth, kScreenHeight};
        r->visible = true;
        t.desktop = NewHandle(t);
        r->hwnd = t.desktop;
        t.records.emplace(t.desktop, std::move(r));
    }
    return t.desktop;
}

POINT ClientOrigin(const WindowRecord &r)
{
    POINT p{0, 0};
    if (r.kind == WindowKind::Control || r.threadId == 0)
        return p;
    p.x = kBorder;
    p.y = kBorder;
    if ((r.style & WS_CAPTION) == WS_CAPTION)
        p.y += kCaption;
    if (r.menu != nullptr)
        p.y += kMenuBar;
    return p;
}

RECT ClientRectOf(const WindowRecord &r)
{
    LONG w = r.rect.right - r.rect.left;
    LONG h = r.rect.bottom - r.rect.top;
    if (r.kind != WindowKind::Control && r.threadId != 0) {
        POINT o = ClientOrigin(r);
        w -= 2 * kBorder;
        h -= o.y + kBorder;
    }
    return RECT{0, 0, w > 0 ? w : 0, h > 0 ? h : 0};
}

} // namespace twgui
