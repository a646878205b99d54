// CryptoAPI hashing: known digests, piecewise hashing, handle and buffer checks.
#include <gtest/gtest.h>

#include <string>
#include <windows.h>
#include <wincrypt.h>

namespace {

std::string Hex(const BYTE *p, DWORD n)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (DWORD i = 0; i < n; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

std::string Digest(ALG_ID alg, const std::string &data, size_t chunk)
{
    HCRYPTPROV prov = 0;
    HCRYPTHASH hash = 0;
    EXPECT_TRUE(CryptAcquireContextA(&prov, NULL, NULL, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT));
    EXPECT_TRUE(CryptCreateHash(prov, alg, 0, 0, &hash));
    for (size_t at = 0; at < data.size(); at += chunk) {
        size_t n = std::min(chunk, data.size() - at);
        EXPECT_TRUE(CryptHashData(hash, reinterpret_cast<const BYTE *>(data.data() + at), (DWORD)n, 0));
    }
    BYTE value[64];
    DWORD cb = sizeof value;
    EXPECT_TRUE(CryptGetHashParam(hash, HP_HASHVAL, value, &cb, 0));
    EXPECT_TRUE(CryptDestroyHash(hash));
    EXPECT_TRUE(CryptReleaseContext(prov, 0));
    return Hex(value, cb);
}

TEST(CryptHash, Md5MatchesTheReferenceVectors)
{
    EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", Digest(CALG_MD5, "", 1));
    EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", Digest(CALG_MD5, "abc", 1));
    EXPECT_EQ("c3fcd3d76192e4007dfb496cca67e13b", Digest(CALG_MD5, "abcdefghijklmnopqrstuvwxyz", 5));
    std::string digits;
    for (int i = 0; i < 8; ++i)
        digits += "1234567890";
    EXPECT_EQ("57edf4a22be3c955ac49da2e2107b67a", Digest(CALG_MD5, digits, 1024));
    EXPECT_EQ("57edf4a22be3c955ac49da2e2107b67a", Digest(CALG_MD5, digits, 7));
    EXPECT_EQ("a9993e364706816aba3e25717850c26c9cd0d89d", Digest(CALG_SHA1, "abc", 2));
}

TEST(CryptHash, SizesBuffersAndFinishedState)
{
    HCRYPTPROV prov = 0;
    HCRYPTHASH hash = 0;
    ASSERT_TRUE(CryptAcquireContextA(&prov, NULL, NULL, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT));
    ASSERT_TRUE(CryptCreateHash(prov, CALG_MD5, 0, 0, &hash));

    DWORD size = 0, cb = sizeof size;
    ASSERT_TRUE(CryptGetHashParam(hash, HP_HASHSIZE, reinterpret_cast<BYTE *>(&size), &cb, 0));
    EXPECT_EQ(16u, size);

    BYTE small[8];
    cb = sizeof small;
    EXPECT_FALSE(CryptGetHashParam(hash, HP_HASHVAL, small, &cb, 0));
    EXPECT_EQ((DWORD)ERROR_MORE_DATA, GetLastError());
    EXPECT_EQ(16u, cb);

    BYTE value[16];
    cb = sizeof value;
    ASSERT_TRUE(CryptGetHashParam(hash, HP_HASHVAL, value, &cb, 0));
    const BYTE more = 'x';
    EXPECT_FALSE(CryptHashData(hash, &more, 1, 0)); // the value is final
    EXPECT_EQ((DWORD)NTE_BAD_HASH_STATE, GetLastError());

    EXPECT_TRUE(CryptDestroyHash(hash));
    EXPECT_FALSE(CryptDestroyHash(hash)); // stale handle
    EXPECT_FALSE(CryptHashData(hash, &more, 1, 0));
    EXPECT_FALSE(CryptCreateHash(prov, 0x1234, 0, 0, &hash));
    EXPECT_EQ((DWORD)NTE_BAD_ALGID, GetLastError());
    EXPECT_TRUE(CryptReleaseContext(prov, 0));
    EXPECT_FALSE(CryptCreateHash(prov, CALG_MD5, 0, 0, &hash)); // released provider
}

} // namespace
