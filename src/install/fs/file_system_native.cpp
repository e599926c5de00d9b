#include "install/fs/file_system_native.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <stdio.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "install/fs/file_system.h"
#include "install/fs/native_path.h"
#include "install/fs/scoped_descriptor.h"
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

using Descriptor = ScopedDescriptor;

// Copies all bytes from `in` to `out`: sendfile, falling back to read/write
// where the kernel cannot send between these two files. On failure errno
// tells why.
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

// Extended attributes whose copy may be refused without failing the copy:
// the kernel or the security policy owns them, and an unprivileged user may
// not set them.
bool MayBeRefused(std::string_view name) {
  return name.starts_with("security.") || name.starts_with("trusted.");
}

// Copies every extended attribute of `in` to `out` (ACLs are the
// "system.posix_acl_*" attributes). On failure errno tells why.
bool CopyExtendedAttributes(int in, int out) {
  ssize_t listSize = flistxattr(in, nullptr, 0);
  if (listSize < 0) {
    return errno == ENOTSUP;  // no attributes on this file system
  }
  if (listSize == 0) return true;
  std::vector<char> names(static_cast<std::size_t>(listSize));
  listSize = flistxattr(in, names.data(), names.size());
  if (listSize < 0) return false;
  std::vector<char> value;
  for (std::size_t at = 0; at < static_cast<std::size_t>(listSize);) {
    const char* name = names.data() + at;
    const std::size_t length = std::strlen(name);
    at += length + 1;
    const ssize_t size = fgetxattr(in, name, nullptr, 0);
    if (size < 0) return false;
    value.resize(static_cast<std::size_t>(size) + 1);
    const ssize_t got = fgetxattr(in, name, value.data(), value.size());
    if (got < 0) return false;
    if (fsetxattr(out, name, value.data(), static_cast<std::size_t>(got), 0) != 0 &&
        !MayBeRefused(std::string_view(name, length))) {
      return false;
    }
  }
  return true;
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

bool IsNoSpace(int error) { return error == ENOSPC || error == EDQUOT; }

// How a finished copy is put at its destination.
enum class Placing { kReplace, kNoReplace };

// rename(2), or without replacing: renameat2 RENAME_NOREPLACE, and where the
// file system refuses the flag, lstat then rename. 0 or -1 with errno
// (EEXIST when something stands at `to`).
int RenameAs(const char* from, const char* to, Placing placing) {
  if (placing == Placing::kReplace) return rename(from, to);
  if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
  struct stat st {};
  if (lstat(to, &st) == 0) {
    errno = EEXIST;
    return -1;
  }
  return rename(from, to);
}

// fsync(2) of the directory holding `path`; false (errno set) when it fails.
bool SyncParentDirectory(const NarrowString& path) {
  const std::size_t slash = path.view().rfind('/');
  const NarrowString directory = slash == std::string_view::npos ? NarrowString(".")
                                 : slash == 0                    ? NarrowString("/")
                                                                 : path.substr(0, slash);
  const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = fsync(fd) == 0;
  const int error = errno;
  close(fd);
  errno = error;
  return ok;
}

// Renames the finished copy `temporary` to `destination`, then removes
// `source`. When the source cannot be removed the copy is removed again, so
// that the file exists once. -1 with errno on failure.
int PutCopyInPlace(const NarrowString& temporary, const NarrowString& destination,
                   const NarrowString& source, Placing placing) {
  if (RenameAs(temporary.c_str(), destination.c_str(), placing) != 0) {
    const int error = errno;
    unlink(temporary.c_str());
    errno = error;
    return -1;
  }
  // The copy's name is durable too before the original is removed: a power
  // loss never leaves neither.
  if (!SyncParentDirectory(destination)) {
    const int error = errno;
    unlink(destination.c_str());
    errno = error;
    return -1;
  }
  if (unlink(source.c_str()) != 0) {
    const int error = errno;
    unlink(destination.c_str());
    errno = error == ENOENT ? EIO : error;
    return -1;
  }
  return 0;
}

// Copies the regular file `source` (status `st`) beside `destination`,
// keeping content, permission bits, owner when allowed, extended attributes
// and times, puts the copy at `destination` and unlinks the source. On
// failure (-1, errno) the copy is removed, and source and destination are as
// they were.
int CopyFileThenUnlink(const NarrowString& source, const struct stat& st,
                       const NarrowString& destination, Placing placing) {
  Descriptor in(open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (in.get() < 0) return -1;
  NarrowString temporary = SiblingTemplate(destination);
  Descriptor out(mkostemp(temporary.mutable_data(), O_CLOEXEC));
  if (out.get() < 0) return -1;
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  bool ok = CopyBytes(in.get(), out.get());
  if (ok) {
    (void)!fchown(out.get(), st.st_uid, st.st_gid);  // allowed to the superuser only
    // The mode first: an ACL written afterwards keeps its own mask.
    ok = fchmod(out.get(), st.st_mode & 07777) == 0 &&
         CopyExtendedAttributes(in.get(), out.get()) && futimens(out.get(), times) == 0 &&
         fsync(out.get()) == 0;  // the copy is durable before the source may go
  }
  int error = ok ? 0 : errno;
  if (!out.Close() && ok) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    unlink(temporary.c_str());
    errno = error;
    return -1;
  }
  return PutCopyInPlace(temporary, destination, source, placing);
}

// The same for a symbolic link: the link itself is recreated with its times.
int CopyLinkThenUnlink(const NarrowString& source, const struct stat& st,
                       const NarrowString& destination, Placing placing) {
  const std::size_t room = static_cast<std::size_t>(st.st_size) + 1;
  std::unique_ptr<char[]> target(new char[room]);
  const ssize_t n = readlink(source.c_str(), target.get(), room);
  if (n < 0) return -1;
  if (static_cast<std::size_t>(n) >= room) {
    errno = EAGAIN;  // changed since lstat
    return -1;
  }
  target[static_cast<std::size_t>(n)] = '\0';
  // Reserve a unique name, then put the link in its place.
  NarrowString temporary = SiblingTemplate(destination);
  const int fd = mkostemp(temporary.mutable_data(), O_CLOEXEC);
  if (fd < 0) return -1;
  close(fd);
  if (unlink(temporary.c_str()) != 0 || symlink(target.get(), temporary.c_str()) != 0) {
    const int error = errno;
    unlink(temporary.c_str());
    errno = error;
    return -1;
  }
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  (void)!lchown(temporary.c_str(), st.st_uid, st.st_gid);
  (void)!utimensat(AT_FDCWD, temporary.c_str(), times, AT_SYMLINK_NOFOLLOW);
  return PutCopyInPlace(temporary, destination, source, placing);
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
  if (S_ISREG(st.st_mode)) {
    return CopyFileThenUnlink(from, st, to, Placing::kReplace) == 0 ? kOk : kErrNotFound;
  }
  if (S_ISLNK(st.st_mode)) {
    return CopyLinkThenUnlink(from, st, to, Placing::kReplace) == 0 ? kOk : kErrNotFound;
  }
  // Directories and special files: mv moves them whole. It must not move the
  // source into an existing destination directory.
  if (KindOfNative(to.c_str()) == PathKind::kDirectory) return kErrNotFound;
  return MovePath(source, destination);
}

MoveResult MoveNoReplace(const WideString& source, const WideString& destination,
                         struct stat* moved, const struct stat* sourceStatus) {
  NarrowString from;
  NarrowString to;
  if (!ToNativePath(source, from) || !ToNativePath(destination, to)) {
    return MoveResult::kUnrepresentable;
  }
  struct stat st {};
  if (sourceStatus != nullptr) {
    st = *sourceStatus;
  } else if (lstat(from.c_str(), &st) != 0) {
    return MoveResult::kFailed;
  }
  if (!(S_ISREG(st.st_mode) || S_ISLNK(st.st_mode))) {
    return MoveResult::kFailed;
  }
  int result = RenameAs(from.c_str(), to.c_str(), Placing::kNoReplace);
  bool copied = false;
  if (result != 0 && errno == EXDEV) {
    copied = true;
    result = S_ISREG(st.st_mode) ? CopyFileThenUnlink(from, st, to, Placing::kNoReplace)
                                 : CopyLinkThenUnlink(from, st, to, Placing::kNoReplace);
  }
  if (result != 0) {
    if (errno == EEXIST) return MoveResult::kTargetExists;
    return IsNoSpace(errno) ? MoveResult::kNoSpace : MoveResult::kFailed;
  }
  if (moved != nullptr) {
    *moved = st;
    if (copied && lstat(to.c_str(), moved) != 0) {
      *moved = st;  // vanished already: report what was moved
    }
  }
  return MoveResult::kMoved;
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
