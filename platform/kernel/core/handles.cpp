#include <twkernel/handles.h>

#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace twk {
namespace {

struct HandleTable {
    std::mutex lock;
    std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> objects;
    uintptr_t next = 0x100;
};

HandleTable &Table()
{
    static HandleTable *table = new HandleTable; // outlives threads still running at exit
    return *table;
}

} // namespace

HANDLE InsertHandle(std::shared_ptr<KernelObject> object)
{
    HandleTable &table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    uintptr_t value = table.next;
    table.next += 4;
    table.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle)
{
    HandleTable &table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    auto it = table.objects.find(reinterpret_cast<uintptr_t>(handle));
    return it == table.objects.end() ? nullptr : it->second;
}

bool RemoveHandle(HANDLE handle)
{
    std::shared_ptr<KernelObject> object; // released after the table lock
    HandleTable &table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    auto it = table.objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it == table.objects.end())
        return false;
    object = std::move(it->second);
    table.objects.erase(it);
    return true;
}

} // namespace twk

extern "C" BOOL WINAPI CloseHandle(HANDLE hObject)
{
    if (!twk::RemoveHandle(hObject)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
