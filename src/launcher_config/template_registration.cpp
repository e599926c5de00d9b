#include "launcher_config/template_registration.h"

#include <utility>

#include "install/fs/file_finder.h"
#include "launcher_config/config_paths.h"
#include "launcher_config/directory_probe.h"
#include "launcher_config/registration_lock.h"
#include "launcher_config/template_locations.h"

namespace veskp8 {
void ReadRegisteredTemplates(TemplateRegistration& reg) {
  reg.m_templateDirs.clear();
  reg.m_targetDir.clear();
  reg.m_listFromScope1 = false;
  reg.m_scope1FileExists = PathExists(GetConfigPath(1, ConfigRole::kPrimary));
  if (PathExists(GetConfigPath(0, ConfigRole::kPrimary))) {
    ReadTemplateLocations(reg.m_templateDirs, 0);
  } else if (reg.m_scope1FileExists) {
    ReadTemplateLocations(reg.m_templateDirs, 1);
    reg.m_listFromScope1 = !reg.m_templateDirs.empty();
  }
  for (const WideString& directory : reg.m_templateDirs) {
    if (IsDirectoryWritable(directory)) {
      reg.m_targetDir = directory;
      return;
    }
  }
  reg.m_targetDir = GetDefaultTemplateDirectory();
}

bool RegisterInstalledTemplates(TemplateRegistration& reg, WideString* failedFile) noexcept {
  int scope = reg.m_listFromScope1 ? 1 : 0;
  try {
    WideString directory = reg.m_targetDir;
    if (directory.find(u'\n') != WideString::npos || directory.find(u'\r') != WideString::npos) {
      if (failedFile != nullptr) *failedFile = GetConfigPath(scope, ConfigRole::kPrimary);
      return false;
    }
    if (!directory.empty() && (directory.back() == u'/' || directory.back() == u'\\')) {
      directory.erase(directory.size() - 1);
    }
    // Another installer may have registered its directory since the list was
    // read: under the lock, the list is read again from the files, the new
    // directory goes to its head, and the result is written.
    const RegistrationLock lock;
    std::vector<WideString> list;
    if (PathExists(GetConfigPath(0, ConfigRole::kPrimary))) {
      ReadTemplateLocations(list, 0);
    } else if (PathExists(GetConfigPath(1, ConfigRole::kPrimary))) {
      ReadTemplateLocations(list, 1);
    }
    list.insert(list.begin(), directory);
    reg.m_templateDirs = std::move(list);
    if (!reg.m_listFromScope1) WriteTemplateLocations(reg.m_templateDirs, 0);
    scope = 1;
    if (reg.m_scope1FileExists) WriteTemplateLocations(reg.m_templateDirs, 1);
    return true;
  } catch (...) {
    // The launcher's list is a convenience: the installation has succeeded
    // whether or not it could be updated; the caller decides what to say.
    try {
      if (failedFile != nullptr) *failedFile = GetConfigPath(scope, ConfigRole::kPrimary);
    } catch (...) {
      // No memory left for the path: the result alone tells.
    }
    return false;
  }
}

}  // namespace veskp8
