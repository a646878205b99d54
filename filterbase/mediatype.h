// Media type records: the owning value class and the free functions that reset,
// copy, free, delete and compare AM_MEDIA_TYPE records.
#pragma once
#include <strmif.h>

// Zeroes the record, then sets a sample size of 1 and fixed-size samples.
void ResetMediaType(AM_MEDIA_TYPE *pmt);
// Deep copy: a new task-memory format block and a reference on the format object.
HRESULT CopyMediaTypeContents(AM_MEDIA_TYPE *pTarget, const AM_MEDIA_TYPE *pSource);
// Frees the format block and releases the format object; the record stays.
void FreeMediaTypeContents(AM_MEDIA_TYPE *pmt);
// Frees a task-memory record with its contents, as enumerators hand them out.
void DeleteMediaTypeBlock(AM_MEDIA_TYPE *pmt);
// True when the major type or the format type is GUID_NULL.
bool IsPartialType(const AM_MEDIA_TYPE *pmt);
// True when every field set in pPartial matches pmt.
bool MatchesPartialType(const AM_MEDIA_TYPE *pmt, const AM_MEDIA_TYPE *pPartial);
// A task-memory copy of a wide string, freed by the caller with CoTaskMemFree.
HRESULT DuplicateWideString(LPCWSTR pSource, LPWSTR *ppOut);

// An AM_MEDIA_TYPE that owns its format block and format object reference.
class MediaTypeValue : public AM_MEDIA_TYPE {
public:
    MediaTypeValue() { ResetMediaType(this); }
    ~MediaTypeValue() { FreeMediaTypeContents(this); }
    MediaTypeValue(const MediaTypeValue &) = delete;
    MediaTypeValue &operator=(const MediaTypeValue &) = delete;

    // Replaces the contents with a deep copy of other: S_OK or E_OUTOFMEMORY.
    HRESULT Assign(const AM_MEDIA_TYPE &other);
};
