#include <twwmf/asfinput.h>

#include <algorithm>
#include <map>
#include <nserror.h>
#include <set>
#include <twkernel/textconv.h>
#include <twwmf/avprofile.h>

#include "profile.h"
#include "asfheader.h"
#include "asx.h"
#include "connection.h"
#include "keyframe.h"
#include "urls.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

namespace twwmf {
namespace {

// Metafiles that point at metafiles are followed this deep.
constexpr int kMaxMetafileDepth = 3;
// Metafiles longer than this are not believed.
constexpr int kMaxMetafileSize = 65536;
// A broadcast whose timeline jumps further than this on a reconnect (the
// server restarted) is re-anchored where it left off.
constexpr int64_t kMaxTimelineJump = 60LL * 10000000;
// What a broadcast buffers before it plays (at the start, after a reconnect or a
// stall), in place of its whole preroll. A broadcast arrives in real time once
// the server's opening burst (from its last key frame) is read, so each second
// of buffer costs a second of waiting; this much keeps playback clear of the
// decoders' and the audio device's own lead and of scheduling delays.
constexpr int64_t kBroadcastBuffer = 10000000;      // 1 s

// The request of a Windows Media player: a server that speaks the HTTP streaming
// protocol answers it with the framed header, an ordinary web server with the file.
const char kPlayerAgent[] = "NSPlayer/9.0.0.2980";
const char kDescribePragmas[] =
    "Pragma: no-cache,rate=1.000000,stream-time=0,stream-offset=0:0,request-context=1,max-duration=0\r\n"
    "Pragma: xClientGUID={3300AD50-2C39-46c0-AE0A-2A4F6A8E3F11}\r\n";

std::u16string Meta(AVFormatContext *fmt, const char *key)
{
    AVDictionaryEntry *e = av_dict_get(fmt->metadata, key, nullptr, 0);
    return e && e->value ? twk::WideFromUtf8(e->value) : std::u16string();
}

} // namespace

struct AsfInput::Impl {
    explicit Impl(const AsfInputSettings &s) : settings(s) {}

    HRESULT Open(const std::string &url, int depth);
    HRESULT OpenPlaylist(const std::string &base, const std::string &text, int depth);
    HRESULT ProbeHttp(const std::string &url, int depth);
    HRESULT OpenTransport(AsfProtocol protocol, const std::string &url, AVIOContext *attached);
    HRESULT Start(std::unique_ptr<Connection> c, AsfProtocol protocol, const std::string &url);
    HRESULT Reconnect(HRESULT failure);
    bool Complete() const;
    HRESULT Read(AsfPacket &out);

    const AsfInputSettings settings;
    Watchdog dog;
    Traffic traffic;

    // Reading thread only.
    std::unique_ptr<Connection> conn;
    AsfHeaderInfo header;
    std::vector<StreamInfo> profileStreams; // header.streams as the profile describes them
    bool opened = false;
    bool ended = false;
    HRESULT endResult = S_FALSE;
    std::vector<KeyFrameProbe> probes;      // by the demuxer's stream index
    bool anchored = false;                  // broadcast timeline anchored
    int64_t offset = 0;                     // added to the stream's times
    std::map<WORD, int64_t> lastTime;       // last time handed out, per stream number
    int64_t lastAny = 0;
    std::set<WORD> discontinuity;           // streams whose next packet follows a gap
    bool afterReconnect = false;
    bool firstAfterReconnect = false;
    int triesLeft = 0;
    std::chrono::steady_clock::time_point reconnectedAt;
    std::string asxTitle;
    AVPacket *pkt = nullptr;
};

HRESULT AsfInput::Impl::Open(const std::string &url, int depth)
{
    if (dog.Cancelled())
        return E_ABORT;
    if (depth > kMaxMetafileDepth || url.empty())
        return NS_E_INVALID_DATA;
    std::string scheme = UrlScheme(url);
    if (scheme.empty() || scheme == "file") {
        std::string path = LocalPath(url);
        if (HasAsxExtension(path)) {
            AVIOContext *pb = nullptr;
            AVIOInterruptCB cb = dog.Callback();
            int err = avio_open2(&pb, ("file:" + path).c_str(), AVIO_FLAG_READ, &cb, nullptr);
            if (err < 0)
                return NetFailure(err, dog, path);
            std::string text(kMaxMetafileSize, '\0');
            int n = avio_read(pb, reinterpret_cast<unsigned char *>(&text[0]), kMaxMetafileSize);
            avio_closep(&pb);
            text.resize(n > 0 ? static_cast<size_t>(n) : 0);
            return OpenPlaylist(path, text, depth);
        }
        return OpenTransport(AsfProtocol::File, "file:" + path, nullptr);
    }
    if (scheme == "http" || scheme == "https")
        return ProbeHttp(url, depth);
    if (scheme == "mmsh")
        return OpenTransport(AsfProtocol::StreamingHttp, url, nullptr);
    if (scheme == "mmst")
        return OpenTransport(AsfProtocol::Mms, url, nullptr);
    if (scheme == "mms") {
        // MMS over TCP first, then the HTTP streaming protocol (port 80 unless the
        // URL names one).
        HRESULT hr = OpenTransport(AsfProtocol::Mms, WithScheme(url, "mmst"), nullptr);
        if (SUCCEEDED(hr) || hr == E_ABORT)
            return hr;
        HRESULT hr2 = OpenTransport(AsfProtocol::StreamingHttp, WithScheme(url, "mmsh", 80), nullptr);
        return SUCCEEDED(hr2) || hr2 == E_ABORT ? hr2 : hr;
    }
    return NS_E_INVALID_NAME;
}

HRESULT AsfInput::Impl::OpenPlaylist(const std::string &base, const std::string &text, int depth)
{
    AsxPlaylist playlist;
    if (!ParseAsx(text, playlist))
        return NS_E_INVALID_INPUT_FORMAT;
    HRESULT first = NS_E_NO_STREAM;
    for (size_t i = 0; i < playlist.refs.size(); ++i) {
        HRESULT hr = Open(ResolveReference(base, playlist.refs[i]), depth + 1);
        if (SUCCEEDED(hr)) {
            if (header.title.empty())
                header.title = twk::WideFromUtf8(playlist.title);
            return hr;
        }
        if (hr == E_ABORT)
            return hr;
        if (i == 0)
            first = hr;
    }
    return first;
}

HRESULT AsfInput::Impl::ProbeHttp(const std::string &url, int depth)
{
    AVDictionary *options = nullptr;
    av_dict_set(&options, "user_agent", kPlayerAgent, 0);
    av_dict_set(&options, "headers", kDescribePragmas, 0);
    AVIOContext *pb = nullptr;
    AVIOInterruptCB cb = dog.Callback();
    dog.Arm(settings.connectTimeout);
    int err = avio_open2(&pb, url.c_str(), AVIO_FLAG_READ, &cb, &options);
    av_dict_free(&options);
    if (err < 0)
        return NetFailure(err, dog, url);
    uint8_t head[16] = {0};
    int n = avio_read(pb, head, sizeof head);
    if (n < 0) {
        avio_closep(&pb);
        return NetFailure(n, dog, url);
    }
    std::string start(reinterpret_cast<char *>(head), static_cast<size_t>(n));
    if (start.compare(0, 2, "$H") == 0) {
        // A streaming server: it speaks the framed protocol.
        avio_closep(&pb);
        return OpenTransport(AsfProtocol::StreamingHttp, WithScheme(url, "mmsh", 80), nullptr);
    }
    if (StartsAsAsf(start) && avio_seek(pb, 0, SEEK_SET) == 0)
        return OpenTransport(AsfProtocol::Http, url, pb);
    if (LooksLikeAsx(start) || HasAsxExtension(url)) {
        std::string text = start;
        text.resize(kMaxMetafileSize);
        int more = avio_read(pb, reinterpret_cast<unsigned char *>(&text[start.size()]),
                             kMaxMetafileSize - static_cast<int>(start.size()));
        text.resize(start.size() + static_cast<size_t>(std::max(more, 0)));
        avio_closep(&pb);
        if (LooksLikeAsx(text))
            return OpenPlaylist(url, text, depth);
        return NS_E_INVALID_INPUT_FORMAT;
    }
    avio_closep(&pb);
    return dog.Cancelled() ? E_ABORT : NS_E_INVALID_INPUT_FORMAT;
}

HRESULT AsfInput::Impl::OpenTransport(AsfProtocol protocol, const std::string &url, AVIOContext *attached)
{
    auto c = std::make_unique<Connection>(dog, traffic);
    dog.Arm(settings.connectTimeout);
    HRESULT hr;
    if (attached) {
        hr = c->Attach(attached);
    } else {
        AVDictionary *options = nullptr;
        if (protocol == AsfProtocol::Http)
            av_dict_set(&options, "user_agent", kPlayerAgent, 0);
        hr = c->Open(url, &options);
        av_dict_free(&options);
    }
    if (FAILED(hr))
        return hr;
    return Start(std::move(c), protocol, url);
}

HRESULT AsfInput::Impl::Start(std::unique_ptr<Connection> c, AsfProtocol protocol, const std::string &url)
{
    AVFormatContext *fmt = c->Format();
    AsfFileProperties props;
    if (!ParseAsfFileProperties(c->HeaderBytes(), props))
        return NS_E_INVALID_DATA;
    std::vector<AsfStreamDesc> streams;
    std::vector<StreamInfo> infos;
    std::vector<KeyFrameProbe> newProbes;
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        AVStream *st = fmt->streams[i];
        StreamInfo info;
        AVMediaType type = st->codecpar->codec_type;
        if ((type == AVMEDIA_TYPE_VIDEO || type == AVMEDIA_TYPE_AUDIO) && SUCCEEDED(StreamInfoFromAVStream(st, info))) {
            AsfStreamDesc d;
            d.number = info.number;
            d.streamType = info.streamType;
            d.mediaType = info.mediaType;
            d.bitrate = info.bitrate;
            d.bufferWindow = info.bufferWindow;
            streams.push_back(std::move(d));
            infos.push_back(std::move(info));
        } else {
            st->discard = AVDISCARD_ALL;
        }
        std::vector<uint8_t> extra;
        if (st->codecpar->extradata && st->codecpar->extradata_size > 0)
            extra.assign(st->codecpar->extradata, st->codecpar->extradata + st->codecpar->extradata_size);
        newProbes.emplace_back(type == AVMEDIA_TYPE_VIDEO ? st->codecpar->codec_tag : 0, extra);
    }
    if (streams.empty())
        return NS_E_INVALID_DATA;
    if (opened) {
        // A reconnect: the stream must still be the one the caller knows.
        if (streams.size() != header.streams.size())
            return NS_E_INVALID_DATA;
        for (size_t i = 0; i < streams.size(); ++i)
            if (streams[i].number != header.streams[i].number || !(streams[i].mediaType == header.streams[i].mediaType))
                return NS_E_INVALID_DATA;
    } else {
        header.title = Meta(fmt, "title");
        header.author = Meta(fmt, "author");
        header.copyright = Meta(fmt, "copyright");
        header.description = Meta(fmt, "comment");
        header.broadcast = (props.flags & 1) != 0;
        header.preroll = props.preroll * 10000;
        header.duration = header.broadcast || props.playDuration <= header.preroll ? 0 : props.playDuration - header.preroll;
        header.seekable = !header.broadcast && (props.flags & 2) && c->Seekable() &&
                          (protocol == AsfProtocol::File || protocol == AsfProtocol::Http);
        header.packetSize = props.packetSize;
        header.maxBitrate = props.maxBitrate;
        header.dataPackets = header.broadcast ? 0 : props.dataPackets;
        header.streams = std::move(streams);
        profileStreams = std::move(infos);
        header.url = url;
        header.protocol = protocol;
        traffic.SetPacketSize(props.packetSize,
                              header.broadcast ? kBroadcastBuffer : static_cast<int64_t>(header.preroll));
        triesLeft = settings.reconnectTries;
        opened = true;
    }
    probes = std::move(newProbes);
    for (const auto &s : header.streams)
        discontinuity.insert(s.number);
    conn = std::move(c);
    return S_OK;
}

bool AsfInput::Impl::Complete() const
{
    if (!conn)
        return false;
    if (header.dataPackets && header.packetSize)
        return conn->DataBytes() / header.packetSize >= header.dataPackets;
    // Without a packet count, a stream that has reached its duration is complete.
    return header.duration && lastAny + 10000000 >= static_cast<int64_t>(header.duration);
}

HRESULT AsfInput::Impl::Reconnect(HRESULT failure)
{
    HRESULT last = failure;
    auto lostAt = std::chrono::steady_clock::now();
    conn.reset();
    while (triesLeft > 0) {
        --triesLeft;
        if (!dog.Sleep(settings.reconnectDelay))
            return E_ABORT;
        traffic.StartBuffering();
        HRESULT hr = OpenTransport(header.protocol, header.url, nullptr);
        if (SUCCEEDED(hr)) {
            afterReconnect = true;
            firstAfterReconnect = true;
            reconnectedAt = std::chrono::steady_clock::now();
            double gap = std::chrono::duration<double>(reconnectedAt - lostAt).count();
            uint64_t lost = header.packetSize ? static_cast<uint64_t>(gap * header.maxBitrate / 8 / header.packetSize) : 0;
            traffic.OnReconnect(lost);
            return S_OK;
        }
        if (hr == E_ABORT)
            return hr;
        last = hr;
    }
    return last;
}

HRESULT AsfInput::Impl::Read(AsfPacket &out)
{
    if (dog.Cancelled())
        return E_ABORT;
    if (!opened)
        return E_UNEXPECTED;
    if (ended)
        return endResult;
    if (!pkt && !(pkt = av_packet_alloc()))
        return E_OUTOFMEMORY;
    for (;;) {
        if (!conn) {
            ended = true;
            return endResult;
        }
        dog.Arm(settings.silenceTimeout);
        int err = av_read_frame(conn->Format(), pkt);
        if (err < 0) {
            HRESULT hr = NetFailure(err, dog, header.url);
            if (hr == E_ABORT)
                return hr;
            // A network stream cut off mid-packet reads as damaged data.
            if (hr == NS_E_INVALID_DATA && header.protocol != AsfProtocol::File)
                hr = NS_E_CONNECTION_FAILURE;
            if (!header.broadcast) {
                ended = true;
                endResult = err == AVERROR_EOF || Complete() || header.protocol == AsfProtocol::File ? S_FALSE : hr;
                conn.reset();
                if (endResult == S_FALSE)
                    traffic.EndBuffering();
                return endResult;
            }
            HRESULT rc = Reconnect(hr);
            if (FAILED(rc)) {
                ended = true;
                endResult = rc;
                return rc;
            }
            continue;
        }
        AVFormatContext *fmt = conn->Format();
        AVStream *st = fmt->streams[pkt->stream_index];
        int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
        if (st->discard == AVDISCARD_ALL || ts == AV_NOPTS_VALUE) {
            av_packet_unref(pkt);
            continue;
        }
        WORD number = static_cast<WORD>(st->id);
        int64_t t = av_rescale_q(ts, st->time_base, AVRational{1, 10000000});
        if (header.broadcast) {
            // A broadcast's timeline starts where the client joined.
            if (!anchored) {
                offset = -t;
                anchored = true;
            } else if (firstAfterReconnect) {
                int64_t next = t + offset;
                if (next < lastAny - kMaxTimelineJump || next > lastAny + kMaxTimelineJump)
                    offset = lastAny - t;
            }
            firstAfterReconnect = false;
        }
        int64_t time = t + offset;
        auto last = lastTime.find(number);
        if (afterReconnect && last != lastTime.end() && time <= last->second) {
            // Sent again by the server after a reconnect: already handed out.
            av_packet_unref(pkt);
            continue;
        }
        if (afterReconnect && std::chrono::steady_clock::now() - reconnectedAt > settings.reconnectResetAfter) {
            afterReconnect = false;
            triesLeft = settings.reconnectTries;
        }
        out.streamNumber = number;
        out.time = time;
        out.duration = pkt->duration > 0 ? av_rescale_q(pkt->duration, st->time_base, AVRational{1, 10000000}) : 0;
        KeyFrameProbe::Answer key = static_cast<size_t>(pkt->stream_index) < probes.size()
                                        ? probes[static_cast<size_t>(pkt->stream_index)].Check(pkt->data, static_cast<size_t>(pkt->size))
                                        : KeyFrameProbe::Unknown;
        out.keyFrame = key == KeyFrameProbe::Unknown ? (pkt->flags & AV_PKT_FLAG_KEY) != 0 : key == KeyFrameProbe::Key;
        out.discontinuity = discontinuity.erase(number) > 0;
        out.data.assign(pkt->data, pkt->data + pkt->size);
        av_packet_unref(pkt);
        lastTime[number] = time;
        lastAny = std::max(lastAny, time);
        traffic.OnPacketTime(time);
        return S_OK;
    }
}

AsfInput::AsfInput(const AsfInputSettings &settings) : m_impl(std::make_unique<Impl>(settings)) {}

AsfInput::~AsfInput()
{
    Close();
}

HRESULT AsfInput::Open(const std::u16string &url)
{
    if (m_impl->opened)
        return E_UNEXPECTED;
    std::string u = twk::Utf8FromWide(url);
    size_t a = u.find_first_not_of(" \t\r\n");
    size_t b = u.find_last_not_of(" \t\r\n");
    u = a == std::string::npos ? std::string() : u.substr(a, b - a + 1);
    if (u.empty())
        return E_INVALIDARG;
    HRESULT hr = m_impl->Open(u, 0);
    m_impl->dog.Disarm();
    if (FAILED(hr))
        m_impl->conn.reset();
    return hr;
}

HRESULT AsfInput::OpenMemory(const uint8_t *data, size_t size)
{
    if (m_impl->opened)
        return E_UNEXPECTED;
    auto c = std::make_unique<Connection>(m_impl->dog, m_impl->traffic);
    HRESULT hr = c->OpenMemory(data, size);
    if (SUCCEEDED(hr))
        hr = m_impl->Start(std::move(c), AsfProtocol::File, "memory:");
    return hr;
}

const AsfHeaderInfo &AsfInput::Header() const
{
    return m_impl->header;
}

HRESULT AsfInput::CreateProfile(IWMProfile **ppProfile) const
{
    if (!ppProfile)
        return E_POINTER;
    *ppProfile = nullptr;
    if (!m_impl->opened)
        return NS_E_NOT_CONFIGURED;
    ProfileData data;
    data.streams = m_impl->profileStreams;
    HRESULT hr = CheckProfileData(data);
    return FAILED(hr) ? hr : Profile::Create(data, ppProfile);
}

HRESULT AsfInput::ReadPacket(AsfPacket &out)
{
    return m_impl->Read(out);
}

HRESULT AsfInput::Seek(LONGLONG time)
{
    Impl &m = *m_impl;
    if (m.dog.Cancelled())
        return E_ABORT;
    if (!m.opened || !m.header.seekable || !m.conn)
        return E_NOTIMPL;
    m.dog.Arm(m.settings.connectTimeout);
    int64_t target = (std::max<LONGLONG>(time, 0) + m.offset) / 10; // microseconds
    int err = av_seek_frame(m.conn->Format(), -1, target, AVSEEK_FLAG_BACKWARD);
    if (err < 0)
        return NetFailure(err, m.dog, m.header.url);
    m.ended = false;
    m.endResult = S_FALSE;
    m.lastTime.clear();
    for (const auto &s : m.header.streams)
        m.discontinuity.insert(s.number);
    return S_OK;
}

void AsfInput::Cancel()
{
    m_impl->dog.Cancel();
}

AsfStatistics AsfInput::Statistics() const
{
    return m_impl->traffic.Snapshot();
}

void AsfInput::Close()
{
    if (!m_impl)
        return;
    m_impl->conn.reset();
    av_packet_free(&m_impl->pkt);
}

} // namespace twwmf
