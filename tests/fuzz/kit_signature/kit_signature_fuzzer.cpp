// Fuzzes the signature check of a kit: the key-list and signature parsers and
// the verification over the kit file, then the kit reader on what passed.
//
// Input: KIT, or KIT "\0MINISIG\0" SIGNATURE [ "\0KEYS\0" KEY LIST ]. Without
// the marker (the kit reader's own inputs) the kit is signed here with a fixed
// key, which must verify, and the kit with one byte changed must not. With it,
// the signature and key list are the fuzzer's (without a key list, the fixed
// key is trusted). Whatever verifies must verify independently of the code
// under test (libsodium over the input bytes); an accepted kit must pass
// CheckAcceptedKit; no image file may stay, no descriptor may be left open.
#include <dirent.h>
#include <fcntl.h>
#include <sodium.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "../kit_reader/kit_check.h"
#include "kit/kit_archive.h"
#include "kit/kit_signature.h"

namespace {

std::string g_directory;
unsigned char g_public[32];
unsigned char g_secret[64];
const veskp8::KeyId kFixedId = {1, 2, 3, 4, 5, 6, 7, 8};

std::string Path(const char* name) { return g_directory + "/" + name; }

void Write(const std::string& path, std::string_view bytes) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) std::abort();
  if (!bytes.empty() && write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
    std::abort();
  }
  close(fd);
}

std::string Base64(const unsigned char* bytes, std::size_t size) {
  std::string text(sodium_base64_ENCODED_LEN(size, sodium_base64_VARIANT_ORIGINAL), '\0');
  sodium_bin2base64(text.data(), text.size(), bytes, size, sodium_base64_VARIANT_ORIGINAL);
  text.resize(text.size() - 1);
  return text;
}

veskp8::KitDigest Digest(std::string_view kit) {
  veskp8::KitDigest digest{};
  crypto_generichash(digest.data(), digest.size(), reinterpret_cast<const unsigned char*>(kit.data()),
                     kit.size(), nullptr, 0);
  return digest;
}

std::string SignFixed(std::string_view kit) {
  const veskp8::KitDigest digest = Digest(kit);
  unsigned char first[74] = {'E', 'D'};
  std::memcpy(first + 2, kFixedId.data(), 8);
  crypto_sign_detached(first + 10, nullptr, digest.data(), digest.size(), g_secret);
  const std::string comment = "file:veskp8.efd";
  unsigned char both[64 + 15];
  std::memcpy(both, first + 10, 64);
  std::memcpy(both + 64, comment.data(), comment.size());
  unsigned char global[64];
  crypto_sign_detached(global, nullptr, both, sizeof both, g_secret);
  return "untrusted comment: fuzz\n" + Base64(first, sizeof first) + "\ntrusted comment: " +
         comment + "\n" + Base64(global, sizeof global) + "\n";
}

int OpenDescriptors() {
  int count = 0;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (dirent* e = readdir(d)) count += e->d_name[0] != '.';
    closedir(d);
  }
  return count;
}

bool ImageLeft() {
  DIR* d = opendir(Path("tmp").c_str());
  if (d == nullptr) return false;
  bool found = false;
  while (dirent* e = readdir(d)) found = found || std::strncmp(e->d_name, "edf", 3) == 0;
  closedir(d);
  return found;
}

// Checks the kit in kit.efd against its signature and the key file.
veskp8::SignatureCheck Check(std::string_view kit, std::string_view signatureText) {
  veskp8::TrustedKeySources sources;
  sources.systemFile = veskp8::NarrowString();
  sources.runFile = veskp8::NarrowString(Path("keys").c_str());
  const veskp8::TrustedKeys trusted = veskp8::LoadTrustedKeys(sources);
  const int fd = open(Path("kit.efd").c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) std::abort();
  const veskp8::SignatureCheck check = veskp8::CheckKitSignature(
      fd, veskp8::NarrowString(Path("kit.efd.minisig").c_str()), trusted);
  if (check.verdict == veskp8::SignatureVerdict::kValid) {
    // Independently: the signature text parses to one by a listed key over
    // these very bytes, with its trusted comment.
    veskp8::KitSignature signature;
    if (veskp8::ParseKitSignature(signatureText, signature) != veskp8::SignatureParse::kOk) {
      std::abort();
    }
    const veskp8::KitDigest digest = Digest(kit);
    bool verified = false;
    for (const veskp8::PublicKey& key : trusted.keys) {
      std::string both(reinterpret_cast<const char*>(signature.signature.data()), 64);
      both += signature.trustedComment;
      verified = verified ||
                 (key.id == signature.id &&
                  crypto_sign_verify_detached(signature.signature.data(), digest.data(), 64,
                                              key.key.data()) == 0 &&
                  crypto_sign_verify_detached(signature.commentSignature.data(),
                                              reinterpret_cast<const unsigned char*>(both.data()),
                                              both.size(), key.key.data()) == 0);
    }
    if (!verified) std::abort();
    veskp8::KitArchive archive;
    if (veskp8::OpenKitHandle(archive, fd) == veskp8::kOk) {
      veskp8::CheckAcceptedKit(archive, archive.imageHandle());
    }
  }
  close(fd);
  return check;
}

void RemoveWorkDirectory() {
  for (const char* name : {"kit.efd", "kit.efd.minisig", "keys"}) unlink(Path(name).c_str());
  rmdir(Path("tmp").c_str());
  rmdir(g_directory.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (sodium_init() < 0) std::abort();
  char templ[] = "/tmp/kit-signature-fuzz.XXXXXX";
  if (mkdtemp(templ) == nullptr) std::abort();
  g_directory = templ;
  if (mkdir(Path("tmp").c_str(), 0700) != 0) std::abort();
  setenv("TMPDIR", Path("tmp").c_str(), 1);
  unsigned char seed[32] = {42};
  crypto_sign_seed_keypair(g_public, g_secret, seed);
  std::atexit(RemoveWorkDirectory);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const int descriptors = OpenDescriptors();
  veskp8::PublicKey fixed;
  fixed.id = kFixedId;
  std::memcpy(fixed.key.data(), g_public, 32);
  const std::string fixedKeys = veskp8::PublicKeyFileText(fixed);

  constexpr std::string_view kSignatureMarker("\0MINISIG\0", 9);
  constexpr std::string_view kKeysMarker("\0KEYS\0", 6);
  const std::size_t marker = input.find(kSignatureMarker);
  const std::string_view kit = input.substr(0, marker);
  Write(Path("kit.efd"), kit);
  if (marker == std::string_view::npos) {
    const std::string signature = SignFixed(kit);
    Write(Path("kit.efd.minisig"), signature);
    Write(Path("keys"), fixedKeys);
    if (Check(kit, signature).verdict != veskp8::SignatureVerdict::kValid) std::abort();
    if (!kit.empty()) {
      std::string changed(kit);
      changed[changed.size() / 2] ^= 0x01;
      Write(Path("kit.efd"), changed);
      if (Check(changed, signature).verdict != veskp8::SignatureVerdict::kMismatch) std::abort();
    }
  } else {
    std::string_view rest = input.substr(marker + kSignatureMarker.size());
    const std::size_t keysAt = rest.find(kKeysMarker);
    const std::string_view signature = rest.substr(0, keysAt);
    const std::string_view keys =
        keysAt == std::string_view::npos ? std::string_view(fixedKeys)
                                         : rest.substr(keysAt + kKeysMarker.size());
    // The parsers on their own, then the whole check.
    veskp8::KitSignature parsed;
    (void)veskp8::ParseKitSignature(signature, parsed);
    std::vector<veskp8::PublicKey> list;
    (void)veskp8::ParsePublicKeys(keys, list);
    Write(Path("kit.efd.minisig"), signature);
    Write(Path("keys"), keys);
    (void)Check(kit, signature);
  }
  if (ImageLeft() || OpenDescriptors() != descriptors) std::abort();
  return 0;
}
