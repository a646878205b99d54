// One playback stream on the PulseAudio server through libpulse's simple API:
// the renderer's streaming thread is the only writer, and a blocking write
// (while the server's buffer is full) is the back-pressure it wants.
//
// Threads: not thread-safe; the owner serialises every call (the renderer's
// device lock).
#pragma once
#include <memory>
#include <string>

#include <mmreg.h>
#include <strmif.h>

struct pa_simple;

namespace twds {

class PulseOutput {
public:
    // Connects a playback stream for 16-bit PCM of this format; null when no
    // sound server answers (why says what failed). Never starts a server: one
    // that is neither named nor has a socket in the usual places is not asked.
    static std::unique_ptr<PulseOutput> Open(const WAVEFORMATEX &format, std::string *why);
    ~PulseOutput();
    PulseOutput(const PulseOutput &) = delete;
    PulseOutput &operator=(const PulseOutput &) = delete;

    // Queues bytes for playback; blocks while the server's buffer is full.
    bool Write(const void *data, size_t bytes);
    // Drops what is queued and not yet played.
    void Flush();
    // Waits until everything queued has been played.
    void Drain();
    // How many bytes written since Open or the last Flush the listener has
    // heard by now; false when the server cannot say.
    bool PlayedBytes(unsigned long long *bytes);
    unsigned BytesPerSecond() const { return m_bytesPerSecond; }

private:
    explicit PulseOutput(pa_simple *stream, unsigned bytesPerSecond);

    pa_simple *m_stream;
    const unsigned m_bytesPerSecond;
    unsigned long long m_written = 0;     // bytes since Open or Flush
};

} // namespace twds
