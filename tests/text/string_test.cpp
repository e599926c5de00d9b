// Storage behaviour of NarrowString and WideString: inline and heap forms,
// sharing and copy on write, the growth policy and the exceptions.
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "text/narrow_string.h"
#include "text/wide_string.h"

namespace veskp8 {
namespace {

std::string Repeat(char c, std::size_t n) { return std::string(n, c); }
std::u16string RepeatU(char16_t c, std::size_t n) { return std::u16string(n, c); }

template <typename F>
void ExpectThrowText(F f, const char* what_type) {
  try {
    f();
    ADD_FAILURE() << "no exception, expected " << what_type;
  } catch (const std::out_of_range& e) {
    EXPECT_STREQ("out_of_range", what_type);
    EXPECT_STREQ("basic_string", e.what());
  } catch (const std::length_error& e) {
    EXPECT_STREQ("length_error", what_type);
    EXPECT_STREQ("basic_string", e.what());
  }
}

TEST(NarrowStringTest, InlineUpTo19BytesHeapFrom20WithExactCapacity) {
  NarrowString empty;
  EXPECT_TRUE(empty.is_inline());
  EXPECT_EQ(0u, empty.size());
  EXPECT_STREQ("", empty.c_str());

  const std::string s19 = Repeat('a', 19);
  NarrowString n19(s19.c_str());
  EXPECT_TRUE(n19.is_inline());
  EXPECT_EQ(s19, n19.c_str());
  EXPECT_EQ(nullptr, n19.block());

  const std::string s20 = Repeat('b', 20);
  NarrowString n20(s20.c_str());
  EXPECT_FALSE(n20.is_inline());
  EXPECT_EQ(20u, n20.size());
  EXPECT_EQ(24u, n20.capacity());
  EXPECT_EQ(1, n20.use_count());
  EXPECT_EQ(s20, n20.c_str());
  EXPECT_EQ('\0', n20.c_str()[20]);
}

TEST(NarrowStringTest, AppendGrowsByHalfWithRounding) {
  NarrowString s(Repeat('x', 20).c_str());
  ASSERT_EQ(24u, s.capacity());
  s += 'y';  // 24 + 12 = 36, rounded to 40
  EXPECT_EQ(40u, s.capacity());
  EXPECT_EQ(21u, s.size());
  for (int i = 0; i < 15; ++i) s += 'z';  // 36 characters + 4 = 40: still fits
  EXPECT_EQ(40u, s.capacity());
  s += 'w';  // 40 + 20 = 60, rounded to 64
  EXPECT_EQ(64u, s.capacity());
  EXPECT_EQ(Repeat('x', 20) + "y" + Repeat('z', 15) + "w", s.c_str());
}

TEST(NarrowStringTest, AppendNeverGrowsBelowWhatIsNeeded) {
  NarrowString s(Repeat('x', 20).c_str());
  const std::string big = Repeat('q', 100);
  s.append(big.c_str(), big.size());  // R = 124 > 36; rounded to 128
  EXPECT_EQ(128u, s.capacity());
  EXPECT_EQ(Repeat('x', 20) + big, s.c_str());
}

TEST(NarrowStringTest, AssignUsesExactGrowthAndStaysOnHeapWhenShortened) {
  NarrowString s(Repeat('x', 20).c_str());
  const std::string longer = Repeat('m', 30);
  s.assign(longer.c_str(), longer.size());  // R = 34, rounded to 40 (no 1.5 factor)
  EXPECT_EQ(40u, s.capacity());
  EXPECT_EQ(longer, s.c_str());
  s.assign("ab", 2);
  EXPECT_FALSE(s.is_inline());
  EXPECT_EQ(40u, s.capacity());
  EXPECT_STREQ("ab", s.c_str());
  s.assign("", 0);
  EXPECT_FALSE(s.is_inline());
  EXPECT_EQ(0u, s.size());
  EXPECT_STREQ("", s.c_str());
  s = NarrowString();
  EXPECT_TRUE(s.is_inline());
  EXPECT_EQ(0u, s.size());
}

TEST(NarrowStringTest, CopySharesBlockAndModificationDetachesExactly) {
  NarrowString a(Repeat('c', 30).c_str());
  NarrowString b = a;
  EXPECT_EQ(a.block(), b.block());
  EXPECT_EQ(2, a.use_count());
  const void* old_block = a.block();
  b.mutable_data()[0] = 'd';
  EXPECT_NE(old_block, b.block());
  EXPECT_EQ(old_block, a.block());
  EXPECT_EQ(1, a.use_count());
  EXPECT_EQ(1, b.use_count());
  EXPECT_EQ(34u, b.capacity());  // exactly the current length
  EXPECT_EQ(Repeat('c', 30), a.c_str());
  EXPECT_EQ("d" + Repeat('c', 29), b.c_str());
}

TEST(NarrowStringTest, SelfAssignmentAndSelfAppend) {
  NarrowString s(Repeat('s', 20).c_str());
  NarrowString& alias = s;
  s = alias;
  EXPECT_EQ(Repeat('s', 20), s.c_str());
  EXPECT_EQ(1, s.use_count());
  s.append(s);  // needs 44 > 24 + 12: grows to 44, rounded to 48
  EXPECT_EQ(48u, s.capacity());
  EXPECT_EQ(Repeat('s', 40), s.c_str());

  NarrowString small("abc");
  small.append(small);
  EXPECT_STREQ("abcabc", small.c_str());

  NarrowString word("0123456789abcdefghij");  // heap
  word.assign(word.c_str() + 5, 10);
  EXPECT_STREQ("56789abcde", word.c_str());
  EXPECT_FALSE(word.is_inline());
}

TEST(NarrowStringTest, InsertAndSubstr) {
  NarrowString s("hello world");
  s.insert(5, ",", 1);
  EXPECT_STREQ("hello, world", s.c_str());
  s.insert(s.size(), "!", 1);
  EXPECT_STREQ("hello, world!", s.c_str());
  s.insert(0, s.c_str() + 7, 5);  // from itself
  EXPECT_STREQ("worldhello, world!", s.c_str());
  EXPECT_THROW(s.insert(s.size() + 1, "x", 1), std::out_of_range);

  EXPECT_STREQ("hello", s.substr(5, 5).c_str());
  EXPECT_STREQ("world!", s.substr(12).c_str());
  EXPECT_EQ(0u, s.substr(s.size()).size());
  ExpectThrowText([&] { (void)s.substr(s.size() + 1); }, "out_of_range");

  NarrowString long_text(Repeat('l', 50).c_str());
  NarrowString part = long_text.substr(10);
  EXPECT_EQ(44u, part.capacity());  // a new value of exactly 40 bytes
}

TEST(NarrowStringTest, SwapExchangesForms) {
  NarrowString heap(Repeat('h', 25).c_str());
  NarrowString small("tiny");
  const void* block = heap.block();
  heap.swap(small);
  EXPECT_TRUE(heap.is_inline());
  EXPECT_STREQ("tiny", heap.c_str());
  EXPECT_EQ(block, small.block());
  EXPECT_EQ(Repeat('h', 25), small.c_str());
}

TEST(NarrowStringTest, MoveLeavesSourceEmpty) {
  NarrowString a(Repeat('m', 30).c_str());
  const void* block = a.block();
  NarrowString b(std::move(a));
  EXPECT_EQ(block, b.block());
  EXPECT_EQ(1, b.use_count());
  EXPECT_TRUE(a.empty());  // NOLINT(bugprone-use-after-move): moved-from is empty
  NarrowString c;
  c = std::move(b);
  EXPECT_EQ(block, c.block());
  EXPECT_TRUE(b.empty());  // NOLINT(bugprone-use-after-move)
}

TEST(NarrowStringTest, OversizedRequestThrowsBadAlloc) {
  NarrowString s("abc");
  EXPECT_THROW(s.append(s.c_str(), static_cast<std::size_t>(-2)), std::bad_alloc);
  EXPECT_STREQ("abc", s.c_str());
}

TEST(WideStringTest, InlineUpTo9UnitsHeapFrom10WithCapacity12) {
  WideString s9(RepeatU(u'a', 9));
  EXPECT_TRUE(s9.is_inline());
  EXPECT_EQ(9u, s9.size());
  WideString s10(RepeatU(u'b', 10));
  EXPECT_FALSE(s10.is_inline());
  EXPECT_EQ(12u, s10.capacity());
  EXPECT_EQ(RepeatU(u'b', 10), s10.view());
  EXPECT_EQ(u'\0', s10.c_str()[10]);

  s9.push_back(u'x');  // inline -> heap with room for exactly 10 units
  EXPECT_FALSE(s9.is_inline());
  EXPECT_EQ(12u, s9.capacity());
  s9.push_back(u'y');  // 12 + 6 = 18 units = 36 bytes, rounded to 40 -> 20 units
  EXPECT_EQ(20u, s9.capacity());
  EXPECT_EQ(RepeatU(u'a', 9) + u"xy", s9.view());
}

TEST(WideStringTest, CopyOnWrite) {
  WideString a(RepeatU(u'w', 15));
  WideString b = a;
  EXPECT_EQ(2, b.use_count());
  b.push_back(u'!');
  EXPECT_EQ(1, a.use_count());
  EXPECT_EQ(1, b.use_count());
  EXPECT_NE(a.block(), b.block());
  EXPECT_EQ(RepeatU(u'w', 15), a.view());
  EXPECT_EQ(RepeatU(u'w', 15) + u"!", b.view());

  WideString c = a;
  c.mutable_data()[0] = u'v';
  EXPECT_EQ(17u, c.capacity());  // 15 units + the 2 units of the count
  EXPECT_EQ(u'w', a[0]);
}

TEST(WideStringTest, AssignEmptyKeepsHeapAssignValueGoesInline) {
  WideString s(RepeatU(u'q', 12));
  s.assign(u"", 0);
  EXPECT_FALSE(s.is_inline());
  EXPECT_TRUE(s.empty());
  s.resize(3, u'z');
  EXPECT_FALSE(s.is_inline());
  EXPECT_EQ(u"zzz", s.view());
  s = WideString(u"in");
  EXPECT_TRUE(s.is_inline());
  EXPECT_EQ(u"in", s.view());
}

TEST(WideStringTest, SelfAppendDoublesAcrossReallocation) {
  WideString s(u"0123456789");
  ASSERT_EQ(12u, s.capacity());
  s.append(s);
  EXPECT_EQ(u"01234567890123456789", s.view());
  s.append(s.c_str() + 15, 5);
  EXPECT_EQ(u"0123456789012345678956789", s.view());
  WideString t(u"abcd");
  t.append(t);
  t.append(t);
  t.append(t);  // 32 units: inline -> heap with self source
  EXPECT_EQ(u"abcdabcdabcdabcdabcdabcdabcdabcd", t.view());
}

TEST(WideStringTest, AppendPartOfAnother) {
  const WideString other(u"abcdef");
  WideString s(u"x");
  s.append(other, 2, 2);
  EXPECT_EQ(u"xcd", s.view());
  s.append(other, 4, WideString::npos);
  EXPECT_EQ(u"xcdef", s.view());
  s.append(other, other.size(), 3);
  EXPECT_EQ(u"xcdef", s.view());
  ExpectThrowText([&] { s.append(other, other.size() + 1, 1); }, "out_of_range");
  s.append(s, 1, 2);  // from itself
  EXPECT_EQ(u"xcdefcd", s.view());
}

TEST(WideStringTest, ResizeAndReserve) {
  WideString s(u"ab");
  s.resize(5, u'-');
  EXPECT_EQ(u"ab---", s.view());
  s.resize(14, u'+');  // inline -> heap exactly
  EXPECT_EQ(16u, s.capacity());
  EXPECT_EQ(u"ab---+++++++++", s.view());
  s.resize(20, u'.');  // heap, exact: 22 units = 44 bytes -> 48 -> 24 units
  EXPECT_EQ(24u, s.capacity());
  s.resize(1);
  EXPECT_EQ(u"a", s.view());
  EXPECT_FALSE(s.is_inline());

  WideString r(u"xy");
  r.reserve(9);
  EXPECT_TRUE(r.is_inline());
  r.reserve(30);
  EXPECT_FALSE(r.is_inline());
  EXPECT_EQ(32u, r.capacity());
  EXPECT_EQ(u"xy", r.view());
  r.reserve(10);  // enough room already
  EXPECT_EQ(32u, r.capacity());
  WideString shared = r;
  r.reserve(10);  // made unique, exactly the current length
  EXPECT_NE(shared.block(), r.block());
  ExpectThrowText([&] { r.reserve(2147483647u); }, "length_error");
  EXPECT_EQ(u"xy", r.view());
}

TEST(WideStringTest, GrowthRoundingTableBoundaries) {
  // Each grows an inline string by a heap append of R units from a one-unit
  // heap string, so the new capacity is exactly R rounded.
  struct Case {
    std::size_t units;     // requested capacity in units
    std::size_t expected;  // capacity after rounding
  };
  const Case cases[] = {
      {128, 128},    // 256 bytes: multiple of 8
      {129, 136},    // 258 bytes -> 272 (multiple of 16)
      {256, 256},    // 512
      {257, 272},    // 514 -> 544 (multiple of 32)
      {511, 512},    // 1022 -> 1024
      {512, 512},    // 1024 (multiple of 64)
      {513, 544},    // 1026 -> 1088
      {1024, 1024},  // 2048 (multiple of 128)
      {1025, 1088},  // 2050 -> 2176
      {2049, 2176},  // 4098 -> 4352 (multiple of 256)
      {4097, 4352},  // 8194 -> 8704 (multiple of 512)
      {8191, 8192},  // 16382 -> 16384
      {8193, 8193},  // 16386: no rounding
  };
  for (const Case& c : cases) {
    WideString s(RepeatU(u'r', 10));
    s.resize(1);  // heap, capacity 12
    s.resize(c.units - 2, u'r');
    EXPECT_EQ(c.expected, s.capacity()) << c.units;
  }
  NarrowString n(Repeat('n', 20).c_str());
  n.resize(253);  // 257 bytes -> multiple of 16
  EXPECT_EQ(272u, n.capacity());
}

TEST(WideStringTest, EditingOperations) {
  WideString s(u"hello world");
  const char16_t comma[] = u",";
  s.insert(5, comma, comma + 1);
  EXPECT_EQ(u"hello, world", s.view());
  s.insert(0, s.c_str() + 7, s.c_str() + 12);
  EXPECT_EQ(u"worldhello, world", s.view());
  EXPECT_FALSE(s.is_inline());
  EXPECT_EQ(19u, s.capacity());  // built at exactly the new length
  const char16_t bang[] = u"!";
  s.insert_at(s.c_str() + s.size(), bang, bang + 1);
  EXPECT_EQ(u"worldhello, world!", s.view());

  s.erase(0, 5);
  EXPECT_EQ(u"hello, world!", s.view());
  s.erase(5, 2);
  EXPECT_EQ(u"helloworld!", s.view());
  s.erase(10);
  EXPECT_EQ(u"helloworld", s.view());
  s.erase(s.size(), 4);
  EXPECT_EQ(u"helloworld", s.view());
  ExpectThrowText([&] { s.erase(s.size() + 1, 1); }, "out_of_range");

  WideString copy = s;
  const char16_t* w = s.c_str() + 5;
  char16_t* next = s.erase_range(s.c_str(), w);
  EXPECT_EQ(u"world", s.view());
  EXPECT_EQ(s.c_str(), next);
  EXPECT_EQ(u"helloworld", copy.view());

  s.replace(0, 1, u"W");
  EXPECT_EQ(u"World", s.view());
  s.replace(5, 0, u" wide");
  EXPECT_EQ(u"World wide", s.view());
  s.replace(0, WideString::npos, u"x");
  EXPECT_EQ(u"x", s.view());

  WideString r(u"abcdefghijkl");
  r.replace_range(r.c_str() + 1, r.c_str() + 3, r.c_str() + 6, r.c_str() + 12);
  EXPECT_EQ(u"aghijkldefghijkl", r.view());
  r.replace(2, 10, r.c_str(), r.c_str() + 2);
  EXPECT_EQ(u"agagijkl", r.view());
  WideString shared = r;
  const char16_t zzz[] = u"ZZZ";
  r.replace_range(r.c_str(), r.c_str() + 2, zzz, zzz + 3);
  EXPECT_EQ(u"ZZZagijkl", r.view());
  EXPECT_EQ(u"agagijkl", shared.view());
}

TEST(WideStringTest, SearchHelpers) {
  const WideString s(u"a/b\\c/d");
  EXPECT_EQ(1u, s.find(u'/'));
  EXPECT_EQ(5u, s.rfind(u'/'));
  EXPECT_EQ(3u, s.find(WideString(u"\\c")));
  EXPECT_EQ(WideString::npos, s.find(WideString(u"zz")));
  EXPECT_TRUE(s.starts_with(u"a/"));
  EXPECT_FALSE(s.ends_with(u'/'));
  EXPECT_EQ(u"b\\c", s.substr(2, 3).view());
  EXPECT_THROW((void)s.substr(8), std::out_of_range);
}

}  // namespace
}  // namespace veskp8

namespace veskp8 {
namespace {

// Random edits checked against std::u16string, with sharing in between: the
// copy-on-write storage must behave like a plain value, keep the terminator,
// and never leave the heap except by assignment of a whole value or swap.
TEST(WideStringTest, RandomEditsMatchAPlainString) {
  std::mt19937 random(12345);
  auto pick = [&random](std::size_t n) {
    return static_cast<std::size_t>(std::uniform_int_distribution<std::size_t>(0, n)(random));
  };
  WideString s;
  std::u16string model;
  std::vector<std::pair<WideString, std::u16string>> saved;
  for (int step = 0; step < 20000; ++step) {
    const bool was_heap = !s.is_inline();
    bool whole_value = false;
    const std::size_t len = model.size();
    std::u16string piece(pick(12), static_cast<char16_t>(u'a' + pick(25)));
    switch (pick(11)) {
      case 0:
        s.append(piece.data(), piece.size());
        model += piece;
        break;
      case 1: {  // a part of itself
        const std::size_t pos = pick(len);
        const std::size_t count = pick(len - pos);
        s.append(s.c_str() + pos, count);
        model += model.substr(pos, count);
        break;
      }
      case 2: {
        const std::size_t pos = pick(len);
        const std::size_t count = pick(len - pos);
        s.assign(s.c_str() + pos, count);
        model = model.substr(pos, count);
        break;
      }
      case 3: {
        const std::size_t pos = pick(len);
        s.insert(pos, piece.data(), piece.data() + piece.size());
        model.insert(pos, piece);
        if (pos != len) whole_value = true;  // built as a new value
        break;
      }
      case 4: {
        const std::size_t pos = pick(len);
        const std::size_t count = pick(len - pos + 2);
        s.erase(pos, count);
        model.erase(pos, count);
        break;
      }
      case 5: {
        const std::size_t pos = pick(len);
        const std::size_t count = pick(len - pos);
        const std::size_t src = pick(len);
        const std::size_t src_count = pick(len - src);
        const std::u16string source = model.substr(src, src_count);
        s.replace(pos, count, s.c_str() + src, s.c_str() + src + src_count);
        model.replace(pos, count, source);
        break;
      }
      case 6: {
        const std::size_t n = pick(len + 15);
        s.resize(n, u'#');
        model.resize(n, u'#');
        break;
      }
      case 7:
        saved.emplace_back(s, model);  // share
        if (saved.size() > 8) saved.erase(saved.begin());
        break;
      case 8:
        if (!saved.empty()) {
          const std::size_t i = pick(saved.size() - 1);
          s = saved[i].first;
          model = saved[i].second;
          whole_value = true;
        }
        break;
      case 9:
        if (!saved.empty()) {
          const std::size_t i = pick(saved.size() - 1);
          s.swap(saved[i].first);
          model.swap(saved[i].second);
          whole_value = true;
        }
        break;
      case 10:
        s.reserve(pick(40));
        break;
      default:
        s.push_back(u'z');
        model.push_back(u'z');
        break;
    }
    ASSERT_EQ(model, std::u16string(s.view())) << "step " << step;
    ASSERT_EQ(u'\0', s.c_str()[s.size()]);
    if (was_heap && !whole_value) {
      ASSERT_FALSE(s.is_inline()) << "step " << step;
    }
    if (s.is_inline()) {
      ASSERT_LE(s.size(), 9u);
    } else {
      ASSERT_GE(s.capacity(), s.size() + 2);
    }
    if (model.size() > 9) {
      ASSERT_FALSE(s.is_inline());
    }
    if (model.size() > 30) {
      s = WideString(u"reset");  // keep the texts short enough to hit both forms
      model = u"reset";
    }
  }
  for (const auto& [value, text] : saved) EXPECT_EQ(text, std::u16string(value.view()));
}

}  // namespace
}  // namespace veskp8
