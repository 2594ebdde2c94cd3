#include <windows.h>
#include <wincrypt.h>

#include "sha256.h"

// SHA-256 from the system's cryptographic provider.
std::string Sha256Hex(const void* bytes, size_t size) {
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    BYTE digest[32];
    DWORD length = sizeof digest;
    const bool ok = CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) &&
                    CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash) &&
                    CryptHashData(hash, static_cast<const BYTE*>(bytes), DWORD(size), 0) &&
                    CryptGetHashParam(hash, HP_HASHVAL, digest, &length, 0);
    if (hash != 0) CryptDestroyHash(hash);
    if (provider != 0) CryptReleaseContext(provider, 0);
    return ok ? HexOf(digest, sizeof digest) : "unavailable";
}
