// The process's handle table: HANDLE values name kernel objects.
//
// Platform-internal. A HANDLE is an opaque number (a multiple of 4, never 0 or
// INVALID_HANDLE_VALUE, never reused in a process's life) that maps to a shared
// reference on a KernelObject. CloseHandle drops the table's reference; a call
// in progress on the object (a wait, a read) keeps its own.
#pragma once
#include <memory>
#include <windows.h>

namespace twk {

class KernelObject {
public:
    virtual ~KernelObject() = default;
};

// A new handle for the object.
HANDLE InsertHandle(std::shared_ptr<KernelObject> object);

// The object a handle names, or null for an unknown or closed handle.
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);

// The object a handle names if it is of type T; otherwise null with
// ERROR_INVALID_HANDLE as the last error.
template <class T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle)
{
    auto object = std::dynamic_pointer_cast<T>(LookupHandle(handle));
    if (!object)
        SetLastError(ERROR_INVALID_HANDLE);
    return object;
}

// Removes a handle from the table; false if it was not there.
bool RemoveHandle(HANDLE handle);

} // namespace twk
