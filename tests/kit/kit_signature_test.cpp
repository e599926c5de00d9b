// Kit signatures: the parsers against every truncation and every flipped
// byte of a real signature, key lists, and where trusted keys may come from.
#include "kit/kit_signature.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "install/fs/fs_test_support.h"
#include "kit/signature_test_support.h"

namespace veskp8::test {
namespace {

bool Verifies(const std::string& text, const PublicKey& key, const KitDigest& digest) {
  KitSignature signature;
  return ParseKitSignature(text, signature) == SignatureParse::kOk &&
         VerifyKitSignature(signature, key, digest);
}

TEST(KitSignature, EveryTruncationAndEveryChangedByteOutsideTheUntrustedCommentIsRefused) {
  Signer signer;
  KitDigest digest{};
  digest[7] = 42;
  const std::string text = signer.Sign(digest, "timestamp:1\tfile:veskp8.efd\thashed");
  ASSERT_TRUE(Verifies(text, signer.pub, digest));
  // Line ends written by another system, and blank lines after it.
  std::string crlf;
  for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_TRUE(Verifies(crlf + "\n \n", signer.pub, digest));

  for (std::size_t length = 0; length + 1 < text.size(); ++length) {
    EXPECT_FALSE(Verifies(text.substr(0, length), signer.pub, digest)) << length;
  }
  const std::size_t firstLineEnd = text.find('\n');
  const std::size_t prefix = std::string("untrusted comment: ").size();
  for (std::size_t at = 0; at < text.size(); ++at) {
    for (unsigned char flip : {0x01, 0x20, 0x80}) {
      std::string changed = text;
      changed[at] = static_cast<char>(changed[at] ^ flip);
      const bool unsigned_part = at >= prefix && at < firstLineEnd && changed[at] != '\n';
      if (!unsigned_part) {
        EXPECT_FALSE(Verifies(changed, signer.pub, digest)) << at << " " << int(flip);
      }
    }
  }
  // Another digest (the kit changed), another key with the same id.
  KitDigest other = digest;
  other[63] ^= 1;
  EXPECT_FALSE(Verifies(text, signer.pub, other));
  Signer impostor;
  impostor.pub.id = signer.pub.id;
  EXPECT_FALSE(Verifies(text, impostor.pub, digest));

  KitSignature signature;
  EXPECT_EQ(ParseKitSignature(signer.Sign(digest, "x", "Ed"), signature), SignatureParse::kLegacy);
  EXPECT_EQ(ParseKitSignature(signer.Sign(digest, "x", "EE"), signature),
            SignatureParse::kMalformed);
  EXPECT_EQ(ParseKitSignature(text + "more\n", signature), SignatureParse::kMalformed);
  EXPECT_EQ(ParseKitSignature(signer.Sign(digest, std::string(kMaxTrustedCommentBytes + 1, 'c')),
                              signature),
            SignatureParse::kMalformed);
  std::string withNul = text;
  withNul[5] = '\0';
  EXPECT_EQ(ParseKitSignature(withNul, signature), SignatureParse::kMalformed);
}

TEST(KitSignature, KeyListsHoldKeysCommentsAndBlankLinesOnly) {
  Signer a, b;
  const std::string two = PublicKeyFileText(a.pub) + "\n# site key\r\n" + PublicKeyFileText(b.pub);
  std::vector<PublicKey> keys;
  ASSERT_TRUE(ParsePublicKeys(two, keys));
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[1].id, b.pub.id);
  EXPECT_EQ(keys[1].key, b.pub.key);
  EXPECT_EQ(PublicKeyFileText(a.pub).find(KeyIdText(a.pub.id)), 39u);  // minisign's first line

  const std::string line = EncodePublicKey(a.pub);
  for (const std::string& bad : {line.substr(0, line.size() - 4), line + "AAAA", line + "!",
                                 "RU" + line.substr(2), std::string("key: ") + line}) {
    keys.clear();
    EXPECT_FALSE(ParsePublicKeys("untrusted comment: x\n" + bad + "\n", keys)) << bad;
  }
}

class TrustedKeyFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_scratch.ok());
    ASSERT_EQ(mkdir(Dir().c_str(), 0755), 0);
  }
  std::string Dir() const { return m_scratch / "etc"; }
  // Writes the key file with owner and mode, its directory with `dirMode`.
  std::string KeyFile(const PublicKey& key, uid_t owner, mode_t mode, mode_t dirMode) {
    const std::string path = Dir() + "/trusted-keys";
    EXPECT_TRUE(WriteText(path, PublicKeyFileText(key)));
    EXPECT_EQ(chown(path.c_str(), owner, 0), 0);
    EXPECT_EQ(chmod(path.c_str(), mode), 0);
    EXPECT_EQ(chmod(Dir().c_str(), dirMode), 0);
    return path;
  }
  ScratchDir m_scratch;
};

TEST_F(TrustedKeyFiles, UnsafeFilesAreIgnoredAsTheSystemFileAndRefusedAsTheRunFile) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give files to other owners";
  Signer signer;
  constexpr uid_t kNobody = 65534;
  struct Case {
    uid_t owner;
    mode_t mode, dirMode;
    bool systemUsed;  // as the system file: used, else ignored
    bool runUsed;     // as the run's file (-K): used, else refused
  };
  const Case cases[] = {
      {0, 0644, 0755, true, true},          {0, 0600, 0700, true, true},
      {0, 0664, 0755, false, false},        {0, 0646, 0755, false, false},
      {0, 0644, 0775, false, false},        {0, 0644, 01777, true, true},
      {kNobody, 0644, 0755, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.owner) + " " + std::to_string(c.mode) + " " +
                 std::to_string(c.dirMode));
    const std::string path = KeyFile(signer.pub, c.owner, c.mode, c.dirMode);
    TrustedKeySources system;
    system.systemFile = NarrowString(path.c_str());
    const TrustedKeys fromSystem = LoadTrustedKeys(system);
    EXPECT_EQ(fromSystem.problem, KeyFileProblem::kNone);
    EXPECT_EQ(fromSystem.keys.size(), c.systemUsed ? 1u : 0u);
    EXPECT_EQ(fromSystem.ignored.size(), c.systemUsed ? 0u : 1u);

    TrustedKeySources run;
    run.systemFile = NarrowString();
    run.runFile = NarrowString(path.c_str());
    const TrustedKeys fromRun = LoadTrustedKeys(run);
    EXPECT_EQ(fromRun.problem, c.runUsed ? KeyFileProblem::kNone : KeyFileProblem::kUnsafe);
    EXPECT_TRUE(fromRun.ignored.empty());
  }
}

TEST_F(TrustedKeyFiles, MissingAndMalformedFiles) {
  Signer signer;
  TrustedKeySources sources;
  sources.systemFile = NarrowString((Dir() + "/none").c_str());
  TrustedKeys keys = LoadTrustedKeys(sources);
  EXPECT_EQ(keys.problem, KeyFileProblem::kNone);  // no system file: nothing to trust
  EXPECT_TRUE(keys.keys.empty());

  sources.runFile = sources.systemFile;  // a missing -K file refuses every kit
  EXPECT_EQ(LoadTrustedKeys(sources).problem, KeyFileProblem::kUnusable);

  const std::string garbage = Dir() + "/garbage";
  ASSERT_TRUE(WriteText(garbage, "untrusted comment: x\nnot a key\n"));
  sources = TrustedKeySources();
  sources.systemFile = NarrowString(garbage.c_str());
  keys = LoadTrustedKeys(sources);
  EXPECT_EQ(keys.problem, KeyFileProblem::kUnusable);
  EXPECT_EQ(std::string(keys.problemFile.c_str()), garbage);

  const std::string builtIn = PublicKeyFileText(signer.pub);
  sources = TrustedKeySources();
  sources.systemFile = NarrowString();
  sources.builtIn = builtIn;
  EXPECT_EQ(LoadTrustedKeys(sources).keys.size(), 1u);
  sources.builtIn = std::string_view(builtIn).substr(0, builtIn.size() - 5);
  EXPECT_EQ(LoadTrustedKeys(sources).problem, KeyFileProblem::kUnusable);
}

TEST_F(TrustedKeyFiles, AKitWrittenToAfterItsCheckIsNoLongerTheSignedOne) {
  Signer signer;
  const std::string kit = m_scratch / "veskp8.efd";
  ASSERT_TRUE(WriteText(kit, std::string(200000, 'k')));
  const int fd = open(kit.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  KitDigest digest{};
  ASSERT_EQ(HashKitFile(fd, digest), kOk);
  ASSERT_TRUE(WriteText(kit + ".minisig", signer.Sign(digest, "c")));
  TrustedKeys trusted;
  trusted.keys.push_back(signer.pub);
  const SignatureCheck check =
      CheckKitSignature(fd, NarrowString((kit + ".minisig").c_str()), trusted);
  EXPECT_EQ(check.verdict, SignatureVerdict::kValid);
  EXPECT_EQ(check.trustedComment, "c");
  EXPECT_TRUE(KitFileUnchanged(fd, check));
  // The same byte again: only the change time tells. A tick later, so that
  // coarse file-system clocks show it.
  usleep(20000);
  ASSERT_EQ(pwrite(fd, "k", 1, 5), 1);
  EXPECT_FALSE(KitFileUnchanged(fd, check));
  close(fd);
}

}  // namespace
}  // namespace veskp8::test
