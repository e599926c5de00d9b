// IsDirectoryWritable: whether the installation could put files into a
// directory, tested on that directory itself.
//
// Threads: any thread; keeps no state. Throws only std::bad_alloc.
#pragma once

#include "text/wide_string.h"

namespace veskp8 {

// True when `directory` can take new files:
// - an existing directory passes when a file without a name (O_TMPFILE) can
//   be created in it; where its file system cannot make one, when a probe
//   file (".veskp8-probe-...") can be created in it with O_EXCL and removed
//   again; the probe never replaces an existing file and is always removed
//   when it was created;
// - a directory that does not exist yet passes when its nearest existing
//   ancestor passes that test, because the installation creates the missing
//   levels (a relative path without an existing ancestor is tested against
//   the current directory);
// - false for an empty text, a text the locale cannot represent, a path whose
//   nearest existing ancestor (or the path itself) is not a directory, and any
//   other failure (e.g. no permission to search a parent).
// Trailing "/" characters are ignored. Nothing is created or left behind.
bool IsDirectoryWritable(const WideString& directory);

}  // namespace veskp8
