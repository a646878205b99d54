#include "media_types.h"

#include <cstring>

#include <objbase.h>

namespace twds {

HRESULT CopyMediaType(AM_MEDIA_TYPE *dst, const AM_MEDIA_TYPE *src)
{
    *dst = *src;
    dst->pbFormat = nullptr;
    dst->pUnk = nullptr;
    if (src->cbFormat != 0 && src->pbFormat) {
        dst->pbFormat = static_cast<BYTE *>(CoTaskMemAlloc(src->cbFormat));
        if (!dst->pbFormat) {
            dst->cbFormat = 0;
            return E_OUTOFMEMORY;
        }
        memcpy(dst->pbFormat, src->pbFormat, src->cbFormat);
    } else {
        dst->cbFormat = 0;
    }
    dst->pUnk = src->pUnk;
    if (dst->pUnk)
        dst->pUnk->AddRef();
    return S_OK;
}

void FreeMediaType(AM_MEDIA_TYPE *mt)
{
    if (mt->pbFormat)
        CoTaskMemFree(mt->pbFormat);
    mt->pbFormat = nullptr;
    mt->cbFormat = 0;
    if (mt->pUnk)
        mt->pUnk->Release();
    mt->pUnk = nullptr;
}

AM_MEDIA_TYPE *CreateMediaType(const AM_MEDIA_TYPE *src)
{
    auto *mt = static_cast<AM_MEDIA_TYPE *>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (!mt)
        return nullptr;
    if (FAILED(CopyMediaType(mt, src))) {
        CoTaskMemFree(mt);
        return nullptr;
    }
    return mt;
}

void DeleteMediaType(AM_MEDIA_TYPE *mt)
{
    if (!mt)
        return;
    FreeMediaType(mt);
    CoTaskMemFree(mt);
}

} // namespace twds
