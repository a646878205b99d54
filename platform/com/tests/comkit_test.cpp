// The COM object kit: QueryInterface over the interface table and its bases,
// identity, counting to the final release, owned inner objects.
#include <gtest/gtest.h>

#include <objbase.h>
#include <objidl.h>
#include <twcom/interfaces.h>

namespace {

int g_deleted = 0;

class Both final : public twcom::Object<Both, IPersistStream, IClassFactory> {
public:
    ~Both() override { ++g_deleted; }
    STDMETHODIMP GetClassID(CLSID *) override { return E_NOTIMPL; }
    STDMETHODIMP IsDirty() override { return S_FALSE; }
    STDMETHODIMP Load(IStream *) override { return E_NOTIMPL; }
    STDMETHODIMP Save(IStream *, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER *) override { return E_NOTIMPL; }
    STDMETHODIMP CreateInstance(IUnknown *, REFIID, void **) override { return E_NOTIMPL; }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

TEST(ComKit, AnswersItsInterfacesTheirBasesAndOneIdentity)
{
    g_deleted = 0;
    {
        auto obj = twcom::Make<Both>();
        ASSERT_TRUE(obj);
        auto persist = twcom::QueryAs<IPersist>(obj->Identity(), IID_IPersist);
        auto factory = twcom::QueryAs<IClassFactory>(obj->Identity(), IID_IClassFactory);
        ASSERT_TRUE(persist && factory);
        EXPECT_EQ(static_cast<IPersist *>(persist.get()), static_cast<IPersistStream *>(obj.get()));
        // IUnknown from any interface is the same pointer.
        auto u1 = twcom::QueryAs<IUnknown>(persist.get(), IID_IUnknown);
        auto u2 = twcom::QueryAs<IUnknown>(factory.get(), IID_IUnknown);
        EXPECT_EQ(u1.get(), u2.get());
        EXPECT_EQ(u1.get(), obj->Identity());
        void *p = reinterpret_cast<void *>(1);
        EXPECT_EQ(obj->QueryInterface(IID_IMoniker, &p), E_NOINTERFACE);
        EXPECT_EQ(p, nullptr);
        EXPECT_EQ(obj->QueryInterface(IID_IPersist, nullptr), E_POINTER);
        EXPECT_EQ(g_deleted, 0);
    }
    EXPECT_EQ(g_deleted, 1);
}

// A pooled object: the final release hands it back instead of deleting it.
class Pooled final : public twcom::Object<Pooled, IPersist> {
public:
    STDMETHODIMP GetClassID(CLSID *) override { return E_NOTIMPL; }
    int returned = 0;
    void Reuse() { ResetReferences(1); }

protected:
    friend class twcom::Object<Pooled, IPersist>;
    void FinalRelease() { ++returned; }
    void *QueryExtra(REFIID iid)
    {
        return IsEqualGUID(iid, IID_IClassFactory) ? static_cast<IPersist *>(this) : nullptr;
    }
};

TEST(ComKit, FinalReleaseAndExtraInterfacesBelongToTheObject)
{
    Pooled pooled;
    pooled.AddRef();
    EXPECT_EQ(pooled.Release(), 1u);
    EXPECT_EQ(pooled.returned, 0);
    EXPECT_EQ(pooled.Release(), 0u);
    EXPECT_EQ(pooled.returned, 1);
    pooled.Reuse();
    void *p = nullptr;
    EXPECT_EQ(pooled.QueryInterface(IID_IClassFactory, &p), S_OK);
    EXPECT_EQ(p, static_cast<void *>(static_cast<IPersist *>(&pooled)));
    pooled.Release();
    pooled.Release();
    EXPECT_EQ(pooled.returned, 2);
}

// An owner with an inner object: the inner's references are the owner's.
class Owner;
class Part final : public twcom::Inner<Part, IClassFactory> {
public:
    explicit Part(IUnknown *owner) : Inner(owner) {}
    STDMETHODIMP CreateInstance(IUnknown *, REFIID, void **) override { return E_NOTIMPL; }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

class Owner final : public twcom::Object<Owner, IPersist> {
public:
    Owner() : part(Identity()) {}
    ~Owner() override { ++g_deleted; }
    STDMETHODIMP GetClassID(CLSID *) override { return E_NOTIMPL; }
    Part part;
};

TEST(ComKit, InnerObjectsCountOnTheirOwnerAndShareItsIdentity)
{
    g_deleted = 0;
    auto owner = twcom::Make<Owner>();
    IClassFactory *part = &owner->part;
    part->AddRef();
    owner = nullptr;                 // the part's reference keeps the owner alive
    EXPECT_EQ(g_deleted, 0);
    auto persist = twcom::QueryAs<IPersist>(part, IID_IPersist);     // the owner answers
    ASSERT_TRUE(persist);
    auto unknown = twcom::QueryAs<IUnknown>(part, IID_IUnknown);
    EXPECT_EQ(unknown.get(), static_cast<IUnknown *>(persist.get()));
    unknown = nullptr;
    persist = nullptr;
    EXPECT_EQ(g_deleted, 0);
    part->Release();
    EXPECT_EQ(g_deleted, 1);
}

} // namespace
