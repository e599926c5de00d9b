#include "kit/kit_description.h"

#include "text/string_ops.h"

namespace veskp8 {
namespace {

const KitDescription* FindLanguage(const std::vector<KitDescription>& descriptions,
                                   const WideString& language) {
  for (const KitDescription& d : descriptions) {
    if (CompareNoCase(d.language, language) == 0) return &d;
  }
  return nullptr;
}

}  // namespace

void LookupProductAndVendor(const std::vector<KitDescription>& descriptions,
                            const WideString& language, WideString& product, WideString& vendor) {
  // In this order, each name from the first of them that has it.
  const KitDescription* candidates[] = {
      FindLanguage(descriptions, language), FindLanguage(descriptions, WideString(u"en")),
      descriptions.empty() ? nullptr : &descriptions.front()};
  product = WideString();
  vendor = WideString();
  for (const KitDescription* d : candidates) {
    if (d == nullptr) continue;
    if (product.empty()) product = d->product;
    if (vendor.empty()) vendor = d->vendor;
  }
}

WideString LookupDescriptionDocument(const std::vector<KitDescription>& descriptions,
                                     const WideString& language) {
  const KitDescription* d = FindLanguage(descriptions, language);
  if (d != nullptr && !d->document.empty()) return d->document;
  const KitDescription* en = FindLanguage(descriptions, WideString(u"en"));
  return en != nullptr ? en->document : WideString();
}

}  // namespace veskp8
