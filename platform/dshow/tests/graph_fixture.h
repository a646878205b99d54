// A test fixture holding a new filter graph with its control and event interfaces,
// released and the thread's COM closed after each test.
#pragma once
#include <gtest/gtest.h>

#include <control.h>
#include <objbase.h>
#include <strmif.h>
#include <uuids.h>
#include <twcom/comptr.h>

namespace dstest {

class GraphFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitialize(nullptr);
        BeforeGraph();
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                         gb.put_void()));
        mc = twcom::QueryAs<IMediaControl>(gb.get(), IID_IMediaControl);
        me = twcom::QueryAs<IMediaEventEx>(gb.get(), IID_IMediaEventEx);
        ASSERT_TRUE(mc && me);
    }
    void TearDown() override
    {
        if (mc)
            mc->Stop();
        mc = nullptr;
        me = nullptr;
        gb = nullptr;
        CoUninitialize();
    }
    // Runs once COM is up, before the graph is made (registrations the test needs).
    virtual void BeforeGraph() {}

    twcom::ComPtr<IGraphBuilder> gb;
    twcom::ComPtr<IMediaControl> mc;
    twcom::ComPtr<IMediaEventEx> me;
};

} // namespace dstest
