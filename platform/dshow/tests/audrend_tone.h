// A test source of the kit for the audio renderer's tests: a 440 Hz tone,
// 16-bit stereo at 44.1 kHz (or another sample width, which the renderer
// refuses), in samples of 20 ms with their times.
#pragma once
#include <algorithm>
#include <cmath>

#include <mmreg.h>
#include <uuids.h>

#include "filters/audrend/audio_renderer.h"
#include "kit/source.h"

namespace audrendtest {

const REFERENCE_TIME kMs = 10000;

// A 440 Hz tone, 16-bit stereo at 44.1 kHz, in samples of 20 ms.
class ToneSource final : public twcom::Object<ToneSource, twds::kit::Source> {
public:
    ToneSource(int samples, WORD bits = 16) : m_samples(samples), m_bits(bits) { AddPin(u"Out"); }
    ~ToneSource() override { Stop(); }

    static const int kRate = 44100;
    static const int kFrames = kRate / 50;

protected:
    HRESULT CheckOutputType(twds::kit::OutputPin *, const AM_MEDIA_TYPE &mt) override
    {
        return twds::kit::MediaType::Matches(mt, Type().get()) ? S_OK : S_FALSE;
    }
    std::vector<twds::kit::MediaType> OutputTypes(twds::kit::OutputPin *) override { return {Type()}; }
    HRESULT DecideBufferSize(twds::kit::OutputPin *, ALLOCATOR_PROPERTIES *props) override
    {
        props->cBuffers = std::max<LONG>(props->cBuffers, 4);
        props->cbBuffer = std::max<LONG>(props->cbBuffer, kFrames * 4);
        return S_OK;
    }
    void OnThreadStart(size_t) override { m_next = 0; }
    HRESULT FillSample(size_t, IMediaSample *sample) override
    {
        if (m_next >= m_samples)
            return S_FALSE;
        int i = m_next++;
        BYTE *p = nullptr;
        sample->GetPointer(&p);
        auto *pcm = reinterpret_cast<int16_t *>(p);
        for (int f = 0; f < kFrames; ++f) {
            double t = static_cast<double>(i * kFrames + f) / kRate;
            pcm[2 * f] = pcm[2 * f + 1] = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440 * t));
        }
        sample->SetActualDataLength(kFrames * 4);
        REFERENCE_TIME start = i * 20 * kMs, stop = (i + 1) * 20 * kMs;
        sample->SetTime(&start, &stop);
        sample->SetSyncPoint(TRUE);
        return S_OK;
    }

private:
    twds::kit::MediaType Type() const
    {
        WAVEFORMATEX wf{};
        wf.wFormatTag = WAVE_FORMAT_PCM;
        wf.nChannels = 2;
        wf.nSamplesPerSec = kRate;
        wf.wBitsPerSample = m_bits;
        wf.nBlockAlign = static_cast<WORD>(2 * m_bits / 8);
        wf.nAvgBytesPerSec = kRate * wf.nBlockAlign;
        AM_MEDIA_TYPE mt{};
        mt.majortype = MEDIATYPE_Audio;
        mt.subtype = MEDIASUBTYPE_PCM;
        mt.bFixedSizeSamples = TRUE;
        mt.lSampleSize = wf.nBlockAlign;
        mt.formattype = FORMAT_WaveFormatEx;
        mt.cbFormat = sizeof(wf);
        mt.pbFormat = reinterpret_cast<BYTE *>(&wf);
        return twds::kit::MediaType(mt);
    }

    const int m_samples;
    const WORD m_bits;
    int m_next = 0;          // the pin's thread
};

inline twds::AudioRenderer *AsAudioRenderer(IBaseFilter *f)
{
    return static_cast<twds::AudioRenderer *>(static_cast<twds::kit::Renderer *>(static_cast<twds::kit::Filter *>(f)));
}

} // namespace audrendtest
