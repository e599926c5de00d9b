// Lookups run on the worker thread and the user-interface thread at once.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "resources/resource_table.h"
#include "text/conversion.h"

namespace veskp8 {
namespace {

TEST(ResourceLookupThreads, ConcurrentLookupsAgreeWithTheTable) {
  const int saved = GetCurrentLanguage();
  SetCurrentLanguage(kEnglishLanguage);  // before the threads start, as the entry routine does
  std::vector<WideString> expected;
  for (const char* identifier : kResourceIdentifiers) {
    expected.push_back(LocaleToWide(GetLanguageList().at(5).m_texts.at(identifier)));
  }
  auto lookUp = [&expected](int* mismatches) {
    for (int round = 0; round < 300; ++round) {
      for (std::size_t i = 0; i < kResourceIdentifiers.size(); ++i) {
        if (LoadResourceString(kResourceIdentifiers[i]) != expected[i]) ++*mismatches;
      }
      if (FindLanguageByCode("tk") != 23) ++*mismatches;
    }
  };
  int first = 0;
  int second = 0;
  std::thread worker(lookUp, &first);
  lookUp(&second);
  worker.join();
  EXPECT_EQ(first, 0);
  EXPECT_EQ(second, 0);
  SetCurrentLanguage(saved);
}

}  // namespace
}  // namespace veskp8
