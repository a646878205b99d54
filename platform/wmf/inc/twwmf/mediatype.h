// A media type held by value: the fields of WM_MEDIA_TYPE and its format block.
#pragma once
#include <vector>
#include <wmsdkidl.h>

namespace twwmf {

struct MediaFormat {
    GUID majortype = GUID_NULL;
    GUID subtype = GUID_NULL;
    BOOL bFixedSizeSamples = FALSE;
    BOOL bTemporalCompression = FALSE;
    ULONG lSampleSize = 0;
    GUID formattype = GUID_NULL;
    std::vector<BYTE> format;

    bool operator==(const MediaFormat &o) const;

    // Copies and checks a caller's type. The format block must be complete for
    // its format type: a VIDEOINFOHEADER whose bitmap header fits, or a
    // WAVEFORMATEX whose cbSize bytes of codec data are present.
    static HRESULT FromWmType(const WM_MEDIA_TYPE *pType, MediaFormat &out);

    // Size of the WM_MEDIA_TYPE with the format block placed right behind it.
    DWORD WmTypeSize() const;

    // Fills a caller's buffer with the size-query rules of IWMMediaProps::GetMediaType:
    // a null pType asks for the size; a buffer too small is ASF_E_BUFFERTOOSMALL.
    HRESULT ToWmType(WM_MEDIA_TYPE *pType, DWORD *pcbType) const;
};

// Checks a format block against its format type (see FromWmType).
HRESULT CheckFormatBlock(const GUID &formattype, const BYTE *data, size_t size);

// The codec data that follows the fixed header of a checked format block.
std::vector<BYTE> CodecData(const MediaFormat &mt);

// Subtype GUID of a FOURCC or wave format tag: {tag-0000-0010-8000-00AA00389B71}.
GUID SubtypeFromTag(DWORD tag);

} // namespace twwmf
