#include "pulse_output.h"

#include <cstdlib>
#include <string>

#include <sys/stat.h>

#include <pulse/error.h>
#include <pulse/simple.h>

namespace twds {
namespace {

// The server's buffer holds about this much audio; the renderer hands samples
// over a little less ahead of their time than this.
const unsigned kBufferMs = 300;
// Playback starts once this much is queued: the renderer writes ahead of time,
// so starting early keeps what is heard on time.
const unsigned kStartMs = 20;

// Whether a server is named (PULSE_SERVER) or has its socket in the usual
// places. Without one the renderer plays silently and does not ask libpulse,
// which would start a server of its own behind the user's back.
bool ServerMayAnswer()
{
    if (const char *named = std::getenv("PULSE_SERVER"); named && *named)
        return true;
    struct stat st;
    if (const char *runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
        if (stat((std::string(runtime) + "/pulse/native").c_str(), &st) == 0)
            return true;
    return stat("/run/pulse/native", &st) == 0 || stat("/var/run/pulse/native", &st) == 0;
}

} // namespace

std::unique_ptr<PulseOutput> PulseOutput::Open(const WAVEFORMATEX &format, std::string *why)
{
    if (format.wBitsPerSample != 16 || format.nChannels == 0 || format.nChannels > PA_CHANNELS_MAX ||
        format.nSamplesPerSec == 0 || format.nSamplesPerSec > PA_RATE_MAX) {
        if (why)
            *why = "the format is not 16-bit PCM the sound server takes";
        return nullptr;
    }
    if (!ServerMayAnswer()) {
        if (why)
            *why = "no sound server is running";
        return nullptr;
    }
    pa_sample_spec sample{};
    sample.format = PA_SAMPLE_S16LE;
    sample.rate = format.nSamplesPerSec;
    sample.channels = static_cast<uint8_t>(format.nChannels);
    unsigned bytesPerSecond = format.nSamplesPerSec * format.nChannels * 2;
    pa_buffer_attr attr;
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = static_cast<uint32_t>(sample.rate * kBufferMs / 1000 * format.nChannels * 2);
    attr.prebuf = static_cast<uint32_t>(sample.rate * kStartMs / 1000 * format.nChannels * 2);
    attr.minreq = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(-1);
    int error = 0;
    pa_simple *stream = pa_simple_new(nullptr, "DirectShow audio renderer", PA_STREAM_PLAYBACK, nullptr, "Playback",
                                      &sample, nullptr, &attr, &error);
    if (!stream) {
        if (why)
            *why = pa_strerror(error);
        return nullptr;
    }
    return std::unique_ptr<PulseOutput>(new PulseOutput(stream, bytesPerSecond));
}

PulseOutput::PulseOutput(pa_simple *stream, unsigned bytesPerSecond)
    : m_stream(stream), m_bytesPerSecond(bytesPerSecond)
{
}

PulseOutput::~PulseOutput()
{
    pa_simple_free(m_stream);
}

bool PulseOutput::Write(const void *data, size_t bytes)
{
    int error = 0;
    if (pa_simple_write(m_stream, data, bytes, &error) < 0)
        return false;
    m_written += bytes;
    return true;
}

void PulseOutput::Flush()
{
    int error = 0;
    pa_simple_flush(m_stream, &error);
    m_written = 0;
}

void PulseOutput::Drain()
{
    int error = 0;
    pa_simple_drain(m_stream, &error);
}

bool PulseOutput::PlayedBytes(unsigned long long *bytes)
{
    int error = 0;
    pa_usec_t latency = pa_simple_get_latency(m_stream, &error);
    if (latency == static_cast<pa_usec_t>(-1))
        return false;
    unsigned long long queued = latency * m_bytesPerSecond / 1000000;
    *bytes = queued < m_written ? m_written - queued : 0;
    return true;
}

} // namespace twds
