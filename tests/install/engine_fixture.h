// A template directory full of user files, a kit that touches it in every
// way the job knows, and a private temporary directory either on the template
// directory's file system or on another one (/dev/shm).
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "install/engine_test_support.h"

namespace veskp8::test {

// The user's tree before a run. `outside` holds the target of a link.
inline void MakeUserTree(const std::string& t, const std::string& outside) {
  PutFile(t + "/a.txt", "old a, longer than the new one", kOld, 0640);
  PutFile(t + "/c.txt", "newer c", kNew, 0600);
  PutFile(t + "/sub/b.txt", "old b", kOld, 0644);
  PutFile(t + "/sub/d.txt", "same-time d", kKitTime, 0644);
  PutFile(t + "/sub/keep.txt", "keep", kOld);
  PutFile(t + "/sub/deep/j.txt", "old j", kOld, 0755);
  PutFile(t + "/other/x.bin", std::string("\0\1\2", 3), kOld);
  mkdir((t + "/emptydir").c_str(), 0750);
  PutFile(outside + "/target.txt", "link target", kOld);
  symlink("../outside/target.txt", (t + "/link.txt").c_str());
  SetTimes(t + "/link.txt", kOld);
}

// Replaced files, up-to-date files, new files in existing directories, new
// nested directories and a replaced symbolic link, interleaved.
inline std::vector<EntrySpec> MixedEntries() {
  return {
      {"a.txt", "new a"},                            // replaced (older)
      {"c.txt", "kit c"},                            // up to date (newer)
      {"new1\\new2\\g.txt", "g"},                    // new nested directories
      {"sub\\b.txt", "new b"},                       // replaced in a subdirectory
      {"e.txt", "e"},                                // new, existing directory
      {"link.txt", "was a link"},                    // replaced symbolic link
      {"sub\\f.txt", ""},                            // new, empty
      {"sub\\d.txt", "kit d"},                       // up to date (same time)
      {"new1\\h.txt", "h"},                          // new in a created directory
      {"new1\\new2\\new3\\i.txt", "i"},              // deeper
      {"sub\\deep\\j.txt", std::string(3000, 'j')},  // replaced, deeper
  };
}

// Fixture parameter: true puts TMPDIR on /dev/shm (another file system than
// the template directory) and the backups there, false puts TMPDIR next to
// the template directory and the backups in the product data directory.
class EngineTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_base.ok());
    chmod(m_base.path().c_str(), 0755);  // traversable by an unprivileged child
    m_template = m_base / "tpl";
    m_outside = m_base / "outside";
    if (GetParam()) {
      m_shm = std::make_unique<ScratchDir>("/dev/shm");
      if (!m_shm->ok()) GTEST_SKIP() << "/dev/shm is not available for a temporary directory";
      chmod(m_shm->path().c_str(), 0755);
      m_tmp = *m_shm / "tmp";
    } else {
      m_tmp = m_base / "tmp";
    }
    mkdir(m_tmp.c_str(), 0777);
    chmod(m_tmp.c_str(), 01777);
    struct stat a, b;
    ASSERT_EQ(lstat(m_base.path().c_str(), &a), 0);
    ASSERT_EQ(lstat(m_tmp.c_str(), &b), 0);
    if (GetParam() && a.st_dev == b.st_dev) {
      GTEST_SKIP() << "/dev/shm is on the same file system as " << m_base.path();
    }
    m_tmpdir = std::make_unique<ScopedTmpdir>(m_tmp);
    // On the other file system the backups are kept in TMPDIR (copies); on
    // the same one in the product data directory (renames).
    BackupsInTmpdir() = GetParam();
    m_home = m_base / "home";
    mkdir(m_home.c_str(), 0755);
    mkdir((m_home + "/.veskp8").c_str(), 0700);
    m_homeEnv = std::make_unique<ScopedEnv>("HOME", m_home);
  }
  void TearDown() override { BackupsInTmpdir() = false; }

  // Rebuilds the user's tree from scratch and remembers it.
  void ResetUserTree() {
    RemoveAll(m_template);
    RemoveAll(m_outside);
    MakeUserTree(m_template, m_outside);
    m_before = TakeSnapshot(m_template);
    m_outsideBefore = TakeSnapshot(m_outside);
  }

  // The promise of the error page, checked after a failed run.
  void ExpectUnchanged(const std::string& context) {
    SCOPED_TRACE(context);
    EXPECT_TRUE(Exists(m_template)) << "the template directory existed before";
    EXPECT_EQ(TakeSnapshot(m_template), m_before);
    EXPECT_EQ(TakeSnapshot(m_outside), m_outsideBefore);
    EXPECT_TRUE(BackupDirsAnywhere(m_tmp, m_home, m_template).empty());
  }

  std::unique_ptr<KitArchive> Kit(const std::vector<EntrySpec>& entries) {
    return OpenTestKit(m_base / "kit.efd", entries);
  }

  std::string T() const { return m_template + "/"; }

  ScratchDir m_base{"/var/tmp"};
  std::unique_ptr<ScratchDir> m_shm;
  std::unique_ptr<ScopedTmpdir> m_tmpdir;
  std::unique_ptr<ScopedEnv> m_homeEnv;
  std::string m_template, m_outside, m_tmp, m_home;
  Snapshot m_before, m_outsideBefore;
};

inline std::string TmpName(const ::testing::TestParamInfo<bool>& info) {
  return info.param ? "TmpOnOtherFileSystem" : "TmpOnSameFileSystem";
}

}  // namespace veskp8::test
