#include "text/narrow_string.h"

#include <algorithm>
#include <cstring>

#include "text/string_core.h"

namespace veskp8 {

namespace {
using Core = text_internal::StringCore<char>;
static_assert(Core::kHeapTag == NarrowString::kHeapTag);
}  // namespace

NarrowString::NarrowString() noexcept { Core::InitEmpty(tag_, area_); }

NarrowString::NarrowString(const char* text) {
  Core::InitEmpty(tag_, area_);
  if (text != nullptr) Core(tag_, area_).Assign(text, std::strlen(text));
}

NarrowString::NarrowString(const char* text, std::size_t count) {
  Core::InitEmpty(tag_, area_);
  Core(tag_, area_).Assign(text, count);
}

NarrowString::NarrowString(std::string_view text) : NarrowString(text.data(), text.size()) {}

NarrowString::NarrowString(const NarrowString& other) noexcept {
  Core(tag_, area_).CopyConstruct(Core(other.tag_, other.area_));
}

NarrowString::NarrowString(NarrowString&& other) noexcept {
  Core other_core(other.tag_, other.area_);
  Core(tag_, area_).MoveConstruct(other_core);
}

NarrowString& NarrowString::operator=(const NarrowString& other) noexcept {
  Core(tag_, area_).CopyAssign(Core(other.tag_, other.area_));
  return *this;
}

NarrowString& NarrowString::operator=(NarrowString&& other) noexcept {
  Core other_core(other.tag_, other.area_);
  Core(tag_, area_).MoveAssign(other_core);
  return *this;
}

NarrowString::~NarrowString() { Core(tag_, area_).Destroy(); }

void NarrowString::swap(NarrowString& other) noexcept {
  Core other_core(other.tag_, other.area_);
  Core(tag_, area_).Swap(other_core);
}

std::size_t NarrowString::size() const noexcept { return Core(tag_, area_).Size(); }

const char* NarrowString::c_str() const noexcept { return Core(tag_, area_).Data(); }

char* NarrowString::mutable_data() {
  Core core(tag_, area_);
  core.MakeUnique();
  return core.Data();
}

NarrowString& NarrowString::assign(const char* text, std::size_t count) {
  Core(tag_, area_).Assign(text, count);
  return *this;
}

NarrowString& NarrowString::append(const char* text, std::size_t count) {
  Core(tag_, area_).Append(text, count);
  return *this;
}

NarrowString& NarrowString::append(const char* text) {
  if (text != nullptr) Core(tag_, area_).Append(text, std::strlen(text));
  return *this;
}

void NarrowString::insert(std::size_t pos, const char* text, std::size_t count) {
  Core core(tag_, area_);
  const std::size_t len = core.Size();
  if (pos > len) text_internal::ThrowOutOfRange();
  if (pos == len) {
    core.Append(text, count);
    return;
  }
  if (count != 0) core.Replace(pos, 0, text, count, true);
}

void NarrowString::resize(std::size_t n, char fill) { Core(tag_, area_).Resize(n, fill); }

void NarrowString::clear() { Core(tag_, area_).Clear(); }

NarrowString NarrowString::substr(std::size_t pos, std::size_t count) const {
  const std::size_t len = size();
  if (pos > len) text_internal::ThrowOutOfRange();
  return NarrowString(c_str() + pos, std::min(count, len - pos));
}

std::size_t NarrowString::capacity() const noexcept { return Core(tag_, area_).Capacity(); }

int NarrowString::use_count() const noexcept { return Core(tag_, area_).UseCount(); }

const void* NarrowString::block() const noexcept { return Core(tag_, area_).BlockAddress(); }

}  // namespace veskp8
