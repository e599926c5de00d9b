// What the directory page's text means as a template directory, and where
// the folder chooser opens for it.
//
// The text is taken as the user typed it (backslashes as slashes): a leading
// "~" alone or "~/" stands for the home directory, as in a shell; a path
// that begins with "/" is used as it is; anything else is relative, which
// means nothing to the launcher that later reads the directory from its
// configuration file, and is refused.
//
// No state; any thread (HomeDirectory reads the environment: not while
// another thread changes it).
#pragma once

#include "text/wide_string.h"

namespace veskp8 {

struct TargetPath {
  enum class Kind {
    kEmpty,     // nothing typed
    kRelative,  // neither absolute nor "~"-based (or "~" with no home known)
    kAbsolute,  // `path` is the directory to use
  };
  Kind kind = Kind::kEmpty;
  WideString path;  // kAbsolute only: the absolute directory
};

// `text` interpreted as above, "~" standing for `home` (a trailing "/" of
// home is not doubled). "~user" forms are not expanded: they are relative.
[[nodiscard]] TargetPath InterpretTargetPath(const WideString& text, const WideString& home);

// The directory itself when it exists (a link to a directory counts), else
// its nearest existing parent, for the folder chooser to open at; empty for
// a text that is not an absolute path.
[[nodiscard]] WideString NearestExistingDirectory(const WideString& path);

}  // namespace veskp8
