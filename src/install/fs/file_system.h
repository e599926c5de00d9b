// File-system services: the temporary directory, uniquely named temporary
// files, creating, moving and removing paths, and file size and free-space
// queries.
//
// Paths are wide strings; each is converted to the locale's encoding
// (WideToLocaleChecked) immediately before the system call or program run.
// A path that cannot be represented in the locale's encoding, or that holds a
// zero unit, is never shortened and acted on: the operation fails with
// kErrInvalidParameter (87) unless documented otherwise below, and nothing is
// touched.
//
// Creating directories, moving and removing trees and files run the external
// programs `mkdir -p`, `mv`, `rm -rf` and `rm -f` with an argument vector
// (RunProgram, process.h). Paths never pass through a shell: each path is one
// literal argument after "--", so a path starting with "-" is a path. Error
// output of `mkdir`, `mv` and `rm -rf` goes to /dev/null; `rm -f` keeps the
// process's standard error. The programs' wait statuses are reduced to result
// codes as documented per function; a program that cannot be started counts
// as status -1.
//
// For the install transaction's fast path (rename(2), unlink, rmdir, lstat,
// mkdir(2)) see file_system_native.h.
//
// Thread safety: every function may be called from any thread; none keeps
// state. Functions that run a program block until it ends. Nothing throws
// except std::bad_alloc from the string operations.
#pragma once

#include <cstdint>

#include "text/result_code.h"
#include "text/wide_string.h"

namespace veskp8 {

// The temporary directory, always ending in "/": the value of TMPDIR when it
// is set and names an existing directory (stat, following links; whether it is
// writable is not tested), otherwise "/tmp". A value that already ends in "/"
// gets no second one.
WideString GetTempDirectory();

// Creates a new, empty file with a unique name, atomically (O_CREAT|O_EXCL,
// mode 0600, as mkstemp does): an existing file is never reused, so two
// processes never get the same name.
//
// The directory is chosen the way the C library's tempnam chooses it: TMPDIR
// when it names an existing directory, else `directory` when it names an
// existing directory, else "/tmp". The name is that directory, "/", at most
// the first five characters of `prefix` ("file" when the prefix is empty) and
// six random letters and digits, e.g. "/tmp/edfA3x9Qk".
//
// Result: 0 when the file was created; 1013 (kErrTempFile) when it could not
// be (no usable directory, not writable, file system full, ...);
// 87 when `directory` or `prefix` cannot be represented in the locale's
// encoding (nothing is created). `out_name` receives the created name on
// success, the last name tried after a failed creation, and is cleared when no
// name could be formed. The caller owns the file and removes it.
[[nodiscard]] ResultCode CreateTempFile(const WideString& directory, const WideString& prefix,
                                        WideString& out_name);

// Runs `mkdir -p -- PATH`. Result: 0 when mkdir succeeded (an existing
// directory included) or ended by a signal; 2 when it exited with a non-zero
// code (e.g. a component is a regular file); 87 when mkdir could not be
// started or the path cannot be represented.
[[nodiscard]] ResultCode MakeDirectories(const WideString& path);

// Runs `rm -rf -- PATH`. Result: 0 whatever rm reports (a missing path is not
// an error); 87 only when the path cannot be represented (nothing removed).
[[nodiscard]] ResultCode RemoveTree(const WideString& path);

// Runs `mv -- SOURCE DESTINATION` (mv's rules: an existing directory as
// DESTINATION receives SOURCE inside it; across file systems mv copies and
// removes). Result: 0 when mv succeeded; 2 when mv exited with code 1 (every
// ordinary mv failure, e.g. a missing source); 0 for any other exit code or a
// signal; 87 when mv could not be started or a path cannot be represented.
[[nodiscard]] ResultCode MovePath(const WideString& source, const WideString& destination);

// Runs `rm -f -- PATH`; rm's error output reaches the process's standard
// error. Result: 0 whatever rm reports; 87 only when the path cannot be
// represented (nothing removed).
[[nodiscard]] ResultCode RemoveFile(const WideString& path);

// Reduction of a wait status (or -1 when the program could not start) of
// `mkdir -p` and `mv` to the result codes above; exposed for tests.
[[nodiscard]] ResultCode MakeDirectoriesStatusToCode(int wait_status);
[[nodiscard]] ResultCode MoveStatusToCode(int wait_status);

// Size of the file at `path` (stat, following links), as its low 32 bits.
// Result: 0 and *out_size set; 1 (kErrSizeUnknown) when out_size is null, the
// path cannot be examined, or it cannot be represented; *out_size is then
// unchanged.
[[nodiscard]] ResultCode QueryFileSize(const WideString& path, std::uint32_t* out_size);

// Free space of the file system holding GetTempDirectory(): f_frsize * f_bfree
// (blocks free for the superuser) as a 64-bit product. Result: 87 when
// out_bytes is null; otherwise 0, with *out_bytes 0 when statvfs failed.
[[nodiscard]] ResultCode QueryFreeSpace(std::uint64_t* out_bytes);

}  // namespace veskp8
