#include "launcher_config/config_paths.h"

#include "text/conversion.h"
#include "text/string_ops.h"

namespace veskp8 {
namespace {

constexpr char16_t kProductDataName[] = u".veskp8";
constexpr char16_t kLauncherSubdirectory[] = u".Vesk/vesklaunch";
constexpr char16_t kAlternateLauncherSubdirectory[] = u".Vesk/vesklauncht";
constexpr char16_t kConfigFileName[] = u"vesklaunch.cfg";
constexpr char16_t kVendorDirectory[] = u"Vesk";
constexpr char16_t kProductCode[] = u"veskp";
constexpr int kPlatformMajorVersion = 8;
constexpr char16_t kTemplatesDirectory[] = u"tmplts";

WideString LauncherDirectory() { return HomeDirectory() + u"/" + kLauncherSubdirectory; }

WideString AlternateLauncherDirectory() {
  return HomeDirectory() + u"/" + kAlternateLauncherSubdirectory;
}

}  // namespace

WideString GetProductDataDirectory() { return HomeDirectory() + u"/" + kProductDataName + u"/"; }

WideString GetConfigPath(int scope, ConfigRole role) {
  if (scope == 0) {
    if (role == ConfigRole::kPrimary) return LauncherDirectory() + u"/" + kConfigFileName;
    return GetProductDataDirectory() + u"/" + kLauncherSubdirectory + u"/" + kConfigFileName;
  }
  if (role == ConfigRole::kPrimary) return AlternateLauncherDirectory() + u"/" + kConfigFileName;
  return LauncherDirectory() + u"/" + kConfigFileName;
}

WideString GetDefaultTemplateBase() {
  return GetProductDataDirectory() + kVendorDirectory + u"/" + kProductCode +
         DecimalText(kPlatformMajorVersion) + u"/";
}

WideString GetDefaultTemplateDirectory() {
  return GetDefaultTemplateBase() + kTemplatesDirectory + u"/";
}

}  // namespace veskp8
