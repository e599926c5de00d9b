// The file handle layer: opening files and byte-level access through plain
// POSIX descriptors, with a process-wide last error.
//
// A file handle is a POSIX file descriptor; kNoFileHandle (-1) means that no
// file is open. The caller owns a handle returned by OpenFileHandle and
// closes it with CloseFile.
//
// Last error: one process-wide value (shared by all threads, not per thread)
// holding the code of the most recent operation of this layer. Every
// operation below sets it to 0 on entry and to its result code on failure.
// The program's threads never do file work at the same time, so the value
// read after a call is that call's.
//
// Result codes (text/result_code.h): 0 success; 2 the system error was ENOENT;
// 6 the handle is -1 or the file's status cannot be queried; 87 any other
// system error, or a read or write without a place for the transferred count.
// The descriptors themselves may be used from any thread, one at a time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "text/result_code.h"
#include "text/wide_string.h"

namespace veskp8 {

using FileHandle = int;
inline constexpr FileHandle kNoFileHandle = -1;

// Access values of OpenFileHandle.
inline constexpr std::uint32_t kAccessRead = 0x80000000u;
inline constexpr std::uint32_t kAccessWrite = 0x40000000u;
inline constexpr std::uint32_t kAccessReadWrite = 0xC0000000u;

// Disposition values of OpenFileHandle.
inline constexpr std::uint32_t kCreateKeepContent = 2;  // create if missing, keep content
inline constexpr std::uint32_t kOpenExisting = 3;       // the file must exist
inline constexpr std::uint32_t kTruncateExisting = 5;   // must exist; truncated to 0

// Opens `path` (taken up to its first zero unit).
//   access: read-write when both of the two highest bits are set (>=
//     0xC0000000), else write-only when 0x40000000 is set, else read-only;
//   disposition: 5 adds O_TRUNC, 2 adds O_CREAT (no truncation; the writer sets
//     the end itself with TruncateHere), any other value adds nothing;
//   share_mode and flags are accepted and ignored.
// A created file gets the permission bits 0660 minus the umask. The
// descriptor is close-on-exec (programs started later do not inherit it).
// Result: 0 and `out_handle` set; otherwise `out_handle` unchanged and 2
// (ENOENT) or 87 (any other error, or a path that cannot be represented in
// the locale's encoding), also stored as the last error.
[[nodiscard]] ResultCode OpenFileHandle(const WideString& path, std::uint32_t access,
                                        std::uint32_t share_mode, std::uint32_t disposition,
                                        FileHandle& out_handle, std::uint32_t flags);

enum class SeekOrigin { kBegin, kCurrent, kEnd };

// Repositions the file. Returns the new position from the start of the file,
// or -1: last error 6 when the handle is -1 or not an open descriptor, 87 for
// any other failure (e.g. a negative resulting position).
[[nodiscard]] std::int64_t SeekFile(FileHandle handle, std::int64_t distance, SeekOrigin origin);

// Reads until `count` bytes are read or the end of the file is reached (an
// early end is not an error: *out_read tells how many bytes were read).
// Result: 0; 87 when out_read is null or the handle is -1; 2 / 87 for a failed
// read (ENOENT / other), *out_read then holding the bytes read before it.
[[nodiscard]] ResultCode ReadFully(FileHandle handle, void* buffer, std::size_t count,
                                   std::size_t* out_read);

// One write(2) of `count` bytes. Result: 0 when all bytes were written;
// 6 when the handle is -1; 87 when out_written is null; otherwise 2 (ENOENT)
// or 87 (any other error, or a short write such as a full file system).
// *out_written (when given) receives the bytes written, 0 after an error.
[[nodiscard]] ResultCode WriteFile(FileHandle handle, const void* buffer, std::size_t count,
                                   std::size_t* out_written);

// Closes the handle (also after a failure: the descriptor is gone). Result:
// 0; 2 (ENOENT) / 87 (any other error, e.g. the handle -1 or not open).
[[nodiscard]] ResultCode CloseFile(FileHandle handle);

// Times of an open file in ticks (file_time.h), whole seconds.
struct FileTimes {
  std::uint64_t creation = 0;      // the status-change time (st_ctime)
  std::uint64_t access = 0;        // st_atime
  std::uint64_t modification = 0;  // st_mtime
};

// fstat of the open file. Result: 0 and `out` set; 6 when the handle is -1 or
// fstat fails (`out` unchanged).
[[nodiscard]] ResultCode GetFileTimes(FileHandle handle, FileTimes& out);

// Sets both the access and the modification time to `modification_ticks`
// converted to Unix seconds (sub-second part dropped, microseconds 0), with
// futimes. Result: 0; 6 when the handle is -1 or futimes fails.
[[nodiscard]] ResultCode SetFileTimes(FileHandle handle, std::uint64_t modification_ticks);

// Truncates (or extends) the file at the current position. Result: 0; 6 when
// the handle is -1; 2 (ENOENT) / 87 (any other error, e.g. a read-only
// descriptor).
[[nodiscard]] ResultCode TruncateHere(FileHandle handle);

// fsync(2): the file's data and metadata reach the storage device. Result: 0;
// 6 when the handle is -1; 87 when fsync fails.
[[nodiscard]] ResultCode FlushFile(FileHandle handle);

// The process-wide last error, and setting it (for layers above that report
// through the same value).
[[nodiscard]] ResultCode LastError();
void SetLastError(ResultCode code);

}  // namespace veskp8
