// The success page's words: where the files went and what the run did to
// them, the counts of the unattended summary line (new, replaced, already up
// to date) said in the user's language.
//
// Texts from the resource table in the current language; no state, any thread.
#pragma once

#include "install/install_engine.h"
#include "text/wide_string.h"

namespace veskp8 {

// IDS_SUCCESS_FINISH, an empty line, IDS_SUCCESS_WHERE with `target`
// (without a trailing "/"), and on a line of its own IDS_SUCCESS_COUNTS.
[[nodiscard]] WideString SuccessPageText(const InstallCounts& counts, const WideString& target);

}  // namespace veskp8
