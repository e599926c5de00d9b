// The words for how a failed installation ended, shared by the wizard's
// error page and any display-less run, so that both tell the same truth.
//
// The job posts its final status through the ProgressChannel (the message box
// shows that status's text). The page text depends on whether the rollback
// put everything back: for kErrRollbackIncomplete it names the kept backup
// directory (IDS_ROLLBACK_INCOMPLETE_FINISH), otherwise it is the usual
// IDS_ERROR_FINISH ("... Template directory has not been changed.").
//
// Texts come from the resource table in the current language; any thread.
#pragma once

#include "install/progress_channel.h"
#include "text/wide_string.h"

namespace veskp8 {

// The error page's text for the failed status `status` (code not 0).
[[nodiscard]] WideString FailurePageText(const ProgressStatus& status);

// `text` with every "%1" replaced by `directory`.
[[nodiscard]] WideString WithDirectory(WideString text, const WideString& directory);

}  // namespace veskp8
