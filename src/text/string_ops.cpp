#include "text/string_ops.h"

#include <strings.h>

#include <string_view>
#include <utility>
#include <vector>

#include "text/conversion.h"
#include "text/conversion_locale.h"

namespace veskp8 {

namespace {

// Starts a value for a result of exactly `length` units: inline when it fits,
// else a heap block of exactly that capacity.
WideString WithRoom(std::size_t length) {
  WideString result;
  if (length > static_cast<std::size_t>(WideString::kInlineLimit)) result.reserve(length);
  return result;
}

WideString Concatenate(std::u16string_view a, std::u16string_view b) {
  if (b.size() > static_cast<std::size_t>(-1) - a.size()) throw std::bad_alloc();
  WideString result = WithRoom(a.size() + b.size());
  result.append(a.data(), a.size());
  result.append(b.data(), b.size());
  return result;
}

std::u16string_view LiteralView(const char16_t* text) {
  return text == nullptr ? std::u16string_view() : std::u16string_view(text);
}

}  // namespace

const WideString& PathSeparator() {
  static const WideString separator(u"/");
  return separator;
}

const WideString& ForeignSeparator() {
  static const WideString separator(u"\\");
  return separator;
}

WideString operator+(const WideString& a, const WideString& b) {
  return Concatenate(a.view(), b.view());
}

WideString operator+(const WideString& a, const char16_t* b) {
  return Concatenate(a.view(), LiteralView(b));
}

WideString operator+(const char16_t* a, const WideString& b) {
  return Concatenate(LiteralView(a), b.view());
}

WideString DecimalText(std::int32_t value) {
  char16_t digits[12];
  char16_t* first = digits + sizeof(digits) / sizeof(digits[0]);
  // The magnitude as unsigned, so the smallest value keeps all its digits.
  std::uint32_t magnitude =
      value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  do {
    *--first = static_cast<char16_t>(u'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) *--first = u'-';
  return WideString(first, static_cast<std::size_t>(digits + 12 - first));
}

void AppendRange(WideString& s, const char16_t* first, const char16_t* last) {
  s.append(first, static_cast<std::size_t>(last - first));
}

void ReplaceAll(WideString& s, const WideString& needle, const WideString& replacement) {
  if (needle.empty() || s.empty()) return;
  // Private copies (shared blocks, no copying of text): the arguments may be
  // `s` itself.
  const WideString what = needle;
  const WideString with = replacement;
  const std::size_t n = what.size();
  const std::size_t m = with.size();
  std::size_t pos = s.find(what, 0);
  if (pos == WideString::npos) return;
  if (n == m) {
    char16_t* units = s.mutable_data();
    while (pos != WideString::npos) {
      std::char_traits<char16_t>::copy(units + pos, with.c_str(), m);
      pos = s.find(what, pos + n);
    }
    return;
  }
  std::vector<std::size_t> found;
  while (pos != WideString::npos) {
    found.push_back(pos);
    pos = s.find(what, pos + n);
  }
  const std::size_t length = s.size();
  const std::size_t final_length =
      m > n ? length + found.size() * (m - n) : length - found.size() * (n - m);
  WideString result = WithRoom(final_length);
  std::size_t from = 0;
  for (std::size_t at : found) {
    result.append(s.c_str() + from, at - from);
    result.append(with.c_str(), m);
    from = at + n;
  }
  result.append(s.c_str() + from, length - from);
  s = std::move(result);
}

int CompareNoCase(const WideString& a, const WideString& b) {
  const NarrowString left = WideToLocale(a);
  const NarrowString right = WideToLocale(b);
  return strcasecmp_l(left.c_str(), right.c_str(), text_internal::ConversionLocale());
}

bool IsSeparator(const WideString& s) {
  const WideString& separator = PathSeparator();
  return s.size() == separator.size() && s.view() == separator.view();
}

}  // namespace veskp8
