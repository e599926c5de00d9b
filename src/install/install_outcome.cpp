#include "install/install_outcome.h"

#include "resources/resource_table.h"
#include "text/result_code.h"
#include "text/string_ops.h"

namespace veskp8 {

WideString WithDirectory(WideString text, const WideString& directory) {
  ReplaceAll(text, WideString(u"%1"), directory);
  return text;
}

WideString FailurePageText(const ProgressStatus& status) {
  if (status.code == kErrRollbackIncomplete) {
    return WithDirectory(LoadResourceString(IDS_ROLLBACK_INCOMPLETE_FINISH),
                         status.backupDirectory);
  }
  return LoadResourceString(IDS_ERROR_FINISH);
}

}  // namespace veskp8
