#include "launcher_config/template_locations.h"

#include "install/fs/file_finder.h"
#include "install/fs/file_system.h"
#include "install/fs/file_system_native.h"
#include "launcher_config/config_keys.h"
#include "launcher_config/config_paths.h"
#include "text/string_ops.h"

namespace veskp8 {
namespace {

bool IsEitherSeparator(char16_t u) { return u == u'/' || u == u'\\'; }

WideString ComparisonForm(const WideString& value) {
  if (value.empty() || IsEitherSeparator(value.back())) return value;
  return value + u"/";
}

// The text before the last "/" or "\" of `path` (empty when there is none).
WideString DirectoryOf(const WideString& path) {
  for (std::size_t i = path.size(); i > 0; --i) {
    if (IsEitherSeparator(path[i - 1])) return path.substr(0, i - 1);
  }
  return WideString();
}

// Creates the directory that holds `path` and whatever is missing above it,
// one mkdir(2) per level: no mkdir program is started, so that registering
// works where nothing but the C library is at hand (a server, a chroot).
// Failures are left to the write that follows.
void MakeDirectoryOf(const WideString& path) {
  const WideString directory = DirectoryOf(path);
  for (std::size_t end = 1; end <= directory.size(); ++end) {
    if (end == directory.size() || IsEitherSeparator(directory[end])) {
      (void)MakeDirectoryOnce(directory.substr(0, end));
    }
  }
}

}  // namespace

void LauncherConfig::LoadFiles() noexcept {
  try {
    (void)Load(GetConfigPath(m_scope, ConfigRole::kSecondary), m_secondary);
  } catch (...) {
  }
  try {
    m_primaryOutcome = LoadOutcome::kUnreadable;
    m_primaryOutcome = Load(GetConfigPath(m_scope, ConfigRole::kPrimary), m_primary);
  } catch (...) {
  }
}

void RemoveDuplicateDirectories(std::vector<WideString>& list) {
  std::vector<WideString> kept_forms;
  std::size_t out = 0;
  for (std::size_t i = 0; i < list.size(); ++i) {
    WideString form = ComparisonForm(list[i]);
    bool duplicate = false;
    for (const WideString& kept : kept_forms) {
      if (EqualIgnoringCase(kept, form)) {
        duplicate = true;
        break;
      }
    }
    if (duplicate) continue;
    kept_forms.push_back(form);
    if (out != i) list[out] = list[i];
    ++out;
  }
  list.resize(out);
}

void ReadTemplateLocations(std::vector<WideString>& list, int scope) {
  LauncherConfig config;
  config.m_scope = scope;
  config.LoadFiles();

  std::vector<WideString> collected;
  for (const ConfigTable* table : {&config.m_primary, &config.m_secondary}) {
    const std::vector<WideString>* values = FindValues(*table, ConfigurationTemplatesLocation);
    if (values == nullptr) continue;
    for (const WideString& value : *values) {
      bool seen = false;
      for (const WideString& earlier : collected) {
        if (EqualIgnoringCase(earlier, value)) {
          seen = true;
          break;
        }
      }
      if (!seen) collected.push_back(value);
    }
  }
  for (WideString& value : collected) ReplaceAll(value, ForeignSeparator(), PathSeparator());
  RemoveDuplicateDirectories(collected);
  list.insert(list.end(), collected.begin(), collected.end());
}

namespace {

// The values WriteTemplateLocations stores for `list`.
std::vector<WideString> StoredValues(const std::vector<WideString>& list) {
  std::vector<WideString> copy;
  for (const WideString& value : list) {
    if (value.find(u'\n') == WideString::npos) copy.push_back(value);
  }
  RemoveDuplicateDirectories(copy);
  return copy;
}

}  // namespace

bool TemplateLocationsWouldChange(const std::vector<WideString>& list, int scope) {
  LauncherConfig config;
  config.m_scope = scope;
  config.LoadFiles();
  if (config.m_primaryOutcome != LoadOutcome::kLoaded) return true;
  ConfigTable after = config.m_primary;
  SetValues(after, ConfigurationTemplatesLocation, StoredValues(list));
  return !(after == config.m_primary);
}

void WriteTemplateLocations(const std::vector<WideString>& list, int scope) {
  LauncherConfig config;
  config.m_scope = scope;
  config.LoadFiles();
  if (config.m_primaryOutcome != LoadOutcome::kLoaded &&
      config.m_primaryOutcome != LoadOutcome::kNotFound) {
    throw 1;
  }

  SetValues(config.m_primary, ConfigurationTemplatesLocation, StoredValues(list));

  const WideString path = GetConfigPath(scope, ConfigRole::kPrimary);
  if (!PathExists(path)) MakeDirectoryOf(path);
  try {
    Save(path, config.m_primary);
  } catch (int) {
    // The directory may have gone since the test above, or the file existed
    // as a dangling link: create the file's own directory and try once more.
    MakeDirectoryOf(path);
    Save(path, config.m_primary);
  }
}

}  // namespace veskp8
