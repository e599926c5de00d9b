// The checks the installer makes before its wizard window is built: find the
// kit "veskp8.efd", propose a template directory from the launcher
// configuration, make sure the temporary directory has room for the inflated
// kit, and open the kit. Free of GTK: the caller supplies the message box.
//
// Order and messages (only the first failure is reported, with one error box):
//   1. kit path empty or no kit file        -> IDS_ERROR_NOSOURCE
//   2. (kit path stored; template-directory list read; proposal chosen and
//      cleaned)
//   3. free space below 3 x the kit's size  -> IDS_ERROR_NOSPACE
//      (skipped when the kit's size cannot be queried)
//   4. the kit does not open                -> IDS_ERROR_DAMAGEDSOURCE
//
// Threads: the user interface thread, before any worker exists. Nothing
// throws except std::bad_alloc.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "text/narrow_string.h"
#include "text/result_code.h"
#include "text/wide_string.h"

namespace veskp8 {

class KitArchive;

inline constexpr char kKitFileName[] = "veskp8.efd";
// Three times the compressed kit must be free in the temporary directory,
// which receives the inflated image.
inline constexpr std::uint64_t kKitSpaceFactor = 3;

// The installer dialog's members that the checks read and fill, by reference.
struct PreinstallState {
  bool useCwd;                            // in: look for the kit in the current directory
  WideString& kitPath;                    // out: full path of the kit
  std::vector<WideString>& templateDirs;  // out: list from the launcher configuration
  WideString& targetDir;                  // out: proposed template directory
  bool& scope1FileExists;                 // out: the scope 1 primary file exists
  bool& listFromScope1;                   // out: list read in scope 1 and not empty
  KitArchive& kit;                        // out: opened kit
};

// What the checks use of the file system, the launcher configuration and the
// kit reader. DefaultPreinstallServices() gives the real ones; tests replace
// single members.
struct PreinstallServices {
  std::function<bool(const WideString& path)> pathExists;
  // Whether the primary launcher configuration file of scope 0 or 1 exists.
  std::function<bool(bool scope)> primaryConfigExists;
  std::function<void(std::vector<WideString>& list, bool scope)> readTemplateLocations;
  std::function<bool(const WideString& directory)> isDirectoryWritable;
  // Per-user default template base, ending in "/".
  std::function<WideString()> defaultTemplateBase;
  std::function<ResultCode(const WideString& path, std::uint32_t* size)> fileSize;
  std::function<ResultCode(std::uint64_t* bytes)> freeSpace;
  std::function<ResultCode(KitArchive& kit, const WideString& path)> openKit;
};

PreinstallServices DefaultPreinstallServices();

// Shows an error text to the user and returns when the user has closed it.
using PreinstallMessage = std::function<void(const WideString& text)>;

// The path of this process's executable ("/proc/self/exe"), any length;
// empty when it cannot be read.
NarrowString ReadExecutablePath();

// The current working directory, any length; empty when it cannot be read.
NarrowString ReadCurrentDirectory();

// Where the kit is looked for: the current directory with `useCwd`, else the
// executable's directory, followed by "/veskp8.efd", as a wide string. Empty
// when the executable's path cannot be read (or, with `useCwd`, the current
// directory).
WideString LocateKit(bool useCwd);

// Cleans a proposed template directory, each step on the previous result:
// "http://", "https://" or "ftp://" anywhere empties it; the first "file://"
// is removed; "\" becomes "/"; line feeds, then carriage returns, are removed.
WideString CleanProposedDirectory(WideString directory);

// True when `freeBytes` is at least kKitSpaceFactor x `kitSize` (64-bit).
bool HasRoomForKit(std::uint64_t kitSize, std::uint64_t freeBytes);

// Runs the checks in order. True: the wizard may start; every output of
// `state` is set and the kit is open. False: `showError` has been called once
// with the failing check's text (already closed by the user); outputs set
// before the failure stay as they are, and the kit is closed.
[[nodiscard]] bool RunPreinstallChecks(PreinstallState& state, const PreinstallMessage& showError,
                                       const PreinstallServices& services);

}  // namespace veskp8
