// Builds profiles through the public interfaces, as a caller of the SDK would.
#pragma once
#include <string>
#include <vector>
#include <wmsdk.h>

namespace wmftest {

// A format block: VIDEOINFOHEADER of the given size followed by codec data.
std::vector<BYTE> VideoFormat(LONG width, LONG height, DWORD fourcc, const std::vector<BYTE> &codecData);
// A format block: WAVEFORMATEX followed by cbSize bytes of codec data.
std::vector<BYTE> AudioFormat(WORD tag, WORD channels, DWORD rate, DWORD bytesPerSec, WORD blockAlign,
                              const std::vector<BYTE> &codecData);

// Adds a stream made with CreateNewStream and the given fields to the profile.
HRESULT AddStream(IWMProfile *profile, const GUID &type, WORD number, const char16_t *name,
                  const char16_t *connection, DWORD bitrate, DWORD bufferWindow, const GUID &subtype,
                  const GUID &formattype, const std::vector<BYTE> &format);

// The media type of a profile stream, as GetMediaType gives it, with the format block copied out.
struct MediaTypeCopy {
    WM_MEDIA_TYPE mt{};
    std::vector<BYTE> format;
};
HRESULT GetStreamMediaType(IWMStreamConfig *config, MediaTypeCopy &out);

// SaveProfile's XML text (size query, then the call).
HRESULT SaveXml(IWMProfileManager *manager, IWMProfile *profile, std::u16string &xml);

} // namespace wmftest
