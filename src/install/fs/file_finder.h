// FileFinder: one directory listing with a name pattern, or the existence
// test of one path.
//
// FindFirst(search path) splits the path at its last "/": the directory part
// before it and the name pattern after it.
//  - A pattern holding "*" makes a listing: the directory is read with
//    readdir, and every entry whose name matches the pattern (fnmatch with
//    FNM_NOESCAPE only: "*", "?" and brackets are wildcards, a backslash is an
//    ordinary character, "*" matches a leading ".", case-sensitive) is
//    reported in readdir order, "." and ".." included (callers skip them).
//    A search path "/*" lists the root; one without any "/" lists the current
//    directory.
//  - Any other pattern (also one with "?" or "[" but no "*") is an existence
//    test of the whole path: no directory is read, the current name becomes
//    the pattern, and the result is whether stat succeeds.
// Each found entry's status comes from stat, which follows symbolic links: a
// link to a directory carries the directory attribute, and an entry whose
// stat fails (e.g. a dangling link) ends the listing there. For listings that
// must not follow links use ListDirectoryNoFollow (file_system_native.h).
//
// A search path that cannot be represented in the locale's encoding, or holds
// a zero unit, makes FindFirst false without touching the file system.
//
// Typical use: FileFinder f; for (bool ok = f.FindFirst(dir + u"*"); ok;
// ok = f.FindNext()) { name = f.GetName(); skip "." and ".."; branch on
// GetAttributes(); }
//
// Ownership and threads: the object owns its directory stream and closes it
// when the listing ends or on destruction; one object belongs to one thread.
// Not copyable. Nothing throws except std::bad_alloc.
#pragma once

#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>

#include "text/narrow_string.h"
#include "text/wide_string.h"

namespace veskp8 {

inline constexpr std::uint32_t kAttributeDirectory = 0x10;

class FileFinder {
 public:
  FileFinder() noexcept;
  ~FileFinder();
  FileFinder(const FileFinder&) = delete;
  FileFinder& operator=(const FileFinder&) = delete;

  // Starts a listing or makes an existence test (see above); a listing still
  // open from an earlier call is closed first. True when an entry was found
  // (listing: the first matching entry; test: the path exists). False when
  // the directory cannot be opened, nothing matches, or the path is missing.
  [[nodiscard]] bool FindFirst(const WideString& search_path);

  // The next matching entry of a listing. False at the end of the directory
  // (the stream is then closed), without an open listing, when fnmatch
  // reports an error (the stream stays open), or when stat of the matching
  // entry fails.
  [[nodiscard]] bool FindNext();

  // Name of the entry found last (existence test: the name pattern).
  WideString GetName() const { return m_name; }
  // The search path given to FindFirst, unchanged.
  WideString GetSearchPath() const { return m_searchPath; }
  // 0x10 (kAttributeDirectory) when the entry found last is a directory (its
  // stat mode has the directory type), else 0.
  std::uint32_t GetAttributes() const noexcept;

 private:
  void CloseStream() noexcept;

  WideString m_pattern;
  WideString m_searchPath;
  WideString m_name;
  NarrowString m_nativeDirectory;  // directory part for opendir; "." or "/" as needed
  NarrowString m_nativePrefix;     // prefix of entry paths for stat ("dir/")
  NarrowString m_nativePattern;    // pattern for fnmatch
  DIR* m_stream = nullptr;
  struct stat m_status {};
};

// The existence test of one path (a FileFinder search without "*"): true when
// something can be examined at `path`, links followed. Any thread.
[[nodiscard]] bool PathExists(const WideString& path);

}  // namespace veskp8
