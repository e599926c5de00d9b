// Result codes: the one vocabulary of failures shared by the kit reader, the
// file-system services, the install transaction and the extraction engine.
//
// A result code is a plain int, 0 for success. The numbers are fixed across the
// program (and across versions: the dialog only distinguishes zero from
// non-zero, but tests and tools print them). Functions that return one are
// marked [[nodiscard]] at their declaration.
#pragma once

namespace veskp8 {

using ResultCode = int;

inline constexpr ResultCode kOk = 0;
// File size could not be queried (no output place, or the path cannot be examined).
inline constexpr ResultCode kErrSizeUnknown = 1;
// Not found (ENOENT), or an external command (mkdir -p, mv, touch) reported failure.
inline constexpr ResultCode kErrNotFound = 2;
// A directory path has no parent left to create.
inline constexpr ResultCode kErrNoParent = 3;
// Invalid handle: the descriptor is -1, or its status could not be queried.
inline constexpr ResultCode kErrInvalidHandle = 6;
// The file system is full (ENOSPC) or the user's quota is used up (EDQUOT)
// while the kit's image is written.
inline constexpr ResultCode kErrDiskFull = 112;
// Not enough memory: an allocation failed while the kit was being opened.
inline constexpr ResultCode kErrOutOfMemory = 8;
// The kit does not inflate or its tables are damaged.
inline constexpr ResultCode kErrInvalidData = 13;
// Any other system error; an external program could not be started; a path
// that cannot be represented in the locale's encoding.
inline constexpr ResultCode kErrInvalidParameter = 87;
// The temporary file could not be created.
inline constexpr ResultCode kErrTempFile = 1013;
// The installation was cancelled.
inline constexpr ResultCode kErrCancelled = 1223;
// An installation failed and its rollback could not put every replaced
// original back: they are kept in the backup directory, which stays.
inline constexpr ResultCode kErrRollbackIncomplete = 1650;
// Another installation into the same template directory is in progress (its
// lock is held); nothing was changed.
inline constexpr ResultCode kErrBusy = 1618;

}  // namespace veskp8
