// AM_MEDIA_TYPE records in task memory: deep copies and their release.
// Platform-internal: include by path ("dshow/media_types.h" relative to platform/).
#pragma once
#include <strmif.h>

namespace twds {

// Copies every field of src into dst with a new format block and a reference on
// the format object. On failure dst holds no block and no reference.
HRESULT CopyMediaType(AM_MEDIA_TYPE *dst, const AM_MEDIA_TYPE *src);

// Frees the format block and releases the format object; the record stays.
void FreeMediaType(AM_MEDIA_TYPE *mt);

// A task-memory deep copy of src, or null when memory runs out.
AM_MEDIA_TYPE *CreateMediaType(const AM_MEDIA_TYPE *src);

// Frees a record made by CreateMediaType (or by an enumerator) with its contents.
void DeleteMediaType(AM_MEDIA_TYPE *mt);

} // namespace twds
