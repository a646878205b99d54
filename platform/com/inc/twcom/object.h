// The platform's COM object kit: reference counting, QueryInterface from a table of
// interfaces, and objects whose identity belongs to an owner (pins of a filter,
// aggregated inner objects). Every platform COM object stands on it.
//
//   class Clock final : public twcom::Object<Clock, IReferenceClock> { ... };
//   auto clock = twcom::Make<Clock>(args...);      // ComPtr<Clock>, one reference
//
// Which IIDs an interface answers to (its own and those of the interfaces it
// derives from) is said once per interface with TWCOM_INTERFACE, at global scope:
//
//   TWCOM_INTERFACE(IBaseFilter, IID_IBaseFilter, IID_IMediaFilter, IID_IPersist)
//
// IUnknown is answered by every object, through its first listed interface.
#pragma once
#include <atomic>
#include <cstring>
#include <new>
#include <unknwn.h>
#include <utility>

#include <twcom/comptr.h>

namespace twcom {

// The IIDs an interface answers to; specialised by TWCOM_INTERFACE.
template <class I>
struct InterfaceIds;

template <class I>
bool Answers(REFIID iid)
{
    return InterfaceIds<I>::Matches(iid);
}

// Walks the interfaces in order; the first that answers hands out its pointer.
template <class Self, class First, class... Rest>
void *FindInterface(Self *self, REFIID iid)
{
    if (Answers<First>(iid))
        return static_cast<First *>(self);
    if constexpr (sizeof...(Rest) > 0)
        return FindInterface<Self, Rest...>(self, iid);
    else
        return nullptr;
}

// The interfaces of an object, their QueryInterface over the list and the
// IUnknown identity through the first one. Shared by Object and Inner.
template <class Derived, class First, class... Rest>
class Interfaces : public First, public Rest... {
protected:
    // The pointer for iid, or null; IUnknown is the first interface.
    void *LookUp(REFIID iid)
    {
        if (std::memcmp(&iid, &IID_IUnknown, sizeof(IID)) == 0)
            return static_cast<First *>(static_cast<Derived *>(this));
        return FindInterface<Derived, First, Rest...>(static_cast<Derived *>(this), iid);
    }
};

// A reference-counted object implementing First, Rest...; it is created with one
// reference, which its creator hands on, and on the last Release calls
// Derived::FinalRelease() (deletes it unless Derived says otherwise, as a pooled
// media sample does). Derived may answer further IIDs by defining
//   void *QueryExtra(REFIID iid)     // an interface pointer without a reference, or null
// which is asked after the table, e.g. for an inner object's interfaces. QueryExtra and
// FinalRelease may be protected members of Derived.
template <class Derived, class First, class... Rest>
class Object : public Interfaces<Derived, First, Rest...> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **ppv) override
    {
        if (!ppv)
            return E_POINTER;
        void *p = this->LookUp(iid);
        if (!p)
            p = static_cast<Derived *>(this)->QueryExtra(iid);
        *ppv = p;
        if (!p)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG left = --m_refs;
        if (left == 0)
            static_cast<Derived *>(this)->FinalRelease();
        return left;
    }

    // Identity as a plain IUnknown (for comparisons and owners of inner objects).
    IUnknown *Identity() { return static_cast<First *>(static_cast<Derived *>(this)); }

protected:
    Object() = default;
    Object(const Object &) = delete;
    Object &operator=(const Object &) = delete;
    virtual ~Object() = default;

    void *QueryExtra(REFIID) { return nullptr; }
    void FinalRelease() { delete static_cast<Derived *>(this); }
    // Sets the count again for an object that is reused after FinalRelease
    // (pooled objects), or read by a pool to see whether references remain.
    void ResetReferences(ULONG refs) { m_refs = refs; }
    ULONG References() const { return m_refs; }

private:
    std::atomic<ULONG> m_refs{1};
};

// An object whose reference count and identity are its owner's: AddRef and Release
// go to the owner, QueryInterface answers the object's own interfaces and hands
// everything else to the owner. Pins live as long as their filter this way, and
// an aggregated object answers for its outer object. Its lifetime is the owner's
// business (usually a member or a unique_ptr of the owner).
template <class Derived, class First, class... Rest>
class Inner : public Interfaces<Derived, First, Rest...> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **ppv) override
    {
        if (!ppv)
            return E_POINTER;
        // IUnknown is the owner's identity.
        if (std::memcmp(&iid, &IID_IUnknown, sizeof(IID)) != 0) {
            if (void *p = FindInterface<Derived, First, Rest...>(static_cast<Derived *>(this), iid)) {
                *ppv = p;
                AddRef();
                return S_OK;
            }
        }
        return m_owner->QueryInterface(iid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return m_owner->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return m_owner->Release(); }

    IUnknown *Owner() const { return m_owner; }

protected:
    explicit Inner(IUnknown *owner) : m_owner(owner) {}
    Inner(const Inner &) = delete;
    Inner &operator=(const Inner &) = delete;
    virtual ~Inner() = default;

private:
    IUnknown *m_owner;      // not counted: the owner outlives the inner object
};

// Creates an object with its one reference in a ComPtr; null when memory runs out.
template <class T, class... Args>
ComPtr<T> Make(Args &&...args)
{
    return ComPtr<T>::Attach(new (std::nothrow) T(std::forward<Args>(args)...));
}

// The usual COM creation tail: a new object's interface for the caller, or its
// failure; the creation reference is dropped either way.
template <class T>
HRESULT HandOut(const ComPtr<T> &object, REFIID iid, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!object)
        return E_OUTOFMEMORY;
    return object->QueryInterface(iid, ppv);
}

} // namespace twcom

// Says which IIDs interface I answers to: its own first, then its bases'.
#define TWCOM_INTERFACE(I, ...)                                          \
    template <>                                                          \
    struct twcom::InterfaceIds<I> {                                      \
        static bool Matches(REFIID iid)                                  \
        {                                                                \
            static const IID *const ids[] = {TWCOM_ADDRS_(__VA_ARGS__)}; \
            for (const IID *id : ids)                                    \
                if (std::memcmp(id, &iid, sizeof(IID)) == 0)             \
                    return true;                                         \
            return false;                                                \
        }                                                                \
    };

// &a, &b, ... for up to eight IIDs.
#define TWCOM_ADDRS_(...) TWCOM_PICK_(__VA_ARGS__, TWCOM_A8_, TWCOM_A7_, TWCOM_A6_, TWCOM_A5_, \
                                      TWCOM_A4_, TWCOM_A3_, TWCOM_A2_, TWCOM_A1_)(__VA_ARGS__)
#define TWCOM_PICK_(a1, a2, a3, a4, a5, a6, a7, a8, m, ...) m
#define TWCOM_A1_(a) &a
#define TWCOM_A2_(a, ...) &a, TWCOM_A1_(__VA_ARGS__)
#define TWCOM_A3_(a, ...) &a, TWCOM_A2_(__VA_ARGS__)
#define TWCOM_A4_(a, ...) &a, TWCOM_A3_(__VA_ARGS__)
#define TWCOM_A5_(a, ...) &a, TWCOM_A4_(__VA_ARGS__)
#define TWCOM_A6_(a, ...) &a, TWCOM_A5_(__VA_ARGS__)
#define TWCOM_A7_(a, ...) &a, TWCOM_A6_(__VA_ARGS__)
#define TWCOM_A8_(a, ...) &a, TWCOM_A7_(__VA_ARGS__)

TWCOM_INTERFACE(IUnknown, IID_IUnknown)
TWCOM_INTERFACE(IClassFactory, IID_IClassFactory)
