// The base of the platform's libavcodec decoders: a kit transform whose input
// samples go to a decoder and whose decoded frames, zero or more per input
// sample, become output samples. Frame-threaded decoding holds frames back, so
// end of stream drains the decoder before it goes downstream; a flush and a
// restart from stopped forget what the decoder holds. A packet or frame the
// decoder rejects is skipped. Sample times go with the packet into the decoder
// and come back with its frame; a discontinuity goes on the next frame out.
// Preroll samples (before a seek position) are decoded; their frames are not
// delivered. A decoder of pictures that depend on earlier ones takes nothing
// before the first key frame after a start, flush or restart.
//
// Threads: the codec state (m_codecLock) is used by the streaming thread in
// Receive/EndOfStream and reset by EndFlush (flushing thread) and by a pause
// from stopped (graph thread). The codec is opened when the input connects and
// freed when it disconnects (graph thread, stopped).
#pragma once
#include <mutex>
#include <set>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "kit/transform.h"

namespace twds {

class AvDecoder : public kit::Transform {
protected:
    AvDecoder() = default;
    ~AvDecoder() override;

    // The subclass's part. The codec for an input type, with the context's
    // parameters filled in from it (extradata included), or null.
    virtual const AVCodec *Configure(const AM_MEDIA_TYPE &in, AVCodecContext *ctx) = 0;
    // Bytes of output a frame needs.
    virtual long OutputBytes(const AVFrame *frame) = 0;
    // Writes a decoded frame into an output buffer; S_FALSE drops the frame.
    // Called with m_codecLock held.
    virtual HRESULT WriteFrame(const AVFrame *frame, BYTE *buffer, long size, long *written) = 0;
    // How long a frame lasts in 100 ns units (0: unknown).
    virtual REFERENCE_TIME FrameDuration(const AVFrame *frame) = 0;
    // Forgets conversion state (m_codecLock held).
    virtual void ResetConversion() {}
    // True when packets before the first key frame cannot be decoded whole (a
    // stream joined between key frames would give pictures over nothing).
    virtual bool StartsAtKeyFrame() const { return false; }

    // Gives the context a padded copy of the codec data; false when memory runs out.
    static bool SetCodecData(AVCodecContext *ctx, const BYTE *data, size_t size);

    // kit::Transform
    HRESULT DoTransform(IMediaSample *, IMediaSample *) override { return E_UNEXPECTED; }
    HRESULT OnPause(FILTER_STATE from) override;
    HRESULT Receive(kit::InputPin *pin, IMediaSample *sample) override;
    HRESULT EndOfStream(kit::InputPin *pin) override;
    HRESULT EndFlush(kit::InputPin *pin) override;
    HRESULT OnInputConnected(kit::InputPin *pin) override;
    void OnInputDisconnected(kit::InputPin *pin) override;

private:
    // Sends one packet (null: drain) and delivers every frame that comes out.
    HRESULT Decode(const AVPacket *packet);
    HRESULT DeliverFrame(const AVFrame *frame);
    void Close();
    void Reset();

    std::mutex m_codecLock;
    AVCodecContext *m_ctx = nullptr;   // m_codecLock
    AVFrame *m_frame = nullptr;        // m_codecLock
    bool m_discontinuity = true;       // m_codecLock: mark the next frame out
    bool m_waitingForKey = true;       // m_codecLock: no key frame since the last reset
    REFERENCE_TIME m_lastStart = AV_NOPTS_VALUE;  // m_codecLock: start of the last frame out
    REFERENCE_TIME m_next = AV_NOPTS_VALUE;       // m_codecLock: where it ended
    std::set<REFERENCE_TIME> m_prerollTimes;      // m_codecLock: start times of preroll input not yet out
};

} // namespace twds

TWCOM_INTERFACE(twds::AvDecoder, IID_IBaseFilter, IID_IMediaFilter, IID_IPersist)
