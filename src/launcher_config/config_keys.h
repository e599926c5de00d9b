// Names of the keys of the launcher's configuration file (vesklaunch.cfg).
//
// Process-wide constants, usable anywhere a WideString is expected (they are
// zero-terminated UTF-16 literals, so they need no static initialisation and
// may be used at any time on any thread). Keys are compared ignoring case
// (EqualIgnoringCase in config_table.h), so a file that spells a key
// differently still matches.
//
// Only ConfigurationTemplatesLocation is read or changed by the installer; the
// other keys are listed because the launcher uses them, and a rewrite carries
// them (and every unnamed key) through unchanged.
#pragma once

namespace veskp8 {

// The list of directories in which the launcher looks for configuration
// templates, one value per line, highest priority first.
inline constexpr char16_t ConfigurationTemplatesLocation[] = u"ConfigurationTemplatesLocation";
inline constexpr char16_t InstalledLocation[] = u"InstalledLocation";
inline constexpr char16_t DistributiveLocation[] = u"DistributiveLocation";
inline constexpr char16_t CommonCfgLocation[] = u"CommonCfgLocation";
inline constexpr char16_t CommonInfoBases[] = u"CommonInfoBases";
inline constexpr char16_t InstallComponents[] = u"InstallComponents";
inline constexpr char16_t DefaultVersion[] = u"DefaultVersion";

}  // namespace veskp8
