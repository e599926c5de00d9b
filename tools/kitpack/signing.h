// Key pairs and kit signatures in minisign's formats, for veskp8-kit keygen,
// sign, create --sign and verify (the formats: kit/kit_signature.h).
//
// Secret key file: a line "untrusted comment: ...", then base64 of "Ed" + KDF
// algorithm (two zero bytes: not encrypted) + "B2" + 32-byte salt + 8-byte
// ops limit + 8-byte memory limit + key id (8) + Ed25519 secret key (64,
// libsodium's seed and public key) + checksum (32: BLAKE2b-256 of "Ed", key
// id and secret key; zero in the files of `minisign -G -W`, also accepted).
// minisign -S signs with such a file; encrypted secret keys are refused here.
//
// Messages go to stderr; each function returns the process exit status
// (0 success, 1 failure).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "kit/kit_signature.h"

namespace veskp8 {

struct SecretKey {
  KeyId id{};
  std::array<std::uint8_t, 64> key{};
};

// The secret key file's text.
[[nodiscard]] std::string SecretKeyFileText(const SecretKey& key);

// Parses a secret key file; false with a reason when it is malformed,
// encrypted, or its checksum is wrong.
[[nodiscard]] bool ParseSecretKey(std::string_view text, SecretKey& key, std::string& reason);

// Makes a key pair: the public key file (0644) and the secret key file
// (0600, created new: an existing file is never replaced).
[[nodiscard]] int GenerateKeyPair(const std::string& publicPath, const std::string& secretPath);

// Signs the kit at `kitPath` with the secret key file: writes
// kitPath + ".minisig" (replaced atomically). An empty `trustedComment` gives
// "timestamp:SECONDS\tfile:NAME\thashed", as minisign writes it.
[[nodiscard]] int SignKit(const std::string& kitPath, const std::string& secretPath,
                          const std::string& trustedComment);

// Checks the signature beside the kit, when there is one, against the keys
// of `publicKeyFiles`, or when none are given against the installer's own
// trusted keys (built in and the system file). Prints one line. `signedBy`
// gets the key id of a valid signature, "" when the kit is unsigned.
[[nodiscard]] int VerifyKitSignatureFile(const std::string& kitPath,
                                         const std::vector<std::string>& publicKeyFiles,
                                         std::string& signedBy);

}  // namespace veskp8
