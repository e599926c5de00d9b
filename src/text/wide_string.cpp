#include "text/wide_string.h"

#include <algorithm>
#include <string>

#include "text/string_core.h"

namespace veskp8 {

namespace {
using Core = text_internal::StringCore<char16_t>;
static_assert(Core::kHeapTag == WideString::kHeapTag);

std::size_t UnitLength(const char16_t* text) {
  return text == nullptr ? 0 : std::char_traits<char16_t>::length(text);
}
}  // namespace

WideString::WideString() noexcept { Core::InitEmpty(tag_, area_); }

WideString::WideString(const Unit* text) {
  Core::InitEmpty(tag_, area_);
  Core(tag_, area_).Assign(text, UnitLength(text));
}

WideString::WideString(const Unit* text, std::size_t count) {
  Core::InitEmpty(tag_, area_);
  Core(tag_, area_).Assign(text, count);
}

WideString::WideString(std::u16string_view text) : WideString(text.data(), text.size()) {}

WideString::WideString(const WideString& other) noexcept {
  Core(tag_, area_).CopyConstruct(Core(other.tag_, other.area_));
}

WideString::WideString(WideString&& other) noexcept {
  Core other_core(other.tag_, other.area_);
  Core(tag_, area_).MoveConstruct(other_core);
}

WideString& WideString::operator=(const WideString& other) noexcept {
  Core(tag_, area_).CopyAssign(Core(other.tag_, other.area_));
  return *this;
}

WideString& WideString::operator=(WideString&& other) noexcept {
  Core other_core(other.tag_, other.area_);
  Core(tag_, area_).MoveAssign(other_core);
  return *this;
}

WideString::~WideString() { Core(tag_, area_).Destroy(); }

void WideString::swap(WideString& other) noexcept {
  Core other_core(other.tag_, other.area_);
  Core(tag_, area_).Swap(other_core);
}

std::size_t WideString::size() const noexcept { return Core(tag_, area_).Size(); }

const WideString::Unit* WideString::c_str() const noexcept { return Core(tag_, area_).Data(); }

WideString::Unit* WideString::mutable_data() {
  Core core(tag_, area_);
  core.MakeUnique();
  return core.Data();
}

WideString& WideString::assign(const Unit* text, std::size_t count) {
  Core(tag_, area_).Assign(text, count);
  return *this;
}

WideString& WideString::append(const Unit* text, std::size_t count) {
  Core(tag_, area_).Append(text, count);
  return *this;
}

WideString& WideString::append(const Unit* text) {
  Core(tag_, area_).Append(text, UnitLength(text));
  return *this;
}

WideString& WideString::append(const WideString& other, std::size_t pos, std::size_t count) {
  const std::size_t len = other.size();
  if (pos > len) text_internal::ThrowOutOfRange();
  Core(tag_, area_).Append(other.c_str() + pos, std::min(count, len - pos));
  return *this;
}

void WideString::resize(std::size_t n, Unit fill) { Core(tag_, area_).Resize(n, fill); }

void WideString::reserve(std::size_t n) { Core(tag_, area_).Reserve(n); }

void WideString::clear() { Core(tag_, area_).Clear(); }

void WideString::insert(std::size_t pos, const Unit* first, const Unit* last) {
  const std::size_t len = size();
  if (pos > len) text_internal::ThrowOutOfRange();
  const auto count = static_cast<std::size_t>(last - first);
  if (pos == len) {
    append(first, count);
    return;
  }
  if (count == 0) return;
  if (count > Core::kMaxCapacity - len) throw std::bad_alloc();
  // Built in a new value of exactly the new length (inline when it fits);
  // the range may lie inside this string, which stays intact until the end.
  WideString result;
  result.reserve(len + count);
  result.append(c_str(), pos);
  result.append(first, count);
  result.append(c_str() + pos, len - pos);
  *this = std::move(result);
}

void WideString::insert_at(const Unit* position, const Unit* first, const Unit* last) {
  insert(static_cast<std::size_t>(position - c_str()), first, last);
}

WideString& WideString::erase(std::size_t pos, std::size_t count) {
  const std::size_t len = size();
  if (pos > len) text_internal::ThrowOutOfRange();
  Core(tag_, area_).Replace(pos, count, nullptr, 0, false);
  return *this;
}

WideString::Unit* WideString::erase_range(const Unit* first, const Unit* last) {
  const auto pos = static_cast<std::size_t>(first - c_str());
  Core(tag_, area_).Replace(pos, static_cast<std::size_t>(last - first), nullptr, 0, false);
  return Core(tag_, area_).Data() + pos;
}

void WideString::replace(std::size_t pos, std::size_t count, const Unit* first, const Unit* last) {
  if (pos > size()) text_internal::ThrowOutOfRange();
  Core(tag_, area_).Replace(pos, count, first, static_cast<std::size_t>(last - first), false);
}

void WideString::replace(std::size_t pos, std::size_t count, const Unit* literal) {
  if (pos > size()) text_internal::ThrowOutOfRange();
  Core(tag_, area_).Replace(pos, count, literal, UnitLength(literal), false);
}

void WideString::replace_range(const Unit* first, const Unit* last, const Unit* source_first,
                               const Unit* source_last) {
  replace(static_cast<std::size_t>(first - c_str()), static_cast<std::size_t>(last - first),
          source_first, source_last);
}

WideString WideString::substr(std::size_t pos, std::size_t count) const {
  const std::size_t len = size();
  if (pos > len) text_internal::ThrowOutOfRange();
  return WideString(c_str() + pos, std::min(count, len - pos));
}

std::size_t WideString::find(const WideString& needle, std::size_t from) const noexcept {
  return view().find(needle.view(), from);
}

std::size_t WideString::find(Unit u, std::size_t from) const noexcept {
  return view().find(u, from);
}

std::size_t WideString::rfind(Unit u) const noexcept { return view().rfind(u); }

bool WideString::starts_with(std::u16string_view prefix) const noexcept {
  return view().starts_with(prefix);
}

std::size_t WideString::capacity() const noexcept { return Core(tag_, area_).Capacity(); }

int WideString::use_count() const noexcept { return Core(tag_, area_).UseCount(); }

const void* WideString::block() const noexcept { return Core(tag_, area_).BlockAddress(); }

}  // namespace veskp8
