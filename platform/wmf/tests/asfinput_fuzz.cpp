// Fuzz target for the ASF input path: an ASF stream from memory through the
// demuxer, the header and stream list, every packet with its key-frame check,
// and the metafile parser on the same bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include <twwmf/asfinput.h>

#include "asfinput/asx.h"
#include "asfinput/keyframe.h"

extern "C" {
#include <libavutil/log.h>
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // libavformat's complaints about broken input would drown the fuzzer's output.
    av_log_set_level(AV_LOG_QUIET);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    {
        twwmf::AsfInput in;
        if (SUCCEEDED(in.OpenMemory(data, size))) {
            IWMProfile *profile = nullptr;
            if (SUCCEEDED(in.CreateProfile(&profile)))
                profile->Release();
            twwmf::AsfPacket packet;
            for (int i = 0; i < 20000 && in.ReadPacket(packet) == S_OK; ++i) {
            }
            in.Statistics();
        }
    }
    twwmf::AsxPlaylist playlist;
    twwmf::ParseAsx(std::string(reinterpret_cast<const char *>(data), size), playlist);
    if (size >= 4) {
        std::vector<uint8_t> sequence(data, data + 4);
        twwmf::KeyFrameProbe probe(0x33564D57 /* WMV3 */, sequence);
        probe.Check(data + 4, size - 4);
    }
    return 0;
}
