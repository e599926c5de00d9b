// WideString: the program's UTF-16 text and path type.
//
// One 24-byte value: a tag word and a 20-byte area. Up to 9 units live inline
// (tag = length, a zero unit follows); longer texts live in a heap block
// [int32 reference count][units...][0] shared by copies and copied only when
// a sharer modifies it (copy on write). The reference count is changed only
// with atomic operations, so copies of one string may be held and released on
// different threads; one string *value* must not be modified while another
// thread reads the same value.
//
// Ownership: the value owns one reference to its block; destruction drops it
// and the last holder frees the block.
// Errors: std::bad_alloc when a size cannot be represented or allocation
// fails; std::out_of_range / std::length_error with the text "basic_string"
// as documented per operation. Nothing else throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace veskp8 {

class WideString {
 public:
  using Unit = char16_t;
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);
  static constexpr int kInlineLimit = 9;             // units stored inline
  static constexpr int kHeapTag = kInlineLimit + 1;  // tag value of heap storage

  WideString() noexcept;
  // From a zero-terminated UTF-16 literal (u"...").
  WideString(const Unit* text);  // NOLINT(google-explicit-constructor)
  WideString(const Unit* text, std::size_t count);
  explicit WideString(std::u16string_view text);
  WideString(const WideString& other) noexcept;
  WideString(WideString&& other) noexcept;
  WideString& operator=(const WideString& other) noexcept;
  WideString& operator=(WideString&& other) noexcept;
  ~WideString();

  void swap(WideString& other) noexcept;

  std::size_t size() const noexcept;
  std::size_t length() const noexcept { return size(); }
  bool empty() const noexcept { return size() == 0; }
  // Zero-terminated units; valid until the next modification.
  const Unit* c_str() const noexcept;
  const Unit* data() const noexcept { return c_str(); }
  Unit operator[](std::size_t i) const noexcept { return c_str()[i]; }
  Unit back() const noexcept { return c_str()[size() - 1]; }
  std::u16string_view view() const noexcept { return {c_str(), size()}; }
  // Makes the string unique and returns its writable units.
  Unit* mutable_data();

  WideString& assign(const Unit* text, std::size_t count);
  WideString& append(const Unit* text, std::size_t count);
  WideString& append(const WideString& other) { return append(other.c_str(), other.size()); }
  WideString& append(const Unit* text);  // zero-terminated
  WideString& push_back(Unit u) { return append(&u, 1); }
  // Appends at most `count` units of `other` starting at `pos`;
  // std::out_of_range("basic_string") when pos > other.size().
  WideString& append(const WideString& other, std::size_t pos, std::size_t count);
  WideString& operator+=(const WideString& other) { return append(other); }
  WideString& operator+=(const Unit* text) { return append(text); }
  WideString& operator+=(Unit u) { return push_back(u); }

  // Length n; new positions are filled with `fill`. Exact growth.
  void resize(std::size_t n, Unit fill = 0);
  // std::length_error("basic_string") for n >= 2147483647.
  void reserve(std::size_t n);
  // Length 0. A heap string keeps its block when it is the only holder
  // (shortened strings stay on the heap); a shared block is let go instead of
  // being copied, and the value becomes the inline empty string.
  void clear();

  // Editing in place (positions in units). Each makes a shared block unique
  // first. Ranges [first, last) may lie inside this string. Pointer positions
  // point into c_str() of this string and are invalidated by the edit.
  // Inserts [first, last) before `pos` (at the end: append with the append
  // growth rule; elsewhere the result is built as a new value of exactly the
  // new length, inline when it fits). std::out_of_range when pos > size().
  void insert(std::size_t pos, const Unit* first, const Unit* last);
  void insert_at(const Unit* position, const Unit* first, const Unit* last);
  // Removes min(count, size() - pos) units; std::out_of_range when pos > size().
  WideString& erase(std::size_t pos, std::size_t count = npos);
  // Removes [first, last); returns the position of `first` in the (possibly
  // new) storage.
  Unit* erase_range(const Unit* first, const Unit* last);
  // Replaces min(count, size() - pos) units at pos by [first, last);
  // std::out_of_range when pos > size().
  void replace(std::size_t pos, std::size_t count, const Unit* first, const Unit* last);
  // The same with the units of a zero-terminated literal (without its zero).
  void replace(std::size_t pos, std::size_t count, const Unit* literal);
  // Replaces [first, last) by [source_first, source_last).
  void replace_range(const Unit* first, const Unit* last, const Unit* source_first,
                     const Unit* source_last);

  // Copy of at most `count` units from `pos`; std::out_of_range when pos > size().
  WideString substr(std::size_t pos, std::size_t count = npos) const;
  std::size_t find(const WideString& needle, std::size_t from = 0) const noexcept;
  std::size_t find(Unit u, std::size_t from = 0) const noexcept;
  std::size_t rfind(Unit u) const noexcept;
  bool starts_with(std::u16string_view prefix) const noexcept;
  bool ends_with(Unit u) const noexcept { return !empty() && back() == u; }

  friend bool operator==(const WideString& a, const WideString& b) noexcept {
    return a.view() == b.view();
  }
  friend bool operator==(const WideString& a, const Unit* b) noexcept {
    return a.view() == std::u16string_view(b);
  }
  friend auto operator<=>(const WideString& a, const WideString& b) noexcept {
    return a.view() <=> b.view();
  }

  // Introspection for tests and diagnostics.
  bool is_inline() const noexcept { return tag_ != kHeapTag; }
  // Room counted in units from the start of the block, the two units of the
  // reference count included, terminator excluded (inline: 9).
  std::size_t capacity() const noexcept;
  // Reference count of the heap block (inline strings: 0).
  int use_count() const noexcept;
  const void* block() const noexcept;

 private:
  // The private representation is the implementation's; only the 24-byte
  // size of the value is fixed.
  std::int32_t tag_;
  char16_t area_[10];
};

static_assert(sizeof(WideString) == 24, "a wide string is one 24-byte value");

}  // namespace veskp8
