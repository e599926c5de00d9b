#include "pack.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

#include "install/fs/file_time.h"
#include "kit/kit_archive.h"
#include "kit/kit_entry.h"
#include "kit/kit_writer.h"
#include "text/conversion.h"

namespace veskp8 {
namespace {

constexpr std::uint64_t k4GiB = std::uint64_t{1} << 32;
constexpr std::size_t kReadChunk = 1 << 20;

// One file found below the directory.
struct SourceFile {
  WideString name;   // "\"-separated, as stored in the kit
  std::string path;  // path to open
  std::uint64_t size = 0;
  std::uint64_t ticks = 0;
  dev_t device = 0;
  ino_t inode = 0;
};

// The temporary output, removed by the signal handler when the packer is
// interrupted. Written once before the handler is installed.
char g_tempPath[4096];

void RemoveTempAndDie(int sig) {
  if (g_tempPath[0] != 0) unlink(g_tempPath);
  signal(sig, SIG_DFL);
  raise(sig);
}

void Error(const std::string& text) { std::fprintf(stderr, "veskp8-kit: %s\n", text.c_str()); }

std::string Errno() { return std::strerror(errno); }

class Walker {
 public:
  Walker(std::string root, const struct stat* output, bool keepSubseconds)
      : m_root(std::move(root)), m_output(output), m_keepSubseconds(keepSubseconds) {}

  // False after printing the reason.
  bool Walk(const std::string& relative, const WideString& prefix) {
    const std::string dirPath = relative.empty() ? m_root : m_root + "/" + relative;
    DIR* dir = opendir(dirPath.c_str());
    if (dir == nullptr) {
      Error("cannot read directory " + dirPath + ": " + Errno());
      return false;
    }
    std::unique_ptr<DIR, int (*)(DIR*)> guard(dir, closedir);
    std::vector<std::string> names;
    errno = 0;
    while (dirent* d = readdir(dir)) {
      if (std::strcmp(d->d_name, ".") != 0 && std::strcmp(d->d_name, "..") != 0) {
        names.emplace_back(d->d_name);
      }
      errno = 0;
    }
    if (errno != 0) {
      Error("cannot read directory " + dirPath + ": " + Errno());
      return false;
    }
    guard.reset();
    for (const std::string& component : names) {
      const std::string rel = relative.empty() ? component : relative + "/" + component;
      const std::string path = m_root + "/" + rel;
      const WideString wideComponent = LocaleToWide(component.c_str());
      if (wideComponent.find(u'\\') != WideString::npos) {
        Error("cannot pack " + path + ": a name in a kit cannot hold \"\\\"");
        return false;
      }
      WideString name = prefix;
      if (!name.empty()) name.push_back(u'\\');
      name.append(wideComponent);
      struct stat link;
      if (lstat(path.c_str(), &link) != 0) {
        Error("cannot examine " + path + ": " + Errno());
        return false;
      }
      struct stat st = link;
      if (S_ISLNK(link.st_mode) && stat(path.c_str(), &st) != 0) {
        std::fprintf(stderr, "veskp8-kit: warning: skipping dangling link %s\n", path.c_str());
        continue;
      }
      if (S_ISDIR(st.st_mode)) {
        if (S_ISLNK(link.st_mode)) {
          std::fprintf(stderr, "veskp8-kit: warning: not following link to a directory %s\n",
                       path.c_str());
          continue;
        }
        if (!Walk(rel, name)) return false;
        continue;
      }
      if (!S_ISREG(st.st_mode)) {
        std::fprintf(stderr, "veskp8-kit: warning: skipping special file %s\n", path.c_str());
        continue;
      }
      if (m_output != nullptr && st.st_dev == m_output->st_dev && st.st_ino == m_output->st_ino) {
        continue;  // the kit being replaced lies inside the tree
      }
      if (!IsSafeEntryName(name)) {
        Error("cannot pack " + path + ": the installer would refuse its name");
        return false;
      }
      if (static_cast<std::uint64_t>(st.st_size) >= k4GiB) {
        Error("cannot pack " + path + ": files in a kit must be smaller than 4 GiB");
        return false;
      }
      SourceFile f;
      f.name = name;
      f.path = path;
      f.size = static_cast<std::uint64_t>(st.st_size);
      f.ticks = UnixSecondsToTicks(st.st_mtim.tv_sec);
      if (m_keepSubseconds) f.ticks += static_cast<std::uint64_t>(st.st_mtim.tv_nsec) / 100;
      f.device = st.st_dev;
      f.inode = st.st_ino;
      m_files.push_back(std::move(f));
    }
    return true;
  }

  std::vector<SourceFile>& files() { return m_files; }

 private:
  std::string m_root;
  const struct stat* m_output;
  bool m_keepSubseconds;
  std::vector<SourceFile> m_files;
};

class Progress {
 public:
  Progress(bool enabled, std::size_t files, std::uint64_t bytes)
      : m_enabled(enabled), m_files(files), m_bytes(bytes), m_start(Clock::now()) {}
  ~Progress() {
    if (m_shown) std::fprintf(stderr, "\r\033[K");
  }
  void Update(std::size_t filesDone, std::uint64_t bytesDone) {
    if (!m_enabled) return;
    const auto now = Clock::now();
    // Only long packs show progress, and at most four times a second.
    if (now - m_start < std::chrono::seconds(1) || now - m_last < std::chrono::milliseconds(250)) {
      return;
    }
    m_last = now;
    m_shown = true;
    std::fprintf(stderr, "\rpacking: %zu of %zu files, %llu of %llu MiB\033[K", filesDone, m_files,
                 static_cast<unsigned long long>(bytesDone >> 20),
                 static_cast<unsigned long long>(m_bytes >> 20));
  }

 private:
  using Clock = std::chrono::steady_clock;
  bool m_enabled;
  std::size_t m_files;
  std::uint64_t m_bytes;
  Clock::time_point m_start;
  Clock::time_point m_last{};
  bool m_shown = false;
};

bool WriteAll(int fd, const unsigned char* p, std::size_t n) {
  while (n != 0) {
    const ssize_t w = write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

// Streams one file into the deflater; its size must be the one listed.
bool PackFile(const SourceFile& f, RawDeflater& deflater, std::vector<unsigned char>& buffer,
              bool& writeFailed, std::uint64_t& bytesDone, Progress& progress,
              std::size_t filesDone) {
  const int fd = open(f.path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    Error("cannot read " + f.path + ": " + Errno());
    return false;
  }
  std::unique_ptr<int, void (*)(int*)> guard(new int(fd), [](int* p) {
    close(*p);
    delete p;
  });
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<std::uint64_t>(st.st_size) != f.size) {
    Error(f.path + " changed while packing");
    return false;
  }
  std::uint64_t left = f.size;
  while (left != 0) {
    const std::size_t want = left < buffer.size() ? static_cast<std::size_t>(left) : buffer.size();
    const ssize_t got = read(fd, buffer.data(), want);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      Error("cannot read " + f.path + ": " + Errno());
      return false;
    }
    if (got == 0) {
      Error(f.path + " changed while packing (it became shorter)");
      return false;
    }
    if (!deflater.Write(buffer.data(), static_cast<std::size_t>(got))) {
      writeFailed = true;
      return false;
    }
    left -= static_cast<std::uint64_t>(got);
    bytesDone += static_cast<std::uint64_t>(got);
    progress.Update(filesDone, bytesDone);
  }
  unsigned char extra;
  ssize_t more;
  do {
    more = read(fd, &extra, 1);
  } while (more < 0 && errno == EINTR);
  if (more != 0) {
    Error(f.path + " changed while packing (it became longer)");
    return false;
  }
  return true;
}

char16_t FoldCase(char16_t c) {
  if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ||
      (c >= 0x391 && c <= 0x3AB && c != 0x3A2) || (c >= 0x410 && c <= 0x42F)) {
    return static_cast<char16_t>(c + 0x20);
  }
  if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 0x50);
  return c;
}

// Refuses a tree whose tables would take more of the installer's memory than
// its budget (before the names are sorted: that alone takes long for a tree
// of that size). False after printing the reason.
bool CheckBudget(const std::vector<KitDescription>& descriptions,
                 const std::vector<SourceFile>& files) {
  std::uint64_t cost = KitTablesCost(descriptions, {});
  for (const SourceFile& f : files) cost += kKitEntryCost + KitStringCost(f.name.size());
  if (cost <= kKitTableBudget) return true;
  Error("the kit's tables would take " + std::to_string(cost >> 20) +
        " MiB of the installer's memory; it allows " + std::to_string(kKitTableBudget >> 20) +
        " MiB (fewer files or shorter names)");
  return false;
}

// Refuses tables the installer would refuse (too many descriptions, two
// entries with one destination) and warns about names that differ only in
// letter case. False after printing the reason.
bool CheckTables(const std::vector<KitDescription>& descriptions,
                 const std::vector<KitEntry>& entries) {
  if (descriptions.size() > kMaxKitDescriptions) {
    Error("too many descriptions: the installer reads at most " +
          std::to_string(kMaxKitDescriptions));
    return false;
  }
  const auto clashes = FindClashingEntries(entries);
  if (!clashes.empty()) {
    Error("two files would be installed as the same file: " +
          std::string(WideToLocale(entries[clashes[0].first].name).c_str()) + " and " +
          std::string(WideToLocale(entries[clashes[0].second].name).c_str()));
    return false;
  }
  // Names folded to lower case: ASCII, Latin-1, Greek and Cyrillic capitals
  // (what case-insensitive file systems fold in the names kits carry).
  std::vector<std::pair<std::u16string, std::size_t>> folded;
  folded.reserve(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    std::u16string name(entries[i].name.view());
    for (char16_t& c : name) c = FoldCase(c);
    folded.emplace_back(std::move(name), i);
  }
  std::sort(folded.begin(), folded.end());
  for (std::size_t k = 1; k < folded.size(); ++k) {
    if (folded[k].first != folded[k - 1].first) continue;
    std::fprintf(stderr,
                 "veskp8-kit: warning: %s and %s differ only in letter case; they clash on a "
                 "file system that ignores case\n",
                 WideToLocale(entries[folded[k - 1].second].name).c_str(),
                 WideToLocale(entries[folded[k].second].name).c_str());
  }
  return true;
}

}  // namespace

int PackTree(const PackOptions& options) {
  struct stat rootStat;
  if (stat(options.directory.c_str(), &rootStat) != 0) {
    Error("cannot read directory " + options.directory + ": " + Errno());
    return 1;
  }
  if (!S_ISDIR(rootStat.st_mode)) {
    Error(options.directory + " is not a directory");
    return 1;
  }
  struct stat outputStat;
  const bool outputExists = stat(options.output.c_str(), &outputStat) == 0;
  if (outputExists && S_ISDIR(outputStat.st_mode)) {
    Error("cannot write " + options.output + ": it is a directory");
    return 1;
  }
  std::string root = options.directory;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  Walker walker(root, outputExists ? &outputStat : nullptr, options.keepSubseconds);
  if (!walker.Walk("", WideString())) return 1;
  std::vector<SourceFile>& files = walker.files();
  if (!CheckBudget(options.descriptions, files)) return 1;
  // Entry order is the installer's order, and it writes each file once the
  // inflater has produced its bytes. Small files first: writing them costs
  // the installer far more than inflating them, so it works through them
  // while the inflater is still busy with the large files behind them, which
  // it then copies block by block as they appear. Within each group, by name.
  std::sort(files.begin(), files.end(), [](const SourceFile& a, const SourceFile& b) {
    const bool aLarge = a.size > KitArchive::kCopyBufferSize;
    const bool bLarge = b.size > KitArchive::kCopyBufferSize;
    return aLarge != bLarge ? bLarge : a.name < b.name;
  });

  // Tables: offsets one after another in entry order.
  std::vector<KitEntry> entries;
  entries.reserve(files.size());
  std::uint64_t offset = 0;
  for (const SourceFile& f : files) {
    KitEntry e;
    e.name = f.name;
    e.modificationTime = f.ticks;
    e.dataOffset = static_cast<std::uint32_t>(offset);
    e.dataSize = static_cast<std::uint32_t>(f.size);
    offset += f.size;
    if (offset >= k4GiB) {
      Error("the files are too large for one kit (the kit image must stay below 4 GiB)");
      return 1;
    }
    entries.push_back(std::move(e));
  }
  if (!CheckTables(options.descriptions, entries)) return 1;
  std::vector<unsigned char> tables;
  const std::uint32_t format =
      options.singleLanguage ? kSingleLanguageFormat : kMultiLanguageFormat;
  if (!EncodeKitTables(format, options.descriptions, entries, tables) ||
      tables.size() + offset >= k4GiB) {
    Error("the tables are too large for one kit (the kit image must stay below 4 GiB)");
    return 1;
  }
  entries.clear();
  entries.shrink_to_fit();

  // Write beside the output and rename at the end.
  std::string temp = options.output + ".XXXXXX";
  if (temp.size() >= sizeof(g_tempPath)) {
    Error("cannot write " + options.output + ": the path is too long");
    return 1;
  }
  const int out = mkstemp(temp.data());
  if (out < 0) {
    Error("cannot write " + options.output + ": " + Errno());
    return 1;
  }
  std::memcpy(g_tempPath, temp.c_str(), temp.size() + 1);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) signal(sig, RemoveTempAndDie);
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(out, 0666 & ~mask);

  bool writeFailed = false;
  bool ok = true;
  {
    RawDeflater deflater(
        [out](const unsigned char* p, std::size_t n) { return WriteAll(out, p, n); });
    if (!deflater.Write(tables.data(), tables.size())) writeFailed = true;
    std::vector<unsigned char> buffer(kReadChunk);
    std::uint64_t bytesDone = 0;
    Progress progress(options.progress, files.size(), offset);
    for (std::size_t i = 0; i < files.size() && ok && !writeFailed; ++i) {
      ok = PackFile(files[i], deflater, buffer, writeFailed, bytesDone, progress, i);
    }
    if (ok && !writeFailed && !deflater.Finish()) writeFailed = true;
  }
  if (ok && !writeFailed && fsync(out) != 0) writeFailed = true;
  if (writeFailed) {
    Error("cannot write " + options.output + ": " + Errno());
    ok = false;
  }
  if (close(out) != 0 && ok) {
    Error("cannot write " + options.output + ": " + Errno());
    ok = false;
  }
  if (ok && rename(temp.c_str(), options.output.c_str()) != 0) {
    Error("cannot write " + options.output + ": " + Errno());
    ok = false;
  }
  if (!ok) unlink(temp.c_str());
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) signal(sig, SIG_DFL);
  g_tempPath[0] = 0;
  if (!ok) return 1;

  for (const KitDescription& d : options.descriptions) {
    if (d.document.empty()) continue;
    const bool found = std::any_of(files.begin(), files.end(),
                                   [&d](const SourceFile& f) { return f.name == d.document; });
    if (!found) {
      std::fprintf(stderr, "veskp8-kit: warning: description document %s is not in the kit\n",
                   WideToLocale(d.document).c_str());
    }
  }
  return 0;
}

}  // namespace veskp8
