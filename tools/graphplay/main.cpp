// graphplay URL [--seconds N] [--list] [--png FILE --at SECONDS]
//
// Builds the graph for URL with RenderFile, prints its filters and connections
// (with media types), then, unless --list, runs it and prints every event with
// the time it came, until EC_COMPLETE, an abort, or N seconds. With --png, once
// the stream has played SECONDS the graph pauses, a picture of the video
// renderer's window (as shown, with its frame) is saved to FILE, and it plays on.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <control.h>
#include <evcode.h>
#include <uuids.h>
#include <objbase.h>
#include <windows.h>

#include <twgui/testing.h>

#include "describe.h"

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: graphplay URL [--seconds N] [--list] [--png FILE --at SECONDS]\n"
                         "  builds the graph for URL, prints it, runs it and prints its events\n"
                         "  --seconds N  stop after N seconds (default: at the end of the stream)\n"
                         "  --list       print the graph and stop without running it\n"
                         "  --png FILE   save a picture of the video window to FILE (PNG) ...\n"
                         "  --at S       ... once the stream has played S seconds (default 1)\n");
    return 2;
}

template <class I>
I *Query(IUnknown *object, REFIID iid)
{
    void *p = nullptr;
    return SUCCEEDED(object->QueryInterface(iid, &p)) ? static_cast<I *>(p) : nullptr;
}

// The picture to save: where and when.
struct Snapshot {
    std::string path;
    double at = 1.0;
};

// Pauses the graph, saves the video window as shown and runs on. False when
// there is no video window or the picture cannot be written.
bool SavePicture(IMediaControl *control, const Snapshot &snap)
{
    control->Pause();
    OAFilterState state;
    control->GetState(2000, &state);
    HWND video = FindWindowA(nullptr, "ActiveMovie Window");
    bool saved = false;
    if (video) {
        // The last picture reaches the window on the gui library's thread: wait
        // until it shows something.
        for (int i = 0; i < 100 && twgui::test::ReadWindowPixels(video).width == 0; ++i)
            Sleep(10);
        Sleep(100);
        saved = twgui::test::SaveWindowPng(video, snap.path);
    }
    control->Run();
    return saved;
}

int Play(const std::string &url, double seconds, bool listOnly, const Snapshot &snap)
{
    IGraphBuilder *graph = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                  reinterpret_cast<void **>(&graph));
    if (FAILED(hr)) {
        std::fprintf(stderr, "graphplay: cannot create the filter graph (hr=0x%08x)\n", static_cast<unsigned>(hr));
        return 1;
    }
    std::vector<WCHAR> wide(url.size() + 1);
    MultiByteToWideChar(CP_UTF8, 0, url.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    std::printf("RenderFile(%s)...\n", url.c_str());
    std::fflush(stdout);
    hr = graph->RenderFile(wide.data(), nullptr);
    std::printf("RenderFile: hr=0x%08x\n", static_cast<unsigned>(hr));
    if (FAILED(hr)) {
        std::fprintf(stderr, "graphplay: RenderFile failed (hr=0x%08x); is the URL reachable and an ASF stream?\n",
                     static_cast<unsigned>(hr));
        graph->Release();
        return 1;
    }
    PrintGraph(graph);
    int status = 0;
    if (!listOnly) {
        IMediaControl *control = Query<IMediaControl>(graph, IID_IMediaControl);
        IMediaEventEx *events = Query<IMediaEventEx>(graph, IID_IMediaEventEx);
        IMediaSeeking *seeking = Query<IMediaSeeking>(graph, IID_IMediaSeeking);
        bool snapPending = !snap.path.empty();
        auto begin = std::chrono::steady_clock::now();
        auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count(); };
        hr = control->Run();
        std::printf("%8.3f s  Run: hr=0x%08x\n", elapsed(), static_cast<unsigned>(hr));
        bool finished = FAILED(hr);
        status = FAILED(hr) ? 1 : 0;
        while (!finished && (seconds <= 0 || elapsed() < seconds)) {
            LONGLONG position = 0;
            if (snapPending && SUCCEEDED(seeking->GetCurrentPosition(&position)) && position >= snap.at * 1e7) {
                snapPending = false;
                if (SavePicture(control, snap)) {
                    std::printf("%8.3f s  saved the video window at %.3f s of the stream to %s\n", elapsed(),
                                position / 1e7, snap.path.c_str());
                } else {
                    std::fprintf(stderr, "graphplay: cannot save a picture of the video window to %s\n",
                                 snap.path.c_str());
                    status = 1;
                }
            }
            LONG code;
            LONG_PTR p1, p2;
            if (events->GetEvent(&code, &p1, &p2, 100) != S_OK)
                continue;
            std::printf("%8.3f s  %s (0x%lx, 0x%lx)\n", elapsed(), EventName(code).c_str(),
                        static_cast<unsigned long>(p1), static_cast<unsigned long>(p2));
            std::fflush(stdout);
            events->FreeEventParams(code, p1, p2);
            if (code == EC_COMPLETE || code == EC_USERABORT || code == EC_ERRORABORT || code == EC_ERRORABORTEX) {
                finished = true;
                if (code != EC_COMPLETE)
                    status = 1;
            }
        }
        control->Stop();
        std::printf("%8.3f s  stopped\n", elapsed());
        if (snapPending) {
            std::fprintf(stderr, "graphplay: the stream ended before %.3f s; no picture saved\n", snap.at);
            status = 1;
        }
        seeking->Release();
        events->Release();
        control->Release();
    }
    graph->Release();
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    std::string url;
    double seconds = 0;
    bool listOnly = false;
    Snapshot snap;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            char *end = nullptr;
            seconds = std::strtod(argv[++i], &end);
            if (*end || seconds <= 0)
                return Usage();
        } else if (std::strcmp(argv[i], "--png") == 0 && i + 1 < argc) {
            snap.path = argv[++i];
        } else if (std::strcmp(argv[i], "--at") == 0 && i + 1 < argc) {
            char *end = nullptr;
            snap.at = std::strtod(argv[++i], &end);
            if (*end || snap.at < 0)
                return Usage();
        } else if (std::strcmp(argv[i], "--list") == 0) {
            listOnly = true;
        } else if (argv[i][0] == '-' || !url.empty()) {
            return Usage();
        } else {
            url = argv[i];
        }
    }
    if (url.empty())
        return Usage();
    CoInitialize(nullptr);
    int status = Play(url, seconds, listOnly, snap);
    CoUninitialize();
    return status;
}
