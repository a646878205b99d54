// Owning interface pointer for the platform's own code.
#pragma once
#include <cstddef>
#include <unknwn.h>
#include <utility>

namespace twcom {

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes over a reference the caller already holds.
    static ComPtr Attach(T *p)
    {
        ComPtr c;
        c.m_p = p;
        return c;
    }
    // Adds a reference of its own.
    static ComPtr Share(T *p)
    {
        if (p)
            p->AddRef();
        return Attach(p);
    }
    ComPtr(const ComPtr &o) : m_p(o.m_p)
    {
        if (m_p)
            m_p->AddRef();
    }
    ComPtr(ComPtr &&o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    ComPtr &operator=(ComPtr o) noexcept
    {
        std::swap(m_p, o.m_p);
        return *this;
    }
    ~ComPtr()
    {
        if (m_p)
            m_p->Release();
    }

    T *get() const { return m_p; }
    T *operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    bool operator==(const ComPtr &o) const { return m_p == o.m_p; }
    bool operator!=(const ComPtr &o) const { return m_p != o.m_p; }
    // For out parameters: releases what is held and returns the slot.
    T **put()
    {
        *this = nullptr;
        return &m_p;
    }
    // The slot as void ** for QueryInterface-shaped calls.
    void **put_void() { return reinterpret_cast<void **>(put()); }
    // Hands the reference to the caller.
    T *detach() { return std::exchange(m_p, nullptr); }
    // Hands a new reference to an out parameter (may be null: nothing is written).
    void copy_to(T **out) const
    {
        if (!out)
            return;
        *out = m_p;
        if (m_p)
            m_p->AddRef();
    }

private:
    T *m_p = nullptr;
};

// Queries an interface from any object; a null object gives null.
template <class T>
ComPtr<T> QueryAs(IUnknown *p, REFIID iid)
{
    ComPtr<T> out;
    if (p)
        p->QueryInterface(iid, out.put_void());
    return out;
}

} // namespace twcom
