// The Kestrin recording filter as its users see it: the class, the private control
// interface IKestrin and the graph events the filter posts.
#pragma once
#include <windows.h>
#include <objbase.h>
#include <wmsdk.h>

// {14B7E77B-BEBB-496F-99C3-1BF8ABC0D6BE}
DEFINE_GUID(CLSID_Kestrin, 0x14b7e77b, 0xbebb, 0x496f, 0x99, 0xc3, 0x1b, 0xf8, 0xab, 0xc0, 0xd6, 0xbe);
// {6404648C-7EF6-4969-BCA1-2652A274E6D9}
DEFINE_GUID(IID_IKestrin, 0x6404648c, 0x7ef6, 0x4969, 0xbc, 0xa1, 0x26, 0x52, 0xa2, 0x74, 0xe6, 0xd9);

// Hands the filter the Windows Media profile of the stream it records.
struct IKestrin : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE set_Profile(IWMProfile *pProfile) = 0;
};

// Graph events of the filter; parameter 2 is always 0.
#define EC_KESTRIN_PROFILE_SET 0x400     // the profile was accepted: recording is possible
#define EC_KESTRIN_QUEUE_LENGTH 0x401    // samples queued before this one (1 at a key frame)
#define EC_KESTRIN_WRITER_STARTING 0x402 // the first sample after a file name starts the writer
#define EC_KESTRIN_WRITER_STARTED 0x403  // the writer runs; no video sample written yet
#define EC_KESTRIN_VIDEO_WRITTEN 0x404   // video samples written to the current file so far
#define EC_KESTRIN_STREAM_SECONDS 0x405  // stream time of a video sample in whole seconds
