#include "text/conversion.h"

#include <wchar.h>
#include <wordexp.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <mutex>
#include <string>

#include "text/conversion_locale.h"
#include "text/utf16_units.h"

namespace veskp8 {

namespace text_internal {
namespace {

std::mutex g_locale_mutex;
std::atomic<locale_t> g_locale{nullptr};

locale_t CreateFromEnvironment() {
  if (locale_t all = newlocale(LC_ALL_MASK, "", nullptr)) return all;
  locale_t base = newlocale(LC_ALL_MASK, "C", nullptr);
  if (base == nullptr) return LC_GLOBAL_LOCALE;
  // Some category names a missing locale: keep at least the environment's
  // character encoding when that one exists.
  if (locale_t ctype = newlocale(LC_CTYPE_MASK, "", base)) return ctype;
  return base;
}

}  // namespace

locale_t ConversionLocale() {
  locale_t current = g_locale.load(std::memory_order_acquire);
  if (current != nullptr) return current;
  std::lock_guard<std::mutex> lock(g_locale_mutex);
  current = g_locale.load(std::memory_order_acquire);
  if (current == nullptr) {
    current = CreateFromEnvironment();
    g_locale.store(current, std::memory_order_release);
  }
  return current;
}

void ReloadConversionLocaleForTesting() {
  std::lock_guard<std::mutex> lock(g_locale_mutex);
  locale_t old = g_locale.exchange(CreateFromEnvironment(), std::memory_order_acq_rel);
  if (old != nullptr && old != LC_GLOBAL_LOCALE) freelocale(old);
}

}  // namespace text_internal

namespace {

// Selects the conversion locale for the calling thread for one scope and
// restores the thread's previous choice.
class ThreadLocaleScope {
 public:
  ThreadLocaleScope() : previous_(uselocale(text_internal::ConversionLocale())) {}
  ~ThreadLocaleScope() { uselocale(previous_); }
  ThreadLocaleScope(const ThreadLocaleScope&) = delete;
  ThreadLocaleScope& operator=(const ThreadLocaleScope&) = delete;

 private:
  locale_t previous_;
};

using text_internal::kEscapeBase;

bool IsHighSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }
// Units that stand for one undecodable byte (bytes below 0x80 are valid in
// every encoding the system meets, so only 0x80..0xFF are escaped).
bool IsByteEscape(char32_t u) { return u >= 0xDC80 && u <= 0xDCFF; }

WideString DecodeBytes(const char* text, std::size_t length) {
  std::u16string out;
  out.reserve(length);
  ThreadLocaleScope scope;
  mbstate_t state{};
  std::size_t i = 0;
  while (i < length) {
    wchar_t wc = 0;
    const std::size_t n = mbrtowc(&wc, text + i, length - i, &state);
    const auto cp = static_cast<char32_t>(wc);
    if (n == static_cast<std::size_t>(-1) || n == static_cast<std::size_t>(-2) || n == 0 ||
        cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      // Not valid here (or a decoded value UTF-16 cannot carry unambiguously):
      // keep the byte itself as an escape unit and resynchronise.
      text_internal::AppendEscapedByte(out, text[i]);
      state = mbstate_t{};
      ++i;
      continue;
    }
    text_internal::AppendCodePoint(out, cp);
    i += n;
  }
  return WideString(out.data(), out.size());
}

// Converts up to the first zero unit. Unrepresentable text is skipped when
// `strict` is false and fails the conversion when it is true.
bool EncodeUnits(const WideString& text, bool strict, NarrowString& result) {
  const char16_t* units = text.c_str();
  const std::size_t length = std::u16string_view(units, text.size()).find(u'\0');
  const std::size_t count = length == std::u16string_view::npos ? text.size() : length;
  std::string out;
  out.reserve(count);
  // Plain ASCII (most paths) is the same bytes in every locale's encoding,
  // and leaves a stateful one in its initial state.
  if (std::all_of(units, units + count, [](char16_t unit) { return unit < 0x80; })) {
    out.assign(units, units + count);
    result.assign(out.data(), out.size());
    return true;
  }
  ThreadLocaleScope scope;
  mbstate_t state{};
  char buffer[MB_LEN_MAX];
  for (std::size_t i = 0; i < count; ++i) {
    char32_t cp = units[i];
    if (IsHighSurrogate(cp) && i + 1 < count && IsLowSurrogate(units[i + 1])) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<char32_t>(units[i + 1]) - 0xDC00);
      ++i;
    } else if (IsByteEscape(cp)) {
      out.push_back(static_cast<char>(cp - kEscapeBase));
      continue;
    } else if (IsHighSurrogate(cp) || IsLowSurrogate(cp)) {
      if (strict) return false;
      continue;
    }
    const std::size_t n = wcrtomb(buffer, static_cast<wchar_t>(cp), &state);
    if (n == static_cast<std::size_t>(-1)) {
      if (strict) return false;
      state = mbstate_t{};
      continue;
    }
    out.append(buffer, n);
  }
  // Stateful encodings: return to the initial shift state.
  const std::size_t n = wcrtomb(buffer, L'\0', &state);
  if (n != static_cast<std::size_t>(-1) && n > 1) out.append(buffer, n - 1);
  result.assign(out.data(), out.size());
  return true;
}

}  // namespace

WideString LocaleToWide(const NarrowString& text) {
  const char* bytes = text.c_str();
  return DecodeBytes(bytes, strnlen(bytes, text.size()));
}

WideString LocaleToWide(const char* text) {
  if (text == nullptr) return WideString();
  return DecodeBytes(text, std::strlen(text));
}

NarrowString WideToLocale(const WideString& text) {
  NarrowString result;
  (void)EncodeUnits(text, false, result);
  return result;
}

bool WideToLocaleChecked(const WideString& text, NarrowString& out) {
  NarrowString result;
  if (!EncodeUnits(text, true, result)) return false;
  out = std::move(result);
  return true;
}

WideString HomeDirectory() {
  NarrowString home;
  wordexp_t words{};
  const int rc = wordexp("~", &words, 0);
  if (rc == 0) {
    if (words.we_wordc > 0 && words.we_wordv[0] != nullptr) home = NarrowString(words.we_wordv[0]);
    wordfree(&words);
  } else if (rc == WRDE_NOSPACE) {
    wordfree(&words);
  }
  return LocaleToWide(home);
}

}  // namespace veskp8
