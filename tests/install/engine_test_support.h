// Helpers for the install engine tests: real directory trees in private
// temporary directories, snapshots of a tree (names, bytes, modes, times,
// link targets), kits built with the kit writer, and a forked child that drops
// to the unprivileged user "nobody" for faults that root would not see.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "install/fs/file_time.h"
#include "install/fs/fs_test_support.h"
#include "install/install_engine.h"
#include "install/progress_channel.h"
#include "kit/kit_archive.h"
#include "kit/kit_writer.h"
#include "text/conversion.h"
#include "text/wide_string.h"

namespace veskp8::test {

inline std::string Narrow(const WideString& wide) { return std::string(WideToLocale(wide).view()); }

constexpr std::int64_t kOld = 1'500'000'000;  // 2017: older than every kit entry
constexpr std::int64_t kKitTime = 1'600'000'000;
constexpr std::int64_t kNew = 1'700'000'000;
inline std::uint64_t Ticks(std::int64_t seconds) { return UnixSecondsToTicks(seconds); }

// Removes `path` and everything below it without following links, after
// making every directory writable and searchable (tests change modes).
inline void RemoveAll(const std::string& path) {
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(
           path, std::filesystem::directory_options::skip_permission_denied, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec)) chmod(it->path().c_str(), 0700);
  }
  chmod(path.c_str(), 0700);
  std::filesystem::remove_all(path, ec);
}

// Sets TMPDIR for the scope, restoring the previous value afterwards.
class ScopedTmpdir : public ScopedEnv {
 public:
  explicit ScopedTmpdir(const std::string& value) : ScopedEnv("TMPDIR", value) {}
};

inline void SetTimes(const std::string& path, std::int64_t seconds, long nanoseconds = 0) {
  struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
  utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

inline void PutFile(const std::string& path, const std::string& content, std::int64_t mtime,
                    mode_t mode = 0644) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
  }
  chmod(path.c_str(), mode);
  SetTimes(path, mtime, 123456789);
}

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// One name of a snapshot: everything a user could notice.
struct Node {
  mode_t mode = 0;  // type and permission bits
  off_t size = 0;
  std::string content;  // file bytes, or the link target
  std::int64_t mtimeSec = 0;
  long mtimeNsec = 0;
  bool operator==(const Node&) const = default;
};
using Snapshot = std::map<std::string, Node>;

// Every name below `root` (relative), never following links. Directory
// times are left out: adding and removing names changes them by design.
inline Snapshot TakeSnapshot(const std::string& root) {
  Snapshot snapshot;
  std::function<void(const std::string&, const std::string&)> walk = [&](const std::string& dir,
                                                                         const std::string& rel) {
    DIR* stream = opendir(dir.c_str());
    if (stream == nullptr) return;
    while (dirent* entry = readdir(stream)) {
      const std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      const std::string path = dir + "/" + name;
      const std::string key = rel.empty() ? name : rel + "/" + name;
      struct stat st;
      if (lstat(path.c_str(), &st) != 0) continue;
      Node node;
      node.mode = st.st_mode;
      if (S_ISDIR(st.st_mode)) {
        snapshot[key + "/"] = node;
        walk(path, key);
        continue;
      }
      node.size = st.st_size;
      node.mtimeSec = st.st_mtim.tv_sec;
      node.mtimeNsec = st.st_mtim.tv_nsec;
      if (S_ISLNK(st.st_mode)) {
        node.content = std::filesystem::read_symlink(path).string();
      } else if (S_ISREG(st.st_mode)) {
        node.content = ReadAll(path);
        // An unreadable file (run as root it is readable anyway) is marked.
        if (static_cast<off_t>(node.content.size()) != st.st_size) node.content = "<unreadable>";
      }
      snapshot[key] = node;
    }
    closedir(stream);
  };
  walk(root, "");
  return snapshot;
}

// Names starting with "p8stp" in `dir`.
inline std::vector<std::string> BackupDirs(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("p8stp", 0) == 0) names.push_back(name);
  }
  return names;
}

// A kit entry to pack: name with "\" separators, bytes, time in ticks.
struct EntrySpec {
  std::string name;
  std::string content;
  std::uint64_t ticks = Ticks(kKitTime);
};

// Packs `entries` into a kit file at `path` with the kit writer.
inline bool WriteKit(const std::string& path, const std::vector<EntrySpec>& entries) {
  std::vector<KitEntry> table;
  std::uint32_t offset = 0;
  for (const EntrySpec& spec : entries) {
    KitEntry entry;
    entry.name = Wide(spec.name);
    entry.modificationTime = spec.ticks;
    entry.dataOffset = offset;
    entry.dataSize = static_cast<std::uint32_t>(spec.content.size());
    offset += entry.dataSize;
    table.push_back(entry);
  }
  std::vector<unsigned char> image;
  KitDescription description{Wide("en"), Wide("Product"), Wide("Vendor"), WideString()};
  if (!EncodeKitTables(kMultiLanguageFormat, {description}, table, image)) return false;
  for (const EntrySpec& spec : entries)
    image.insert(image.end(), spec.content.begin(), spec.content.end());
  const std::vector<unsigned char> deflated = DeflateRaw(image);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(deflated.data()),
            static_cast<std::streamsize>(deflated.size()));
  return static_cast<bool>(out);
}

// Packs and opens a kit; null when either fails. The image goes to TMPDIR.
inline std::unique_ptr<KitArchive> OpenTestKit(const std::string& path,
                                               const std::vector<EntrySpec>& entries) {
  if (!WriteKit(path, entries)) return nullptr;
  auto kit = std::make_unique<KitArchive>();
  if (OpenKit(*kit, Wide(path)) != 0) return nullptr;
  return kit;
}

// Gives `path` and everything below it to nobody (uid/gid 65534).
inline void GiveToNobody(const std::string& path) {
  lchown(path.c_str(), 65534, 65534);
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(path, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    lchown(it->path().c_str(), 65534, 65534);
  }
}

// Runs `body` in a forked child that has dropped to nobody; returns the
// child's exit code, or -1 when it did not exit normally. Only meaningful
// when the test runs as root.
inline int RunAsNobody(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(250);
    _exit(body());
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// A small tmpfs that fills up (mount options `options`), unmounted at the
// end. Needs root and the permission to mount.
class SmallFileSystem {
 public:
  explicit SmallFileSystem(const std::string& dir, const std::string& options = "size=1m")
      : m_dir(dir) {
    mkdir(dir.c_str(), 0755);
    if (mount("tmpfs", dir.c_str(), "tmpfs", 0, options.c_str()) == 0) {
      m_mounted = true;
    } else {
      m_error = std::strerror(errno);
    }
  }
  ~SmallFileSystem() {
    if (m_mounted) umount2(m_dir.c_str(), MNT_DETACH);
  }
  bool mounted() const { return m_mounted; }
  const std::string& error() const { return m_error; }

 private:
  std::string m_dir;
  bool m_mounted = false;
  std::string m_error;
};

// Outcome of one run of the job on the calling thread.
struct RunResult {
  ResultCode code = 0;
  ProgressStatus status;  // the last status posted
};

// True while a test wants every run's backups in TMPDIR (moves across file
// systems) instead of on the template directory's file system.
inline bool& BackupsInTmpdir() {
  static bool inTmpdir = false;
  return inTmpdir;
}

// Runs the job once for `kit` into `target` without the final pause.
inline RunResult RunInstall(KitArchive& kit, const std::string& target,
                            InstallJobOptions options = {}) {
  options.pauseMilliseconds = 0;
  options.backupsInTemporaryDirectory |= BackupsInTmpdir();
  ProgressChannel channel;
  channel.Post(0, Wide("Preparing to copy..."), 0);
  channel.Start(&kit, Wide(target));
  InstallEngine engine(std::move(options));
  RunResult result;
  result.code = engine.RunJob(channel);
  result.status = channel.ReadStatus();
  return result;
}

// Names of backup directories left anywhere a run puts them: TMPDIR `tmp`,
// the product data directory below `home`, the top of template directory `t`.
inline std::vector<std::string> BackupDirsAnywhere(const std::string& tmp, const std::string& home,
                                                   const std::string& t) {
  std::vector<std::string> names = BackupDirs(tmp);
  for (const std::string& name : BackupDirs(home + "/.veskp8")) names.push_back(".veskp8/" + name);
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(t, ec)) {
    const std::string name = e.path().filename().string();
    if (name.rfind(".p8stp", 0) == 0 || name.rfind(".veskp8-", 0) == 0) names.push_back(name);
  }
  return names;
}

// A private scratch area for one test: "tmp" (made TMPDIR for the test, so
// kit images land there), a home directory "home" without a product data
// directory (so backups go to the top of the template directory), and an
// empty template directory "tpl".
class ScratchTemplateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_base.ok());
    m_tmp = m_base / "tmp";
    mkdir(m_tmp.c_str(), 0700);
    m_tmpdir = std::make_unique<ScopedTmpdir>(m_tmp);
    m_home = m_base / "home";
    mkdir(m_home.c_str(), 0700);
    m_homeEnv = std::make_unique<ScopedEnv>("HOME", m_home);
    m_t = m_base / "tpl";
    mkdir(m_t.c_str(), 0755);
  }
  ScratchDir m_base{"/var/tmp"};
  std::string m_tmp, m_t, m_home;
  std::unique_ptr<ScopedTmpdir> m_tmpdir;
  std::unique_ptr<ScopedEnv> m_homeEnv;
};

}  // namespace veskp8::test
