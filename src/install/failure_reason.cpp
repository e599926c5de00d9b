#include "install/failure_reason.h"

#include <cerrno>

#include "install/install_outcome.h"
#include "resources/resource_table.h"
#include "text/string_ops.h"

namespace veskp8 {

const char* FailureReasonId(int systemError) {
  switch (systemError) {
    case 0:
      return nullptr;
    case EACCES:
    case EPERM:
      return IDS_ERROR_REASON_ACCESS;
    case ENOSPC:
      return IDS_ERROR_REASON_NOSPACE;
    case EDQUOT:
      return IDS_ERROR_REASON_QUOTA;
    case EROFS:
      return IDS_ERROR_REASON_READONLY;
    case EISDIR:
      return IDS_ERROR_REASON_ISDIR;
    case EEXIST:
      return IDS_ERROR_REASON_EXISTS;
    case ENOTDIR:
      return IDS_ERROR_REASON_NOTDIR;
    case ENOENT:
      return IDS_ERROR_REASON_NOTFOUND;
    case ENAMETOOLONG:
      return IDS_ERROR_REASON_NAMETOOLONG;
    case EIO:
      return IDS_ERROR_REASON_IO;
    default:
      return IDS_ERROR_REASON_OTHER;
  }
}

WideString FailureReasonText(int systemError) {
  const char* id = FailureReasonId(systemError);
  if (id == nullptr) return WideString();
  return WithDirectory(LoadResourceString(id), DecimalText(systemError));
}

WideString FailureDetail(const WideString& path, int systemError) {
  WideString detail = path;
  const WideString reason = FailureReasonText(systemError);
  if (!reason.empty()) {
    if (!detail.empty()) detail += u"\n";
    detail += reason;
  }
  return detail;
}

WideString FailureBoxText(const ProgressStatus& status, const WideString& detail) {
  WideString text = status.text;
  if (!detail.empty()) text += u"\n" + detail;
  return text;
}

}  // namespace veskp8
