// The ASF input module: the one place where a stream URL is opened. The ASF
// source filter and the Windows Media reader both read through it.
//
// What it does
//   - Protocols: http:// and https:// try the Windows Media HTTP streaming
//     protocol first and fall back to progressive HTTP when the server answers as
//     an ordinary web server; mms:// tries MMS over TCP, then the HTTP streaming
//     protocol on port 80; mmsh:// and mmst:// use only that protocol; local paths
//     and file: URLs are read from disk.
//   - ASX metafiles (.asx, .wax, .wvx, or content that is one): the entries'
//     REF HREFs are tried in order until one opens; the metafile's TITLE stands in
//     when the stream has none.
//   - The header: attributes, the stream list with ASF stream numbers and media
//     types (FORMAT_VideoInfo / FORMAT_WaveFormatEx with codec data), the profile.
//   - Packets: one compressed sample at a time, with its ASF stream number, its
//     time in 100 ns on one timeline (presentation time minus preroll; a live
//     broadcast starts at 0 where the client joined), and a key-frame flag taken
//     from the picture header for WMV1/WMV2/WMV3, because some servers flag every
//     video packet as a key frame.
//   - Network behaviour: a connect time-out, a silence time-out while streaming,
//     up to three reconnects of a live broadcast that drops (the timeline goes on;
//     the try count starts again once a reconnected stream has run for a while),
//     cancellation from any thread, and statistics.
//
// Failures (HRESULTs)
//   NS_E_SERVER_NOT_FOUND       the host name does not resolve
//   NS_E_CANNOTCONNECT          the connection was refused or the host is unreachable
//   NS_E_TIMEOUT                no connection, header or data within its time-out
//   0x8019xxxx (HTTP_E_STATUS_*) the server answered with HTTP error status xxx
//                               (0x80190194 for 404; other 4xx/5xx map to
//                               HTTP_E_STATUS_UNEXPECTED_CLIENT/SERVER_ERROR)
//   NS_E_INVALID_INPUT_FORMAT   the content is not ASF (a web page, other media)
//   NS_E_INVALID_DATA           ASF whose header is damaged or cut short
//   NS_E_FILE_NOT_FOUND         a local file that does not exist
//   NS_E_CONNECTION_FAILURE     the server closed the connection mid-stream
//   A broadcast that is lost (closed, silent) is reconnected; when every try
//   fails, ReadPacket reports the failure of the connection that was lost last.
//   An on-demand stream that ends early over the network reports its failure;
//   one that reached its end (or a local file's end) gives S_FALSE.
//   E_ABORT                     Cancel was called
//   An ASX metafile whose entries all fail reports the first entry's failure.
//
// Threads
//   Open, ReadPacket, Seek and Close belong to one thread at a time (the caller's
//   reading thread). Cancel and Statistics may be called from any thread at any
//   time. Open and ReadPacket block; Cancel makes them return E_ABORT within about
//   100 ms, and every later call returns E_ABORT too.
//
// Users
//   The source filter runs Open and then ReadPacket on its reading thread,
//   dispatching packets by stream number to one queue per output pin; its
//   IAMNetworkStatus reads Statistics(). The Windows Media reader runs Open on a
//   worker thread for its asynchronous open and reports WMT_OPENED with the
//   result; its asynchronous Close calls Cancel, joins the worker and reports
//   WMT_CLOSED. Header() gives it the attributes and CreateProfile the profile.
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <wmsdkidl.h>

// MediaFormat: the media type held by value that the library's profiles use.
#include <twwmf/mediatype.h>

namespace twwmf {

enum class AsfProtocol { File, Http, StreamingHttp, Mms };

struct AsfInputSettings {
    std::chrono::milliseconds connectTimeout{15000}; // connect and header, per attempt
    std::chrono::milliseconds silenceTimeout{10000}; // no data while streaming
    int reconnectTries = 3;                          // per outage of a broadcast
    std::chrono::milliseconds reconnectDelay{500};   // before each reconnect
    // A reconnected broadcast that has run this long has its try count reset.
    std::chrono::milliseconds reconnectResetAfter{30000};
};

struct AsfStreamDesc {
    WORD number = 0;            // ASF stream number, 1-127
    GUID streamType = GUID_NULL; // WMMEDIATYPE_Video or WMMEDIATYPE_Audio
    MediaFormat mediaType;      // FORMAT_VideoInfo or FORMAT_WaveFormatEx, codec data after it
    DWORD bitrate = 0;          // bits per second
    DWORD bufferWindow = 0;     // ms
};

struct AsfHeaderInfo {
    // File-level attributes as the reader's IWMHeaderInfo names them.
    std::u16string title, author, copyright, description;
    QWORD duration = 0;         // "Duration", 100 ns; 0 for a broadcast
    bool broadcast = false;     // "Broadcast"
    bool seekable = false;      // "Seekable": on demand, and the protocol can seek
    QWORD preroll = 0;          // 100 ns
    DWORD packetSize = 0;       // bytes of each data packet
    DWORD maxBitrate = 0;       // bits per second
    QWORD dataPackets = 0;      // packets the header announces; 0 when unknown (live)
    std::vector<AsfStreamDesc> streams; // audio and video streams, in header order
    std::string url;            // the URL opened in the end (after ASX and rollover)
    AsfProtocol protocol = AsfProtocol::File;
};

struct AsfPacket {
    WORD streamNumber = 0;
    LONGLONG time = 0;          // 100 ns on the session's timeline
    LONGLONG duration = 0;      // 100 ns; 0 when unknown
    bool keyFrame = false;      // true to the bitstream where the codec is known
    bool discontinuity = false; // first packet of its stream after a start, gap or seek
    std::vector<BYTE> data;
};

struct AsfStatistics {
    uint64_t receivedPackets = 0;  // ASF data packets received
    uint64_t lostPackets = 0;      // packets missed while reconnecting (estimated)
    uint64_t recoveredPackets = 0; // always 0: no error correction is applied
    uint32_t receptionQuality = 100; // percent of packets received of those sent
    uint32_t reconnects = 0;       // successful reconnects so far
    uint32_t bandwidth = 0;        // received bits per second over the last seconds
    // The buffer filled before playing is the stream's preroll (at least 1 s); a
    // broadcast, which arrives in real time, fills 1 s instead of a longer preroll.
    uint32_t bufferingProgress = 0; // 0-100: how much of the buffer is at hand
    bool buffering = false;        // filling the buffer (start, reconnect, stall)
};

class AsfInput {
public:
    explicit AsfInput(const AsfInputSettings &settings = AsfInputSettings());
    ~AsfInput();
    AsfInput(const AsfInput &) = delete;
    AsfInput &operator=(const AsfInput &) = delete;

    // Opens the URL (UTF-16, as the platform interfaces take it) and reads its
    // header. Once per object.
    HRESULT Open(const std::u16string &url);
    // Opens an ASF stream held in memory (tests and fuzzing).
    HRESULT OpenMemory(const uint8_t *data, size_t size);

    // Valid after Open succeeded.
    const AsfHeaderInfo &Header() const;
    // A profile of the streams, for the reader's IWMProfile and the recorder.
    HRESULT CreateProfile(IWMProfile **ppProfile) const;

    // The next packet: S_OK with a packet, S_FALSE at the end of the stream, or a
    // failure (the stream is over).
    HRESULT ReadPacket(AsfPacket &out);
    // Moves to the key frame at or before `time` (100 ns). E_NOTIMPL when the
    // stream is not seekable.
    HRESULT Seek(LONGLONG time);

    // Any thread: makes the blocking calls return E_ABORT.
    void Cancel();
    // Any thread.
    AsfStatistics Statistics() const;

    void Close();

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

} // namespace twwmf
