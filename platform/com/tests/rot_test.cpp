// Item monikers, bind contexts and the running object table.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <objbase.h>
#include <string>
#include <thread>
#include <vector>

namespace {

// An object that counts its references and never frees itself, so a test can
// check what the table holds.
class CCountedObject : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override
    {
        if (riid != IID_IUnknown) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override { return --m_refs; }
    ULONG refs() const { return m_refs; }

private:
    std::atomic<ULONG> m_refs{1};
};

IMoniker *ItemMoniker(const char16_t *delimiter, const char16_t *item)
{
    IMoniker *pmk = nullptr;
    EXPECT_EQ(CreateItemMoniker(delimiter, item, &pmk), S_OK);
    return pmk;
}

std::u16string DisplayName(IMoniker *pmk)
{
    LPOLESTR name = nullptr;
    EXPECT_EQ(pmk->GetDisplayName(nullptr, nullptr, &name), S_OK);
    std::u16string result = name ? name : u"";
    CoTaskMemFree(name);
    return result;
}

std::u16string Wide(const std::string &s)
{
    return std::u16string(s.begin(), s.end());
}

TEST(ItemMoniker, DisplayNameEqualityAndHash)
{
    IMoniker *a = ItemMoniker(u"!", u"FilterGraph 0804b2c0 pid 00001f2a");
    IMoniker *b = ItemMoniker(u"!", u"FILTERGRAPH 0804B2C0 PID 00001F2A");
    IMoniker *c = ItemMoniker(u"!", u"FilterGraph 0804b2c0 pid 00001f2b");
    IMoniker *d = ItemMoniker(u"/", u"FilterGraph 0804b2c0 pid 00001f2a");
    EXPECT_EQ(DisplayName(a), u"!FilterGraph 0804b2c0 pid 00001f2a");
    EXPECT_EQ(DisplayName(d), u"/FilterGraph 0804b2c0 pid 00001f2a");

    EXPECT_EQ(a->IsEqual(b), S_OK);
    EXPECT_EQ(b->IsEqual(a), S_OK);
    EXPECT_EQ(a->IsEqual(c), S_FALSE);
    EXPECT_EQ(a->IsEqual(d), S_FALSE);
    DWORD ha = 0, hb = 0, hc = 0;
    ASSERT_EQ(a->Hash(&ha), S_OK);
    ASSERT_EQ(b->Hash(&hb), S_OK);
    ASSERT_EQ(c->Hash(&hc), S_OK);
    EXPECT_EQ(ha, hb);
    EXPECT_NE(ha, hc);

    DWORD mksys = 0;
    EXPECT_EQ(a->IsSystemMoniker(&mksys), S_OK);
    EXPECT_EQ(mksys, DWORD(MKSYS_ITEMMONIKER));
    IPersistStream *pps = nullptr;
    ASSERT_EQ(a->QueryInterface(IID_IPersistStream, reinterpret_cast<void **>(&pps)), S_OK);
    CLSID clsid;
    EXPECT_EQ(pps->GetClassID(&clsid), S_OK);
    OLECHAR text[39];
    StringFromGUID2(clsid, text, 39);
    EXPECT_EQ(std::u16string(text), u"{00000304-0000-0000-C000-000000000046}");
    pps->Release();

    for (IMoniker *m : {a, b, c, d})
        EXPECT_EQ(m->Release(), 0u);
}

TEST(RunningObjectTable, RegisterFindRevoke)
{
    IRunningObjectTable *prot = nullptr;
    ASSERT_EQ(GetRunningObjectTable(0, &prot), S_OK);
    CCountedObject object;
    IMoniker *name = ItemMoniker(u"!", u"FilterGraph 00000001 pid 00000002");
    IMoniker *sameName = ItemMoniker(u"!", u"filtergraph 00000001 PID 00000002");

    DWORD cookie = 0;
    ASSERT_EQ(prot->Register(ROTFLAGS_REGISTRATIONKEEPSALIVE, &object, name, &cookie), S_OK);
    EXPECT_NE(cookie, 0u);
    EXPECT_EQ(object.refs(), 2u); // the table keeps the object alive

    EXPECT_EQ(prot->IsRunning(sameName), S_OK);
    EXPECT_EQ(sameName->IsRunning(nullptr, nullptr, nullptr), S_OK);
    IUnknown *found = nullptr;
    ASSERT_EQ(prot->GetObject(sameName, &found), S_OK);
    EXPECT_EQ(found, &object);
    found->Release();

    // Bound through the moniker, with the table reached from a bind context.
    IBindCtx *pbc = nullptr;
    ASSERT_EQ(CreateBindCtx(0, &pbc), S_OK);
    IRunningObjectTable *viaContext = nullptr;
    ASSERT_EQ(pbc->GetRunningObjectTable(&viaContext), S_OK);
    EXPECT_EQ(viaContext, prot);
    viaContext->Release();
    IUnknown *bound = nullptr;
    ASSERT_EQ(sameName->BindToObject(pbc, nullptr, IID_IUnknown, reinterpret_cast<void **>(&bound)), S_OK);
    EXPECT_EQ(bound, &object);
    bound->Release();
    pbc->Release();

    FILETIME registered = {0, 0};
    ASSERT_EQ(prot->GetTimeOfLastChange(sameName, &registered), S_OK);
    EXPECT_NE(registered.dwHighDateTime, 0u);
    FILETIME noted = {0x1234, 0x01d00000};
    EXPECT_EQ(prot->NoteChangeTime(cookie, &noted), S_OK);
    FILETIME read = {0, 0};
    ASSERT_EQ(name->GetTimeOfLastChange(nullptr, nullptr, &read), S_OK);
    EXPECT_EQ(read.dwLowDateTime, 0x1234u);
    EXPECT_EQ(read.dwHighDateTime, 0x01d00000u);

    EXPECT_EQ(prot->Revoke(cookie), S_OK);
    EXPECT_EQ(object.refs(), 1u);
    EXPECT_EQ(prot->IsRunning(name), S_FALSE);
    found = reinterpret_cast<IUnknown *>(1);
    EXPECT_EQ(prot->GetObject(name, &found), MK_E_UNAVAILABLE);
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(prot->GetTimeOfLastChange(name, &read), MK_E_UNAVAILABLE);
    EXPECT_EQ(prot->Revoke(cookie), E_INVALIDARG);
    EXPECT_EQ(prot->NoteChangeTime(cookie, &noted), E_INVALIDARG);

    EXPECT_EQ(name->Release(), 0u);
    EXPECT_EQ(sameName->Release(), 0u);
    prot->Release();
}

TEST(RunningObjectTable, RejectsBadArgumentsAndFlagsDuplicates)
{
    IRunningObjectTable *prot = nullptr;
    ASSERT_EQ(GetRunningObjectTable(0, &prot), S_OK);
    CCountedObject object;
    IMoniker *name = ItemMoniker(u"!", u"duplicate");
    DWORD cookie = 7;
    EXPECT_EQ(prot->Register(0x100, &object, name, &cookie), E_INVALIDARG);
    EXPECT_EQ(cookie, 0u);
    EXPECT_EQ(prot->Register(0, nullptr, name, &cookie), E_INVALIDARG);
    EXPECT_EQ(prot->Register(0, &object, nullptr, &cookie), E_INVALIDARG);
    EXPECT_EQ(object.refs(), 1u);

    DWORD first = 0, second = 0;
    ASSERT_EQ(prot->Register(0, &object, name, &first), S_OK);
    ASSERT_EQ(prot->Register(0, &object, name, &second), MK_S_MONIKERALREADYREGISTERED);
    EXPECT_NE(first, second);
    EXPECT_EQ(object.refs(), 3u);

    // Both registrations are listed.
    IEnumMoniker *penum = nullptr;
    ASSERT_EQ(prot->EnumRunning(&penum), S_OK);
    int listed = 0;
    IMoniker *pmk = nullptr;
    while (penum->Next(1, &pmk, nullptr) == S_OK) {
        if (pmk->IsEqual(name) == S_OK)
            ++listed;
        pmk->Release();
    }
    EXPECT_EQ(listed, 2);
    EXPECT_EQ(penum->Reset(), S_OK);
    EXPECT_EQ(penum->Skip(1000), S_FALSE);
    penum->Release();

    EXPECT_EQ(prot->Revoke(first), S_OK);
    EXPECT_EQ(prot->IsRunning(name), S_OK); // the second registration remains
    EXPECT_EQ(prot->Revoke(second), S_OK);
    EXPECT_EQ(object.refs(), 1u);
    EXPECT_EQ(name->Release(), 0u);
}

// Two threads register, look up each other's objects and revoke, at the same time.
TEST(RunningObjectTable, TwoThreadsRegisterAndLookUpConcurrently)
{
    constexpr int kPerThread = 50;
    CCountedObject objects[2][kPerThread];
    std::atomic<int> registered{0};
    std::atomic<int> foundOther{0};

    auto worker = [&](int side) {
        IRunningObjectTable *prot = nullptr;
        ASSERT_EQ(GetRunningObjectTable(0, &prot), S_OK);
        std::vector<DWORD> cookies;
        for (int i = 0; i < kPerThread; ++i) {
            char item[64];
            snprintf(item, sizeof item, "Thread%d Object %08x", side, i);
            IMoniker *pmk = ItemMoniker(u"!", Wide(item).c_str());
            DWORD cookie = 0;
            EXPECT_EQ(prot->Register(ROTFLAGS_REGISTRATIONKEEPSALIVE, &objects[side][i], pmk, &cookie), S_OK);
            cookies.push_back(cookie);
            pmk->Release();
        }
        ++registered;
        while (registered.load() < 2)
            std::this_thread::yield();
        for (int i = 0; i < kPerThread; ++i) {
            char item[64];
            snprintf(item, sizeof item, "THREAD%d OBJECT %08x", 1 - side, i);
            IMoniker *pmk = ItemMoniker(u"!", Wide(item).c_str());
            IUnknown *punk = nullptr;
            if (prot->GetObject(pmk, &punk) == S_OK) {
                if (punk == &objects[1 - side][i])
                    ++foundOther;
                punk->Release();
            }
            pmk->Release();
        }
        ++registered;
        while (registered.load() < 4)
            std::this_thread::yield();
        for (DWORD cookie : cookies)
            EXPECT_EQ(prot->Revoke(cookie), S_OK);
    };
    std::thread a(worker, 0), b(worker, 1);
    a.join();
    b.join();

    EXPECT_EQ(foundOther.load(), 2 * kPerThread);
    for (auto &side : objects)
        for (auto &object : side)
            EXPECT_EQ(object.refs(), 1u);
}

TEST(BindContext, HoldsBoundObjectsAndParameters)
{
    IBindCtx *pbc = nullptr;
    ASSERT_EQ(CreateBindCtx(0, &pbc), S_OK);
    CCountedObject bound, param;
    EXPECT_EQ(pbc->RegisterObjectBound(&bound), S_OK);
    EXPECT_EQ(bound.refs(), 2u);
    EXPECT_EQ(pbc->RevokeObjectBound(&bound), S_OK);
    EXPECT_NE(pbc->RevokeObjectBound(&bound), S_OK);
    EXPECT_EQ(bound.refs(), 1u);

    OLECHAR key[] = u"Key";
    EXPECT_EQ(pbc->RegisterObjectParam(key, &param), S_OK);
    IUnknown *punk = nullptr;
    ASSERT_EQ(pbc->GetObjectParam(key, &punk), S_OK);
    EXPECT_EQ(punk, &param);
    punk->Release();

    BIND_OPTS opts = {sizeof(BIND_OPTS), BIND_MAYBOTHERUSER, 0, 1000};
    EXPECT_EQ(pbc->SetBindOptions(&opts), S_OK);
    BIND_OPTS read = {sizeof(BIND_OPTS), 0, 0, 0};
    EXPECT_EQ(pbc->GetBindOptions(&read), S_OK);
    EXPECT_EQ(read.grfFlags, DWORD(BIND_MAYBOTHERUSER));
    EXPECT_EQ(read.dwTickCountDeadline, 1000u);

    EXPECT_EQ(pbc->RegisterObjectBound(&bound), S_OK);
    EXPECT_EQ(pbc->Release(), 0u); // releases what it held
    EXPECT_EQ(bound.refs(), 1u);
    EXPECT_EQ(param.refs(), 1u);
}

} // namespace
