// Reading and rewriting the list of template directories that the launcher's
// configuration files hold under ConfigurationTemplatesLocation.
//
// Each operation builds a LauncherConfig, loads the scope's secondary and
// primary files afresh (config_paths.h) and drops it; nothing is cached. The
// functions run on the user-interface thread in the installer, but keep no
// state and may run on any thread.
#pragma once

#include <vector>

#include "launcher_config/config_table.h"
#include "text/wide_string.h"

namespace veskp8 {

// The two files of one configuration scope, loaded for one read or write.
struct LauncherConfig {
  ConfigTable m_primary;    // the scope's primary file (read and rewritten)
  ConfigTable m_secondary;  // the scope's secondary file (only read)
  int m_scope = 0;          // 0 or 1 (config_paths.h)
  LoadOutcome m_primaryOutcome = LoadOutcome::kNotFound;

  // Loads the secondary file, then the primary file, of m_scope. Never throws:
  // a file that cannot be read (or an allocation failure while reading it)
  // leaves its table as far as it got.
  void LoadFiles() noexcept;
};

// Removes later duplicates from a list of directories, in place. Two values
// are the same directory when their comparison forms are equal ignoring case;
// the comparison form is the value itself when it is empty or ends in "/" or
// "\", otherwise the value followed by "/". The first of equal values stays,
// unchanged (with or without its trailing "/"): "/t/a" and "/T/A/" keep "/t/a".
void RemoveDuplicateDirectories(std::vector<WideString>& list);

// Appends the registered template directories of `scope` to `list`, highest
// priority first: the values of ConfigurationTemplatesLocation from the
// primary file, then from the secondary file (a value equal ignoring case to
// one collected before is skipped), every "\" turned into "/", duplicates
// removed. Missing, unreadable or unusable files contribute nothing (a file
// holding a zero byte contributes what precedes the zero). Never throws
// except std::bad_alloc.
void ReadTemplateLocations(std::vector<WideString>& list, int scope);

// Stores `list` as the values of ConfigurationTemplatesLocation in the
// primary file of `scope`, keeping every other line of that file (other keys,
// their spelling, values and order; the key keeps its place and spelling when
// it was there, otherwise its lines come last). The caller's list is not
// changed; the stored copy has duplicates removed and drops values holding a
// line feed, which cannot be one line of the file.
//
// When the file does not exist, its directory is created first (missing
// parents included). When Save fails, the file's directory is created
// (again) and Save is tried once more.
//
// Throws the int of Save (config_table.h) when the second attempt fails, and
// the int 1 without touching the file when the primary file exists but could
// not be read whole (unreadable, not a regular file, or holding a zero byte):
// rewriting it from what could be read would lose the rest. The file is never
// left partly written.
void WriteTemplateLocations(const std::vector<WideString>& list, int scope);

// True unless the primary file of `scope` was read whole and storing `list`
// in it (as WriteTemplateLocations would) leaves its keys and values as they
// are. Reads only. Never throws except std::bad_alloc.
[[nodiscard]] bool TemplateLocationsWouldChange(const std::vector<WideString>& list, int scope);

}  // namespace veskp8
