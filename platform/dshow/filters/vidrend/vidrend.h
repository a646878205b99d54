// "Video Renderer" (CLSID_VideoRenderer), the renderer intelligent connect picks
// for video: shows the pictures in a top-level window of its own, created and
// shown when the graph pauses or runs with it; the close box sends EC_USERABORT.
#pragma once
#include <memory>

#include "filters/video/basic_video.h"
#include "filters/video/video_renderer.h"
#include "filters/video/video_window.h"

namespace twds {

class VideoRendererFilter final
    : public twcom::Object<VideoRendererFilter, VideoRenderer, BasicVideo, IAMFilterMiscFlags> {
public:
    static HRESULT Create(IUnknown *outer, REFIID riid, void **ppv);
    VideoRendererFilter();
    ~VideoRendererFilter() override;

    ULONG STDMETHODCALLTYPE GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }
    // The window (null before the graph first paused with the filter). Any thread.
    HWND Window() const { return m_window.Handle(); }

protected:
    HWND TargetWindow() override { return m_window.Handle(); }
    HRESULT OnPause(FILTER_STATE from) override;
    PicturePath &VideoPath() override { return Path(); }
    RECT DefaultDestination() override;

private:
    VideoWindow m_window;     // graph thread; its handle any thread
};

} // namespace twds
