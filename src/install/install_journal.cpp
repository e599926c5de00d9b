#include "install/install_journal.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>

#include "text/conversion.h"
#include "text/string_ops.h"

namespace veskp8 {
namespace {

constexpr std::uint32_t kJournalVersion = 1;
// The journal file is reserved and mapped in steps of this size.
constexpr std::size_t kMapChunk = 1u << 20;
// A record larger than this is not one the writer makes: the length is torn.
constexpr std::uint32_t kMaxPayload = 1u << 20;

void PutU8(std::string& out, std::uint8_t v) { out.push_back(static_cast<char>(v)); }
template <int kBytes>
void PutLittleEndian(std::string& out, std::uint64_t v) {
  char bytes[kBytes];
  for (int i = 0; i < kBytes; ++i) bytes[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  out.append(bytes, kBytes);
}
void PutU32(std::string& out, std::uint32_t v) { PutLittleEndian<4>(out, v); }
void PutU64(std::string& out, std::uint64_t v) { PutLittleEndian<8>(out, v); }
void PutStr(std::string& out, const std::string& s) {
  PutU32(out, static_cast<std::uint32_t>(s.size()));
  out.append(s);
}
void PutIdentity(std::string& out, const JournalIdentity& id) {
  PutU8(out, static_cast<std::uint8_t>(id.kind));
  PutU64(out, id.device);
  PutU64(out, id.inode);
  PutU64(out, id.size);
  PutU64(out, static_cast<std::uint64_t>(id.mtimeSeconds));
  PutU32(out, id.mtimeNanoseconds);
  PutU32(out, id.mode);
}

// Reads fields from one payload; any overrun makes ok() false.
class Reader {
 public:
  Reader(const char* data, std::size_t size) : m_data(data), m_size(size) {}
  bool ok() const { return m_ok; }
  bool done() const { return m_pos == m_size; }
  std::uint8_t U8() { return static_cast<std::uint8_t>(Bytes(1)); }
  std::uint32_t U32() { return static_cast<std::uint32_t>(Bytes(4)); }
  std::uint64_t U64() { return Bytes(8); }
  std::string Str() {
    const std::uint32_t n = U32();
    if (!m_ok || n > m_size - m_pos) {
      m_ok = false;
      return {};
    }
    std::string s(m_data + m_pos, n);
    m_pos += n;
    return s;
  }
  JournalIdentity Identity() {
    JournalIdentity id;
    const std::uint8_t kind = U8();
    if (kind > static_cast<std::uint8_t>(JournalKind::kUnknown)) m_ok = false;
    id.kind = static_cast<JournalKind>(kind);
    id.device = U64();
    id.inode = U64();
    id.size = U64();
    id.mtimeSeconds = static_cast<std::int64_t>(U64());
    id.mtimeNanoseconds = U32();
    id.mode = U32();
    return id;
  }

 private:
  std::uint64_t Bytes(int n) {
    if (!m_ok || static_cast<std::size_t>(n) > m_size - m_pos) {
      m_ok = false;
      return 0;
    }
    std::uint64_t v = 0;
    for (int i = 0; i < n; ++i) {
      v |= static_cast<std::uint64_t>(static_cast<unsigned char>(m_data[m_pos + i])) << (8 * i);
    }
    m_pos += static_cast<std::size_t>(n);
    return v;
  }
  const char* m_data;
  std::size_t m_size;
  std::size_t m_pos = 0;
  bool m_ok = true;
};

std::uint32_t Crc(const char* data, std::size_t size) {
  return static_cast<std::uint32_t>(
      crc32(0L, reinterpret_cast<const Bytef*>(data), static_cast<uInt>(size)));
}

bool DecodePayload(const char* data, std::size_t size, JournalRecord& record) {
  Reader in(data, size);
  const std::uint8_t type = in.U8();
  if (type < 1 || type > static_cast<std::uint8_t>(JournalRecordType::kBatchIntent)) return false;
  record.type = static_cast<JournalRecordType>(type);
  switch (record.type) {
    case JournalRecordType::kHeader:
      record.version = in.U32();
      record.templateDirectory = in.Str();
      record.host = in.Str();
      record.bootId = in.Str();
      record.pid = in.U64();
      record.startTime = static_cast<std::int64_t>(in.U64());
      break;
    case JournalRecordType::kBackupDirectory:
      record.path = in.Str();
      record.identity = in.Identity();
      record.onTemporaryFileSystem = in.U8() != 0;
      break;
    case JournalRecordType::kIntent:
      record.path = in.Str();
      record.backupPath = in.Str();
      record.identity = in.Identity();
      record.expectedSize = in.U64();
      record.expectedMtimeSec = static_cast<std::int64_t>(in.U64());
      record.firstMissingDirectory = in.Str();
      record.entry = in.U32();
      break;
    case JournalRecordType::kFileWritten:
      record.path = in.Str();
      record.identity = in.Identity();
      record.entry = in.U32();
      break;
    case JournalRecordType::kDirectoryMade:
    case JournalRecordType::kFileMade:
      record.path = in.Str();
      record.identity = in.Identity();
      break;
    case JournalRecordType::kDirectoryIntent:
      record.path = in.Str();
      break;
    case JournalRecordType::kBatchIntent:
      record.entry = in.U32();
      record.path = in.Str();
      record.expectedSize = in.U64();
      record.expectedMtimeSec = static_cast<std::int64_t>(in.U64());
      record.firstMissingDirectory = in.Str();
      record.identity.kind = JournalKind::kUnknown;
      break;
    case JournalRecordType::kCommit:
    case JournalRecordType::kRollback:
      break;
  }
  return in.ok() && in.done();
}

JournalIdentity IdentityOf(const struct stat& st) { return FileIdentity::Of(st); }

bool Narrow(const WideString& wide, std::string& out) {
  // Plain ASCII reads the same in every locale the installer runs in: no
  // conversion needed (most paths are).
  const std::u16string_view units = wide.view();
  if (std::all_of(units.begin(), units.end(), [](char16_t u) { return u != 0 && u < 0x80; })) {
    out.resize(units.size());
    std::transform(units.begin(), units.end(), out.begin(),
                   [](char16_t u) { return static_cast<char>(u); });
    return true;
  }
  NarrowString narrow;
  if (!WideToLocaleChecked(wide, narrow)) return false;
  out.assign(narrow.c_str(), narrow.size());
  return true;
}

// Makes `path` a directory when missing; true when it is a directory.
bool EnsureDirectoryExists(const std::string& path, mode_t mode) {
  if (mkdir(path.c_str(), mode) == 0) return true;
  struct stat st {};
  return errno == EEXIST && lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool SyncDirectory(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = fsync(fd) == 0;
  close(fd);
  return ok;
}

std::string ParentOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

}  // namespace

JournalIdentity ObserveIdentity(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) {
    JournalIdentity id;
    id.kind = (errno == ENOENT || errno == ENOTDIR) ? JournalKind::kMissing : JournalKind::kOther;
    return id;
  }
  return IdentityOf(st);
}

void AppendJournalRecord(const JournalRecord& record, std::string& out) {
  // Length and checksum go in front of the payload once it is written.
  const std::size_t start = out.size();
  out.append(8, '\0');
  std::string& payload = out;
  PutU8(payload, static_cast<std::uint8_t>(record.type));
  switch (record.type) {
    case JournalRecordType::kHeader:
      PutU32(payload, record.version);
      PutStr(payload, record.templateDirectory);
      PutStr(payload, record.host);
      PutStr(payload, record.bootId);
      PutU64(payload, record.pid);
      PutU64(payload, static_cast<std::uint64_t>(record.startTime));
      break;
    case JournalRecordType::kBackupDirectory:
      PutStr(payload, record.path);
      PutIdentity(payload, record.identity);
      PutU8(payload, record.onTemporaryFileSystem ? 1 : 0);
      break;
    case JournalRecordType::kIntent:
      PutStr(payload, record.path);
      PutStr(payload, record.backupPath);
      PutIdentity(payload, record.identity);
      PutU64(payload, record.expectedSize);
      PutU64(payload, static_cast<std::uint64_t>(record.expectedMtimeSec));
      PutStr(payload, record.firstMissingDirectory);
      PutU32(payload, record.entry);
      break;
    case JournalRecordType::kFileWritten:
      PutStr(payload, record.path);
      PutIdentity(payload, record.identity);
      PutU32(payload, record.entry);
      break;
    case JournalRecordType::kDirectoryMade:
    case JournalRecordType::kFileMade:
      PutStr(payload, record.path);
      PutIdentity(payload, record.identity);
      break;
    case JournalRecordType::kDirectoryIntent:
      PutStr(payload, record.path);
      break;
    case JournalRecordType::kBatchIntent:
      PutU32(payload, record.entry);
      PutStr(payload, record.path);
      PutU64(payload, record.expectedSize);
      PutU64(payload, static_cast<std::uint64_t>(record.expectedMtimeSec));
      PutStr(payload, record.firstMissingDirectory);
      break;
    case JournalRecordType::kCommit:
    case JournalRecordType::kRollback:
      break;
  }
  const std::size_t length = out.size() - start - 8;
  std::string head;
  PutU32(head, static_cast<std::uint32_t>(length));
  PutU32(head, Crc(out.data() + start + 8, length));
  out.replace(start, 8, head);
}

JournalContents DecodeJournal(const std::string& bytes) {
  JournalContents contents;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    Reader head(bytes.data() + pos, bytes.size() - pos);
    const std::uint32_t length = head.U32();
    const std::uint32_t crc = head.U32();
    if (!head.ok() || length == 0 || length > kMaxPayload || length > bytes.size() - pos - 8) {
      break;
    }
    const char* payload = bytes.data() + pos + 8;
    JournalRecord record;
    if (Crc(payload, length) != crc || !DecodePayload(payload, length, record)) break;
    if (contents.records.empty() &&
        (record.type != JournalRecordType::kHeader || record.version != kJournalVersion)) {
      break;
    }
    if (!contents.records.empty() && record.type == JournalRecordType::kHeader) break;
    contents.records.push_back(std::move(record));
    pos += 8 + length;
  }
  contents.validBytes = pos;
  // The file is reserved ahead: zeros after the last record are not a tear.
  contents.torn = bytes.find_first_not_of('\0', pos) != std::string::npos;
  contents.parsable = !contents.records.empty();
  return contents;
}

std::string JournalDirectory() {
  std::string home;
  if (!Narrow(HomeDirectory(), home) || home.empty()) return {};
  while (home.size() > 1 && home.back() == '/') home.pop_back();
  if (home == "/") home.clear();
  return home + "/.veskp8/journal/";
}

std::string CurrentHostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

std::string CurrentBootId() {
  std::ifstream in("/proc/sys/kernel/random/boot_id");
  std::string id;
  std::getline(in, id);
  return id;
}

JournalIdentity BackupDirectoryIdentity(const std::string& path) {
  JournalIdentity id;
  struct statx sx {};
  if (statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_INO | STATX_TYPE | STATX_BTIME,
            &sx) != 0 ||
      !S_ISDIR(sx.stx_mode)) {
    return id;  // kMissing
  }
  id.kind = JournalKind::kOther;
  id.device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
  id.inode = sx.stx_ino;
  id.mode = sx.stx_mode;
  if ((sx.stx_mask & STATX_BTIME) != 0) {
    id.mtimeSeconds = sx.stx_btime.tv_sec;
    id.mtimeNanoseconds = sx.stx_btime.tv_nsec;
  }
  return id;
}

bool IsOnTemporaryFileSystem(const std::string& path) {
  constexpr unsigned long kTmpfsMagic = 0x01021994;
  constexpr unsigned long kRamfsMagic = 0x858458f6;
  struct statfs fs {};
  if (statfs(path.c_str(), &fs) != 0) return false;
  const auto type = static_cast<unsigned long>(fs.f_type);
  return type == kTmpfsMagic || type == kRamfsMagic;
}

std::string WithoutTrailingSlash(const std::string& path) {
  std::string out = path;
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

InstallJournal::~InstallJournal() {
  // A journal still open here belongs to a transaction that neither
  // committed nor rolled back: it stays for the next start to finish.
  Unmap();
  if (m_fd >= 0) close(m_fd);
}

void InstallJournal::Unmap() {
  if (m_map != nullptr) munmap(m_map, m_capacity);
  m_map = nullptr;
  m_capacity = 0;
}

bool InstallJournal::Grow(std::size_t needed) {
  std::size_t capacity = std::max(m_capacity * 2, kMapChunk);
  while (capacity < needed) capacity *= 2;
  // Reserved blocks: a store into the mapping never meets a full file system
  // (which would end the process with SIGBUS).
  if (fallocate(m_fd, 0, 0, static_cast<off_t>(capacity)) != 0) return false;
  void* map = m_map == nullptr
                  ? mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_SHARED, m_fd, 0)
                  : mremap(m_map, m_capacity, capacity, MREMAP_MAYMOVE);
  if (map == MAP_FAILED) return false;
  m_map = static_cast<char*>(map);
  m_capacity = capacity;
  return true;
}

bool InstallJournal::Open(const WideString& templateDirectory, const std::string& directory) {
  if (m_fd >= 0) return false;
  std::string dir = directory.empty() ? JournalDirectory() : directory;
  if (dir.empty() || !Narrow(templateDirectory, m_templateDirectory)) return false;
  if (dir.back() != '/') dir.push_back('/');
  const std::string parent = ParentOf(WithoutTrailingSlash(dir));
  if (!EnsureDirectoryExists(parent, 0755)) return false;
  struct stat st {};
  const bool made = mkdir(dir.c_str(), 0700) == 0;
  if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid()) {
    return false;
  }
  if ((st.st_mode & 077) != 0 && chmod(dir.c_str(), 0700) != 0) return false;
  if (made && !SyncDirectory(parent)) return false;

  JournalRecord header;
  header.type = JournalRecordType::kHeader;
  header.version = kJournalVersion;
  header.templateDirectory = m_templateDirectory;
  header.host = CurrentHostName();
  header.bootId = CurrentBootId();
  header.pid = static_cast<std::uint64_t>(getpid());
  header.startTime = static_cast<std::int64_t>(std::time(nullptr));
  std::string bytes;
  AppendJournalRecord(header, bytes);
  // Made without a name, locked, given its header and synced; only then
  // linked as "XXXXXX.jnl": a kill at any moment leaves either no file or a
  // journal with its header. Where the file system cannot make a nameless
  // file (or /proc is missing to link one), a "tmp-XXXXXX" file is renamed
  // instead (recovery removes one that nobody holds).
  return Create(dir, bytes, true) || Create(dir, bytes, false);
}

bool InstallJournal::Create(const std::string& dir, const std::string& bytes, bool nameless) {
  std::string name;
  int fd = -1;
  if (nameless) {
    fd = open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) return false;
  } else {
    name = dir + "tmp-XXXXXX";
    fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return false;
  }
  auto fail = [&] {
    if (!nameless) unlink(name.c_str());
    close(fd);
    return false;
  };
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) return fail();
  if (write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) ||
      fdatasync(fd) != 0) {
    return fail();
  }
  m_fd = fd;
  m_used = bytes.size();
  m_syncedTo = m_used;
  if (!Grow(m_used)) {
    // No mapping (a file system without fallocate): records are written.
    Unmap();
    if (ftruncate(fd, static_cast<off_t>(m_used)) != 0) {
      m_fd = -1;
      return fail();
    }
  }
  std::string final;
  bool linked = false;
  if (nameless) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100 && !linked; ++attempt) {
      unsigned char random[6] = {};
      if (getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) break;
      std::string stem;
      for (unsigned char r : random) stem.push_back(kLetters[r % (sizeof kLetters - 1)]);
      final = dir + stem + ".jnl";
      linked = linkat(AT_FDCWD, self.c_str(), AT_FDCWD, final.c_str(), AT_SYMLINK_FOLLOW) == 0;
      if (!linked && errno != EEXIST) break;
    }
  } else {
    final = dir + name.substr(dir.size() + 4) + ".jnl";
    linked = rename(name.c_str(), final.c_str()) == 0;
  }
  if (!linked) {
    Unmap();
    m_fd = -1;
    return fail();
  }
  m_path = final;
  m_directory = dir;
  m_syncs = 1;
  if (!SyncDirectory(dir)) {
    Abandon();
    return false;
  }
  ++m_syncs;
  return true;
}

std::string JournalTag(const std::string& journalName) {
  std::string stem = journalName;
  const std::size_t slash = stem.rfind('/');
  if (slash != std::string::npos) stem.erase(0, slash + 1);
  if (stem.ends_with(".jnl")) stem.resize(stem.size() - 4);
  return stem;
}

WideString InstallJournal::TemporaryNameTag() const {
  return m_fd >= 0 ? LocaleToWide(JournalTag(m_path).c_str()) : WideString();
}

void InstallJournal::OnBeforePlace(std::size_t /*index*/, const UndoStep& /*step*/) {
  if (m_fd < 0 || m_syncedTo == m_used) return;
  WriteBuffer(true);
}

void InstallJournal::Write(const JournalRecord& record, bool sync) {
  if (m_fd < 0) return;
  AppendJournalRecord(record, m_buffer);
  m_pendingTypes.push_back(record.type);
  WriteBuffer(sync);
}

void InstallJournal::WriteBuffer(bool sync) {
  if (m_map != nullptr) {
    // A store into the shared mapping is in the page cache at once: a kill
    // or a crash of the process loses nothing, without a system call.
    if (m_used + m_buffer.size() > m_capacity && !Grow(m_used + m_buffer.size())) {
      Abandon();
      return;
    }
    std::memcpy(m_map + m_used, m_buffer.data(), m_buffer.size());
    m_used += m_buffer.size();
  } else {
    std::size_t done = 0;
    while (done < m_buffer.size()) {
      const ssize_t n = write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        Abandon();
        return;
      }
      done += static_cast<std::size_t>(n);
    }
    m_used += m_buffer.size();
  }
  m_buffer.clear();
  if (sync) {
    const long page = sysconf(_SC_PAGESIZE);
    const std::size_t from =
        m_syncedTo / static_cast<std::size_t>(page) * static_cast<std::size_t>(page);
    const bool synced =
        m_map != nullptr ? msync(m_map + from, m_used - from, MS_SYNC) == 0 : fdatasync(m_fd) == 0;
    if (!synced) {
      Abandon();
      return;
    }
    m_syncedTo = m_used;
    ++m_syncs;
  }
  std::vector<JournalRecordType> types;
  types.swap(m_pendingTypes);
  if (recordHook) {
    for (JournalRecordType type : types) recordHook(type);
  }
}

void InstallJournal::Abandon() {
  // The installation goes on without a journal, as it would without a home
  // directory; a half-written journal must not be acted on later.
  if (m_fd < 0) return;
  unlink(m_path.c_str());
  Unmap();
  close(m_fd);
  m_fd = -1;
  m_buffer.clear();
  m_pendingTypes.clear();
}

void InstallJournal::NoteBackupDirectory(const WideString& backupDirectory, bool made) {
  if (m_fd < 0) return;
  JournalRecord record;
  record.type = JournalRecordType::kBackupDirectory;
  if (!Narrow(backupDirectory, m_backupDirectory)) {
    Abandon();
    return;
  }
  record.path = m_backupDirectory;
  const std::string bare = WithoutTrailingSlash(m_backupDirectory);
  if (made) {
    record.identity = BackupDirectoryIdentity(bare);
    if (record.identity.kind == JournalKind::kMissing) {
      Abandon();
      return;
    }
    record.onTemporaryFileSystem = IsOnTemporaryFileSystem(bare);
  }
  // Made: kMissing, only the name (recovery removes an empty directory
  // there); made: its identity, before anything is moved into it.
  Write(record, true);
}

namespace {

// `target` followed by `name` with "\\" as "/", in the locale's encoding.
bool NarrowDestination(const WideString& target, const std::string& narrowTarget,
                       const WideString& name, std::string& out) {
  const std::u16string_view units = name.view();
  if (std::all_of(units.begin(), units.end(), [](char16_t u) { return u != 0 && u < 0x80; })) {
    out.resize(narrowTarget.size() + units.size());
    std::copy(narrowTarget.begin(), narrowTarget.end(), out.begin());
    std::transform(units.begin(), units.end(),
                   out.begin() + static_cast<std::ptrdiff_t>(narrowTarget.size()),
                   [](char16_t u) { return u == u'\\' ? '/' : static_cast<char>(u); });
    return true;
  }
  WideString slashed = name;
  ReplaceAll(slashed, WideString(u"\\"), WideString(u"/"));
  return Narrow(target + slashed, out);
}

// Whether `path` is `target` followed by `name` with "\\" as "/".
bool IsDestination(const WideString& path, const WideString& target, const WideString& name) {
  const std::u16string_view p = path.view();
  const std::u16string_view t = target.view();
  const std::u16string_view n = name.view();
  if (p.size() != t.size() + n.size() || p.substr(0, t.size()) != t) return false;
  for (std::size_t i = 0; i < n.size(); ++i) {
    if (p[t.size() + i] != (n[i] == u'\\' ? u'/' : n[i])) return false;
  }
  return true;
}

}  // namespace

void InstallJournal::WriteIntents(const WideString& target,
                                  const std::vector<JournalIntent>& intents) {
  if (m_fd < 0) return;
  std::string narrowTarget;
  if (!Narrow(target, narrowTarget)) return;
  // Directory existence, looked up once per batch.
  std::map<std::string, bool> exists;
  auto directoryExists = [&](const std::string& path) {
    auto found = exists.find(path);
    if (found != exists.end()) return found->second;
    struct stat st {};
    const bool present = lstat(path.c_str(), &st) == 0;
    exists.emplace(path, present);
    return present;
  };
  m_batch.clear();
  m_batchCursor = 0;
  m_batchTarget = target;
  m_coveredDirectories.clear();
  std::string lastParent;
  std::string lastFirstMissing;
  // Compact records below the template directory when the journal's header
  // names it, full ones otherwise.
  const bool compact = narrowTarget == m_templateDirectory;
  JournalRecord record;
  record.type = compact ? JournalRecordType::kBatchIntent : JournalRecordType::kIntent;
  // What stands there is not looked at here (that would cost a system call
  // per entry): a replacement announces the original's identity when it is
  // moved (OnIntent). The backup name is left out: it is the backup
  // directory followed by the name below the template directory.
  record.identity.kind = JournalKind::kUnknown;
  std::string path;
  for (const JournalIntent& intent : intents) {
    if (!NarrowDestination(target, narrowTarget, *intent.name, path)) {
      continue;  // the engine refuses it too
    }
    if (compact) {
      record.path.assign(path, narrowTarget.size());
    } else {
      record.path = path;
    }
    record.expectedSize = intent.size;
    record.expectedMtimeSec = intent.mtimeSec;
    record.entry = intent.entry;
    const std::size_t slash = path.rfind('/');
    const std::string_view parent(path.data(), slash == std::string::npos ? 0 : slash);
    if (!lastParent.empty() && parent == lastParent) {
      record.firstMissingDirectory = lastFirstMissing;  // the same directory as the entry before
    } else {
      record.firstMissingDirectory.clear();
      for (std::string dir = ParentOf(path); !dir.empty() && dir != "/"; dir = ParentOf(dir)) {
        if (directoryExists(dir)) break;
        record.firstMissingDirectory = dir;
        m_coveredDirectories.insert(dir);
      }
      lastParent.assign(parent);
      lastFirstMissing = record.firstMissingDirectory;
    }
    m_batch.push_back(BatchEntry{intent.name, intent.entry});
    AppendJournalRecord(record, m_buffer);
    m_pendingTypes.push_back(record.type);
  }
  WriteBuffer(true);
}

void InstallJournal::NoteFileWritten(const WideString& destination, int fd) {
  if (m_fd < 0) return;
  JournalRecord record;
  record.type = JournalRecordType::kFileWritten;
  const BatchEntry* known = FindInBatch(destination);
  if (known != nullptr) {
    record.entry = known->entry;  // the entry names the path
  } else if (!Narrow(destination, record.path)) {
    return;
  }
  if (m_made.known && m_made.destination == destination) {
    // Device and inode from the creation, size and time the kit's: what the
    // file is now that its write is complete.
    record.identity = m_made.identity;
  } else {
    struct stat st {};
    if (fstat(fd, &st) != 0) return;
    record.identity = IdentityOf(st);
  }
  m_made.known = false;
  Write(record, false);
}

ResultCode InstallJournal::OnBegin(const WideString& templateDirectory) {
  if (m_fd < 0) (void)Open(templateDirectory);  // without one the run goes on as before
  m_rollbackNoted = false;
  return kOk;
}

ResultCode InstallJournal::OnBackupDirectory(const WideString& backupDirectory, bool made) {
  NoteBackupDirectory(backupDirectory, made);
  return kOk;
}

const InstallJournal::BatchEntry* InstallJournal::FindInBatch(const WideString& path) {
  // The engine goes through the batch in order: look a few entries ahead.
  for (std::size_t k = m_batchCursor; k < m_batch.size() && k < m_batchCursor + 4; ++k) {
    if (IsDestination(path, m_batchTarget, *m_batch[k].name)) {
      m_batchCursor = k;
      return &m_batch[k];
    }
  }
  return nullptr;
}

ResultCode InstallJournal::OnIntent(std::size_t /*index*/, const UndoStep& step) {
  if (m_fd < 0) return kOk;
  const BatchEntry* batched =
      step.kind != UndoKind::kDirectoryCreated ? FindInBatch(step.path) : nullptr;
  const bool covered = batched != nullptr;
  if (covered && step.kind == UndoKind::kFileWritten) {
    return kOk;  // announced, and synced, with its batch
  }
  std::string path;
  if (!Narrow(step.path, path)) return kOk;  // the transaction refuses it too
  path = WithoutTrailingSlash(path);
  JournalRecord record;
  switch (step.kind) {
    case UndoKind::kDirectoryCreated:
      if (m_coveredDirectories.count(path) != 0) return kOk;
      record.type = JournalRecordType::kDirectoryIntent;
      record.path = path;
      break;
    case UndoKind::kFileWritten:
    case UndoKind::kMovedToBackup:
      record.type = JournalRecordType::kIntent;
      record.path = path;
      if (batched != nullptr) record.entry = batched->entry;
      if (!m_backupDirectory.empty() && path.starts_with(m_templateDirectory)) {
        record.backupPath = m_backupDirectory + path.substr(m_templateDirectory.size());
      }
      if (step.kind == UndoKind::kFileWritten) {
        record.identity.kind = JournalKind::kMissing;  // created exclusively
        record.expectedSize = step.identity.size;
        record.expectedMtimeSec = step.identity.mtimeSeconds;
      } else {
        // The original as it stands just before the move.
        record.identity = step.identity;
      }
      break;
  }
  // Covered by its batch, the exact identity of an original need not be
  // synced: without it, recovery knows the original by where it lies.
  Write(record, !covered);
  return kOk;
}

void InstallJournal::OnDone(std::size_t /*index*/, const UndoStep& step) {
  if (m_fd < 0 || step.kind == UndoKind::kMovedToBackup) return;
  if (step.kind == UndoKind::kFileWritten) {
    m_made.known = true;
    m_made.destination = step.path;
    m_made.identity = step.identity;
    m_made.identity.kind = JournalKind::kRegular;
    // Confirmed once complete (NoteFileWritten), before it is put in place;
    // until then it stands under its temporary name, which tells recovery
    // whose it is. Made under its own name, it is confirmed now, before its
    // first byte.
    if (!step.temporaryPath.empty()) return;
  }
  JournalRecord record;
  record.type = step.kind == UndoKind::kDirectoryCreated ? JournalRecordType::kDirectoryMade
                                                         : JournalRecordType::kFileMade;
  if (!Narrow(step.path, record.path)) return;
  record.path = WithoutTrailingSlash(record.path);
  record.identity.kind =
      step.kind == UndoKind::kDirectoryCreated ? JournalKind::kOther : JournalKind::kRegular;
  record.identity.device = step.identity.device;
  record.identity.inode = step.identity.inode;
  Write(record, false);
}

void InstallJournal::OnCommit() {
  JournalRecord record;
  record.type = JournalRecordType::kCommit;
  Write(record, true);
}

void InstallJournal::OnUndone(std::size_t /*index*/, const UndoStep& /*step*/, int /*outcome*/) {
  if (m_rollbackNoted) {
    if (recordHook) recordHook(JournalRecordType::kRollback);  // one more step undone
    return;
  }
  m_rollbackNoted = true;
  JournalRecord record;
  record.type = JournalRecordType::kRollback;
  Write(record, false);
}

void InstallJournal::OnEnd(bool committed, bool /*complete*/) {
  if (!committed) Finish();
}

void InstallJournal::Finish() {
  if (m_fd < 0) return;
  unlink(m_path.c_str());
  if (SyncDirectory(m_directory)) ++m_syncs;
  Unmap();
  close(m_fd);  // the lock goes last: the name is already gone
  m_fd = -1;
  m_path.clear();
}

}  // namespace veskp8
