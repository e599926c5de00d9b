#include "resources/resource_table.h"

#include <atomic>
#include <span>

#include "resources/strings/text_sets.h"
#include "text/utf8.h"

namespace veskp8 {
namespace {

using resource_texts::TextPair;

TextSet LoadTextSet(std::span<const TextPair> pairs) {
  TextSet texts;
  for (const TextPair& pair : pairs) {
    texts.emplace(NarrowString(pair.m_identifier), NarrowString(pair.m_text));
  }
  return texts;
}

LanguageList BuildLanguageList() {
  namespace t = resource_texts;
  struct Language {
    int m_index;
    const char* m_code;
    std::span<const TextPair> m_texts;
  };
  const Language languages[] = {
      {1, "hy", t::ArmenianTexts()},    {2, "az", t::AzerbaijaniTexts()},
      {3, "bg", t::BulgarianTexts()},   {4, "zh", t::ChineseTexts()},
      {5, "en", t::EnglishTexts()},     {6, "fr", t::FrenchTexts()},
      {7, "ka", t::GeorgianTexts()},    {8, "de", t::GermanTexts()},
      {9, "el", t::GreekTexts()},       {10, "hu", t::HungarianTexts()},
      {11, "it", t::ItalianTexts()},    {12, "kk", t::KazakhTexts()},
      {13, "lv", t::LatvianTexts()},    {14, "lt", t::LithuanianTexts()},
      {15, "pl", t::PolishTexts()},     {16, "ro", t::RomanianTexts()},
      {17, "ru", t::RussianTexts()},    {18, "es", t::SpanishTexts()},
      {19, "tr", t::TurkishTexts()},    {20, "uk", t::UkrainianTexts()},
      {21, "vi", t::VietnameseTexts()}, {22, "ar", t::EnglishTexts()},
      {23, "tk", t::TurkmenTexts()},
  };
  LanguageList list;
  for (const Language& language : languages) {
    list.emplace(language.m_index,
                 LanguageEntry{NarrowString(language.m_code), LoadTextSet(language.m_texts)});
  }
  return list;
}

const LanguageList& Table() {
  // Built by the first caller: normally the initialiser below, during static
  // initialisation; earlier only when another translation unit's static
  // initialiser looks a text up first.
  static const LanguageList table = BuildLanguageList();
  return table;
}

// Builds the table before main, so no thread ever waits for it later.
[[maybe_unused]] const LanguageList& g_tableBuiltBeforeMain = Table();

// Constant-initialised, so it holds English even before static initialisation.
std::atomic<int> g_currentLanguage{kEnglishLanguage};

}  // namespace

const LanguageList& GetLanguageList() { return Table(); }

WideString LoadResourceString(std::string_view identifier) {
  const LanguageList& list = Table();
  const auto language = list.find(g_currentLanguage.load(std::memory_order_relaxed));
  if (language == list.end()) {
    return WideString();
  }
  const auto text = language->second.m_texts.find(identifier);
  if (text == language->second.m_texts.end()) {
    return WideString();
  }
  // The texts are UTF-8 whatever the locale says.
  return Utf8ToWide(text->second.view());
}

int FindLanguageByCode(std::string_view code) {
  for (const auto& [index, entry] : Table()) {
    if (entry.m_code.view() == code) {
      return index;
    }
  }
  return kNoLanguage;
}

void SetCurrentLanguage(int languageIndex) {
  g_currentLanguage.store(languageIndex, std::memory_order_relaxed);
}

int GetCurrentLanguage() { return g_currentLanguage.load(std::memory_order_relaxed); }

}  // namespace veskp8
