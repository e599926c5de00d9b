// KitDescription: one description record of a distribution kit (language,
// product name, vendor name, description document), and the two lookups the
// wizard makes on the sequence of them.
//
// Values only: copying shares the strings' storage. The lookups keep no state
// and may be called from any thread on a sequence that nobody modifies.
#pragma once

#include <vector>

#include "text/wide_string.h"

namespace veskp8 {

struct KitDescription {
  // Language of the record, such as "en"; compared case-insensitively.
  WideString language;
  // Shown on the welcome page; empty means "use the default product text".
  WideString product;
  // Shown on the welcome page; empty means "use the default vendor text".
  WideString vendor;
  // Path of the description document relative to the template directory,
  // components separated by "\"; may be empty.
  WideString document;
};

// Product and vendor, each from the first of these records that names it:
// the first record whose language equals `language` (case-insensitive), the
// first "en" record, the first record. So a kit described in a few languages
// shows its own names in every other language, the English ones where it
// has them. An output is empty only when none of them names it.
void LookupProductAndVendor(const std::vector<KitDescription>& descriptions,
                            const WideString& language, WideString& product, WideString& vendor);

// The first record whose language equals `language` decides: its document when
// that is not empty. Otherwise (no match, or an empty document) the document of
// the first "en" record (case-insensitive), empty or not; empty when there is no
// "en" record either.
WideString LookupDescriptionDocument(const std::vector<KitDescription>& descriptions,
                                     const WideString& language);

}  // namespace veskp8
