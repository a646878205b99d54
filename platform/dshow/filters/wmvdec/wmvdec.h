// "WMVideo Decoder DMO" (CLSID_CWMVDecMediaObject): Windows Media Video 7, 8 and 9
// (WMV1, WMV2, WMV3 in FORMAT_VideoInfo, codec data after the BITMAPINFOHEADER)
// to RGB32 of the same size, on libavcodec and libswscale. Input "XForm In"
// first, output "XForm Out".
//
// Threads: as AvDecoder; the scaler belongs to the codec lock.
#pragma once
extern "C" {
#include <libswscale/swscale.h>
}

#include "filters/avdec/av_decoder.h"

namespace twds {

class WmvDecoder final : public twcom::Object<WmvDecoder, AvDecoder> {
public:
    static HRESULT Create(IUnknown *outer, REFIID riid, void **ppv);
    WmvDecoder();
    ~WmvDecoder() override;

protected:
    HRESULT CheckInput(const AM_MEDIA_TYPE &mt) override;
    HRESULT CheckTransform(const AM_MEDIA_TYPE &in, const AM_MEDIA_TYPE &out) override;
    std::vector<kit::MediaType> TypesFor(const AM_MEDIA_TYPE &in) override;
    HRESULT DecideBufferSize(kit::OutputPin *, ALLOCATOR_PROPERTIES *props) override;

    const AVCodec *Configure(const AM_MEDIA_TYPE &in, AVCodecContext *ctx) override;
    long OutputBytes(const AVFrame *frame) override;
    REFERENCE_TIME FrameDuration(const AVFrame *frame) override;
    HRESULT WriteFrame(const AVFrame *frame, BYTE *buffer, long size, long *written) override;
    bool StartsAtKeyFrame() const override { return true; }

private:
    SwsContext *m_sws = nullptr;    // the codec lock
};

} // namespace twds
