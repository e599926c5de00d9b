// Strings and conversions used from two threads at once (also run under
// ThreadSanitizer).
#include <gtest/gtest.h>

#include <atomic>
#include <clocale>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "text/conversion.h"
#include "text/string_ops.h"

namespace veskp8 {
namespace {

TEST(TextThreadsTest, ConversionsRunConcurrentlyAndLeaveProcessLocale) {
  setenv("LC_ALL", "ru_RU.UTF-8", 1);  // read once, when the conversion locale is built
  const std::string before = std::setlocale(LC_ALL, nullptr);
  const std::string russian = "\xD0\xBF\xD1\x83\xD1\x82\xD1\x8C/\xF0\x9F\x98\x80/\xFF";
  const WideString expected_wide(u"\u043F\u0443\u0442\u044C/\U0001F600/\xDCFF");
  std::atomic<int> failures{0};
  std::atomic<bool> go{false};
  auto work = [&](int seed) {
    while (!go.load()) std::this_thread::yield();
    for (int i = 0; i < 2000; ++i) {
      const NarrowString narrow(russian + std::to_string(seed * 100000 + i));
      const WideString wide = LocaleToWide(narrow);
      if (wide.view() != (expected_wide + DecimalText(seed * 100000 + i)).view()) ++failures;
      NarrowString back;
      if (!WideToLocaleChecked(wide, back) || !(back == narrow)) ++failures;
      if (CompareNoCase(wide, wide) != 0) ++failures;
    }
  };
  std::thread a(work, 1);
  std::thread b(work, 2);
  go = true;
  a.join();
  b.join();
  EXPECT_EQ(0, failures.load());
  EXPECT_EQ(before, std::setlocale(LC_ALL, nullptr));
}

TEST(TextThreadsTest, CopiesOfOneHeapStringOnTwoThreads) {
  const WideString shared(u"a path long enough to live on the heap");
  const NarrowString shared_narrow("a narrow text long enough for the heap");
  std::atomic<bool> go{false};
  std::atomic<int> failures{0};
  auto work = [&] {
    while (!go.load()) std::this_thread::yield();
    for (int i = 0; i < 20000; ++i) {
      WideString copy = shared;
      NarrowString narrow_copy = shared_narrow;
      std::vector<WideString> more(3, copy);
      if (i % 7 == 0) {
        copy.push_back(u'!');  // detaches from the shared block
        if (copy.size() != shared.size() + 1) ++failures;
      }
      if (!(more[2] == shared) || !(narrow_copy == shared_narrow)) ++failures;
    }
  };
  std::thread a(work);
  std::thread b(work);
  go = true;
  a.join();
  b.join();
  EXPECT_EQ(0, failures.load());
  EXPECT_EQ(1, shared.use_count());
  EXPECT_EQ(1, shared_narrow.use_count());
}

// Both holders of each shared block modify their value at the same moment:
// each makes a private copy and lets go of the shared block, and whichever
// decrement is last frees it. Nothing may leak (LeakSanitizer) or be freed
// twice (AddressSanitizer).
TEST(TextThreadsTest, ConcurrentDetachOfBothSharers) {
  constexpr int kStrings = 64;
  for (int round = 0; round < 300; ++round) {
    std::vector<WideString> left(kStrings, WideString(u"shared heap text number one"));
    for (WideString& s : left) s.mutable_data();  // one block per string
    std::vector<WideString> right(left);
    std::atomic<bool> go{false};
    auto detach_all = [&go](std::vector<WideString>& values, char16_t mark) {
      while (!go.load()) std::this_thread::yield();
      for (WideString& value : values) value.mutable_data()[0] = mark;
    };
    std::thread other(detach_all, std::ref(right), u'R');
    go = true;
    detach_all(left, u'L');
    other.join();
    for (int i = 0; i < kStrings; ++i) {
      ASSERT_EQ(u"Lhared heap text number one", left[i].view());
      ASSERT_EQ(u"Rhared heap text number one", right[i].view());
      ASSERT_EQ(1, left[i].use_count());
      ASSERT_EQ(1, right[i].use_count());
    }
  }
}

}  // namespace
}  // namespace veskp8
