// Between libavformat's stream descriptions and the SDK's profiles: the reader
// builds its profile from a demuxed file, the writer describes its muxer's
// streams from a profile.
#pragma once
#include <wmsdkidl.h>

struct AVFormatContext;
struct AVStream;
struct AVCodecParameters;

namespace twwmf {

struct StreamInfo; // the library's own (streamconfig.h)

// Stream configuration of one audio or video stream of a demuxed file. The ASF
// stream number is the stream's id; codec data comes from its extradata.
HRESULT StreamInfoFromAVStream(const AVStream *st, StreamInfo &out);

// A profile of the audio and video streams of a demuxed file, in file order.
HRESULT CreateProfileFromFormat(const AVFormatContext *fmt, IWMProfile **ppProfile);

// Codec parameters of a profile stream: codec, tag, picture size or audio
// format, bit rate and the codec data of the format block as extradata.
HRESULT CodecParametersFromStreamInfo(const StreamInfo &info, AVCodecParameters *par);

} // namespace twwmf
