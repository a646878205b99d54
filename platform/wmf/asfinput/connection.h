// One open stream: the transport libavformat reads (a file, HTTP, the HTTP
// streaming protocol, MMS, or memory) seen through a counting layer, and the
// ASF demuxer on top of it.
#pragma once
#include <chrono>
#include <string>

#include <winerror.h>

#include "traffic.h"
#include "watchdog.h"

struct AVDictionary;
struct AVFormatContext;
struct AVIOContext;

namespace twwmf {

class Connection {
public:
    Connection(Watchdog &dog, Traffic &traffic) : m_dog(dog), m_traffic(traffic) {}
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Opens the transport for `url` (options consumed) and the demuxer on it.
    HRESULT Open(const std::string &url, AVDictionary **options);
    // The same on a transport the caller opened; takes it over.
    HRESULT Attach(AVIOContext *transport);
    // An ASF stream held in memory, which must outlive the connection.
    HRESULT OpenMemory(const uint8_t *data, size_t size);

    AVFormatContext *Format() const { return m_format; }
    // The header object and data object head as they arrived.
    const std::string &HeaderBytes() const { return m_head; }
    // Bytes of data packets received so far.
    uint64_t DataBytes() const { return m_dataBytes; }
    bool Seekable() const;

private:
    HRESULT OpenDemuxer();
    static int Read(void *opaque, uint8_t *buf, int size);
    static int64_t Seek(void *opaque, int64_t offset, int whence);
    void Count(const uint8_t *buf, int n);

    Watchdog &m_dog;
    Traffic &m_traffic;
    AVIOContext *m_transport = nullptr;
    AVIOContext *m_counted = nullptr;
    AVFormatContext *m_format = nullptr;
    const uint8_t *m_memory = nullptr;
    size_t m_memorySize = 0;
    size_t m_memoryPos = 0;
    std::string m_head;        // header bytes seen so far
    uint64_t m_headNeeded = 24; // grows once the header size is known
    uint64_t m_dataBytes = 0;
};

// The HRESULT for a libavformat failure while opening or reading `url`.
HRESULT NetFailure(int err, const Watchdog &dog, const std::string &url);

} // namespace twwmf
