// "WMAudio Decoder DMO" (CLSID_CWMADecMediaObject): Windows Media Audio 1, 2 and
// 9 Professional (FORMAT_WaveFormatEx with the codec data after the WAVEFORMATEX)
// to 16-bit PCM with the stream's rate and channels, on libavcodec, converted by
// libswresample where the decoder gives another sample format. Input "XForm In"
// first, output "XForm Out".
//
// Threads: as AvDecoder; the resampler belongs to the codec lock.
#pragma once
extern "C" {
#include <libswresample/swresample.h>
}

#include "filters/avdec/av_decoder.h"

namespace twds {

class WmaDecoder final : public twcom::Object<WmaDecoder, AvDecoder> {
public:
    static HRESULT Create(IUnknown *outer, REFIID riid, void **ppv);
    WmaDecoder();
    ~WmaDecoder() override;

protected:
    HRESULT CheckInput(const AM_MEDIA_TYPE &mt) override;
    HRESULT CheckTransform(const AM_MEDIA_TYPE &in, const AM_MEDIA_TYPE &out) override;
    std::vector<kit::MediaType> TypesFor(const AM_MEDIA_TYPE &in) override;
    HRESULT DecideBufferSize(kit::OutputPin *, ALLOCATOR_PROPERTIES *props) override;

    const AVCodec *Configure(const AM_MEDIA_TYPE &in, AVCodecContext *ctx) override;
    long OutputBytes(const AVFrame *frame) override;
    REFERENCE_TIME FrameDuration(const AVFrame *frame) override;
    HRESULT WriteFrame(const AVFrame *frame, BYTE *buffer, long size, long *written) override;
    void ResetConversion() override;

private:
    SwrContext *m_swr = nullptr;        // the codec lock
    AVChannelLayout m_swrLayout{};      // the codec lock: the input m_swr was made for
    int m_swrFormat = -1;               // the codec lock
    int m_swrRate = 0;                  // the codec lock
};

} // namespace twds
