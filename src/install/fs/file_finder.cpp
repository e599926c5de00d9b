#include "install/fs/file_finder.h"

#include <fnmatch.h>

#include <cstring>

#include "install/fs/native_path.h"
#include "text/conversion.h"

namespace veskp8 {

FileFinder::FileFinder() noexcept = default;

FileFinder::~FileFinder() { CloseStream(); }

void FileFinder::CloseStream() noexcept {
  if (m_stream != nullptr) {
    closedir(m_stream);
    m_stream = nullptr;
  }
}

bool FileFinder::FindFirst(const WideString& search_path) {
  CloseStream();
  m_searchPath = search_path;
  const std::size_t slash = search_path.rfind(u'/');
  m_pattern = slash == WideString::npos ? search_path : search_path.substr(slash + 1);
  m_status = {};

  if (m_pattern.find(u'*') == WideString::npos) {
    // Existence test of the whole path.
    m_name = m_pattern;
    NarrowString native;
    if (!ToNativePath(search_path, native)) return false;
    return stat(native.c_str(), &m_status) == 0;
  }

  m_name.clear();
  NarrowString directory;
  if (!ToNativePath(m_pattern, m_nativePattern)) return false;
  if (slash == WideString::npos) {
    m_nativeDirectory = ".";
    m_nativePrefix = "";
  } else {
    if (!ToNativePath(search_path.substr(0, slash), directory)) return false;
    m_nativePrefix = directory;
    m_nativePrefix += '/';
    m_nativeDirectory = directory.empty() ? NarrowString("/") : directory;
  }
  m_stream = opendir(m_nativeDirectory.c_str());
  if (m_stream == nullptr) return false;
  return FindNext();
}

bool FileFinder::FindNext() {
  if (m_stream == nullptr) return false;
  for (;;) {
    const dirent* entry = readdir(m_stream);
    if (entry == nullptr) {
      CloseStream();
      return false;
    }
    const int match = fnmatch(m_nativePattern.c_str(), entry->d_name, FNM_NOESCAPE);
    if (match == FNM_NOMATCH) continue;
    if (match != 0) return false;
    m_name = LocaleToWide(entry->d_name);
    NarrowString path = m_nativePrefix;
    path.append(entry->d_name, std::strlen(entry->d_name));
    return stat(path.c_str(), &m_status) == 0;
  }
}

std::uint32_t FileFinder::GetAttributes() const noexcept {
  return S_ISDIR(m_status.st_mode) ? kAttributeDirectory : 0;
}

bool PathExists(const WideString& path) {
  FileFinder finder;
  return finder.FindFirst(path);
}

}  // namespace veskp8
