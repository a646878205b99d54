#include "broadcast.h"

#include <chrono>

#include "asffile.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
}

namespace strsrv {
namespace {

// Packets kept for joining clients: enough for a key-frame interval of a minute.
constexpr size_t kHistoryPackets = 8192;
constexpr uint16_t kHeaderChunk = 0x4824; // "$H"
constexpr uint16_t kDataChunk = 0x4424;   // "$D"

uint32_t Le(const uint8_t *p, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

// Takes the muxer's output out of a dynamic buffer. The streaming muxer wraps
// the header and each packet in its own chunk; the server frames them itself,
// so only the chunk bodies are kept.
void Chunks(AVIOContext *pb, std::vector<std::pair<uint16_t, std::string>> &out)
{
    uint8_t *buf = nullptr;
    int size = avio_close_dyn_buf(pb, &buf);
    for (int pos = 0; pos + 12 <= size;) {
        uint16_t type = static_cast<uint16_t>(Le(buf + pos, 2));
        int length = static_cast<int>(Le(buf + pos + 2, 2));
        if (length < 8 || pos + 4 + length > size)
            break;
        out.emplace_back(type, std::string(reinterpret_cast<char *>(buf) + pos + 12, length - 8));
        pos += 4 + length;
    }
    av_free(buf);
}

} // namespace

struct Broadcast::Muxer {
    AVFormatContext *in = nullptr;
    AVFormatContext *out = nullptr;
    std::vector<int> map; // input stream -> output stream, -1 when dropped
    int64_t loopOffset = 0; // ms added to this pass's times
    int64_t passEnd = 0;    // end of the latest time seen in this pass, ms
    AVPacket *pkt = nullptr;

    ~Muxer()
    {
        av_packet_free(&pkt);
        avformat_close_input(&in);
        avformat_free_context(out);
    }
};

Broadcast::~Broadcast()
{
    Stop();
    delete m_mux;
}

bool Broadcast::Start(const std::string &clipPath, bool allKey, std::string &error)
{
    m_allKey = allKey;
    m_mux = new Muxer;
    Muxer &m = *m_mux;
    if (avformat_open_input(&m.in, clipPath.c_str(), nullptr, nullptr) < 0 ||
        avformat_find_stream_info(m.in, nullptr) < 0) {
        error = "cannot read the live clip " + clipPath;
        return false;
    }
    if (avformat_alloc_output_context2(&m.out, nullptr, "asf_stream", nullptr) < 0 || !(m.pkt = av_packet_alloc())) {
        error = "no streaming ASF muxer";
        return false;
    }
    av_dict_copy(&m.out->metadata, m.in->metadata, 0);
    for (unsigned i = 0; i < m.in->nb_streams; ++i) {
        AVStream *ist = m.in->streams[i];
        AVMediaType type = ist->codecpar->codec_type;
        if (type != AVMEDIA_TYPE_AUDIO && type != AVMEDIA_TYPE_VIDEO) {
            m.map.push_back(-1);
            continue;
        }
        AVStream *ost = avformat_new_stream(m.out, nullptr);
        if (!ost || avcodec_parameters_copy(ost->codecpar, ist->codecpar) < 0) {
            error = "cannot set up the muxer";
            return false;
        }
        ost->time_base = {1, 1000};
        m.map.push_back(ost->index);
    }
    std::vector<std::pair<uint16_t, std::string>> chunks;
    if (avio_open_dyn_buf(&m.out->pb) < 0 || avformat_write_header(m.out, nullptr) < 0) {
        error = "the muxer refused the clip's streams";
        return false;
    }
    Chunks(m.out->pb, chunks);
    m.out->pb = nullptr;
    if (chunks.empty() || chunks[0].first != kHeaderChunk) {
        error = "the muxer made no header";
        return false;
    }
    m_header = chunks[0].second;
    int64_t packetSize = 0;
    av_opt_get_int(m.out->priv_data, "packet_size", 0, &packetSize);
    m_packetSize = static_cast<uint32_t>(packetSize);
    m_thread = std::thread(&Broadcast::Run, this);
    return true;
}

void Broadcast::Stop()
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

bool Broadcast::MuxNext(std::vector<Item> &out, std::vector<uint64_t> &keyStarts)
{
    Muxer &m = *m_mux;
    int ret = av_read_frame(m.in, m.pkt);
    if (ret == AVERROR_EOF || (ret < 0 && m.passEnd > 0)) {
        // Loop: the next pass continues the timeline where this one ended.
        m.loopOffset += m.passEnd;
        m.passEnd = 0;
        if (av_seek_frame(m.in, -1, 0, AVSEEK_FLAG_BACKWARD) < 0)
            return false;
        return true;
    }
    if (ret < 0)
        return false;
    int index = m.pkt->stream_index < static_cast<int>(m.map.size()) ? m.map[m.pkt->stream_index] : -1;
    if (index < 0 || m.pkt->pts == AV_NOPTS_VALUE) {
        av_packet_unref(m.pkt);
        return true;
    }
    AVStream *ist = m.in->streams[m.pkt->stream_index];
    bool video = ist->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
    av_packet_rescale_ts(m.pkt, ist->time_base, AVRational{1, 1000});
    m.passEnd = std::max<int64_t>(m.passEnd, m.pkt->pts + std::max<int64_t>(m.pkt->duration, 1));
    m.pkt->pts += m.loopOffset;
    m.pkt->dts = m.pkt->pts;
    m.pkt->stream_index = index;
    if (video && (m.pkt->flags & AV_PKT_FLAG_KEY))
        keyStarts.push_back(m_muxedPackets);
    if (video && m_allKey)
        m.pkt->flags |= AV_PKT_FLAG_KEY;
    std::vector<std::pair<uint16_t, std::string>> chunks;
    if (avio_open_dyn_buf(&m.out->pb) < 0)
        return false;
    ret = av_write_frame(m.out, m.pkt);
    Chunks(m.out->pb, chunks);
    m.out->pb = nullptr;
    av_packet_unref(m.pkt);
    if (ret < 0)
        return false;
    for (auto &chunk : chunks) {
        if (chunk.first != kDataChunk)
            continue;
        Item item;
        item.bytes = std::move(chunk.second);
        PacketSendTime(reinterpret_cast<const uint8_t *>(item.bytes.data()), item.bytes.size(), item.sendTime);
        out.push_back(std::move(item));
        ++m_muxedPackets;
    }
    return true;
}

void Broadcast::Run()
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    std::deque<Item> pending;            // muxed, not yet due
    std::deque<uint64_t> pendingKeys;    // key-frame starts not yet released
    uint64_t pendingFirst = 0;           // index of pending.front()
    bool haveBase = false;
    uint32_t baseTime = 0;
    for (;;) {
        // Mux ahead until a packet that is not due yet is at hand.
        while (pending.empty()) {
            std::vector<Item> items;
            std::vector<uint64_t> keys;
            if (!MuxNext(items, keys)) {
                fprintf(stderr, "stream-server: the live clip cannot be read any further\n");
                std::lock_guard<std::mutex> lock(m_lock);
                m_stop = true;
                m_changed.notify_all();
                return;
            }
            pendingKeys.insert(pendingKeys.end(), keys.begin(), keys.end());
            for (auto &item : items)
                pending.push_back(std::move(item));
        }
        if (!haveBase) {
            baseTime = pending.front().sendTime;
            haveBase = true;
        }
        auto due = start + std::chrono::milliseconds(pending.front().sendTime - baseTime);
        std::unique_lock<std::mutex> lock(m_lock);
        if (m_changed.wait_until(lock, due, [this] { return m_stop; }))
            return;
        if (Clock::now() < due)
            continue;
        m_history.push_back(std::move(pending.front()));
        pending.pop_front();
        ++pendingFirst;
        while (!pendingKeys.empty() && pendingKeys.front() < pendingFirst) {
            m_keyStarts.push_back(pendingKeys.front());
            pendingKeys.pop_front();
        }
        while (m_history.size() > kHistoryPackets) {
            m_history.pop_front();
            ++m_firstIndex;
        }
        while (!m_keyStarts.empty() && m_keyStarts.front() < m_firstIndex)
            m_keyStarts.pop_front();
        lock.unlock();
        m_changed.notify_all();
    }
}

uint64_t Broadcast::JoinIndex()
{
    std::unique_lock<std::mutex> lock(m_lock);
    m_changed.wait(lock, [this] { return m_stop || !m_keyStarts.empty(); });
    return m_keyStarts.empty() ? m_firstIndex : m_keyStarts.back();
}

bool Broadcast::Packet(uint64_t &index, std::string &bytes)
{
    std::unique_lock<std::mutex> lock(m_lock);
    m_changed.wait(lock, [&] { return m_stop || index < m_firstIndex + m_history.size(); });
    if (m_stop)
        return false;
    if (index < m_firstIndex)
        index = m_firstIndex;
    bytes = m_history[index - m_firstIndex].bytes;
    return true;
}

} // namespace strsrv
