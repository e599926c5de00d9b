#include "signing.h"

#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace veskp8 {
namespace {

constexpr std::string_view kUntrustedPrefix = "untrusted comment: ";
// "Ed" kdf(2) "B2" salt(32) ops(8) mem(8) id(8) key(64) checksum(32)
constexpr std::size_t kSecretKeyBytes = 2 + 2 + 2 + 32 + 8 + 8 + 8 + 64 + 32;
constexpr std::size_t kIdAt = 2 + 2 + 2 + 32 + 8 + 8;
constexpr std::size_t kKeyAt = kIdAt + 8;
constexpr std::size_t kChecksumAt = kKeyAt + 64;

std::string Base64(const unsigned char* bytes, std::size_t size) {
  std::string text(sodium_base64_ENCODED_LEN(size, sodium_base64_VARIANT_ORIGINAL), '\0');
  sodium_bin2base64(text.data(), text.size(), bytes, size, sodium_base64_VARIANT_ORIGINAL);
  text.resize(std::strlen(text.c_str()));
  return text;
}

std::array<unsigned char, 32> Checksum(const SecretKey& key) {
  std::array<unsigned char, 32> sum{};
  crypto_generichash_state state;
  crypto_generichash_init(&state, nullptr, 0, sum.size());
  crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>("Ed"), 2);
  crypto_generichash_update(&state, key.id.data(), key.id.size());
  crypto_generichash_update(&state, key.key.data(), key.key.size());
  crypto_generichash_final(&state, sum.data(), sum.size());
  return sum;
}

bool ReadWholeFile(const std::string& path, std::size_t cap, std::string& text) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<std::size_t>(st.st_size) <= cap;
  text.clear();
  char buffer[4096];
  while (ok) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    text.append(buffer, static_cast<std::size_t>(n));
    ok = text.size() <= cap;
  }
  close(fd);
  return ok;
}

// Writes `text` to a new file `path` with `mode`; never replaces one.
bool WriteNewFile(const std::string& path, const std::string& text, mode_t mode) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) {
    std::fprintf(stderr, "veskp8-kit: cannot create %s: %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  bool ok = fchmod(fd, mode) == 0 &&
            write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
            fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (!ok) {
    std::fprintf(stderr, "veskp8-kit: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
    unlink(path.c_str());
  }
  return ok;
}

// Replaces `path` with `text` through a temporary file beside it.
bool ReplaceFile(const std::string& path, const std::string& text) {
  std::string temporary = path + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) {
    std::fprintf(stderr, "veskp8-kit: cannot create %s: %s\n", temporary.c_str(),
                 std::strerror(errno));
    return false;
  }
  bool ok = fchmod(fd, 0644) == 0 &&
            write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
            fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  ok = ok && rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) {
    std::fprintf(stderr, "veskp8-kit: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
    unlink(temporary.c_str());
  }
  return ok;
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool HashFile(const std::string& path, KitDigest& digest) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  struct stat st {};
  if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    std::fprintf(stderr, "veskp8-kit: cannot read %s: %s\n", path.c_str(),
                 fd < 0 ? std::strerror(errno) : "not a regular file");
    if (fd >= 0) close(fd);
    return false;
  }
  const ResultCode rc = HashKitFile(fd, digest);
  close(fd);
  if (rc != kOk) std::fprintf(stderr, "veskp8-kit: cannot read %s (code %d)\n", path.c_str(), rc);
  return rc == kOk;
}

}  // namespace

std::string SecretKeyFileText(const SecretKey& key) {
  unsigned char bytes[kSecretKeyBytes] = {'E', 'd', 0, 0, 'B', '2'};
  std::memcpy(bytes + kIdAt, key.id.data(), key.id.size());
  std::memcpy(bytes + kKeyAt, key.key.data(), key.key.size());
  const auto sum = Checksum(key);
  std::memcpy(bytes + kChecksumAt, sum.data(), sum.size());
  std::string text = std::string(kUntrustedPrefix) + "veskp8-kit secret key " +
                     KeyIdText(key.id) + " (not encrypted)\n" + Base64(bytes, sizeof bytes) + "\n";
  sodium_memzero(bytes, sizeof bytes);
  return text;
}

bool ParseSecretKey(std::string_view text, SecretKey& key, std::string& reason) {
  const std::size_t end = text.find('\n');
  std::string_view line = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
  line = line.substr(0, line.find('\n'));
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  unsigned char bytes[kSecretKeyBytes + 1];
  std::size_t length = 0;
  const char* stop = nullptr;
  if (!text.starts_with(kUntrustedPrefix) ||
      sodium_base642bin(bytes, sizeof bytes, line.data(), line.size(), nullptr, &length, &stop,
                        sodium_base64_VARIANT_ORIGINAL) != 0 ||
      stop != line.data() + line.size() || length != kSecretKeyBytes ||
      std::memcmp(bytes, "Ed", 2) != 0 || std::memcmp(bytes + 4, "B2", 2) != 0) {
    reason = "not a minisign secret key file";
    return false;
  }
  if (bytes[2] != 0 || bytes[3] != 0) {
    reason = "the secret key is encrypted; make an unencrypted one with 'veskp8-kit keygen' "
             "or 'minisign -G -W'";
    return false;
  }
  std::memcpy(key.id.data(), bytes + kIdAt, key.id.size());
  std::memcpy(key.key.data(), bytes + kKeyAt, key.key.size());
  const auto sum = Checksum(key);
  static const std::array<unsigned char, 32> zero{};
  const bool checksumOk = std::memcmp(bytes + kChecksumAt, sum.data(), sum.size()) == 0 ||
                          std::memcmp(bytes + kChecksumAt, zero.data(), zero.size()) == 0;
  sodium_memzero(bytes, sizeof bytes);
  if (!checksumOk) {
    reason = "the secret key's checksum is wrong (damaged file)";
    return false;
  }
  return true;
}

int GenerateKeyPair(const std::string& publicPath, const std::string& secretPath) {
  if (sodium_init() < 0) return 1;
  PublicKey pub;
  SecretKey secret;
  randombytes_buf(pub.id.data(), pub.id.size());
  crypto_sign_keypair(pub.key.data(), secret.key.data());
  secret.id = pub.id;
  const std::string secretText = SecretKeyFileText(secret);
  sodium_memzero(secret.key.data(), secret.key.size());
  if (!WriteNewFile(secretPath, secretText, 0600)) return 1;
  if (!WriteNewFile(publicPath, PublicKeyFileText(pub), 0644)) {
    unlink(secretPath.c_str());
    return 1;
  }
  std::printf("key %s: public key %s, secret key %s\n", KeyIdText(pub.id).c_str(),
              publicPath.c_str(), secretPath.c_str());
  return 0;
}

int SignKit(const std::string& kitPath, const std::string& secretPath,
            const std::string& trustedComment) {
  if (sodium_init() < 0) return 1;
  std::string comment = trustedComment;
  if (comment.empty()) {
    comment = "timestamp:" + std::to_string(static_cast<long long>(std::time(nullptr))) +
              "\tfile:" + BaseName(kitPath) + "\thashed";
  }
  if (comment.find_first_of("\r\n") != std::string::npos || comment.find('\0') != std::string::npos ||
      comment.size() > kMaxTrustedCommentBytes) {
    std::fprintf(stderr, "veskp8-kit: the trusted comment must be one line of at most %zu bytes\n",
                 kMaxTrustedCommentBytes);
    return 1;
  }
  std::string secretText;
  if (!ReadWholeFile(secretPath, 4096, secretText)) {
    std::fprintf(stderr, "veskp8-kit: cannot read the secret key %s\n", secretPath.c_str());
    return 1;
  }
  SecretKey secret;
  std::string reason;
  const bool parsed = ParseSecretKey(secretText, secret, reason);
  sodium_memzero(secretText.data(), secretText.size());
  if (!parsed) {
    std::fprintf(stderr, "veskp8-kit: %s: %s\n", secretPath.c_str(), reason.c_str());
    return 1;
  }
  KitDigest digest{};
  if (!HashFile(kitPath, digest)) return 1;

  KitSignature signature;
  signature.id = secret.id;
  signature.trustedComment = comment;
  crypto_sign_detached(signature.signature.data(), nullptr, digest.data(), digest.size(),
                       secret.key.data());
  std::vector<unsigned char> signedComment(signature.signature.begin(), signature.signature.end());
  signedComment.insert(signedComment.end(), comment.begin(), comment.end());
  crypto_sign_detached(signature.commentSignature.data(), nullptr, signedComment.data(),
                       signedComment.size(), secret.key.data());
  // The public key is the second half of libsodium's secret key.
  PublicKey pub;
  pub.id = secret.id;
  std::memcpy(pub.key.data(), secret.key.data() + 32, pub.key.size());
  sodium_memzero(secret.key.data(), secret.key.size());
  if (!VerifyKitSignature(signature, pub, digest)) {
    std::fprintf(stderr, "veskp8-kit: %s: the secret key does not match its public half\n",
                 secretPath.c_str());
    return 1;
  }

  unsigned char first[2 + 8 + 64] = {'E', 'D'};
  std::memcpy(first + 2, signature.id.data(), signature.id.size());
  std::memcpy(first + 10, signature.signature.data(), signature.signature.size());
  const std::string text = std::string(kUntrustedPrefix) + "signature from veskp8-kit secret key " +
                           KeyIdText(signature.id) + "\n" + Base64(first, sizeof first) +
                           "\ntrusted comment: " + comment + "\n" +
                           Base64(signature.commentSignature.data(),
                                  signature.commentSignature.size()) +
                           "\n";
  const std::string signaturePath = kitPath + kSignatureSuffix;
  if (!ReplaceFile(signaturePath, text)) return 1;
  std::printf("%s: signed with key %s\n", signaturePath.c_str(), KeyIdText(signature.id).c_str());
  return 0;
}

int VerifyKitSignatureFile(const std::string& kitPath,
                           const std::vector<std::string>& publicKeyFiles, std::string& signedBy) {
  signedBy.clear();
  const std::string signaturePath = kitPath + kSignatureSuffix;
  struct stat st {};
  if (lstat(signaturePath.c_str(), &st) != 0 && errno == ENOENT) return 0;  // not signed
  TrustedKeys trusted;
  if (publicKeyFiles.empty()) {
    TrustedKeySources sources;
    sources.builtIn = BuiltInTrustedKeys();
    trusted = LoadTrustedKeys(sources);
    for (const IgnoredKeyFile& ignored : trusted.ignored) {
      std::fprintf(stderr, "veskp8-kit: %s ignored: others could change it\n",
                   ignored.path.c_str());
    }
  }
  for (const std::string& file : publicKeyFiles) {
    std::string text;
    const std::size_t before = trusted.keys.size();
    if (!ReadWholeFile(file, kMaxKeyFileBytes, text) || !ParsePublicKeys(text, trusted.keys) ||
        trusted.keys.size() == before) {
      std::fprintf(stderr, "veskp8-kit: %s: cannot read it, or it holds no public key\n",
                   file.c_str());
      return 1;
    }
  }
  if (trusted.problem != KeyFileProblem::kNone) {
    std::fprintf(stderr, "veskp8-kit: the trusted key file %s cannot be used\n",
                 trusted.problemFile.c_str());
    return 1;
  }
  if (trusted.keys.empty()) {
    std::fprintf(stderr,
                 "veskp8-kit: %s is signed, but there is no public key to check it with "
                 "(-p FILE)\n",
                 kitPath.c_str());
    return 1;
  }
  const int fd = open(kitPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    std::fprintf(stderr, "veskp8-kit: cannot open %s: %s\n", kitPath.c_str(), std::strerror(errno));
    return 1;
  }
  const SignatureCheck check = CheckKitSignature(fd, NarrowString(signaturePath.c_str()), trusted);
  close(fd);
  const std::string id = KeyIdText(check.keyId);
  switch (check.verdict) {
    case SignatureVerdict::kValid:
      signedBy = id;
      std::printf("%s: signature by key %s is valid; trusted comment: %s\n", kitPath.c_str(),
                  id.c_str(), check.trustedComment.c_str());
      return 0;
    case SignatureVerdict::kDamaged:
      std::fprintf(stderr, "veskp8-kit: %s: damaged, or the legacy (not prehashed) form\n",
                   signaturePath.c_str());
      return 1;
    case SignatureVerdict::kUnknownKey:
      std::fprintf(stderr, "veskp8-kit: %s: signed by key %s, which is not among the keys\n",
                   kitPath.c_str(), id.c_str());
      return 1;
    case SignatureVerdict::kMismatch:
      std::fprintf(stderr, "veskp8-kit: %s: does not match its signature (changed after signing)\n",
                   kitPath.c_str());
      return 1;
    default:
      std::fprintf(stderr, "veskp8-kit: %s: cannot be read\n", kitPath.c_str());
      return 1;
  }
}

}  // namespace veskp8
