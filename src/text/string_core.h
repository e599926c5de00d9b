// Storage engine shared by NarrowString and WideString (internal to src/text).
//
// A string value is a tag word followed by a 20-byte area. Inline form: the
// tag is the length (below the heap tag) and the area holds the units and a
// terminator. Heap form: the tag is the heap tag and the area holds, at byte
// offsets 0, 8 and 16, the block pointer, the end pointer (position of the
// terminator) and the capacity (uint32, in units counted from the block
// start, the reference count included, the terminator excluded). The heap
// block is [int32 reference count][units...][terminator].
//
// The area is not 8-aligned inside the value, so the heap fields are read and
// written with memcpy. StringCore is a short-lived view over one value's tag
// and area; it is not thread-safe for one value (as the string types).
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>

namespace veskp8::text_internal {

[[noreturn]] inline void ThrowOutOfRange() { throw std::out_of_range("basic_string"); }
[[noreturn]] inline void ThrowLengthError() { throw std::length_error("basic_string"); }

// Capacity rounding of the growth policy, in bytes: fine steps for small
// blocks, coarser for larger ones, none from 16384 bytes on.
inline std::size_t RoundBlockBytes(std::size_t bytes) {
  std::size_t step = 1;
  if (bytes <= 256) {
    step = 8;
  } else if (bytes <= 512) {
    step = 16;
  } else if (bytes <= 1023) {
    step = 32;
  } else if (bytes <= 2047) {
    step = 64;
  } else if (bytes <= 4095) {
    step = 128;
  } else if (bytes <= 8191) {
    step = 256;
  } else if (bytes <= 16383) {
    step = 512;
  }
  return (bytes + step - 1) / step * step;
}

// True when p lies in [first, first + count] (the terminator included).
template <typename Unit>
bool PointsInto(const Unit* p, const Unit* first, std::size_t count) {
  std::less_equal<const Unit*> le;
  return le(first, p) && le(p, first + count);
}

template <typename Unit>
class StringCore {
 public:
  static constexpr std::size_t kAreaUnits = 20 / sizeof(Unit);
  static constexpr std::size_t kInlineLimit = kAreaUnits - 1;
  static constexpr std::int32_t kHeapTag = static_cast<std::int32_t>(kInlineLimit + 1);
  // Units occupied by the int32 reference count at the start of a block.
  static constexpr std::size_t kCountUnits = sizeof(std::int32_t) / sizeof(Unit);
  // The capacity is stored as uint32 and the terminator follows it.
  static constexpr std::size_t kMaxCapacity = 0xFFFFFFFEu;

  // A view of one value; constness is the caller's business (the string
  // classes only call mutating operations from their non-const members).
  StringCore(const std::int32_t& tag, const Unit* area) noexcept
      : tag_(const_cast<std::int32_t&>(tag)), area_(const_cast<Unit*>(area)) {}

  // ---- value-level operations -------------------------------------------

  static void InitEmpty(std::int32_t& tag, Unit* area) noexcept {
    tag = 0;
    area[0] = 0;
  }

  bool IsHeap() const noexcept { return tag_ == kHeapTag; }

  std::size_t Size() const noexcept {
    if (!IsHeap()) return static_cast<std::size_t>(tag_);
    return static_cast<std::size_t>(End() - Block()) - kCountUnits;
  }

  Unit* Data() const noexcept { return IsHeap() ? Block() + kCountUnits : area_; }

  std::size_t Capacity() const noexcept { return IsHeap() ? Cap() : kInlineLimit; }

  int UseCount() const noexcept { return IsHeap() ? Count(Block()).load() : 0; }

  const void* BlockAddress() const noexcept { return IsHeap() ? Block() : nullptr; }

  // Copies `other` into this (uninitialised) value, sharing its block.
  void CopyConstruct(const StringCore& other) noexcept {
    if (other.IsHeap()) Count(other.Block()).fetch_add(1, std::memory_order_relaxed);
    tag_ = other.tag_;
    std::memcpy(area_, other.area_, 20);
  }

  // Takes `other`'s value; `other` becomes empty.
  void MoveConstruct(StringCore& other) noexcept {
    tag_ = other.tag_;
    std::memcpy(area_, other.area_, 20);
    InitEmpty(other.tag_, other.area_);
  }

  // Takes `other`'s form. The other block's count is raised before the old
  // block is released, so assigning a value to itself or a copy is safe.
  void CopyAssign(const StringCore& other) noexcept {
    if (other.IsHeap()) Count(other.Block()).fetch_add(1, std::memory_order_relaxed);
    if (IsHeap()) Release(Block());
    tag_ = other.tag_;
    std::memcpy(area_, other.area_, 20);
  }

  void MoveAssign(StringCore& other) noexcept {
    if (&other.tag_ == &tag_) return;
    if (IsHeap()) Release(Block());
    MoveConstruct(other);
  }

  void Destroy() noexcept {
    if (IsHeap()) Release(Block());
  }

  void Swap(StringCore& other) noexcept {
    std::int32_t tag = tag_;
    unsigned char area[20];
    std::memcpy(area, area_, 20);
    tag_ = other.tag_;
    std::memcpy(area_, other.area_, 20);
    other.tag_ = tag;
    std::memcpy(other.area_, area, 20);
  }

  // ---- the set-length primitive and its helpers -----------------------------

  // Sets the length to n. Inline strings below the heap tag stay inline; an
  // inline string that reaches it moves to a block of exactly n units; a
  // heap string is made unique and grown by the growth policy (`appending`
  // selects the 1.5 factor). The units past the old length are unspecified;
  // a terminator is written at n.
  void SetLength(std::size_t n, bool appending) {
    if (!IsHeap()) {
      if (n < static_cast<std::size_t>(kHeapTag)) {
        tag_ = static_cast<std::int32_t>(n);
        area_[n] = 0;
        return;
      }
      const std::size_t cap = Required(n);
      Unit* block = Allocate(cap);
      std::memcpy(block + kCountUnits, area_, static_cast<std::size_t>(tag_) * sizeof(Unit));
      block[kCountUnits + n] = 0;
      tag_ = kHeapTag;
      SetFields(block, block + kCountUnits + n, cap);
      return;
    }
    const std::size_t required = Required(n);
    MakeUnique();
    Grow(required, appending);
    Unit* block = Block();
    block[kCountUnits + n] = 0;
    SetEnd(block + kCountUnits + n);
  }

  // Copy on write: a shared block is replaced by a private copy of exactly
  // the current length; the old block is released with the normal
  // decrement-and-free, so a sharer letting go at the same moment cannot
  // leak it.
  void MakeUnique() {
    if (!IsHeap()) return;
    Unit* block = Block();
    if (Count(block).load(std::memory_order_acquire) == 1) return;
    const std::size_t len = Size();
    const std::size_t cap = len + kCountUnits;
    Unit* fresh = Allocate(cap);
    std::memcpy(fresh + kCountUnits, block + kCountUnits, (len + 1) * sizeof(Unit));
    Release(block);
    SetFields(fresh, fresh + kCountUnits + len, cap);
  }

  // Reserve: a heap string is made unique and moved to a block with room for
  // exactly n units when it has less; an inline string moves to such a block
  // when n exceeds the inline limit. The length does not change.
  void Reserve(std::size_t n) {
    if (n >= 2147483647u) ThrowLengthError();
    if (IsHeap()) {
      MakeUnique();
      if (Cap() - kCountUnits < n) Relocate(Required(n));
      return;
    }
    if (n <= kInlineLimit) return;
    const std::size_t len = static_cast<std::size_t>(tag_);
    const std::size_t cap = Required(n);
    Unit* block = Allocate(cap);
    std::memcpy(block + kCountUnits, area_, (len + 1) * sizeof(Unit));
    tag_ = kHeapTag;
    SetFields(block, block + kCountUnits + len, cap);
  }

  // ---- text operations ----------------------------------------------------

  void Assign(const Unit* text, std::size_t count) {
    const std::size_t len = Size();
    const bool inside = count != 0 && PointsInto(text, Data(), len);
    const std::size_t offset = inside ? static_cast<std::size_t>(text - Data()) : 0;
    if (count > len) {
      SetLength(count, false);
    } else {
      MakeUnique();
    }
    if (inside) text = Data() + offset;
    if (count != 0) std::memmove(Data(), text, count * sizeof(Unit));
    if (count <= len) SetLength(count, false);
  }

  void Append(const Unit* text, std::size_t count) {
    if (count == 0) return;
    const std::size_t len = Size();
    const bool inside = PointsInto(text, Data(), len);
    const std::size_t offset = inside ? static_cast<std::size_t>(text - Data()) : 0;
    if (count > kMaxCapacity - len) throw std::bad_alloc();
    SetLength(len + count, true);
    if (inside) text = Data() + offset;
    std::memmove(Data() + len, text, count * sizeof(Unit));
  }

  // Length 0. A unique heap block is kept (the string stays on the heap); a
  // shared one is let go rather than copied only to be emptied.
  void Clear() noexcept {
    if (IsHeap() && Count(Block()).load(std::memory_order_acquire) != 1) {
      Release(Block());
      InitEmpty(tag_, area_);
      return;
    }
    if (IsHeap()) {
      Unit* block = Block();
      block[kCountUnits] = 0;
      SetEnd(block + kCountUnits);
    } else {
      InitEmpty(tag_, area_);
    }
  }

  void Resize(std::size_t n, Unit fill) {
    const std::size_t len = Size();
    SetLength(n, false);
    if (n > len) std::fill(Data() + len, Data() + n, fill);
  }

  // Replaces min(count, size - pos) units at pos by [text, text + n); the
  // source may lie inside this string. pos must not exceed the size.
  void Replace(std::size_t pos, std::size_t count, const Unit* text, std::size_t n,
               bool appending) {
    const std::size_t len = Size();
    count = std::min(count, len - pos);
    const bool inside = n != 0 && PointsInto(text, Data(), len);
    const std::size_t offset = inside ? static_cast<std::size_t>(text - Data()) : 0;
    if (n > count && n - count > kMaxCapacity - len) throw std::bad_alloc();
    const std::size_t new_len = len - count + n;
    const std::size_t tail = len - pos - count;
    if (inside) {
      // Work from a private copy of the source: moving the tail would shift it.
      const std::basic_string<Unit> copy(Data() + offset, n);
      ReplaceFrom(pos, count, copy.data(), n, new_len, tail, appending);
      return;
    }
    ReplaceFrom(pos, count, text, n, new_len, tail, appending);
  }

 private:
  void ReplaceFrom(std::size_t pos, std::size_t count, const Unit* text, std::size_t n,
                   std::size_t new_len, std::size_t tail, bool appending) {
    if (new_len > Size()) {
      SetLength(new_len, appending);
      std::memmove(Data() + pos + n, Data() + pos + count, tail * sizeof(Unit));
    } else {
      MakeUnique();
      std::memmove(Data() + pos + n, Data() + pos + count, tail * sizeof(Unit));
      SetLength(new_len, false);
    }
    if (n != 0) std::memcpy(Data() + pos, text, n * sizeof(Unit));
  }

  // Capacity in units needed for n characters; std::bad_alloc when it
  // cannot be represented.
  static std::size_t Required(std::size_t n) {
    if (n > kMaxCapacity - kCountUnits) throw std::bad_alloc();
    return n + kCountUnits;
  }

  // Growth policy for a unique heap string that needs `required` units.
  void Grow(std::size_t required, bool appending) {
    const std::size_t cap = Cap();
    if (cap >= required) return;
    std::size_t want = required;
    if (appending) want = std::max(required, std::min(cap + cap / 2, kMaxCapacity));
    const std::size_t rounded = RoundBlockBytes(want * sizeof(Unit)) / sizeof(Unit);
    if (rounded <= kMaxCapacity) want = rounded;
    Relocate(want);
  }

  // Moves a unique heap string to a fresh block of capacity `cap`.
  void Relocate(std::size_t cap) {
    Unit* block = Block();
    const std::size_t len = Size();
    Unit* fresh = Allocate(cap);
    std::memcpy(fresh + kCountUnits, block + kCountUnits, (len + 1) * sizeof(Unit));
    Free(block);
    SetFields(fresh, fresh + kCountUnits + len, cap);
  }

  static std::atomic_ref<std::int32_t> Count(Unit* block) noexcept {
    return std::atomic_ref<std::int32_t>(*std::launder(reinterpret_cast<std::int32_t*>(block)));
  }

  // A block of `cap` units plus the terminator, count 1.
  static Unit* Allocate(std::size_t cap) {
    if (cap > kMaxCapacity) throw std::bad_alloc();
    void* memory = ::operator new((cap + 1) * sizeof(Unit));
    new (memory) std::int32_t(1);
    return static_cast<Unit*>(memory);
  }

  static void Free(Unit* block) noexcept { ::operator delete(static_cast<void*>(block)); }

  static void Release(Unit* block) noexcept {
    if (Count(block).fetch_sub(1, std::memory_order_acq_rel) == 1) Free(block);
  }

  unsigned char* Bytes() const noexcept { return reinterpret_cast<unsigned char*>(area_); }

  Unit* Block() const noexcept {
    Unit* p;
    std::memcpy(&p, Bytes(), sizeof p);
    return p;
  }
  Unit* End() const noexcept {
    Unit* p;
    std::memcpy(&p, Bytes() + 8, sizeof p);
    return p;
  }
  std::size_t Cap() const noexcept {
    std::uint32_t c;
    std::memcpy(&c, Bytes() + 16, sizeof c);
    return c;
  }
  void SetEnd(Unit* end) noexcept { std::memcpy(Bytes() + 8, &end, sizeof end); }
  void SetFields(Unit* block, Unit* end, std::size_t cap) noexcept {
    const auto c = static_cast<std::uint32_t>(cap);
    std::memcpy(Bytes(), &block, sizeof block);
    std::memcpy(Bytes() + 8, &end, sizeof end);
    std::memcpy(Bytes() + 16, &c, sizeof c);
  }

  std::int32_t& tag_;
  Unit* area_;
};

}  // namespace veskp8::text_internal
