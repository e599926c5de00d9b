// The success page's words: where the files went and what the run did to
// them, the counts of the unattended summary line (new, replaced, already up
// to date) said in the user's language.
//
// Texts from the resource table in the current language; no state, any thread.
#pragma once

#include "install/install_engine.h"
#include "text/wide_string.h"

namespace veskp8 {

// IDS_SUCCESS_FINISH, an empty line, then IDS_SUCCESS_SUMMARY with `target`
// (without a trailing "/") and the three counts.
[[nodiscard]] WideString SuccessPageText(const InstallCounts& counts, const WideString& target);

}  // namespace veskp8
