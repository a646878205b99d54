// Reference counting shared by the library's COM objects.
#pragma once
#include <atomic>
#include <winnt.h>

namespace twwmf {

// Objects are created with one reference, which the creator hands to its caller,
// and delete themselves (as Derived) on the last Release.
template <class Derived>
class RefCounted {
protected:
    ULONG AddRefImpl() { return ++m_refs; }
    ULONG ReleaseImpl()
    {
        ULONG left = --m_refs;
        if (left == 0)
            delete static_cast<Derived *>(this);
        return left;
    }

private:
    std::atomic<ULONG> m_refs{1};
};

} // namespace twwmf

// The IUnknown reference methods of a class deriving from RefCounted.
#define TWWMF_REFCOUNT_METHODS                                      \
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); } \
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }
