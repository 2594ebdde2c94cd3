#include <nettle/sha2.h>

#include "sha256.h"

std::string Sha256Hex(const void* bytes, size_t size) {
    sha256_ctx context;
    sha256_init(&context);
    sha256_update(&context, size, static_cast<const uint8_t*>(bytes));
    uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context, sizeof digest, digest);
    return HexOf(digest, sizeof digest);
}
