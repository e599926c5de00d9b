#include "setup/target_path.h"

#include <sys/stat.h>

#include "text/conversion.h"
#include "text/string_ops.h"

namespace veskp8 {
namespace {

bool IsDirectory(const WideString& path) {
  NarrowString native;
  if (!WideToLocaleChecked(path, native)) return false;
  struct stat st {};
  return stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

TargetPath InterpretTargetPath(const WideString& text, const WideString& home) {
  WideString typed = text;
  ReplaceAll(typed, ForeignSeparator(), PathSeparator());
  TargetPath result;
  if (typed.empty()) return result;
  if (typed[0] == u'/') {
    result.kind = TargetPath::Kind::kAbsolute;
    result.path = typed;
    return result;
  }
  const bool homeBased = typed[0] == u'~' && (typed.size() == 1 || typed[1] == u'/');
  if (!homeBased || home.empty() || home[0] != u'/') {
    result.kind = TargetPath::Kind::kRelative;
    return result;
  }
  WideString base = home;
  while (base.size() > 1 && base.ends_with(u'/')) base.erase(base.size() - 1);
  WideString rest = typed.substr(1);
  if (base == u"/" && !rest.empty()) base.clear();  // "/" + "/x", not "//x"
  result.kind = TargetPath::Kind::kAbsolute;
  result.path = base + rest;
  return result;
}

WideString NearestExistingDirectory(const WideString& path) {
  if (path.empty() || path[0] != u'/') return WideString();
  WideString candidate = path;
  while (true) {
    while (candidate.size() > 1 && candidate.ends_with(u'/')) candidate.erase(candidate.size() - 1);
    if (IsDirectory(candidate)) return candidate;
    const std::size_t slash = candidate.rfind(u'/');
    if (slash == 0 || slash == WideString::npos) return WideString(u"/");
    candidate = candidate.substr(0, slash);
  }
}

}  // namespace veskp8
