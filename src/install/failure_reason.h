// Why an installation failed, in the user's language: the system's error
// number of the failing call turned into a sentence (permission denied, no
// space left on the device, read-only file system, a directory in the way,
// ...), and the texts that name the failed path and that reason for the
// message box, the error page and the unattended mode's line.
//
// Texts come from the resource table in the current language; no state, any
// thread.
#pragma once

#include "install/progress_channel.h"
#include "text/wide_string.h"

namespace veskp8 {

// The resource id of the reason for system error number `systemError`
// (errno); IDS_ERROR_REASON_OTHER, whose "%1" stands for the number, for an
// error without a text of its own; null for 0 (no reason known).
[[nodiscard]] const char* FailureReasonId(int systemError);

// The reason as a sentence ("%1" filled in); empty for 0.
[[nodiscard]] WideString FailureReasonText(int systemError);

// `path` and the reason on lines of their own, as the box and the error page
// add them below their text; empty when neither is known.
[[nodiscard]] WideString FailureDetail(const WideString& path, int systemError);

// The error box's text: `status`'s own text (IDS_INSTALL_ERROR, "Installation
// error", for a plain failure), then `detail` (FailureDetail) below it.
[[nodiscard]] WideString FailureBoxText(const ProgressStatus& status, const WideString& detail);

}  // namespace veskp8
