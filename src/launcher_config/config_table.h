// ConfigTable: one launcher configuration file (vesklaunch.cfg) in memory,
// and the reader and writer of its key=value text.
//
// File syntax. The file is text in the encoding of the environment's locale.
// Each line is "key=value": the first "=" of a line separates, later ones
// belong to the value; a line without "=" is a key with an empty value; an
// empty line yields nothing; nothing is trimmed (blanks, tabs and carriage
// returns are ordinary characters, so a CR LF file has a CR at the end of
// every value); there are no comments; a byte-order mark is not recognised
// (it becomes the first character of the first key). The last line needs no
// line feed.
//
// A key may occur on several lines; its values form an ordered list. Keys and
// values are compared ignoring case (EqualIgnoringCase): repeated lines of one
// key gather under the key's first spelling and position, and a value repeated
// under one key is kept once, in its first position.
//
// Bytes that are not valid in the locale's encoding are read as escape units
// (see text/conversion.h) and written back as the same bytes, so such a file
// survives a rewrite byte for byte, apart from the entries that were changed.
//
// Threads: the functions keep no state and may run on any thread; one table
// must not be changed on one thread while another thread uses it.
#pragma once

#include <vector>

#include "text/wide_string.h"

namespace veskp8 {

// One key and its values, in the order of their lines.
struct ConfigEntry {
  WideString m_key;                  // spelling where the key was first seen; may be empty
  std::vector<WideString> m_values;  // no two equal ignoring case; may hold an empty value

  friend bool operator==(const ConfigEntry&, const ConfigEntry&) = default;
};

// The entries of one file, in the order in which their keys were first seen.
// No two keys compare equal ignoring case (when built with AddValue/SetValues).
struct ConfigTable {
  std::vector<ConfigEntry> m_entries;

  friend bool operator==(const ConfigTable&, const ConfigTable&) = default;
};

// Equality of keys and values: CompareNoCase (text/string_ops.h) is zero,
// i.e. strcasecmp of the locale forms (in a UTF-8 locale only ASCII letters
// are folded).
bool EqualIgnoringCase(const WideString& a, const WideString& b);

// What Load found at the path.
enum class LoadOutcome {
  kLoaded,         // the whole file was read and added
  kNotFound,       // nothing by that name (or a path component is not a directory)
  kUnreadable,     // it exists but could not be opened or read, is not a regular
                   // file, or the path cannot be represented; nothing was added
  kStoppedAtZero,  // the file holds a zero byte: what precedes the first zero byte
                   // was added, the rest was not read. Such a file must not be
                   // rewritten from this table, or everything after the zero
                   // would be lost.
};

// Reads the file at `path` and adds every line to `table` with AddValue;
// entries already in the table stay in front. A file that cannot be read adds
// nothing (no exception for any file-system failure; only std::bad_alloc).
// The caller may ignore the outcome when it only reads.
LoadOutcome Load(const WideString& path, ConfigTable& table);

// Adds `value` to the entry of `key` (a new entry at the end when the key is
// not there yet). Returns false, changing nothing, when the key already has a
// value equal to `value` ignoring case.
bool AddValue(ConfigTable& table, const WideString& key, const WideString& value);

// The values of the first entry whose key equals `key` ignoring case, or
// nullptr. The pointer stays valid until the table is changed.
const std::vector<WideString>* FindValues(const ConfigTable& table, const WideString& key);

// Replaces the values of `key`:
// - the key is there and `values` is not empty: the entry keeps its position
//   and spelling and gets a copy of `values` (taken as given: no duplicate
//   check);
// - the key is there and `values` is empty: the entry is removed and an entry
//   with `key` and no values is appended (it writes no line);
// - the key is not there: an entry with `key` and a copy of `values` is
//   appended.
void SetValues(ConfigTable& table, const WideString& key, const std::vector<WideString>& values);

// Writes the whole table to `path`: for each entry in order, for each value in
// order, the line key "=" value and a line feed (no byte-order mark, line
// feeds only). An entry without values writes nothing. Keys must not hold "="
// and keys and values must not hold a line feed, or the file would not read
// back as the same table (tables built by Load never do).
//
// The file is replaced atomically: the text goes to a new temporary file in
// the same directory, which is flushed to disk and then renamed over the
// target. Readers see the old or the new file, never a part of one, even when
// the process dies during the write. The replaced file keeps its permission
// bits (and its owner, when the process may set it). When `path` is a symbolic
// link, the file it finally points to is replaced and the link stays. A new
// file gets mode 0666 minus the umask.
//
// The temporary file is locked (flock) from its creation to its rename.
// Failure throws an int and leaves the old file (or its absence) as it was and
// no temporary file behind:
//   1 — the file cannot be opened for writing: the target exists but this
//       process may not write it (e.g. mode 0444), or it is not a regular
//       file, or no temporary file can be created in its directory (missing or
//       read-only directory), or the path cannot be represented in the locale's
//       encoding, or it is a loop of symbolic links;
//   2 — writing fails: a key or value cannot be represented in the locale's
//       encoding (checked before anything is written), or writing, flushing or
//       renaming the temporary file fails (e.g. the disk is full).
// std::bad_alloc may also escape (the old file is then untouched as well).
void Save(const WideString& path, const ConfigTable& table);

// Removes the temporary files that a save of `path` left behind when it was
// cut off (a kill, a crash, a power loss): those no process holds locked; a
// save in progress holds its own. Save does this itself before it writes.
// Failures are ignored; only std::bad_alloc escapes.
void RemoveStaleSaveTemporaries(const WideString& path);

}  // namespace veskp8
