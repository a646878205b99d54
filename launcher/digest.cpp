// MD5 through the CryptoAPI hashing functions.
#include "digest.h"

#include <cstdio>
#include <cstring>
#include <wincrypt.h>
#include <windows.h>

#include "textutil.h"
#include "updater.h"

namespace {

#define MD5_HEX_SIZE 33
#define MD5_BYTES 16
#define HASH_BLOCK 1024

char g_szMd5Hex[MD5_HEX_SIZE];

// Hashes the rest of the file into the digest; false when the hash cannot be made.
bool HashFile(FILE *pFile, BYTE *pbDigest)
{
    HCRYPTPROV hProv = 0;
    if (!CryptAcquireContextA(&hProv, NULL, NULL, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
        return false;
    HCRYPTHASH hHash = 0;
    bool bOk = CryptCreateHash(hProv, CALG_MD5, 0, 0, &hHash) != FALSE;
    BYTE buffer[HASH_BLOCK];
    size_t cb;
    while (bOk && (cb = std::fread(buffer, 1, sizeof buffer, pFile)) > 0)
        bOk = CryptHashData(hHash, buffer, static_cast<DWORD>(cb), 0) != FALSE;
    if (bOk && std::ferror(pFile))
        bOk = false;
    DWORD cbDigest = MD5_BYTES;
    if (bOk)
        bOk = CryptGetHashParam(hHash, HP_HASHVAL, pbDigest, &cbDigest, 0) && cbDigest == MD5_BYTES;
    if (hHash)
        CryptDestroyHash(hHash);
    CryptReleaseContext(hProv, 0);
    return bOk;
}

} // namespace

const char *Md5HexOfFile(FILE *pFile)
{
    BYTE digest[MD5_BYTES];
    g_szMd5Hex[0] = '\0';
    if (HashFile(pFile, digest)) {
        for (int i = 0; i < MD5_BYTES; ++i)
            std::snprintf(g_szMd5Hex + 2 * i, 3, "%02x", digest[i]);
    }
    std::fclose(pFile);
    return g_szMd5Hex;
}

bool DigestsEqual(const char *pszComputed, const char *pszExpected)
{
    char szExpected[MD5_HEX_SIZE];
    CopyText(szExpected, sizeof szExpected, pszExpected);
    return std::strlen(pszComputed) >= MD5_HEX_SIZE - 1 && std::strlen(szExpected) == MD5_HEX_SIZE - 1 &&
           StartsWithNoCase(pszComputed, szExpected);
}

bool FileDigestMatches(const char *pszPath, const char *pszExpected)
{
    FILE *pFile = std::fopen(pszPath, "rb");
    if (!pFile) {
        std::printf("%s can't be opened\n", pszPath);
        return false;
    }
    return DigestsEqual(Md5HexOfFile(pFile), pszExpected);
}
