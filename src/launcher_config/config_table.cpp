#include "launcher_config/config_table.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "launcher_config/save_fault_seam.h"
#include "text/conversion.h"
#include "text/narrow_string.h"
#include "text/string_ops.h"

namespace veskp8 {
namespace {

SaveFaultHook g_fault_hook = nullptr;

bool Injected(SaveStep step) { return g_fault_hook != nullptr && g_fault_hook(step); }

bool IsAscii(const WideString& s) {
  for (char16_t u : s.view()) {
    if (u >= 0x80) return false;
  }
  return true;
}

char16_t AsciiLower(char16_t u) { return u >= u'A' && u <= u'Z' ? u + (u'a' - u'A') : u; }

bool EqualAsciiCase(const WideString& a, const WideString& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

// Adds the line [first, last) of `text` to the table: the first "=" ends the
// key, the rest is the value; a line with neither key nor value adds nothing.
void AddLine(ConfigTable& table, const WideString& text, std::size_t first, std::size_t last) {
  std::size_t equals = first;
  while (equals < last && text[equals] != u'=') ++equals;
  WideString key = text.substr(first, equals - first);
  WideString value;
  if (equals < last) value = text.substr(equals + 1, last - equals - 1);
  if (!key.empty() || !value.empty()) AddValue(table, key, value);
}

// Reads everything from `fd`; false on a read error.
bool ReadAll(int fd, std::string& out) {
  char buffer[64 * 1024];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return true;
    out.append(buffer, static_cast<std::size_t>(n));
  }
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// The start of the names of the temporary files of a save of `base` (a
// file name): "." + base + ".tmp-", then the process id, a count and a clock.
std::string TemporaryPrefix(const std::string& base) { return "." + base + ".tmp-"; }

// The directory part of `path` including its final "/" ("" for a bare name).
std::string DirectoryWithSlash(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Follows symbolic links at the last component of `path` until it names
// something that is not a link (or nothing). Throws 1 on a loop.
std::string ResolveLinks(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat status;
    if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
    std::string link(static_cast<std::size_t>(status.st_size) + 256, '\0');
    ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
    if (n < 0 || static_cast<std::size_t>(n) >= link.size()) throw 1;
    link.resize(static_cast<std::size_t>(n));
    if (link.empty()) throw 1;
    path = link[0] == '/' ? link : DirectoryWithSlash(path) + link;
  }
  throw 1;
}

// Owns the temporary file until it has been renamed: closes the descriptor
// and removes the file when the save does not get that far.
class TempFile {
 public:
  TempFile() = default;
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() {
    if (!name_.empty()) ::unlink(name_.c_str());
    if (fd_ >= 0) ::close(fd_);  // the lock goes last
  }

  // Creates a new file next to `target` (O_EXCL, so nothing existing is
  // reused) and locks it (flock, held until it is closed: a live save's
  // file is never taken for a stale one); false when none can be created.
  bool Create(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    std::string directory = DirectoryWithSlash(target);
    std::string base = target.substr(directory.size());
    for (int attempt = 0; attempt < 100; ++attempt) {
      char suffix[64];
      std::snprintf(suffix, sizeof suffix, ".tmp-%ld-%u-%lx", static_cast<long>(::getpid()),
                    counter.fetch_add(1), static_cast<unsigned long>(std::clock()));
      std::string name = directory + TemporaryPrefix(base) + (suffix + 5);
      int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
      if (fd < 0) {
        if (errno != EEXIST) return false;
        continue;
      }
      // Between the creation and the lock another save may have found the
      // file unlocked and removed it: then it is not used.
      struct stat opened;
      struct stat named;
      const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno == ENOLCK ||
                          errno == EOPNOTSUPP || errno == EINVAL;
      if (locked && ::fstat(fd, &opened) == 0 && ::lstat(name.c_str(), &named) == 0 &&
          opened.st_ino == named.st_ino && opened.st_dev == named.st_dev) {
        fd_ = fd;
        name_ = name;
        return true;
      }
      ::close(fd);
    }
    return false;
  }

  int fd() const { return fd_; }
  const std::string& name() const { return name_; }

  // Closes the descriptor; false when close reports an error.
  bool Close() {
    int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

  // The file now lives under another name: nothing to remove.
  void Release() { name_.clear(); }

 private:
  int fd_ = -1;
  std::string name_;
};

// Removes the temporary files that saves of `target` cut off by a kill, a
// crash or a power loss left beside it: those nobody holds locked. A save
// that is writing holds its own (TempFile::Create).
void RemoveStaleTemporaries(const std::string& target) {
  const std::string directory = DirectoryWithSlash(target);
  const std::string prefix = TemporaryPrefix(target.substr(directory.size()));
  DIR* stream = ::opendir(directory.empty() ? "." : directory.c_str());
  if (stream == nullptr) return;
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(stream)) {
    const std::string name = entry->d_name;
    if (name.size() > prefix.size() && name.starts_with(prefix)) names.push_back(directory + name);
  }
  ::closedir(stream);
  for (const std::string& name : names) {
    const int fd = ::open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat opened;
    struct stat named;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &opened) == 0 &&
        S_ISREG(opened.st_mode) && ::lstat(name.c_str(), &named) == 0 &&
        opened.st_ino == named.st_ino && opened.st_dev == named.st_dev) {
      (void)::unlink(name.c_str());
    }
    ::close(fd);
  }
}

// Flushes the directory entry of a rename to disk; failures are of no
// consequence to the file's content and are ignored.
void SyncDirectory(const std::string& directory) {
  int fd = ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

void ReplaceFile(const std::string& path, const std::string& content) {
  const std::string target = ResolveLinks(path);
  struct stat status;
  bool exists = ::stat(target.c_str(), &status) == 0;
  if (exists) {
    if (!S_ISREG(status.st_mode)) throw 1;
    // The in-place write would have been refused: do not replace it either.
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) throw 1;
  } else if (errno != ENOENT) {
    throw 1;
  }

  RemoveStaleTemporaries(target);
  TempFile temp;
  if (Injected(SaveStep::kCreateTemp) || !temp.Create(target)) throw 1;
  if (exists) {
    if (::fchmod(temp.fd(), status.st_mode & 07777) != 0) throw 1;
    if (status.st_uid != ::geteuid() || status.st_gid != ::getegid()) {
      // Only possible with privileges; without them the file becomes ours.
      (void)::fchown(temp.fd(), status.st_uid, status.st_gid);
      (void)::fchmod(temp.fd(), status.st_mode & 07777);
    }
  }
  for (std::size_t offset = 0; offset < content.size(); offset += kSaveChunkBytes) {
    std::size_t size = std::min(kSaveChunkBytes, content.size() - offset);
    if (Injected(SaveStep::kWrite) || !WriteAll(temp.fd(), content.data() + offset, size)) throw 2;
  }
  if (Injected(SaveStep::kSync) || ::fsync(temp.fd()) != 0) throw 2;
  // Renamed while still open and locked; its bytes are on disk already, so
  // the close has nothing left to report.
  if (Injected(SaveStep::kRename) || ::rename(temp.name().c_str(), target.c_str()) != 0) throw 2;
  temp.Release();
  (void)temp.Close();
  SyncDirectory(DirectoryWithSlash(target));
}

}  // namespace

void SetSaveFaultHook(SaveFaultHook hook) { g_fault_hook = hook; }

void RemoveStaleSaveTemporaries(const WideString& path) {
  NarrowString narrow;
  if (!WideToLocaleChecked(path, narrow)) return;
  try {
    RemoveStaleTemporaries(ResolveLinks(std::string(narrow.c_str())));
  } catch (int) {
    // A loop of links: no save of it could have begun.
  }
}

bool EqualIgnoringCase(const WideString& a, const WideString& b) {
  if (a == b) return true;
  // ASCII is one byte per unit in every locale encoding, and no locale folds
  // two ASCII characters that differ beyond ASCII case into one: such texts
  // cannot match, and the conversions can be skipped.
  if (IsAscii(a) && IsAscii(b) && !EqualAsciiCase(a, b)) return false;
  return CompareNoCase(a, b) == 0;
}

LoadOutcome Load(const WideString& path, ConfigTable& table) {
  NarrowString narrow;
  if (!WideToLocaleChecked(path, narrow)) return LoadOutcome::kUnreadable;
  int fd = ::open(narrow.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    return errno == ENOENT || errno == ENOTDIR ? LoadOutcome::kNotFound : LoadOutcome::kUnreadable;
  }
  std::string bytes;
  struct stat status;
  bool ok = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && ReadAll(fd, bytes);
  ::close(fd);
  if (!ok) return LoadOutcome::kUnreadable;

  // The conversion stops at the first zero byte.
  bool has_zero = std::memchr(bytes.data(), 0, bytes.size()) != nullptr;
  const WideString text = LocaleToWide(NarrowString(bytes.data(), bytes.size()));
  bytes.clear();
  bytes.shrink_to_fit();

  std::size_t line_start = 0;
  const std::size_t size = text.size();
  for (std::size_t i = 0; i < size; ++i) {
    if (text[i] == u'\n') {
      AddLine(table, text, line_start, i);
      line_start = i + 1;
    }
  }
  AddLine(table, text, line_start, size);
  return has_zero ? LoadOutcome::kStoppedAtZero : LoadOutcome::kLoaded;
}

bool AddValue(ConfigTable& table, const WideString& key, const WideString& value) {
  for (ConfigEntry& entry : table.m_entries) {
    if (!EqualIgnoringCase(entry.m_key, key)) continue;
    for (const WideString& existing : entry.m_values) {
      if (EqualIgnoringCase(existing, value)) return false;
    }
    entry.m_values.push_back(value);
    return true;
  }
  table.m_entries.push_back(ConfigEntry{key, {value}});
  return true;
}

const std::vector<WideString>* FindValues(const ConfigTable& table, const WideString& key) {
  for (const ConfigEntry& entry : table.m_entries) {
    if (EqualIgnoringCase(entry.m_key, key)) return &entry.m_values;
  }
  return nullptr;
}

void SetValues(ConfigTable& table, const WideString& key, const std::vector<WideString>& values) {
  for (auto it = table.m_entries.begin(); it != table.m_entries.end(); ++it) {
    if (!EqualIgnoringCase(it->m_key, key)) continue;
    if (!values.empty()) {
      it->m_values = values;
      return;
    }
    table.m_entries.erase(it);
    break;
  }
  table.m_entries.push_back(ConfigEntry{key, values});
}

void Save(const WideString& path, const ConfigTable& table) {
  NarrowString narrow_path;
  if (!WideToLocaleChecked(path, narrow_path) || narrow_path.empty()) throw 1;

  // The whole text is formed first, so a text the locale cannot represent
  // fails before anything is touched.
  std::string content;
  NarrowString narrow;
  for (const ConfigEntry& entry : table.m_entries) {
    if (entry.m_values.empty()) continue;
    if (!WideToLocaleChecked(entry.m_key, narrow)) throw 2;
    const std::string key(narrow.view());
    for (const WideString& value : entry.m_values) {
      if (!WideToLocaleChecked(value, narrow)) throw 2;
      content += key;
      content += '=';
      content.append(narrow.view());
      content += '\n';
    }
  }
  ReplaceFile(std::string(narrow_path.view()), content);
}

}  // namespace veskp8
