// Signed kits: a detached minisign signature, "veskp8.efd.minisig", beside the
// kit, checked against the trusted public keys in one streaming pass over the
// kit file before the kit is inflated.
//
// Formats (minisign's; base64 is the standard alphabet with padding; a line
// ends with "\n", and a "\r" before it is dropped):
//   public key  a line "untrusted comment: ...", then base64 of "Ed" + key id
//               (8 bytes) + Ed25519 public key (32 bytes).
//   signature   "untrusted comment: ..."; base64 of "ED" + key id + the
//               Ed25519 signature (64) of the BLAKE2b-512 hash of the kit;
//               "trusted comment: TEXT"; base64 of the Ed25519 signature of
//               (the 64-byte kit signature followed by TEXT). Blank lines may
//               follow, nothing else. The legacy form "Ed" (the file itself
//               signed) is refused.
//   key list    the trusted-key files: any number of public keys; blank lines,
//               "untrusted comment:" lines and "#" lines are skipped, every
//               other line must be a public key.
// Every file is untrusted input: its size is capped, a NUL byte, an over-long
// line, a bad base64 text or a wrong length make it malformed.
//
// Where trusted keys come from (LoadTrustedKeys): the list built into the
// program (CMake option VESKP8_TRUSTED_KEYS), the system file
// "/etc/veskp8/trusted-keys" (used only when it and its directory belong to
// root and neither is writable by group or others; otherwise ignored, and the
// caller tells why), and one file named for a run (-K; it must belong to root
// or to the user running the installer and not be writable by group or
// others; otherwise every kit is refused). With any trusted key a kit must
// carry a valid signature by one of them; with none, the signature file is
// not looked at and the kit installs as an unsigned one.
//
// Nothing here keeps state between calls; every function may run on any
// thread. Nothing throws except std::bad_alloc.
#pragma once

#include <sys/stat.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "install/fs/file_handle.h"
#include "text/narrow_string.h"
#include "text/result_code.h"
#include "text/wide_string.h"

namespace veskp8 {

// The signature file's name is the kit's followed by this.
inline constexpr char kSignatureSuffix[] = ".minisig";
// The site-wide trusted-key file.
inline constexpr char kSystemTrustedKeysFile[] = "/etc/veskp8/trusted-keys";

// Caps on what is read of untrusted files, in bytes.
inline constexpr std::size_t kMaxSignatureFileBytes = 16384;
inline constexpr std::size_t kMaxKeyFileBytes = 1 << 20;
inline constexpr std::size_t kMaxTrustedCommentBytes = 8192;

using KeyId = std::array<std::uint8_t, 8>;
using KitDigest = std::array<std::uint8_t, 64>;  // BLAKE2b-512

struct PublicKey {
  KeyId id{};
  std::array<std::uint8_t, 32> key{};
};

struct KitSignature {
  KeyId id{};
  std::array<std::uint8_t, 64> signature{};         // of the kit's digest
  std::string trustedComment;                       // without its prefix
  std::array<std::uint8_t, 64> commentSignature{};  // of signature + comment
};

// The key id as minisign shows it: 16 upper-case hexadecimal digits of the
// id read as a little-endian number.
[[nodiscard]] std::string KeyIdText(const KeyId& id);

// Base64 of a public key (the line after the comment), and the whole file.
[[nodiscard]] std::string EncodePublicKey(const PublicKey& key);
[[nodiscard]] std::string PublicKeyFileText(const PublicKey& key);

// One public key from its base64 line (no line end). False when it is not
// base64 of exactly "Ed" + 40 bytes; `key` is then unspecified.
[[nodiscard]] bool DecodePublicKey(std::string_view base64, PublicKey& key);

// Appends the keys of a key list (or a minisign public key file) to `keys`.
// False when the text is malformed; `keys` then holds what was appended
// before the bad line.
[[nodiscard]] bool ParsePublicKeys(std::string_view text, std::vector<PublicKey>& keys);

enum class SignatureParse { kOk, kLegacy, kMalformed };
[[nodiscard]] SignatureParse ParseKitSignature(std::string_view text, KitSignature& signature);

// Reads the kit open on `kit` from offset 0 to its end (pread; its position
// is not used) and hashes it with BLAKE2b-512. `stop` (may be null) is read
// before every block. 0, or 1223 when stopped, or 2 / 87 when a read failed.
[[nodiscard]] ResultCode HashKitFile(FileHandle kit, KitDigest& digest,
                                     const std::atomic<bool>* stop = nullptr);

// True when `signature` is by `key` (ids equal), signs `digest`, and its
// trusted comment is signed too.
[[nodiscard]] bool VerifyKitSignature(const KitSignature& signature, const PublicKey& key,
                                      const KitDigest& digest);

// How a key file came out.
enum class KeyFileProblem {
  kNone,
  kUnsafe,     // someone other than its owner (or, for the system file,
               // root) could change it or its directory
  kUnusable,   // it cannot be read, or its contents are malformed
};

struct IgnoredKeyFile {
  NarrowString path;  // the system file that was set aside as unsafe
};

struct TrustedKeys {
  std::vector<PublicKey> keys;
  std::vector<IgnoredKeyFile> ignored;  // to be told to the user; not an error
  // A key file that has to be used cannot be: every kit is refused.
  KeyFileProblem problem = KeyFileProblem::kNone;
  NarrowString problemFile;  // which one ("built-in" for the built-in list)
};

struct TrustedKeySources {
  std::string_view builtIn;                     // the built-in key list
  NarrowString systemFile{kSystemTrustedKeysFile};  // empty: none
  NarrowString runFile;                         // -K; empty: none
};

// The trusted keys of one run. Never fails: problems are in the result. A
// missing system file is no problem; a missing run file is kUnusable.
[[nodiscard]] TrustedKeys LoadTrustedKeys(const TrustedKeySources& sources);

enum class SignatureVerdict {
  kUnsigned,      // no trusted key: the signature was not looked at
  kValid,         // signed by a trusted key (keyId)
  kMissing,       // trusted keys exist, but no signature file
  kDamaged,       // the signature file is unreadable, malformed or legacy
  kUnknownKey,    // signed by a key that is not trusted (keyId)
  kMismatch,      // the kit or the trusted comment does not match its signature
  kKeysUnusable,  // TrustedKeys::problem is set
  kReadFailed,    // the kit could not be read (readResult)
  kStopped,       // `stop` was set
};

struct SignatureCheck {
  SignatureVerdict verdict = SignatureVerdict::kUnsigned;
  KeyId keyId{};
  std::string trustedComment;
  ResultCode readResult = kOk;
  // The kit file as it was hashed, for KitFileUnchanged.
  struct stat hashed {};
};

// The check of the kit open on `kit` (not closed; its position not used)
// against its signature file `signaturePath` and `keys`, in that order: the
// keys, the signature file, its key, then one pass over the kit.
[[nodiscard]] SignatureCheck CheckKitSignature(FileHandle kit, const NarrowString& signaturePath,
                                               const TrustedKeys& keys,
                                               const std::atomic<bool>* stop = nullptr);

// True when the file open on `kit` is still the one `check` hashed: same
// inode, size, modification and change times (a write after the hash shows
// in the change time, which no user can set).
[[nodiscard]] bool KitFileUnchanged(FileHandle kit, const SignatureCheck& check);

// The signature file of the kit at `kitPath` (kitPath + ".minisig").
[[nodiscard]] WideString SignaturePathOf(const WideString& kitPath);

// The resource text that refuses a kit for `check` (IDS_SIGNATURE_*), with
// its "%1" filled in (the key id, or the key file); empty for kUnsigned,
// kValid, kReadFailed and kStopped, which refuse nothing themselves.
[[nodiscard]] WideString SignatureRefusalText(const SignatureCheck& check, const TrustedKeys& keys);

// The text that tells why `file` was ignored (IDS_SIGNATURE_KEYFILE_UNSAFE).
[[nodiscard]] WideString IgnoredKeyFileText(const IgnoredKeyFile& file);

// The key list built into this program (empty when none), and the file it
// was built from (for messages).
[[nodiscard]] std::string_view BuiltInTrustedKeys();
[[nodiscard]] const char* BuiltInTrustedKeysSource();

}  // namespace veskp8
