#include "install/fs/file_system.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <vector>

#include "install/fs/native_path.h"
#include "install/fs/process.h"
#include "text/conversion.h"

namespace veskp8 {
namespace {

bool IsDirectory(const char* path) {
  struct stat st {};
  return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

// The first `count` code points of `text` (a surrogate pair counts as one).
WideString LeadingCharacters(const WideString& text, std::size_t count) {
  std::size_t end = 0;
  for (std::size_t taken = 0; end < text.size() && taken < count; ++taken) {
    const char16_t unit = text[end];
    ++end;
    if (unit >= 0xD800 && unit <= 0xDBFF && end < text.size() && text[end] >= 0xDC00 &&
        text[end] <= 0xDFFF) {
      ++end;
    }
  }
  return text.substr(0, end);
}

// Runs a file program with "--" before its path arguments.
int RunWithPaths(const char* program, const char* option, std::vector<NarrowString> paths,
                 bool stderr_to_null) {
  std::vector<NarrowString> argv;
  argv.reserve(paths.size() + 3);
  argv.emplace_back(program);
  if (option != nullptr) argv.emplace_back(option);
  argv.emplace_back("--");
  for (NarrowString& p : paths) argv.push_back(std::move(p));
  return RunProgram(argv, stderr_to_null);
}

}  // namespace

WideString GetTempDirectory() {
  const char* value = getenv("TMPDIR");
  const char* chosen = (value != nullptr && IsDirectory(value)) ? value : "/tmp";
  WideString result = LocaleToWide(chosen);
  if (!result.empty() && result.back() != u'/') result.push_back(u'/');
  return result;
}

ResultCode CreateTempFile(const WideString& directory, const WideString& prefix,
                          WideString& out_name) {
  NarrowString native_directory;
  NarrowString native_prefix;
  if (!ToNativePath(directory, native_directory) ||
      !ToNativePath(LeadingCharacters(prefix, 5), native_prefix)) {
    out_name.clear();
    return kErrInvalidParameter;
  }

  // The directory as tempnam chooses it.
  NarrowString chosen;
  const char* tmpdir = secure_getenv("TMPDIR");
  if (tmpdir != nullptr && IsDirectory(tmpdir)) {
    chosen = tmpdir;
  } else if (!native_directory.empty() && IsDirectory(native_directory.c_str())) {
    chosen = native_directory;
  } else if (IsDirectory("/tmp")) {
    chosen = "/tmp";
  } else {
    out_name.clear();
    return kErrTempFile;
  }
  std::size_t length = chosen.size();
  while (length > 0 && chosen[length - 1] == '/') --length;

  NarrowString name(chosen.c_str(), length);
  name += '/';
  name += native_prefix.empty() ? NarrowString("file") : native_prefix;
  name += "XXXXXX";
  const int fd = mkostemp(name.mutable_data(), O_CLOEXEC);
  out_name = LocaleToWide(name);
  if (fd < 0) return kErrTempFile;
  close(fd);
  return kOk;
}

ResultCode MakeDirectoriesStatusToCode(int wait_status) {
  if (wait_status == -1) return kErrInvalidParameter;
  if ((wait_status & 0xFF00) != 0) return kErrNotFound;
  return kOk;
}

ResultCode MoveStatusToCode(int wait_status) {
  if (wait_status == -1) return kErrInvalidParameter;
  if ((wait_status & 0xFF00) == 0x100) return kErrNotFound;
  return kOk;
}

ResultCode MakeDirectories(const WideString& path) {
  NarrowString native;
  if (!ToNativePath(path, native)) return kErrInvalidParameter;
  return MakeDirectoriesStatusToCode(RunWithPaths("mkdir", "-p", {native}, true));
}

ResultCode RemoveTree(const WideString& path) {
  NarrowString native;
  if (!ToNativePath(path, native)) return kErrInvalidParameter;
  (void)RunWithPaths("rm", "-rf", {native}, true);
  return kOk;
}

ResultCode MovePath(const WideString& source, const WideString& destination) {
  NarrowString native_source;
  NarrowString native_destination;
  if (!ToNativePath(source, native_source) || !ToNativePath(destination, native_destination)) {
    return kErrInvalidParameter;
  }
  return MoveStatusToCode(RunWithPaths("mv", nullptr, {native_source, native_destination}, true));
}

ResultCode RemoveFile(const WideString& path) {
  NarrowString native;
  if (!ToNativePath(path, native)) return kErrInvalidParameter;
  (void)RunWithPaths("rm", "-f", {native}, false);
  return kOk;
}

ResultCode QueryFileSize(const WideString& path, std::uint32_t* out_size) {
  if (out_size == nullptr) return kErrSizeUnknown;
  NarrowString native;
  if (!ToNativePath(path, native)) return kErrSizeUnknown;
  struct stat st {};
  if (stat(native.c_str(), &st) != 0) return kErrSizeUnknown;
  *out_size = static_cast<std::uint32_t>(static_cast<std::uint64_t>(st.st_size));
  return kOk;
}

ResultCode QueryFreeSpace(std::uint64_t* out_bytes) {
  if (out_bytes == nullptr) return kErrInvalidParameter;
  *out_bytes = 0;
  NarrowString native;
  if (!ToNativePath(GetTempDirectory(), native)) return kOk;
  struct statvfs info {};
  if (statvfs(native.c_str(), &info) == 0) {
    *out_bytes =
        static_cast<std::uint64_t>(info.f_frsize) * static_cast<std::uint64_t>(info.f_bfree);
  }
  return kOk;
}

}  // namespace veskp8
