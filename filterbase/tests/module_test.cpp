// A filter module built on the framework, registered with regsvr32, created through
// COM, connected to an upstream pin over the platform allocator and run.
#include <gtest/gtest.h>

#include <thread>

#include <twtesting.h>

#include <initguid.h>

#include "test_doubles.h"
#include "testmodule/fbtestfilter.h"

using namespace fbtest;

namespace {

std::string Text(REFGUID guid)
{
    WCHAR wide[39];
    StringFromGUID2(guid, wide, 39);
    std::string text;
    for (int i = 0; wide[i]; i++)
        text += static_cast<char>(wide[i]);
    return text;
}

const std::string kClassKey = "CLSID\\" + Text(CLSID_FbModuleFilter);
const std::string kInstances = "CLSID\\{083863F1-70DE-11D0-BD40-00A0C911CE86}\\Instance";

// Values and subkeys of a key, or -1 each when it does not exist.
std::pair<int, int> KeyCounts(const std::string &key)
{
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return {-1, -1};
    DWORD subkeys = 0, values = 0;
    RegQueryInfoKeyA(h, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(h);
    return {static_cast<int>(values), static_cast<int>(subkeys)};
}

twtest::ProcessResult Regsvr32(bool unregister)
{
    std::vector<std::string> args = {twtest::BinPath("regsvr32")};
    if (unregister)
        args.push_back("/u");
    args.push_back("/s");
    args.push_back(twtest::TestPath("FbTestFilter.ax"));
    return twtest::RunProcess(args);
}

class ModuleFilter : public ::testing::Test {
protected:
    twtest::ScratchRegistry registry;
};

TEST_F(ModuleFilter, RegistersOnceAndUnregistersTwice)
{
    for (int i = 0; i < 2; i++) {
        twtest::ProcessResult r = Regsvr32(false);
        ASSERT_EQ(0, r.exitCode) << r.output;
    }
    EXPECT_EQ(1, KeyCounts(kClassKey).first) << "the description";
    EXPECT_EQ(2, KeyCounts(kClassKey + "\\InprocServer32").first) << "the module path and the threading model";
    EXPECT_EQ(1, KeyCounts(kClassKey).second) << "only InprocServer32 under the class";
    EXPECT_EQ(1, KeyCounts(kInstances).second) << "one mapper entry after two registrations";
    EXPECT_EQ(3, KeyCounts(kInstances + "\\" + Text(CLSID_FbModuleFilter)).first);

    for (int i = 0; i < 2; i++) {
        twtest::ProcessResult r = Regsvr32(true);
        EXPECT_EQ(0, r.exitCode) << "unregistration " << i + 1 << ": " << r.output;
    }
    EXPECT_EQ(-1, KeyCounts(kClassKey).first);
    EXPECT_EQ(0, KeyCounts(kInstances).second);
}

TEST_F(ModuleFilter, CreatedThroughComConnectsRunsAndCompletesOncePerRun)
{
    twtest::ProcessResult r = Regsvr32(false);
    ASSERT_EQ(0, r.exitCode) << r.output;
    ASSERT_EQ(S_OK, CoInitialize(nullptr));
    {
        IBaseFilter *filter = nullptr;
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FbModuleFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                         reinterpret_cast<void **>(&filter)));
        RecordingGraph graph;
        UpstreamPin upstream;
        upstream.offered.push_back(MakeType(MEDIATYPE_Video, MEDIASUBTYPE_WMV3));
        ASSERT_EQ(S_OK, filter->JoinFilterGraph(&graph, OLESTR("Renderer")));
        IPin *input = nullptr;
        ASSERT_EQ(S_OK, filter->FindPin(OLESTR("In"), &input));
        ASSERT_EQ(S_OK, upstream.Connect(input, nullptr));
        ASSERT_EQ(S_OK, upstream.Allocator()->Commit());

        ASSERT_EQ(S_OK, filter->Run(0));
        std::thread streaming([&] {
            for (int i = 1; i <= 10; i++)
                EXPECT_EQ(S_OK, upstream.Deliver(static_cast<BYTE>(i), i * 1000));
            EXPECT_EQ(S_OK, input->EndOfStream());
            EXPECT_EQ(S_OK, input->EndOfStream());
        });
        streaming.join();
        std::vector<Event> events = graph.Events();
        ASSERT_EQ(11u, events.size());
        for (int i = 0; i < 10; i++) {
            EXPECT_EQ(EC_FBTEST_SAMPLE, events[i].code);
            EXPECT_EQ(i + 1, events[i].param1);
        }
        EXPECT_EQ(EC_COMPLETE, events[10].code);
        EXPECT_EQ(reinterpret_cast<LONG_PTR>(filter), events[10].param2);

        ASSERT_EQ(S_OK, filter->Pause());
        ASSERT_EQ(S_OK, filter->Run(0));
        EXPECT_EQ(2, graph.Count(EC_COMPLETE)) << "the next run period reports the end of stream again";
        ASSERT_EQ(S_OK, filter->Stop());
        EXPECT_EQ(VFW_E_NOT_COMMITTED, upstream.Deliver(0, 0)) << "stopping decommitted the allocator";

        ASSERT_EQ(S_OK, input->Disconnect());
        upstream.Disconnect();
        input->Release();
        ASSERT_EQ(S_OK, filter->JoinFilterGraph(nullptr, nullptr));
        filter->Release();
        EXPECT_EQ(1u, graph.refs.load());
    }
    CoFreeUnusedLibraries();
    CoUninitialize();
}

} // namespace
