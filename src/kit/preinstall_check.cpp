#include "kit/preinstall_check.h"

#include <unistd.h>

#include <cerrno>
#include <new>
#include <string>

#include "kit/kit_archive.h"
#include "resources/resource_table.h"
#include "text/conversion.h"
#include "text/string_ops.h"

namespace veskp8 {

NarrowString ReadExecutablePath() {
  // readlink does not say how long the link is: grow the buffer until the
  // text fits with room to spare.
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0) return NarrowString();
    if (static_cast<std::size_t>(n) < buffer.size()) {
      return NarrowString(buffer.data(), static_cast<std::size_t>(n));
    }
    if (buffer.size() >= (std::size_t{1} << 24)) return NarrowString();
    buffer.resize(buffer.size() * 2);
  }
}

NarrowString ReadCurrentDirectory() {
  std::string buffer(256, '\0');
  for (;;) {
    if (getcwd(buffer.data(), buffer.size()) != nullptr) return NarrowString(buffer.c_str());
    if (errno != ERANGE || buffer.size() >= (std::size_t{1} << 24)) return NarrowString();
    buffer.resize(buffer.size() * 2);
  }
}

WideString LocateKit(bool useCwd) {
  NarrowString directory;
  if (useCwd) {
    directory = ReadCurrentDirectory();
    if (directory.empty()) return WideString();
  } else {
    const NarrowString executable = ReadExecutablePath();
    if (executable.empty()) return WideString();
    const std::size_t slash = executable.view().rfind('/');
    directory = slash == std::string_view::npos ? NarrowString() : executable.substr(0, slash);
  }
  NarrowString path = directory;
  path += "/";
  path += kKitFileName;
  return LocaleToWide(path);
}

WideString CleanProposedDirectory(WideString directory) {
  for (const char16_t* remote : {u"http://", u"https://", u"ftp://"}) {
    if (directory.find(WideString(remote)) != WideString::npos) directory.clear();
  }
  const WideString file(u"file://");
  const std::size_t at = directory.find(file);
  if (at != WideString::npos) directory.erase(at, file.size());
  ReplaceAll(directory, ForeignSeparator(), PathSeparator());
  ReplaceAll(directory, WideString(u"\n"), WideString());
  ReplaceAll(directory, WideString(u"\r"), WideString());
  return directory;
}

bool HasRoomForKit(std::uint64_t kitSize, std::uint64_t freeBytes) {
  // kitSize comes from a 32-bit size query, so the product cannot overflow.
  return freeBytes >= kKitSpaceFactor * kitSize;
}

namespace {

// Closes the kit file that the first check opened, on every path out.
class KitFileGuard {
 public:
  KitFileGuard() = default;
  ~KitFileGuard() {
    if (handle != kNoFileHandle) (void)CloseFile(handle);
  }
  KitFileGuard(const KitFileGuard&) = delete;
  KitFileGuard& operator=(const KitFileGuard&) = delete;
  FileHandle handle = kNoFileHandle;
};

PreinstallResult RunChecks(PreinstallState& state, const PreinstallMessage& showError,
                           const PreinstallServices& services) {
  const auto stopped = [&] {
    if (state.stop == nullptr || !state.stop->load()) return false;
    CloseKit(state.kit);
    return true;
  };
  const WideString kitPath = LocateKit(state.useCwd);
  KitFileGuard kitFile;
  if (kitPath.empty() || services.openKitFile(kitPath, kitFile.handle) != kOk) {
    kitFile.handle = kNoFileHandle;
    showError(LoadResourceString(IDS_ERROR_NOSOURCE));
    return PreinstallResult::kKitNotFound;
  }
  state.kitPath = kitPath;
  if (stopped()) return PreinstallResult::kStopped;

  state.scope1FileExists = services.primaryConfigExists(true);
  if (services.primaryConfigExists(false)) {
    services.readTemplateLocations(state.templateDirs, false);
  } else if (state.scope1FileExists) {
    services.readTemplateLocations(state.templateDirs, true);
    if (!state.templateDirs.empty()) state.listFromScope1 = true;
  }

  WideString proposal;
  for (const WideString& directory : state.templateDirs) {
    if (stopped()) return PreinstallResult::kStopped;
    if (services.isDirectoryWritable(directory)) {
      proposal = directory;
      break;
    }
  }
  if (proposal.empty()) proposal = services.defaultTemplateBase() + u"tmplts" + u"/";
  state.targetDir = CleanProposedDirectory(proposal);
  if (stopped()) return PreinstallResult::kStopped;

  std::uint32_t kitSize = 0;
  if (services.fileSize(kitPath, &kitSize) == kOk) {
    std::uint64_t freeBytes = 0;
    const ResultCode spaceResult = services.freeSpace(&freeBytes);
    (void)spaceResult;  // a failed query reports 0 bytes free, which fails below
    if (!HasRoomForKit(kitSize, freeBytes)) {
      showError(LoadResourceString(IDS_ERROR_NOSPACE));
      return PreinstallResult::kNoTempSpace;
    }
  }

  const ResultCode opened = services.openKit(state.kit, kitFile.handle, state.stop);
  // A stop during the inflation ends it early with a failure: no message.
  if (stopped()) return PreinstallResult::kStopped;
  if (opened == kErrDiskFull) {
    // The image did not fit after all (a kit that compresses well).
    showError(LoadResourceString(IDS_ERROR_NOSPACE));
    return PreinstallResult::kNoTempSpace;
  }
  if (opened != kOk) {
    showError(LoadResourceString(IDS_ERROR_DAMAGEDSOURCE));
    return PreinstallResult::kKitDamaged;
  }
  return PreinstallResult::kReady;
}

}  // namespace

bool RunPreinstallChecks(PreinstallState& state, const PreinstallMessage& showError,
                         const PreinstallServices& services) {
  return CheckBeforeInstall(state, showError, services) == PreinstallResult::kReady;
}

PreinstallResult CheckBeforeInstall(PreinstallState& state, const PreinstallMessage& showError,
                                    const PreinstallServices& services) {
  try {
    return RunChecks(state, showError, services);
  } catch (const std::bad_alloc&) {
    // Memory ran out in the checks themselves (the kit reader handles its
    // own). The kit is closed and its tables freed before the box is built.
  }
  DiscardKit(state.kit);
  if (state.stop != nullptr && state.stop->load()) return PreinstallResult::kStopped;
  try {
    showError(LoadResourceString(IDS_ERROR_DAMAGEDSOURCE));
  } catch (const std::bad_alloc&) {
    // Not even the message could be shown: stop without it.
  }
  return PreinstallResult::kKitDamaged;
}

}  // namespace veskp8
