// The checks the installer makes before its wizard window is built: find the
// kit "veskp8.efd", propose a template directory from the launcher
// configuration, make sure the temporary directory has room for the inflated
// kit, and open the kit. Free of GTK: the caller supplies the message box.
//
// Order and messages (only the first failure is reported, with one error box):
//   1. kit path empty, no kit file, or not  -> IDS_ERROR_NOSOURCE
//      a regular file (a FIFO, directory, socket or device of that name is
//      never opened; the kit stays open from here on, see OpenKitFile)
//   2. (kit path stored; template-directory list read; proposal chosen and
//      cleaned)
//   3. free space below 3 x the kit's size  -> IDS_ERROR_NOSPACE
//      (skipped when the kit's size cannot be queried)
//   4. the kit does not open                -> IDS_ERROR_DAMAGEDSOURCE
//      (also when memory runs out anywhere in the checks); but its image
//      does not fit the temporary directory -> IDS_ERROR_NOSPACE
//      (ENOSPC or EDQUOT while it is inflated: kNoTempSpace)
//
// A stop (PreinstallState::stop; a signal, see install/stop_signals.h) is
// looked at between the steps and between two writability probes, and the
// kit's inflation polls it. A stopped check answers kStopped at once without a
// message, with the kit closed (its image is gone); the caller ends the
// process.
//
// Threads: the user interface thread, before any worker exists. Nothing
// throws: an allocation failure ends the checks with the damaged-kit message
// (when even that cannot be shown, the checks answer false silently).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "install/fs/file_handle.h"
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
  // in: the stop flag (the installer passes the process stop flag,
  // install/stop_signals.h); null: none. Looked at between the steps and
  // between two writability probes, and polled by the kit's inflation, which
  // then ends with kErrCancelled. A stop ends the checks without a message.
  const std::atomic<bool>* stop = nullptr;
};

// What the checks use of the file system, the launcher configuration and the
// kit reader. DefaultPreinstallServices() gives the real ones; tests replace
// single members.
struct PreinstallServices {
  // Opens the kit file: OpenKitFile (kit_inflate.h) in the real services.
  // Non-zero: no kit file (the handle is not set).
  std::function<ResultCode(const WideString& path, FileHandle& handle)> openKitFile;
  // Whether the primary launcher configuration file of scope 0 or 1 exists.
  std::function<bool(bool scope)> primaryConfigExists;
  std::function<void(std::vector<WideString>& list, bool scope)> readTemplateLocations;
  std::function<bool(const WideString& directory)> isDirectoryWritable;
  // Per-user default template base, ending in "/".
  std::function<WideString()> defaultTemplateBase;
  std::function<ResultCode(const WideString& path, std::uint32_t* size)> fileSize;
  std::function<ResultCode(std::uint64_t* bytes)> freeSpace;
  // Opens the kit from the file that openKitFile opened (OpenKitHandle).
  std::function<ResultCode(KitArchive& kit, FileHandle kitFile, const std::atomic<bool>* stop)>
      openKit;
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

// Which check answered, in the order they are made.
enum class PreinstallResult {
  kReady,        // every check passed
  kKitNotFound,  // IDS_ERROR_NOSOURCE
  kNoTempSpace,  // IDS_ERROR_NOSPACE
  kKitDamaged,   // IDS_ERROR_DAMAGEDSOURCE (also: memory ran out in the checks)
  kStopped,      // a stop was requested (PreinstallState::stop): no message
};

// Runs the checks in order. kReady: the installation may start; every output
// of `state` is set and the kit is open. Otherwise the failing check:
// `showError` has been called once with its text (already closed by the
// user), or not at all for kStopped; outputs set before the failure stay as
// they are, and the kit is closed. The kit file opened in step 1 is closed again before returning, on
// every path.
[[nodiscard]] PreinstallResult CheckBeforeInstall(PreinstallState& state,
                                                  const PreinstallMessage& showError,
                                                  const PreinstallServices& services);

// CheckBeforeInstall(...) == kReady.
[[nodiscard]] bool RunPreinstallChecks(PreinstallState& state, const PreinstallMessage& showError,
                                       const PreinstallServices& services);

}  // namespace veskp8
