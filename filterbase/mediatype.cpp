#include "mediatype.h"

#include <cstring>
#include <string>

#include <objbase.h>

void ResetMediaType(AM_MEDIA_TYPE *pmt)
{
    memset(pmt, 0, sizeof(*pmt));
    pmt->lSampleSize = 1;
    pmt->bFixedSizeSamples = TRUE;
}

HRESULT CopyMediaTypeContents(AM_MEDIA_TYPE *pTarget, const AM_MEDIA_TYPE *pSource)
{
    *pTarget = *pSource;
    if (pSource->cbFormat != 0) {
        // A size without a block describes no format at all.
        BYTE *pBlock = pSource->pbFormat ? static_cast<BYTE *>(CoTaskMemAlloc(pSource->cbFormat)) : nullptr;
        if (!pBlock) {
            pTarget->pbFormat = nullptr;
            pTarget->cbFormat = 0;
            if (pSource->pbFormat) {
                // The target never took a reference on the format object.
                pTarget->pUnk = nullptr;
                return E_OUTOFMEMORY;
            }
        } else {
            memcpy(pBlock, pSource->pbFormat, pSource->cbFormat);
            pTarget->pbFormat = pBlock;
        }
    } else {
        pTarget->pbFormat = nullptr;
    }
    if (pTarget->pUnk)
        pTarget->pUnk->AddRef();
    return S_OK;
}

void FreeMediaTypeContents(AM_MEDIA_TYPE *pmt)
{
    if (pmt->cbFormat != 0) {
        CoTaskMemFree(pmt->pbFormat);
        pmt->pbFormat = nullptr;
        pmt->cbFormat = 0;
    }
    if (pmt->pUnk) {
        pmt->pUnk->Release();
        pmt->pUnk = nullptr;
    }
}

void DeleteMediaTypeBlock(AM_MEDIA_TYPE *pmt)
{
    if (!pmt)
        return;
    FreeMediaTypeContents(pmt);
    CoTaskMemFree(pmt);
}

bool IsPartialType(const AM_MEDIA_TYPE *pmt)
{
    return pmt->majortype == GUID_NULL || pmt->formattype == GUID_NULL;
}

bool MatchesPartialType(const AM_MEDIA_TYPE *pmt, const AM_MEDIA_TYPE *pPartial)
{
    if (pPartial->majortype != GUID_NULL && pPartial->majortype != pmt->majortype)
        return false;
    if (pPartial->subtype != GUID_NULL && pPartial->subtype != pmt->subtype)
        return false;
    if (pPartial->formattype != GUID_NULL) {
        if (pPartial->formattype != pmt->formattype || pPartial->cbFormat != pmt->cbFormat)
            return false;
        if (pmt->cbFormat != 0) {
            if (!pmt->pbFormat || !pPartial->pbFormat)
                return false;
            if (memcmp(pmt->pbFormat, pPartial->pbFormat, pmt->cbFormat) != 0)
                return false;
        }
    }
    return true;
}

HRESULT DuplicateWideString(LPCWSTR pSource, LPWSTR *ppOut)
{
    if (!ppOut)
        return E_POINTER;
    if (!pSource)
        pSource = OLESTR("");
    size_t length = std::char_traits<WCHAR>::length(pSource);
    LPWSTR pCopy = static_cast<LPWSTR>(CoTaskMemAlloc((length + 1) * sizeof(WCHAR)));
    *ppOut = pCopy;
    if (!pCopy)
        return E_OUTOFMEMORY;
    memcpy(pCopy, pSource, (length + 1) * sizeof(WCHAR));
    return S_OK;
}

HRESULT MediaTypeValue::Assign(const AM_MEDIA_TYPE &other)
{
    if (&other == this)
        return S_OK;
    FreeMediaTypeContents(this);
    return FAILED(CopyMediaTypeContents(this, &other)) ? E_OUTOFMEMORY : S_OK;
}
