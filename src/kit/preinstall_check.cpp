#include "kit/preinstall_check.h"

#include <unistd.h>

#include <cerrno>
#include <new>
#include <string>

#include "kit/kit_archive.h"
#include "resources/resource_table.h"
#include "kit/kit_signature.h"
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

// The signature step: kReady when the kit may be inflated.
PreinstallResult CheckSignature(KitSignatureState& signature, const WideString& kitPath,
                                FileHandle kitFile, const std::atomic<bool>* stop,
                                const PreinstallMessage& showError) {
  const WideString signaturePath = SignaturePathOf(kitPath);
  signature.check =
      CheckKitSignature(kitFile, WideToLocale(signaturePath), signature.trusted, stop);
  switch (signature.check.verdict) {
    case SignatureVerdict::kUnsigned:
    case SignatureVerdict::kValid:
      return PreinstallResult::kReady;
    case SignatureVerdict::kStopped:
      return PreinstallResult::kStopped;
    case SignatureVerdict::kReadFailed:
      showError(LoadResourceString(IDS_ERROR_DAMAGEDSOURCE));
      return PreinstallResult::kKitDamaged;
    case SignatureVerdict::kDamaged:
      signature.subject = signaturePath;
      break;
    case SignatureVerdict::kKeysUnusable:
      break;
    case SignatureVerdict::kMissing:
    case SignatureVerdict::kUnknownKey:
    case SignatureVerdict::kMismatch:
      signature.subject = kitPath;
      break;
  }
  showError(SignatureRefusalText(signature.check, signature.trusted));
  return PreinstallResult::kSignatureRefused;
}

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

  if (state.signature != nullptr) {
    const PreinstallResult refused =
        CheckSignature(*state.signature, kitPath, kitFile.handle, state.stop, showError);
    if (refused != PreinstallResult::kReady) return refused;
  }
  // A signed kit inflates whole before the checks pass, so that the test
  // below that the file is the one that was verified covers every byte.
  const bool verified = state.signature != nullptr &&
                        state.signature->check.verdict == SignatureVerdict::kValid;
  const auto& open = state.inflateInBackground && services.openKitInBackground && !verified
                         ? services.openKitInBackground
                         : services.openKit;
  const ResultCode opened = open(state.kit, kitFile.handle, state.stop);
  // A stop during the inflation ends it early with a failure: no message.
  if (stopped()) return PreinstallResult::kStopped;
  const PreinstallResult outcome = KitCheckOutcome(opened, state.stop);
  if (outcome == PreinstallResult::kNoTempSpace) {
    showError(LoadResourceString(IDS_ERROR_NOSPACE));
  } else if (outcome != PreinstallResult::kReady) {
    showError(LoadResourceString(IDS_ERROR_DAMAGEDSOURCE));
  }
  if (outcome != PreinstallResult::kReady) return outcome;
  // The image was inflated from the same descriptor after the check; a kit
  // written to in between is refused as changed.
  if (verified && !KitFileUnchanged(kitFile.handle, state.signature->check)) {
    CloseKit(state.kit);
    state.signature->check.verdict = SignatureVerdict::kMismatch;
    state.signature->subject = kitPath;
    showError(SignatureRefusalText(state.signature->check, state.signature->trusted));
    return PreinstallResult::kSignatureRefused;
  }
  return PreinstallResult::kReady;
}

}  // namespace

PreinstallResult KitCheckOutcome(ResultCode opened, const std::atomic<bool>* stop) {
  if (opened == kOk) return PreinstallResult::kReady;
  if (opened == kErrDiskFull) return PreinstallResult::kNoTempSpace;
  if (opened == kErrCancelled && stop != nullptr && stop->load()) return PreinstallResult::kStopped;
  return PreinstallResult::kKitDamaged;
}

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
