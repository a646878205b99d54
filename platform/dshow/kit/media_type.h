// An AM_MEDIA_TYPE value that owns its format block: copies are deep, the
// destructor frees. Empty (all GUID_NULL, no format) when default-constructed.
// Not thread-safe; the owner's lock guards it.
#pragma once
#include <strmif.h>

namespace twds::kit {

class MediaType {
public:
    MediaType();
    explicit MediaType(const AM_MEDIA_TYPE &mt);
    MediaType(const GUID &major, const GUID &sub);
    MediaType(const MediaType &other);
    MediaType &operator=(const MediaType &other);
    ~MediaType();

    // Replaces the value with a deep copy; E_OUTOFMEMORY leaves it empty.
    HRESULT Set(const AM_MEDIA_TYPE &mt);
    void Clear();
    // Writes a deep copy into a caller's record (ConnectionMediaType).
    HRESULT CopyTo(AM_MEDIA_TYPE *out) const;
    // A task-memory copy for an enumerator's caller.
    AM_MEDIA_TYPE *CreateCopy() const;

    const AM_MEDIA_TYPE &get() const { return m_mt; }
    const AM_MEDIA_TYPE *operator->() const { return &m_mt; }
    bool Empty() const;

    // Whether a fully given type matches a partial one: GUID_NULL in the major
    // type, subtype or format type of `partial` matches anything.
    static bool Matches(const AM_MEDIA_TYPE &full, const AM_MEDIA_TYPE &partial);
    // Whether a type names a major type, a subtype and a format type.
    static bool IsFullySpecified(const AM_MEDIA_TYPE &mt);

private:
    AM_MEDIA_TYPE m_mt;
};

} // namespace twds::kit
