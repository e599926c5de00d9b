#include "setup/target_space.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <vector>

#include "install/fs/file_system_native.h"
#include "install/fs/file_time.h"
#include "resources/resource_table.h"
#include "setup/target_path.h"
#include "text/conversion.h"
#include "text/placeholders.h"
#include "text/string_ops.h"

namespace veskp8 {
namespace {

// The job leaves this destination alone (a regular file, links followed, at
// least as new as the entry in whole seconds).
bool IsUpToDate(const WideString& destination, std::uint64_t entryTicks) {
  NarrowString native;
  if (!WideToLocaleChecked(destination, native)) return false;
  struct stat st {};
  return stat(native.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         UnixSecondsToTicks(st.st_mtime) >= entryTicks;
}

WideString Decimal(std::uint64_t value) {
  const std::string digits = std::to_string(value);
  WideString text;
  for (const char c : digits) text.push_back(static_cast<char16_t>(c));
  return text;
}

}  // namespace

TargetSpace MeasureTargetSpace(const KitArchive& kit, const WideString& target) {
  TargetSpace space;
  const WideString existing = NearestExistingDirectory(target);
  NarrowString native;
  if (existing.empty() || !WideToLocaleChecked(existing, native)) return space;
  struct statvfs info {};
  if (statvfs(native.c_str(), &info) != 0) return space;
  const std::uint64_t block = info.f_frsize != 0 ? info.f_frsize : 4096;
  const std::uint64_t freeBlocks = geteuid() == 0 ? info.f_bfree : info.f_bavail;
  space.known = true;
  space.available = freeBlocks * block;

  WideString base = target;
  if (!base.ends_with(u'/')) base += u"/";
  // A directory that is missing or empty holds no destination to look at.
  std::vector<DirectoryEntry> listed;
  const ResultCode listing = ListDirectoryNoFollow(target, listed);
  const bool nothingThere = listing == kErrNotFound || (listing == kOk && listed.empty());
  for (const KitEntry& entry : kit.entries()) {
    if (!nothingThere) {
      WideString name = entry.name;
      ReplaceAll(name, ForeignSeparator(), PathSeparator());
      if (IsUpToDate(base + name, entry.modificationTime)) continue;
    }
    space.needed += (entry.dataSize + block - 1) / block * block;
  }
  return space;
}

WideString SizeText(std::uint64_t bytes, bool roundUp) {
  constexpr std::uint64_t kKiB = 1024, kMiB = kKiB * 1024, kGiB = kMiB * 1024;
  std::uint64_t unit = kKiB;
  const char* id = IDS_SIZE_KB;
  if (bytes >= 10 * kGiB) {
    unit = kGiB, id = IDS_SIZE_GB;
  } else if (bytes >= 10 * kMiB) {
    unit = kMiB, id = IDS_SIZE_MB;
  }
  const std::uint64_t amount = roundUp ? (bytes + unit - 1) / unit : bytes / unit;
  return FillPlaceholders(LoadResourceString(id), {Decimal(amount)});
}

WideString TargetSpaceMessage(const TargetSpace& space, const WideString& target) {
  WideString shown = target;
  while (shown.size() > 1 && shown.ends_with(u'/')) shown.erase(shown.size() - 1);
  return FillPlaceholders(LoadResourceString(IDS_ERROR_TARGETSPACE),
                          {shown, SizeText(space.needed, true), SizeText(space.available, false)});
}

}  // namespace veskp8
