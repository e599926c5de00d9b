// NarrowString: bytes in the locale's multibyte encoding (or the UTF-8 texts
// of the resource table), used at the border to the C library, the kernel
// and GTK.
//
// One 24-byte value: a tag word and a 20-byte area. Up to 19 bytes live inline
// (tag = length, a NUL follows); longer texts live in a heap block
// [int32 reference count][bytes...][NUL] shared by copies and copied only when
// a sharer modifies it. Reference counts change atomically; one value must not
// be modified while another thread reads the same value.
//
// Errors: std::bad_alloc, std::out_of_range("basic_string") as documented.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace veskp8 {

class NarrowString {
 public:
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);
  static constexpr int kInlineLimit = 19;
  static constexpr int kHeapTag = kInlineLimit + 1;

  NarrowString() noexcept;
  NarrowString(const char* text);  // NOLINT(google-explicit-constructor): strlen, then assign
  NarrowString(const char* text, std::size_t count);
  explicit NarrowString(std::string_view text);
  NarrowString(const NarrowString& other) noexcept;
  NarrowString(NarrowString&& other) noexcept;
  NarrowString& operator=(const NarrowString& other) noexcept;
  NarrowString& operator=(NarrowString&& other) noexcept;
  ~NarrowString();

  void swap(NarrowString& other) noexcept;

  std::size_t size() const noexcept;
  std::size_t length() const noexcept { return size(); }
  bool empty() const noexcept { return size() == 0; }
  const char* c_str() const noexcept;
  const char* data() const noexcept { return c_str(); }
  char operator[](std::size_t i) const noexcept { return c_str()[i]; }
  std::string_view view() const noexcept { return {c_str(), size()}; }
  char* mutable_data();

  NarrowString& assign(const char* text, std::size_t count);
  NarrowString& append(const char* text, std::size_t count);
  NarrowString& append(const NarrowString& other) { return append(other.c_str(), other.size()); }
  NarrowString& append(const char* text);
  NarrowString& operator+=(const NarrowString& other) { return append(other); }
  NarrowString& operator+=(const char* text) { return append(text); }
  NarrowString& operator+=(char c) { return append(&c, 1); }
  // Inserts `count` bytes before `pos` (at the end: append); the bytes may lie
  // inside this string. std::out_of_range("basic_string") when pos > size().
  void insert(std::size_t pos, const char* text, std::size_t count);
  // Length n; new positions are filled with `fill`. Exact growth.
  void resize(std::size_t n, char fill = 0);
  // Length 0. A heap string keeps its block when it is the only holder
  // (shortened strings stay on the heap); a shared block is let go instead of
  // being copied, and the value becomes the inline empty string.
  void clear();

  // std::out_of_range("basic_string") when pos > size().
  NarrowString substr(std::size_t pos, std::size_t count = npos) const;

  friend bool operator==(const NarrowString& a, const NarrowString& b) noexcept {
    return a.view() == b.view();
  }
  friend bool operator==(const NarrowString& a, const char* b) noexcept {
    return a.view() == std::string_view(b);
  }
  friend auto operator<=>(const NarrowString& a, const NarrowString& b) noexcept {
    return a.view() <=> b.view();
  }

  bool is_inline() const noexcept { return tag_ != kHeapTag; }
  // Bytes from the start of the block, the 4-byte count included, NUL excluded
  // (inline: 19).
  std::size_t capacity() const noexcept;
  int use_count() const noexcept;
  const void* block() const noexcept;

 private:
  // The private representation is the implementation's; only the 24-byte
  // size of the value is fixed.
  std::int32_t tag_;
  char area_[20];
};

static_assert(sizeof(NarrowString) == 24, "a narrow string is one 24-byte value");

}  // namespace veskp8
