// Where the launcher's configuration files, the per-user product data
// directory and the default template directory lie.
//
// Every path is built below the home directory H (HomeDirectory(), what the
// shell word "~" expands to; an empty home makes the paths start at "/").
// Each call looks the home directory up afresh; nothing is cached, nothing is
// tested for existence and nothing is created here.
//
//   product data directory   H/.veskp8/
//   scope 0 primary file     H/.Vesk/vesklaunch/vesklaunch.cfg
//   scope 0 secondary file   H/.veskp8//.Vesk/vesklaunch/vesklaunch.cfg
//   scope 1 primary file     H/.Vesk/vesklauncht/vesklaunch.cfg
//   scope 1 secondary file   H/.Vesk/vesklaunch/vesklaunch.cfg (= scope 0 primary)
//   default template base    H/.veskp8/Vesk/veskp8/
//   default template dir     H/.veskp8/Vesk/veskp8/tmplts/
//
// The doubled "/" of the scope 0 secondary file is kept as built; it names the
// same file as the path with one "/".
//
// Threads: any thread. Throws only std::bad_alloc.
#pragma once

#include "text/wide_string.h"

namespace veskp8 {

// A configuration scope is 0 or 1; any non-zero value means scope 1. The
// installer reads and rewrites the primary file of a scope and only reads its
// secondary file.
enum class ConfigRole { kPrimary, kSecondary };

// H/.veskp8/ (ends in "/").
WideString GetProductDataDirectory();

// The file of `scope` and `role`, as in the table above.
WideString GetConfigPath(int scope, ConfigRole role);

// H/.veskp8/Vesk/veskp8/ (ends in "/"): "veskp" and the platform's major
// version 8.
WideString GetDefaultTemplateBase();

// GetDefaultTemplateBase() followed by "tmplts" and "/": the directory proposed
// when no registered template directory is writable.
WideString GetDefaultTemplateDirectory();

}  // namespace veskp8
