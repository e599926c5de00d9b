#include "setup/success_summary.h"

#include <string>

#include "resources/resource_table.h"
#include "text/placeholders.h"
#include "text/string_ops.h"

namespace veskp8 {
namespace {

WideString Count(std::size_t value) {
  WideString text;
  for (const char c : std::to_string(value)) text.push_back(static_cast<char16_t>(c));
  return text;
}

}  // namespace

WideString SuccessPageText(const InstallCounts& counts, const WideString& target) {
  WideString shown = target;
  while (shown.size() > 1 && shown.ends_with(u'/')) shown.erase(shown.size() - 1);
  return LoadResourceString(IDS_SUCCESS_FINISH) + u"\n\n" +
         FillPlaceholders(LoadResourceString(IDS_SUCCESS_WHERE), {shown}) + u"\n" +
         FillPlaceholders(LoadResourceString(IDS_SUCCESS_COUNTS),
                          {Count(counts.newFiles), Count(counts.replaced), Count(counts.unchanged)});
}

}  // namespace veskp8
