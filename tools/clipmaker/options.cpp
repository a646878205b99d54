#include "options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

const char kUsage[] =
    "usage: clipmaker --out FILE.asf [options]\n"
    "Encodes a test clip: a moving test pattern (WMV) and a tone (WMA) in an ASF file.\n"
    "  --out FILE        output file (required)\n"
    "  --seconds N       duration in seconds, up to 3600 (default 10)\n"
    "  --size WxH        picture size, even numbers from 16 to 4096 (default 320x240)\n"
    "  --fps N           frame rate, 1 to 120 (default 25)\n"
    "  --gop N           key-frame interval in frames (default: the frame rate)\n"
    "  --title TEXT      clip title (ASF Title)\n"
    "  --codec wmv1|wmv2 video codec (default wmv2)\n"
    "  --audio-codec wmav1|wmav2  audio codec (default wmav2)\n"
    "  --tone HZ         tone frequency, 20 to 20000 (default 1000)\n"
    "  --no-audio        video only\n"
    "  --no-video        audio only\n"
    "  --help            this text\n";

namespace {

bool ToLong(const char *text, long lo, long hi, long &out)
{
    errno = 0;
    char *end = nullptr;
    long v = strtol(text, &end, 10);
    if (errno || end == text || *end || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

// UTF-16 code units of UTF-8 text: one per character, two for one beyond the
// Basic Multilingual Plane.
size_t Utf16Length(const std::string &text)
{
    size_t units = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80)
            units += c >= 0xF0 ? 2 : 1;
    }
    return units;
}

// An ASF title is stored with a 16-bit byte count, its terminator included.
constexpr size_t kMaxTitleUnits = 0xFFFF / 2 - 1;

} // namespace

bool ParseOptions(int argc, char **argv, ClipSettings &settings, bool &help, std::string &error)
{
    help = false;
    for (int i = 1; i < argc; ++i) {
        std::string opt = argv[i];
        if (opt == "--help" || opt == "-h") {
            help = true;
            return true;
        }
        if (opt == "--no-audio") {
            settings.audio = false;
            continue;
        }
        if (opt == "--no-video") {
            settings.video = false;
            continue;
        }
        if (i + 1 >= argc) {
            error = "option " + opt + " needs a value";
            return false;
        }
        const char *value = argv[++i];
        long n = 0;
        if (opt == "--out") {
            settings.out = value;
        } else if (opt == "--seconds") {
            char *end = nullptr;
            errno = 0;
            double s = strtod(value, &end);
            if (errno || end == value || *end || !(s > 0.0) || s > 3600.0) {
                error = std::string("--seconds wants a number above 0 and up to 3600, not '") + value + "'";
                return false;
            }
            settings.seconds = s;
        } else if (opt == "--size") {
            const char *x = strchr(value, 'x');
            long w = 0, h = 0;
            if (!x || !ToLong(std::string(value, x).c_str(), 16, 4096, w) || !ToLong(x + 1, 16, 4096, h) || w % 2 ||
                h % 2) {
                error = std::string("--size wants WIDTHxHEIGHT with even numbers from 16 to 4096, not '") + value +
                        "'";
                return false;
            }
            settings.width = static_cast<int>(w);
            settings.height = static_cast<int>(h);
        } else if (opt == "--fps") {
            if (!ToLong(value, 1, 120, n)) {
                error = std::string("--fps wants a whole number from 1 to 120, not '") + value + "'";
                return false;
            }
            settings.fps = static_cast<int>(n);
        } else if (opt == "--gop") {
            if (!ToLong(value, 1, 100000, n)) {
                error = std::string("--gop wants a whole number of frames from 1 to 100000, not '") + value + "'";
                return false;
            }
            settings.gop = static_cast<int>(n);
        } else if (opt == "--title") {
            settings.title = value;
            if (Utf16Length(settings.title) > kMaxTitleUnits) {
                error = "--title is too long: an ASF title holds at most " + std::to_string(kMaxTitleUnits) +
                        " UTF-16 characters, this one has " + std::to_string(Utf16Length(settings.title));
                return false;
            }
        } else if (opt == "--codec") {
            settings.videoCodec = value;
            if (settings.videoCodec != "wmv1" && settings.videoCodec != "wmv2") {
                error = std::string("--codec wants wmv1 or wmv2, not '") + value + "'";
                return false;
            }
        } else if (opt == "--audio-codec") {
            settings.audioCodec = value;
            if (settings.audioCodec != "wmav1" && settings.audioCodec != "wmav2") {
                error = std::string("--audio-codec wants wmav1 or wmav2, not '") + value + "'";
                return false;
            }
        } else if (opt == "--tone") {
            if (!ToLong(value, 20, 20000, n)) {
                error = std::string("--tone wants a frequency from 20 to 20000, not '") + value + "'";
                return false;
            }
            settings.toneHz = static_cast<int>(n);
        } else {
            error = "unknown option " + opt;
            return false;
        }
    }
    if (settings.out.empty()) {
        error = "--out is required";
        return false;
    }
    if (!settings.video && !settings.audio) {
        error = "--no-audio and --no-video leave nothing to encode";
        return false;
    }
    if (settings.gop == 0)
        settings.gop = settings.fps;
    return true;
}
