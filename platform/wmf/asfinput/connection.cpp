#include "connection.h"

#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <nserror.h>

#include "averror.h"
#include "asfheader.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

namespace twwmf {
namespace {

constexpr int kBufferSize = 32768;
// Headers larger than this are not believed.
constexpr uint64_t kMaxHeader = 16u << 20;
// A read that waited this long means the stream stalled: buffering starts over.
constexpr auto kStall = std::chrono::seconds(1);

bool HostResolves(const std::string &url)
{
    char host[256] = {0};
    int port = -1;
    av_url_split(nullptr, 0, nullptr, 0, host, sizeof host, &port, nullptr, 0, url.c_str());
    if (!host[0])
        return true;
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *result = nullptr;
    int rc = getaddrinfo(host, nullptr, &hints, &result);
    if (result)
        freeaddrinfo(result);
    return rc == 0;
}

} // namespace

HRESULT NetFailure(int err, const Watchdog &dog, const std::string &url)
{
    if (dog.Cancelled())
        return E_ABORT;
    if (dog.Expired() || err == AVERROR(ETIMEDOUT))
        return NS_E_TIMEOUT;
    switch (err) {
    case AVERROR_HTTP_BAD_REQUEST: return HTTP_E_STATUS_BAD_REQUEST;
    case AVERROR_HTTP_UNAUTHORIZED: return HTTP_E_STATUS_DENIED;
    case AVERROR_HTTP_FORBIDDEN: return HTTP_E_STATUS_FORBIDDEN;
    case AVERROR_HTTP_NOT_FOUND: return HTTP_E_STATUS_NOT_FOUND;
    case AVERROR_HTTP_OTHER_4XX: return HTTP_E_STATUS_UNEXPECTED_CLIENT_ERROR;
    case AVERROR_HTTP_SERVER_ERROR: return HTTP_E_STATUS_UNEXPECTED_SERVER_ERROR;
    case AVERROR(ECONNREFUSED):
    case AVERROR(ENETUNREACH):
    case AVERROR(EHOSTUNREACH):
        return NS_E_CANNOTCONNECT;
    case AVERROR(ENOENT):
        return NS_E_FILE_NOT_FOUND;
    case AVERROR_INVALIDDATA:
        return NS_E_INVALID_DATA;
    case AVERROR_EOF:
    case AVERROR(ECONNRESET):
    case AVERROR(EPIPE):
        return NS_E_CONNECTION_FAILURE;
    case AVERROR(EIO):
        // libavformat reports a name that does not resolve as a plain I/O error.
        return url.find("://") != std::string::npos && !HostResolves(url) ? NS_E_SERVER_NOT_FOUND
                                                                          : NS_E_CONNECTION_FAILURE;
    default:
        return HResultFromAVError(err);
    }
}

Connection::~Connection()
{
    avformat_close_input(&m_format);
    if (m_counted) {
        av_freep(&m_counted->buffer);
        avio_context_free(&m_counted);
    }
    avio_closep(&m_transport);
}

void Connection::Count(const uint8_t *buf, int n)
{
    size_t headPart = 0;
    while (m_head.size() < m_headNeeded && headPart < static_cast<size_t>(n)) {
        size_t take = static_cast<size_t>(
            std::min<uint64_t>(static_cast<uint64_t>(n) - headPart, m_headNeeded - m_head.size()));
        m_head.append(reinterpret_cast<const char *>(buf) + headPart, take);
        headPart += take;
        if (m_headNeeded == 24 && m_head.size() >= 24) {
            uint64_t size = AsfHeaderSize(m_head);
            // The header object, then the 50-byte head of the data object.
            if (size < 30 || size > kMaxHeader)
                break;
            m_headNeeded = size + 50;
        }
    }
    if (headPart)
        m_traffic.OnHeaderBytes(headPart);
    if (static_cast<size_t>(n) > headPart) {
        m_dataBytes += static_cast<size_t>(n) - headPart;
        m_traffic.OnDataBytes(static_cast<size_t>(n) - headPart);
    }
}

int Connection::Read(void *opaque, uint8_t *buf, int size)
{
    Connection *self = static_cast<Connection *>(opaque);
    int n;
    if (self->m_memory) {
        size_t left = self->m_memorySize - self->m_memoryPos;
        if (!left)
            return AVERROR_EOF;
        n = static_cast<int>(std::min<size_t>(left, static_cast<size_t>(size)));
        memcpy(buf, self->m_memory + self->m_memoryPos, static_cast<size_t>(n));
        self->m_memoryPos += static_cast<size_t>(n);
    } else {
        auto start = std::chrono::steady_clock::now();
        n = avio_read_partial(self->m_transport, buf, size);
        if (std::chrono::steady_clock::now() - start > kStall)
            self->m_traffic.StartBuffering();
        if (n == 0)
            n = self->m_transport->eof_reached ? AVERROR_EOF : AVERROR(EAGAIN);
    }
    if (n > 0)
        self->Count(buf, n);
    return n;
}

int64_t Connection::Seek(void *opaque, int64_t offset, int whence)
{
    Connection *self = static_cast<Connection *>(opaque);
    if (self->m_memory) {
        int64_t size = static_cast<int64_t>(self->m_memorySize);
        if (whence == AVSEEK_SIZE)
            return size;
        int64_t base = whence == SEEK_CUR ? static_cast<int64_t>(self->m_memoryPos) : whence == SEEK_END ? size : 0;
        int64_t pos = base + offset;
        if ((whence & ~AVSEEK_FORCE) > SEEK_END || pos < 0 || pos > size)
            return AVERROR(EINVAL);
        self->m_memoryPos = static_cast<size_t>(pos);
        return pos;
    }
    if (whence == AVSEEK_SIZE)
        return avio_size(self->m_transport);
    return avio_seek(self->m_transport, offset, whence);
}

bool Connection::Seekable() const
{
    return m_memory || (m_transport && (m_transport->seekable & AVIO_SEEKABLE_NORMAL));
}

HRESULT Connection::Open(const std::string &url, AVDictionary **options)
{
    AVIOInterruptCB cb = m_dog.Callback();
    int err = avio_open2(&m_transport, url.c_str(), AVIO_FLAG_READ, &cb, options);
    if (err < 0)
        return NetFailure(err, m_dog, url);
    return OpenDemuxer();
}

HRESULT Connection::Attach(AVIOContext *transport)
{
    m_transport = transport;
    return OpenDemuxer();
}

HRESULT Connection::OpenMemory(const uint8_t *data, size_t size)
{
    static const uint8_t kEmpty = 0;
    m_memory = data ? data : &kEmpty;
    m_memorySize = data ? size : 0;
    return OpenDemuxer();
}

HRESULT Connection::OpenDemuxer()
{
    uint8_t *buffer = static_cast<uint8_t *>(av_malloc(kBufferSize));
    if (!buffer)
        return E_OUTOFMEMORY;
    m_counted = avio_alloc_context(buffer, kBufferSize, 0, this, &Connection::Read, nullptr, &Connection::Seek);
    m_format = avformat_alloc_context();
    if (!m_counted || !m_format) {
        if (!m_counted)
            av_free(buffer);
        return E_OUTOFMEMORY;
    }
    m_counted->seekable = Seekable() ? AVIO_SEEKABLE_NORMAL : 0;
    m_format->pb = m_counted;
    m_format->flags |= AVFMT_FLAG_CUSTOM_IO;
    m_format->interrupt_callback = m_dog.Callback();
    int err = avformat_open_input(&m_format, nullptr, av_find_input_format("asf"), nullptr);
    if (err < 0) {
        // avformat_open_input frees the context on failure.
        if (m_dog.Cancelled() || m_dog.Expired())
            return NetFailure(err, m_dog, std::string());
        if (!CouldBeAsf(m_head))
            return NS_E_INVALID_INPUT_FORMAT;
        // Nothing at all from a network source: the transport's own failure.
        if (m_head.empty() && !m_memory && err != AVERROR_EOF && err != AVERROR_INVALIDDATA)
            return NetFailure(err, m_dog, std::string());
        return NS_E_INVALID_DATA;
    }
    return S_OK;
}

} // namespace twwmf
