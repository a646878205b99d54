// CryptoAPI hashing on OpenSSL's libcrypto. Providers and hashes are heap objects
// whose addresses are the handles; every handle is checked against the live set,
// so a stale or made-up handle fails instead of crashing.
#include "crypt_thread.h"

#include <windows.h>
#include <wincrypt.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <set>

#include <openssl/crypto.h>
#include <openssl/evp.h>

namespace {

struct CryptProvider {
};

struct CryptHash {
    ALG_ID algid = 0;
    HCRYPTPROV provider = 0;
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx{EVP_MD_CTX_new(), &EVP_MD_CTX_free};
    bool finished = false;
    unsigned char value[EVP_MAX_MD_SIZE] = {};
    unsigned int size = 0;
};

std::mutex g_cryptLock;
std::set<CryptProvider *> g_providers;
std::set<CryptHash *> g_hashes;

CryptHash *FindHash(HCRYPTHASH h)
{
    auto it = g_hashes.find(reinterpret_cast<CryptHash *>(h));
    return it == g_hashes.end() ? nullptr : *it;
}

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

} // namespace

void twk::ReleaseThreadCryptState()
{
    OPENSSL_thread_stop(); // nothing to do on a thread that never hashed
}

extern "C" BOOL WINAPI CryptAcquireContextA(HCRYPTPROV *phProv, LPCSTR, LPCSTR, DWORD dwProvType, DWORD dwFlags)
{
    if (!phProv)
        return Fail(ERROR_INVALID_PARAMETER);
    if (dwProvType != PROV_RSA_FULL)
        return Fail((DWORD)NTE_BAD_TYPE);
    if (dwFlags & ~(DWORD)CRYPT_VERIFYCONTEXT)
        return Fail((DWORD)NTE_BAD_FLAGS);
    std::lock_guard<std::mutex> lock(g_cryptLock);
    auto *provider = new CryptProvider;
    g_providers.insert(provider);
    *phProv = reinterpret_cast<HCRYPTPROV>(provider);
    return TRUE;
}

extern "C" BOOL WINAPI CryptReleaseContext(HCRYPTPROV hProv, DWORD dwFlags)
{
    if (dwFlags)
        return Fail((DWORD)NTE_BAD_FLAGS);
    std::lock_guard<std::mutex> lock(g_cryptLock);
    auto *provider = reinterpret_cast<CryptProvider *>(hProv);
    if (!g_providers.erase(provider))
        return Fail((DWORD)NTE_BAD_UID);
    delete provider;
    return TRUE;
}

extern "C" BOOL WINAPI CryptCreateHash(HCRYPTPROV hProv, ALG_ID Algid, HCRYPTKEY hKey, DWORD dwFlags,
                                       HCRYPTHASH *phHash)
{
    if (!phHash)
        return Fail(ERROR_INVALID_PARAMETER);
    if (hKey || dwFlags)
        return Fail((DWORD)NTE_BAD_FLAGS);
    const EVP_MD *md = Algid == CALG_MD5 ? EVP_md5() : Algid == CALG_SHA1 ? EVP_sha1() : nullptr;
    if (!md)
        return Fail((DWORD)NTE_BAD_ALGID);
    std::lock_guard<std::mutex> lock(g_cryptLock);
    if (!g_providers.count(reinterpret_cast<CryptProvider *>(hProv)))
        return Fail((DWORD)NTE_BAD_UID);
    auto hash = std::make_unique<CryptHash>();
    if (!hash->ctx || EVP_DigestInit_ex(hash->ctx.get(), md, nullptr) != 1)
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    hash->algid = Algid;
    hash->provider = hProv;
    CryptHash *raw = hash.release();
    g_hashes.insert(raw);
    *phHash = reinterpret_cast<HCRYPTHASH>(raw);
    return TRUE;
}

extern "C" BOOL WINAPI CryptHashData(HCRYPTHASH hHash, const BYTE *pbData, DWORD dwDataLen, DWORD dwFlags)
{
    if (dwFlags)
        return Fail((DWORD)NTE_BAD_FLAGS);
    if (!pbData && dwDataLen)
        return Fail(ERROR_INVALID_PARAMETER);
    std::lock_guard<std::mutex> lock(g_cryptLock);
    CryptHash *hash = FindHash(hHash);
    if (!hash)
        return Fail((DWORD)NTE_BAD_HASH);
    if (hash->finished)
        return Fail((DWORD)NTE_BAD_HASH_STATE);
    if (dwDataLen && EVP_DigestUpdate(hash->ctx.get(), pbData, dwDataLen) != 1)
        return Fail((DWORD)NTE_BAD_HASH);
    return TRUE;
}

extern "C" BOOL WINAPI CryptGetHashParam(HCRYPTHASH hHash, DWORD dwParam, BYTE *pbData, DWORD *pdwDataLen,
                                         DWORD dwFlags)
{
    if (!pdwDataLen)
        return Fail(ERROR_INVALID_PARAMETER);
    if (dwFlags)
        return Fail((DWORD)NTE_BAD_FLAGS);
    std::lock_guard<std::mutex> lock(g_cryptLock);
    CryptHash *hash = FindHash(hHash);
    if (!hash)
        return Fail((DWORD)NTE_BAD_HASH);

    DWORD value = 0;
    const BYTE *src = nullptr;
    DWORD cb = 0;
    switch (dwParam) {
    case HP_ALGID:
        value = hash->algid;
        src = reinterpret_cast<const BYTE *>(&value);
        cb = sizeof value;
        break;
    case HP_HASHSIZE:
        value = (DWORD)EVP_MD_CTX_get_size(hash->ctx.get());
        src = reinterpret_cast<const BYTE *>(&value);
        cb = sizeof value;
        break;
    case HP_HASHVAL:
        // The value is final once asked for; later data is refused, as on Windows.
        if (!hash->finished) {
            if (!pbData) {
                *pdwDataLen = (DWORD)EVP_MD_CTX_get_size(hash->ctx.get());
                return TRUE;
            }
            if (EVP_DigestFinal_ex(hash->ctx.get(), hash->value, &hash->size) != 1)
                return Fail((DWORD)NTE_BAD_HASH);
            hash->finished = true;
        }
        src = hash->value;
        cb = hash->size;
        break;
    default:
        return Fail((DWORD)NTE_BAD_TYPE);
    }
    if (!pbData) {
        *pdwDataLen = cb;
        return TRUE;
    }
    if (*pdwDataLen < cb) {
        *pdwDataLen = cb;
        return Fail(ERROR_MORE_DATA);
    }
    memcpy(pbData, src, cb);
    *pdwDataLen = cb;
    return TRUE;
}

extern "C" BOOL WINAPI CryptDestroyHash(HCRYPTHASH hHash)
{
    std::lock_guard<std::mutex> lock(g_cryptLock);
    CryptHash *hash = FindHash(hHash);
    if (!hash)
        return Fail((DWORD)NTE_BAD_HASH);
    g_hashes.erase(hash);
    delete hash;
    return TRUE;
}
