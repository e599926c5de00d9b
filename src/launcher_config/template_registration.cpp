#include "launcher_config/template_registration.h"

#include <utility>

#include "install/fs/file_finder.h"
#include "launcher_config/config_paths.h"
#include "launcher_config/config_table.h"
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

namespace {

// reg.m_targetDir as it is registered: without one trailing "/" or "\".
WideString RegisteredForm(const WideString& target) {
  WideString directory = target;
  if (!directory.empty() && (directory.back() == u'/' || directory.back() == u'\\')) {
    directory.erase(directory.size() - 1);
  }
  return directory;
}

bool HasLineEnd(const WideString& directory) {
  return directory.find(u'\n') != WideString::npos || directory.find(u'\r') != WideString::npos;
}

// The list as the files hold it now, with `directory` at its head.
std::vector<WideString> ListWithAtHead(const WideString& directory) {
  std::vector<WideString> list;
  if (PathExists(GetConfigPath(0, ConfigRole::kPrimary))) {
    ReadTemplateLocations(list, 0);
  } else if (PathExists(GetConfigPath(1, ConfigRole::kPrimary))) {
    ReadTemplateLocations(list, 1);
  }
  list.insert(list.begin(), directory);
  return list;
}

}  // namespace

bool RegistrationWouldChange(const TemplateRegistration& reg) {
  try {
    if (HasLineEnd(reg.m_targetDir)) return false;
    const std::vector<WideString> list = ListWithAtHead(RegisteredForm(reg.m_targetDir));
    return (!reg.m_listFromScope1 && TemplateLocationsWouldChange(list, 0)) ||
           (reg.m_scope1FileExists && TemplateLocationsWouldChange(list, 1));
  } catch (...) {
    return true;  // it would be tried
  }
}

bool RegisterInstalledTemplates(TemplateRegistration& reg, WideString* failedFile,
                                bool* changed) noexcept {
  int scope = reg.m_listFromScope1 ? 1 : 0;
  if (changed != nullptr) *changed = false;
  try {
    if (HasLineEnd(reg.m_targetDir)) {
      if (failedFile != nullptr) *failedFile = GetConfigPath(scope, ConfigRole::kPrimary);
      return false;
    }
    const WideString directory = RegisteredForm(reg.m_targetDir);
    // Another installer may have registered its directory since the list was
    // read: under the lock, the list is read again from the files, the new
    // directory goes to its head, and the result is written. A file that
    // would stay as it is is not rewritten, so a re-run changes nothing.
    const RegistrationLock lock;
    // A save cut off before (a registration interrupted by a power loss
    // that the recovery completes now) left its temporary file.
    RemoveStaleSaveTemporaries(GetConfigPath(0, ConfigRole::kPrimary));
    if (reg.m_scope1FileExists) RemoveStaleSaveTemporaries(GetConfigPath(1, ConfigRole::kPrimary));
    reg.m_templateDirs = ListWithAtHead(directory);
    if (!reg.m_listFromScope1 && TemplateLocationsWouldChange(reg.m_templateDirs, 0)) {
      WriteTemplateLocations(reg.m_templateDirs, 0);
      if (changed != nullptr) *changed = true;
    }
    scope = 1;
    if (reg.m_scope1FileExists && TemplateLocationsWouldChange(reg.m_templateDirs, 1)) {
      WriteTemplateLocations(reg.m_templateDirs, 1);
      if (changed != nullptr) *changed = true;
    }
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
