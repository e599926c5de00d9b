#include "install/file_system_native.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <stdio.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "install/file_system.h"
#include "install/native_path.h"
#include "text/conversion.h"

namespace veskp8 {
namespace {

PathKind KindOfMode(mode_t mode) {
  if (S_ISREG(mode)) return PathKind::kRegular;
  if (S_ISLNK(mode)) return PathKind::kSymlink;
  if (S_ISDIR(mode)) return PathKind::kDirectory;
  return PathKind::kOther;
}

PathKind KindOfNative(const char* path) {
  struct stat st {};
  if (lstat(path, &st) != 0) {
    return (errno == ENOENT || errno == ENOTDIR) ? PathKind::kMissing : PathKind::kUnknown;
  }
  return KindOfMode(st.st_mode);
}

// Closes a descriptor on scope exit.
class Descriptor {
 public:
  explicit Descriptor(int fd) : m_fd(fd) {}
  ~Descriptor() {
    if (m_fd >= 0) close(m_fd);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return m_fd; }
  // Closes now and reports whether close succeeded.
  bool Close() {
    const int fd = m_fd;
    m_fd = -1;
    return close(fd) == 0 || errno == EINTR;
  }

 private:
  int m_fd;
};

// Copies all bytes from `in` to `out`: sendfile, falling back to read/write
// where the kernel cannot send between these two files.
bool CopyBytes(int in, int out) {
  for (;;) {
    const ssize_t n = sendfile(out, in, nullptr, 1 << 30);
    if (n > 0) continue;
    if (n == 0) return true;
    if (errno == EINTR) continue;
    if (errno == EINVAL || errno == ENOSYS) break;
    return false;
  }
  constexpr std::size_t kChunk = 1 << 16;
  std::unique_ptr<char[]> buffer(new char[kChunk]);
  for (;;) {
    const ssize_t n = read(in, buffer.get(), kChunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return true;
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = write(out, buffer.get() + done, static_cast<std::size_t>(n - done));
      if (w < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      done += w;
    }
  }
}

// A template for a unique name beside `destination` (same directory, hence
// the same file system), for mkostemp.
NarrowString SiblingTemplate(const NarrowString& destination) {
  const std::size_t slash = destination.view().rfind('/');
  NarrowString name =
      slash == std::string_view::npos ? NarrowString() : destination.substr(0, slash + 1);
  name += ".veskp8-move-XXXXXX";
  return name;
}

// Renames the finished copy `temporary` to `destination`, then removes
// `source`. When the source cannot be removed the copy is removed again, so
// that the file exists once; either failure gives 2.
ResultCode PutCopyInPlace(const NarrowString& temporary, const NarrowString& destination,
                          const NarrowString& source) {
  if (rename(temporary.c_str(), destination.c_str()) != 0) {
    unlink(temporary.c_str());
    return kErrNotFound;
  }
  if (unlink(source.c_str()) != 0) {
    unlink(destination.c_str());
    return kErrNotFound;
  }
  return kOk;
}

// Copies the regular file `source` (status `st`) beside `destination`,
// keeping content, permission bits, owner when allowed and times, renames the
// copy to `destination` (replacing a non-directory there) and unlinks the
// source. On failure the copy is removed, and source and destination are as
// they were.
ResultCode CopyFileThenUnlink(const NarrowString& source, const struct stat& st,
                              const NarrowString& destination) {
  Descriptor in(open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (in.get() < 0) return kErrNotFound;
  NarrowString temporary = SiblingTemplate(destination);
  Descriptor out(mkostemp(temporary.mutable_data(), O_CLOEXEC));
  if (out.get() < 0) return kErrNotFound;
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  bool ok = CopyBytes(in.get(), out.get());
  if (ok) {
    (void)!fchown(out.get(), st.st_uid, st.st_gid);  // allowed to the superuser only
    ok = fchmod(out.get(), st.st_mode & 07777) == 0 && futimens(out.get(), times) == 0;
  }
  ok = out.Close() && ok;
  if (!ok) {
    unlink(temporary.c_str());
    return kErrNotFound;
  }
  return PutCopyInPlace(temporary, destination, source);
}

// The same for a symbolic link: the link itself is recreated with its times.
ResultCode CopyLinkThenUnlink(const NarrowString& source, const struct stat& st,
                              const NarrowString& destination) {
  const std::size_t room = static_cast<std::size_t>(st.st_size) + 1;
  std::unique_ptr<char[]> target(new char[room]);
  const ssize_t n = readlink(source.c_str(), target.get(), room);
  if (n < 0 || static_cast<std::size_t>(n) >= room) return kErrNotFound;
  target[static_cast<std::size_t>(n)] = '\0';
  // Reserve a unique name, then put the link in its place.
  NarrowString temporary = SiblingTemplate(destination);
  const int fd = mkostemp(temporary.mutable_data(), O_CLOEXEC);
  if (fd < 0) return kErrNotFound;
  close(fd);
  if (unlink(temporary.c_str()) != 0 || symlink(target.get(), temporary.c_str()) != 0) {
    unlink(temporary.c_str());
    return kErrNotFound;
  }
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  (void)!utimensat(AT_FDCWD, temporary.c_str(), times, AT_SYMLINK_NOFOLLOW);
  (void)!lchown(temporary.c_str(), st.st_uid, st.st_gid);
  return PutCopyInPlace(temporary, destination, source);
}

int RemoveOne(const char* path, const struct stat* /*st*/, int type, struct FTW* /*ftw*/) {
  // Failures are not fatal: the walk goes on, and the caller checks what stayed.
  if (type == FTW_DP || type == FTW_D || type == FTW_DNR) {
    rmdir(path);
  } else {
    unlink(path);
  }
  return 0;
}

}  // namespace

PathKind QueryPathKind(const WideString& path) {
  NarrowString native;
  if (!ToNativePath(path, native)) return PathKind::kUnknown;
  return KindOfNative(native.c_str());
}

ResultCode MovePathNative(const WideString& source, const WideString& destination) {
  NarrowString from;
  NarrowString to;
  if (!ToNativePath(source, from) || !ToNativePath(destination, to)) return kErrInvalidParameter;
  if (rename(from.c_str(), to.c_str()) == 0) return kOk;
  if (errno != EXDEV) return kErrNotFound;

  struct stat st {};
  if (lstat(from.c_str(), &st) != 0) return kErrNotFound;
  if (S_ISREG(st.st_mode)) return CopyFileThenUnlink(from, st, to);
  if (S_ISLNK(st.st_mode)) return CopyLinkThenUnlink(from, st, to);
  // Directories and special files: mv moves them whole. It must not move the
  // source into an existing destination directory.
  if (KindOfNative(to.c_str()) == PathKind::kDirectory) return kErrNotFound;
  return MovePath(source, destination);
}

ResultCode RemoveFileNoFollow(const WideString& path) {
  NarrowString native;
  if (!ToNativePath(path, native)) return kErrInvalidParameter;
  if (unlink(native.c_str()) == 0) return kOk;
  return errno == ENOENT ? kErrNotFound : kErrInvalidParameter;
}

ResultCode RemoveDirectory(const WideString& path) {
  NarrowString native;
  if (!ToNativePath(path, native)) return kErrInvalidParameter;
  if (rmdir(native.c_str()) == 0) return kOk;
  return errno == ENOENT ? kErrNotFound : kErrInvalidParameter;
}

ResultCode RemoveTreeNoFollow(const WideString& path) {
  NarrowString native;
  if (!ToNativePath(path, native)) return kErrInvalidParameter;
  if (native.empty()) return kErrInvalidParameter;
  const PathKind kind = KindOfNative(native.c_str());
  if (kind == PathKind::kMissing) return kOk;
  if (kind == PathKind::kDirectory) {
    (void)nftw(native.c_str(), RemoveOne, 16, FTW_DEPTH | FTW_PHYS);
  } else {
    unlink(native.c_str());
  }
  return KindOfNative(native.c_str()) == PathKind::kMissing ? kOk : kErrInvalidParameter;
}

MakeDirectoryResult MakeDirectoryOnce(const WideString& path, mode_t mode) {
  NarrowString native;
  if (!ToNativePath(path, native)) return MakeDirectoryResult::kFailed;
  if (mkdir(native.c_str(), mode) == 0) return MakeDirectoryResult::kCreated;
  if (errno != EEXIST) return MakeDirectoryResult::kFailed;
  struct stat st {};
  if (stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    return MakeDirectoryResult::kAlreadyDirectory;
  }
  return MakeDirectoryResult::kExistsNotDirectory;
}

ResultCode ListDirectoryNoFollow(const WideString& directory, std::vector<DirectoryEntry>& out) {
  out.clear();
  NarrowString native;
  if (!ToNativePath(directory, native)) return kErrInvalidParameter;
  DIR* stream = opendir(native.empty() ? "." : native.c_str());
  if (stream == nullptr) return errno == ENOENT ? kErrNotFound : kErrInvalidParameter;
  const int dir_fd = dirfd(stream);
  ResultCode result = kOk;
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(stream);
    if (entry == nullptr) {
      if (errno != 0) result = kErrInvalidParameter;
      break;
    }
    const char* name = entry->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    PathKind kind;
    switch (entry->d_type) {
      case DT_REG:
        kind = PathKind::kRegular;
        break;
      case DT_LNK:
        kind = PathKind::kSymlink;
        break;
      case DT_DIR:
        kind = PathKind::kDirectory;
        break;
      case DT_UNKNOWN: {
        struct stat st {};
        if (fstatat(dir_fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
          kind = KindOfMode(st.st_mode);
        } else {
          kind = errno == ENOENT ? PathKind::kMissing : PathKind::kUnknown;
        }
        break;
      }
      default:
        kind = PathKind::kOther;
        break;
    }
    out.push_back(DirectoryEntry{LocaleToWide(name), kind});
  }
  closedir(stream);
  return result;
}

}  // namespace veskp8
