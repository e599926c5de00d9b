// A key pair made with libsodium and minisign signatures by it, for tests
// that need signed kits without the packer.
#pragma once

#include <sodium.h>

#include <cstring>
#include <string>
#include <vector>

#include "kit/kit_signature.h"

namespace veskp8::test {

inline std::string Base64ForTest(const unsigned char* bytes, std::size_t size) {
  std::string text(sodium_base64_ENCODED_LEN(size, sodium_base64_VARIANT_ORIGINAL), '\0');
  sodium_bin2base64(text.data(), text.size(), bytes, size, sodium_base64_VARIANT_ORIGINAL);
  text.resize(text.size() - 1);
  return text;
}

struct Signer {
  Signer() {
    if (sodium_init() < 0) std::abort();
    randombytes_buf(pub.id.data(), pub.id.size());
    crypto_sign_keypair(pub.key.data(), secret);
  }
  // The signature file's text for `digest` (alg "ED": hashed; "Ed": legacy).
  std::string Sign(const KitDigest& digest, const std::string& comment,
                   const char alg[2] = "ED") const {
    unsigned char first[74] = {static_cast<unsigned char>(alg[0]),
                               static_cast<unsigned char>(alg[1])};
    std::memcpy(first + 2, pub.id.data(), 8);
    crypto_sign_detached(first + 10, nullptr, digest.data(), digest.size(), secret);
    std::vector<unsigned char> both(first + 10, first + 74);
    both.insert(both.end(), comment.begin(), comment.end());
    unsigned char global[64];
    crypto_sign_detached(global, nullptr, both.data(), both.size(), secret);
    return "untrusted comment: made by the test\n" + Base64ForTest(first, sizeof first) +
           "\ntrusted comment: " + comment + "\n" + Base64ForTest(global, sizeof global) + "\n";
  }
  std::string SignBytes(const std::vector<unsigned char>& bytes, const std::string& comment) const {
    KitDigest digest{};
    crypto_generichash(digest.data(), digest.size(), bytes.data(), bytes.size(), nullptr, 0);
    return Sign(digest, comment);
  }
  PublicKey pub;
  unsigned char secret[64];
};

}  // namespace veskp8::test
