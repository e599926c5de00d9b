// Native moves, removals and path queries, without external programs and
// without following symbolic links, for the install transaction's backup,
// restore and tree walks.
//
// Paths are wide strings converted with WideToLocaleChecked just before the
// system call; a path that cannot be represented in the locale's encoding or
// that holds a zero unit is never shortened and acted on (the per-function
// failure value is documented below).
//
// Thread safety: every function may be called from any thread and keeps no
// state; none changes the working directory. Nothing throws except
// std::bad_alloc from the string operations.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <vector>

#include "text/result_code.h"
#include "text/wide_string.h"

namespace veskp8 {

// What a path names, decided with lstat (a symbolic link is reported as a
// link, never followed).
enum class PathKind {
  kMissing,    // lstat failed with ENOENT or ENOTDIR: nothing by that name
  kRegular,    // a regular file
  kSymlink,    // a symbolic link (dangling or not)
  kDirectory,  // a directory
  kOther,      // a device, socket or FIFO
  kUnknown,    // lstat failed otherwise (e.g. EACCES on a parent), or the path
               // cannot be represented: existence is not known
};

[[nodiscard]] PathKind QueryPathKind(const WideString& path);

// Moves `source` to the name `destination` (never "into" it: unlike `mv`, an
// existing directory as destination is not entered).
//
// Within one file system: rename(2) (atomic; an existing non-directory
// destination is replaced). Across file systems (EXDEV), a regular file is
// copied natively keeping its content, permission bits, owner when allowed,
// and access and modification times (nanoseconds), then the source is
// unlinked (extended attributes, ACLs included, are copied too, as for
// MoveNoReplace); a symbolic link is recreated as the same link with its times; a
// directory or special file is handed to `mv` (MovePath). An existing
// non-directory destination is replaced. A copy that fails (e.g. the file
// system fills up) removes what it wrote of the destination and leaves the
// source in place.
//
// Result, as MovePath gives it: 0 when moved; 2 when the move failed (missing
// source, missing destination parent, no permission, no space, ...);
// 87 when a path cannot be represented or `mv` could not be started.
[[nodiscard]] ResultCode MovePathNative(const WideString& source, const WideString& destination);

// Outcome of MoveNoReplace.
enum class MoveResult {
  kMoved,            // done; the source name is gone
  kTargetExists,     // something stands at the destination: nothing was changed
  kNoSpace,          // a copy across file systems ran out of space (ENOSPC,
                     // EDQUOT): what it wrote is removed, the source is intact
  kFailed,           // any other failure (missing source or parent, no
                     // permission, not a file or link); nothing was changed
  kUnrepresentable,  // a path cannot be represented; nothing was changed
};

// Moves the regular file or symbolic link `source` to the name `destination`,
// never replacing anything there: renameat2 with RENAME_NOREPLACE (where the
// file system refuses that flag: lstat, then rename). Across file systems
// the file is copied beside the destination keeping its content, permission
// bits, owner (when allowed), extended attributes (ACLs included; those of
// the "security." and "trusted." namespaces where the kernel allows) and
// access and modification times (nanoseconds); a link is recreated as the same
// link with its times; the copy is synced, put in place without replacing,
// its directory synced, and only then the source unlinked (a power loss
// never takes both). When the source cannot be unlinked the copy is removed
// again (kFailed), so the file exists once. `moved`, when given, receives the
// status of the destination after a successful move (after a rename: the
// source's, which it still is). `sourceStatus`, when given, is the caller's
// fresh lstat of the source (saves one).
[[nodiscard]] MoveResult MoveNoReplace(const WideString& source, const WideString& destination,
                                       struct stat* moved = nullptr,
                                       const struct stat* sourceStatus = nullptr);

// unlink(2): removes a file, or a symbolic link itself. Result: 0 removed;
// 2 nothing by that name (ENOENT); 87 any other failure (a directory, no
// permission) or a path that cannot be represented.
[[nodiscard]] ResultCode RemoveFileNoFollow(const WideString& path);

// rmdir(2): removes an empty directory. Result: 0 removed; 2 ENOENT; 87 any
// other failure (not empty, not a directory, a symbolic link, ...).
[[nodiscard]] ResultCode RemoveDirectory(const WideString& path);

// Removes `path` and, when it is a directory, everything below it, in one
// process (no external program), never following symbolic links (a link is
// unlinked itself, wherever it points) and continuing past names that cannot
// be removed. Result: 0 when nothing by that name is left (a missing path
// included); 87 when something stayed (what could be removed is gone) or the
// path cannot be represented.
[[nodiscard]] ResultCode RemoveTreeNoFollow(const WideString& path);

// Outcome of MakeDirectoryOnce.
enum class MakeDirectoryResult {
  kCreated,             // mkdir(2) created it
  kAlreadyDirectory,    // EEXIST, and the name is a directory (or a link to one)
  kExistsNotDirectory,  // EEXIST, and the name is something else
  kFailed,              // any other failure, or the path cannot be represented
};

// mkdir(2) of one level with the given permission bits (minus the umask);
// missing parents are not created.
[[nodiscard]] MakeDirectoryResult MakeDirectoryOnce(const WideString& path, mode_t mode = 0777);

// One entry of a directory listing.
struct DirectoryEntry {
  WideString name;  // the entry's name (no directory part)
  PathKind kind;    // from d_type, or lstat when the file system gives none
};

// Lists `directory` without "." and "..", in readdir order, never following
// symbolic links (a link to a directory is kSymlink). `out` is replaced.
// Result: 0; 2 when the directory does not exist; 87 when it cannot be opened
// or read otherwise, or cannot be represented (`out` then holds what was read
// before the failure).
[[nodiscard]] ResultCode ListDirectoryNoFollow(const WideString& directory,
                                               std::vector<DirectoryEntry>& out);

}  // namespace veskp8
