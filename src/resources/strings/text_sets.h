// The text sets of the resource table as written in the source: one sequence
// of (identifier, UTF-8 text) pairs per language, each in its own file
// strings/<code>.cpp. The sequences are constant data (no initialisation
// order to worry about); resource_table.cpp loads them into the table.
// Internal to the resources library.
#pragma once

#include <span>

#include "resources/resource_table.h"

namespace veskp8::resource_texts {

struct TextPair {
  const char* m_identifier;
  const char* m_text;  // UTF-8
};

std::span<const TextPair> ArmenianTexts();
std::span<const TextPair> AzerbaijaniTexts();
std::span<const TextPair> BulgarianTexts();
std::span<const TextPair> ChineseTexts();  // simplified
std::span<const TextPair> EnglishTexts();
std::span<const TextPair> FrenchTexts();
std::span<const TextPair> GeorgianTexts();
std::span<const TextPair> GermanTexts();
std::span<const TextPair> GreekTexts();
std::span<const TextPair> HungarianTexts();
std::span<const TextPair> ItalianTexts();
std::span<const TextPair> KazakhTexts();
std::span<const TextPair> LatvianTexts();
std::span<const TextPair> LithuanianTexts();
std::span<const TextPair> PolishTexts();
std::span<const TextPair> RomanianTexts();
std::span<const TextPair> RussianTexts();
std::span<const TextPair> SpanishTexts();
std::span<const TextPair> TurkishTexts();
std::span<const TextPair> UkrainianTexts();
std::span<const TextPair> VietnameseTexts();
std::span<const TextPair> TurkmenTexts();

}  // namespace veskp8::resource_texts
