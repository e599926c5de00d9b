// The real services behind the pre-install checks.
#include "install/fs/file_finder.h"
#include "install/fs/file_system.h"
#include "kit/kit_archive.h"
#include "kit/kit_inflate.h"
#include "kit/preinstall_check.h"
#include "launcher_config/config_paths.h"
#include "launcher_config/directory_probe.h"
#include "launcher_config/template_locations.h"

namespace veskp8 {
PreinstallServices DefaultPreinstallServices() {
  PreinstallServices services;
  services.openKitFile = OpenKitFile;
  services.primaryConfigExists = [](bool scope) {
    return PathExists(GetConfigPath(scope ? 1 : 0, ConfigRole::kPrimary));
  };
  services.readTemplateLocations = [](std::vector<WideString>& list, bool scope) {
    ReadTemplateLocations(list, scope ? 1 : 0);
  };
  services.isDirectoryWritable = IsDirectoryWritable;
  services.defaultTemplateBase = GetDefaultTemplateBase;
  services.fileSize = QueryFileSize;
  services.freeSpace = QueryFreeSpace;
  services.openKit = OpenKitHandle;
  services.openKitInBackground = OpenKitInBackground;
  return services;
}

}  // namespace veskp8
