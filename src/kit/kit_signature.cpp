#include "kit/kit_signature.h"

#include <fcntl.h>
#include <sodium.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "install/fs/scoped_descriptor.h"
#include "resources/resource_table.h"
#include "text/conversion.h"
#include "text/string_ops.h"

namespace veskp8 {
namespace {

constexpr std::string_view kUntrustedPrefix = "untrusted comment: ";
constexpr std::string_view kTrustedPrefix = "trusted comment: ";
constexpr std::size_t kPublicKeyBytes = 2 + 8 + 32;
constexpr std::size_t kSignatureBytes = 2 + 8 + 64;
constexpr std::size_t kHashBlock = 65536;

bool SodiumReady() {
  static const bool ready = sodium_init() >= 0;
  return ready;
}

// Splits text into lines; a "\r" before the line end is dropped.
class Lines {
 public:
  explicit Lines(std::string_view text) : m_text(text) {}
  bool Next(std::string_view& line) {
    if (m_at >= m_text.size()) return false;
    std::size_t end = m_text.find('\n', m_at);
    if (end == std::string_view::npos) end = m_text.size();
    line = m_text.substr(m_at, end - m_at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    m_at = end + 1;
    return true;
  }

 private:
  std::string_view m_text;
  std::size_t m_at = 0;
};

bool Blank(std::string_view line) {
  return line.find_first_not_of(" \t") == std::string_view::npos;
}

// Decodes strict base64 into exactly `size` bytes. Only the alphabet's own
// characters count: libsodium's decoder also maps some bytes above 0x7F to
// letters, which would let two files carry one signature.
bool DecodeExact(std::string_view base64, unsigned char* out, std::size_t size) {
  if (!SodiumReady()) return false;
  for (const char c : base64) {
    const bool alphabet = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '+' || c == '/' || c == '=';
    if (!alphabet) return false;
  }
  // Room for one byte more than wanted, so that a longer text is noticed.
  std::vector<unsigned char> buffer(size + 1);
  std::size_t length = 0;
  const char* end = nullptr;
  if (sodium_base642bin(buffer.data(), buffer.size(), base64.data(), base64.size(), nullptr,
                        &length, &end, sodium_base64_VARIANT_ORIGINAL) != 0) {
    return false;
  }
  if (end != base64.data() + base64.size() || length != size) return false;
  std::memcpy(out, buffer.data(), size);
  return true;
}

std::string Encode(const unsigned char* bytes, std::size_t size) {
  std::string text(sodium_base64_ENCODED_LEN(size, sodium_base64_VARIANT_ORIGINAL), '\0');
  sodium_bin2base64(text.data(), text.size(), bytes, size, sodium_base64_VARIANT_ORIGINAL);
  text.resize(std::strlen(text.c_str()));
  return text;
}

// Reads a whole regular file of at most `cap` bytes from an open descriptor.
// 0, kErrInvalidData when it is not a regular file, too large or holds a NUL
// byte, 87 when reading fails.
ResultCode ReadSmallFile(int fd, std::size_t cap, std::string& text) {
  struct stat st {};
  if (fstat(fd, &st) != 0) return kErrInvalidParameter;
  if (!S_ISREG(st.st_mode) || static_cast<std::uint64_t>(st.st_size) > cap) {
    return kErrInvalidData;
  }
  text.clear();
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return kErrInvalidParameter;
    }
    if (n == 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    if (text.size() > cap) return kErrInvalidData;  // it grew while read
  }
  if (text.find('\0') != std::string::npos) return kErrInvalidData;
  return kOk;
}

int OpenForReading(const NarrowString& path) {
  int fd;
  do {
    fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

using Descriptor = ScopedDescriptor;

bool NotWritableByOthers(const struct stat& st) { return (st.st_mode & (S_IWGRP | S_IWOTH)) == 0; }

// The directory part of `path` ("." when it has none).
std::string DirectoryOf(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return ".";
  if (slash == 0) return "/";
  return std::string(path.substr(0, slash));
}

enum class KeyFileRule { kSystem, kRun };

// Reads one key file into `keys`. The system file must belong to root, the
// run's to root or to this user; neither it nor its directory may be
// writable by group or others, and the directory must belong to root or the
// file's owner.
KeyFileProblem ReadKeyFile(const NarrowString& path, KeyFileRule rule,
                           std::vector<PublicKey>& keys, bool& absent) {
  absent = false;
  const Descriptor fd(OpenForReading(path));
  if (fd.get() < 0) {
    absent = errno == ENOENT;
    return KeyFileProblem::kUnusable;
  }
  struct stat file {};
  struct stat directory {};
  if (fstat(fd.get(), &file) != 0 ||
      stat(DirectoryOf(path.view()).c_str(), &directory) != 0) {
    return KeyFileProblem::kUnusable;
  }
  const uid_t user = geteuid();
  const bool ownerOk = file.st_uid == 0 || (rule == KeyFileRule::kRun && file.st_uid == user);
  const bool directoryOk = (directory.st_uid == 0 || directory.st_uid == file.st_uid) &&
                           (NotWritableByOthers(directory) || (directory.st_mode & S_ISVTX) != 0);
  if (!ownerOk || !NotWritableByOthers(file) || !directoryOk) return KeyFileProblem::kUnsafe;
  std::string text;
  if (ReadSmallFile(fd.get(), kMaxKeyFileBytes, text) != kOk) return KeyFileProblem::kUnusable;
  const std::size_t before = keys.size();
  if (!ParsePublicKeys(text, keys)) return KeyFileProblem::kUnusable;
  // A file named for the run that holds no key cannot be what was meant.
  if (rule == KeyFileRule::kRun && keys.size() == before) return KeyFileProblem::kUnusable;
  return KeyFileProblem::kNone;
}

WideString WithSubject(const char* id, const WideString& subject) {
  WideString text = LoadResourceString(id);
  ReplaceAll(text, WideString(u"%1"), subject);
  return text;
}

}  // namespace

std::string KeyIdText(const KeyId& id) {
  std::string text;
  char digits[3];
  for (std::size_t i = id.size(); i-- > 0;) {
    std::snprintf(digits, sizeof digits, "%02X", id[i]);
    text += digits;
  }
  return text;
}

std::string EncodePublicKey(const PublicKey& key) {
  unsigned char bytes[kPublicKeyBytes] = {'E', 'd'};
  std::memcpy(bytes + 2, key.id.data(), key.id.size());
  std::memcpy(bytes + 10, key.key.data(), key.key.size());
  return Encode(bytes, sizeof bytes);
}

std::string PublicKeyFileText(const PublicKey& key) {
  return std::string(kUntrustedPrefix) + "minisign public key " + KeyIdText(key.id) + "\n" +
         EncodePublicKey(key) + "\n";
}

bool DecodePublicKey(std::string_view base64, PublicKey& key) {
  unsigned char bytes[kPublicKeyBytes];
  if (!DecodeExact(base64, bytes, sizeof bytes)) return false;
  if (bytes[0] != 'E' || bytes[1] != 'd') return false;
  std::memcpy(key.id.data(), bytes + 2, key.id.size());
  std::memcpy(key.key.data(), bytes + 10, key.key.size());
  return true;
}

bool ParsePublicKeys(std::string_view text, std::vector<PublicKey>& keys) {
  if (text.find('\0') != std::string_view::npos) return false;
  Lines lines(text);
  for (std::string_view line; lines.Next(line);) {
    if (Blank(line) || line.starts_with("untrusted comment:") || line.starts_with('#')) continue;
    PublicKey key;
    if (!DecodePublicKey(line, key)) return false;
    keys.push_back(key);
  }
  return true;
}

SignatureParse ParseKitSignature(std::string_view text, KitSignature& signature) {
  if (text.size() > kMaxSignatureFileBytes || text.find('\0') != std::string_view::npos) {
    return SignatureParse::kMalformed;
  }
  Lines lines(text);
  std::string_view untrusted, encoded, trusted, global;
  if (!lines.Next(untrusted) || !lines.Next(encoded) || !lines.Next(trusted) ||
      !lines.Next(global)) {
    return SignatureParse::kMalformed;
  }
  for (std::string_view rest; lines.Next(rest);) {
    if (!Blank(rest)) return SignatureParse::kMalformed;
  }
  if (!untrusted.starts_with(kUntrustedPrefix) || !trusted.starts_with(kTrustedPrefix)) {
    return SignatureParse::kMalformed;
  }
  unsigned char bytes[kSignatureBytes];
  if (!DecodeExact(encoded, bytes, sizeof bytes)) return SignatureParse::kMalformed;
  if (bytes[0] == 'E' && bytes[1] == 'd') return SignatureParse::kLegacy;
  if (bytes[0] != 'E' || bytes[1] != 'D') return SignatureParse::kMalformed;
  trusted.remove_prefix(kTrustedPrefix.size());
  if (trusted.size() > kMaxTrustedCommentBytes) return SignatureParse::kMalformed;
  if (!DecodeExact(global, signature.commentSignature.data(), signature.commentSignature.size())) {
    return SignatureParse::kMalformed;
  }
  std::memcpy(signature.id.data(), bytes + 2, signature.id.size());
  std::memcpy(signature.signature.data(), bytes + 10, signature.signature.size());
  signature.trustedComment.assign(trusted);
  return SignatureParse::kOk;
}

ResultCode HashKitFile(FileHandle kit, KitDigest& digest, const std::atomic<bool>* stop) {
  if (!SodiumReady()) return kErrInvalidParameter;
  crypto_generichash_state state;
  crypto_generichash_init(&state, nullptr, 0, digest.size());
  std::vector<unsigned char> block(kHashBlock);
  for (off_t offset = 0;;) {
    if (stop != nullptr && stop->load()) return kErrCancelled;
    const ssize_t n = pread(kit, block.data(), block.size(), offset);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno == ENOENT ? kErrNotFound : kErrInvalidParameter;
    }
    if (n == 0) break;
    crypto_generichash_update(&state, block.data(), static_cast<unsigned long long>(n));
    offset += n;
  }
  crypto_generichash_final(&state, digest.data(), digest.size());
  return kOk;
}

bool VerifyKitSignature(const KitSignature& signature, const PublicKey& key,
                        const KitDigest& digest) {
  if (!SodiumReady() || signature.id != key.id) return false;
  if (crypto_sign_verify_detached(signature.signature.data(), digest.data(), digest.size(),
                                  key.key.data()) != 0) {
    return false;
  }
  std::vector<unsigned char> signedComment(signature.signature.begin(), signature.signature.end());
  signedComment.insert(signedComment.end(), signature.trustedComment.begin(),
                       signature.trustedComment.end());
  return crypto_sign_verify_detached(signature.commentSignature.data(), signedComment.data(),
                                     signedComment.size(), key.key.data()) == 0;
}

TrustedKeys LoadTrustedKeys(const TrustedKeySources& sources) {
  TrustedKeys trusted;
  if (!ParsePublicKeys(sources.builtIn, trusted.keys)) {
    trusted.problem = KeyFileProblem::kUnusable;
    trusted.problemFile = NarrowString(BuiltInTrustedKeysSource());
    return trusted;
  }
  bool absent = false;
  if (!sources.systemFile.empty()) {
    std::vector<PublicKey> keys;
    const KeyFileProblem problem = ReadKeyFile(sources.systemFile, KeyFileRule::kSystem, keys, absent);
    if (problem == KeyFileProblem::kUnsafe) {
      trusted.ignored.push_back({sources.systemFile});
    } else if (problem == KeyFileProblem::kUnusable && !absent) {
      trusted.problem = problem;
      trusted.problemFile = sources.systemFile;
      return trusted;
    } else {
      trusted.keys.insert(trusted.keys.end(), keys.begin(), keys.end());
    }
  }
  if (!sources.runFile.empty()) {
    const KeyFileProblem problem =
        ReadKeyFile(sources.runFile, KeyFileRule::kRun, trusted.keys, absent);
    if (problem != KeyFileProblem::kNone) {
      trusted.problem = problem;
      trusted.problemFile = sources.runFile;
    }
  }
  return trusted;
}

SignatureCheck CheckKitSignature(FileHandle kit, const NarrowString& signaturePath,
                                 const TrustedKeys& keys, const std::atomic<bool>* stop) {
  SignatureCheck check;
  if (keys.problem != KeyFileProblem::kNone) {
    check.verdict = SignatureVerdict::kKeysUnusable;
    return check;
  }
  if (keys.keys.empty()) return check;  // kUnsigned

  std::string text;
  {
    const Descriptor fd(OpenForReading(signaturePath));
    if (fd.get() < 0) {
      check.verdict = errno == ENOENT ? SignatureVerdict::kMissing : SignatureVerdict::kDamaged;
      return check;
    }
    if (ReadSmallFile(fd.get(), kMaxSignatureFileBytes, text) != kOk) {
      check.verdict = SignatureVerdict::kDamaged;
      return check;
    }
  }
  KitSignature signature;
  if (ParseKitSignature(text, signature) != SignatureParse::kOk) {
    check.verdict = SignatureVerdict::kDamaged;
    return check;
  }
  check.keyId = signature.id;
  check.trustedComment = signature.trustedComment;
  const PublicKey* key = nullptr;
  for (const PublicKey& candidate : keys.keys) {
    if (candidate.id == signature.id) key = &candidate;
  }
  if (key == nullptr) {
    check.verdict = SignatureVerdict::kUnknownKey;
    return check;
  }
  if (fstat(kit, &check.hashed) != 0) {
    check.verdict = SignatureVerdict::kReadFailed;
    check.readResult = kErrInvalidHandle;
    return check;
  }
  KitDigest digest{};
  check.readResult = HashKitFile(kit, digest, stop);
  if (check.readResult == kErrCancelled) {
    check.verdict = SignatureVerdict::kStopped;
  } else if (check.readResult != kOk) {
    check.verdict = SignatureVerdict::kReadFailed;
  } else if (!KitFileUnchanged(kit, check)) {
    check.verdict = SignatureVerdict::kMismatch;  // written to while it was hashed
  } else {
    check.verdict = VerifyKitSignature(signature, *key, digest) ? SignatureVerdict::kValid
                                                                : SignatureVerdict::kMismatch;
  }
  return check;
}

bool KitFileUnchanged(FileHandle kit, const SignatureCheck& check) {
  struct stat now {};
  if (fstat(kit, &now) != 0) return false;
  const struct stat& then = check.hashed;
  return now.st_dev == then.st_dev && now.st_ino == then.st_ino && now.st_size == then.st_size &&
         now.st_mtim.tv_sec == then.st_mtim.tv_sec &&
         now.st_mtim.tv_nsec == then.st_mtim.tv_nsec &&
         now.st_ctim.tv_sec == then.st_ctim.tv_sec && now.st_ctim.tv_nsec == then.st_ctim.tv_nsec;
}

WideString SignaturePathOf(const WideString& kitPath) {
  return kitPath + LocaleToWide(kSignatureSuffix);
}

WideString SignatureRefusalText(const SignatureCheck& check, const TrustedKeys& keys) {
  switch (check.verdict) {
    case SignatureVerdict::kMissing:
      return LoadResourceString(IDS_SIGNATURE_MISSING);
    case SignatureVerdict::kDamaged:
      return LoadResourceString(IDS_SIGNATURE_DAMAGED);
    case SignatureVerdict::kUnknownKey:
      return WithSubject(IDS_SIGNATURE_UNKNOWNKEY, LocaleToWide(KeyIdText(check.keyId).c_str()));
    case SignatureVerdict::kMismatch:
      return LoadResourceString(IDS_SIGNATURE_MISMATCH);
    case SignatureVerdict::kKeysUnusable:
      return WithSubject(keys.problem == KeyFileProblem::kUnsafe ? IDS_SIGNATURE_KEYFILE_UNSAFE
                                                                 : IDS_SIGNATURE_KEYFILE,
                         LocaleToWide(keys.problemFile));
    case SignatureVerdict::kUnsigned:
    case SignatureVerdict::kValid:
    case SignatureVerdict::kReadFailed:
    case SignatureVerdict::kStopped:
      break;
  }
  return WideString();
}

WideString IgnoredKeyFileText(const IgnoredKeyFile& file) {
  return WithSubject(IDS_SIGNATURE_KEYFILE_UNSAFE, LocaleToWide(file.path));
}

}  // namespace veskp8
