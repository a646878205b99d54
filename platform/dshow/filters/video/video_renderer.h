// What the video renderers share: the kit's renderer presenting on the clock
// (late pictures dropped and counted), the picture path that every sample goes
// through, and the window each picture is handed to.
//
// Threads: DoRenderSample runs on the streaming thread and never waits for a
// window's thread; the connection hooks run on the graph's thread.
#pragma once
#include "filters/video/picture_path.h"
#include "kit/renderer.h"

namespace twds {

class VideoRenderer : public kit::Renderer {
public:
    using Renderer::Dropped;
    using Renderer::Presented;

protected:
    VideoRenderer() = default;
    PicturePath &Path() { return m_path; }
    // The window the pictures go to now, or null (kept, not shown). Any thread.
    virtual HWND TargetWindow() = 0;

    // Renderer
    HRESULT CheckMediaType(const AM_MEDIA_TYPE &mt) override { return PicturePath::Check(mt); }
    HRESULT DoRenderSample(IMediaSample *sample, REFERENCE_TIME lateness) override;
    bool DropsLateSamples() override { return true; }
    HRESULT OnInputConnected(kit::InputPin *pin) override;

private:
    PicturePath m_path;
};

} // namespace twds

TWCOM_INTERFACE(twds::VideoRenderer, IID_IBaseFilter, IID_IMediaFilter, IID_IPersist)
