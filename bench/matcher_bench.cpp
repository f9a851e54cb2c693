// The scan's use of the matcher on typical public group pages, against ICU's
// own matcher over the same pages already in UTF-16 with the pattern compiled
// once: the price of the conversions, the fresh engine per page and the
// match collection.
#include <benchmark/benchmark.h>
#include <unicode/regex.h>

#include <memory>
#include <vector>

#include "sample-site/group_pages.h"
#include "scan/group_pattern.h"
#include "scan/pattern_matcher.h"
#include "web/codepage.h"

namespace vorpane {
namespace {

constexpr int32_t page_count = 1000;

const std::vector<Text>& typical_pages() {
  static const std::vector<Text> pages = [] {
    std::vector<Text> built;
    for (int32_t i = 0; i < page_count; ++i) {
      built.push_back(build_group_page(public_group_page_options(10000000 + i)));
    }
    return built;
  }();
  return pages;
}

// create with the group pattern and the defaults, match_count, and the five
// facts of the first match, as the scan does for every page.
void BM_ScanSequence(benchmark::State& state) {
  const std::vector<Text>& pages = typical_pages();
  for (auto _ : state) {
    PatternMatcher matcher;
    for (const Text& page : pages) {
      matcher.create(group_pattern, page);
      if (matcher.match_count() <= 0) continue;
      for (int32_t group = 1; group <= 5; ++group) {
        benchmark::DoNotOptimize(matcher.submatch_text(1, group));
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * page_count);
}
BENCHMARK(BM_ScanSequence)->Unit(benchmark::kMillisecond);

// The same run in bare ICU: every match found (the scan's runs are global), the
// five groups of the first taken.
void BM_BareIcuMatcher(benchmark::State& state) {
  std::vector<icu::UnicodeString> pages;
  for (const Text& page : typical_pages()) {
    const std::u16string utf16 = cp936_to_utf16(page);
    pages.emplace_back(utf16.data(), static_cast<int32_t>(utf16.size()));
  }
  const std::u16string pattern_utf16 = cp936_to_utf16(group_pattern);
  UErrorCode status = U_ZERO_ERROR;
  UParseError parse_error;
  const std::unique_ptr<icu::RegexPattern> pattern(icu::RegexPattern::compile(
      icu::UnicodeString(pattern_utf16.data(), static_cast<int32_t>(pattern_utf16.size())),
      UREGEX_CASE_INSENSITIVE | UREGEX_MULTILINE | UREGEX_UNIX_LINES, parse_error, status));
  const std::unique_ptr<icu::RegexMatcher> matcher(pattern->matcher(status));
  if (U_FAILURE(status)) {
    state.SkipWithError("the group pattern does not compile");
    return;
  }
  for (auto _ : state) {
    for (const icu::UnicodeString& page : pages) {
      matcher->reset(page);
      if (!matcher->find(status)) continue;
      for (int32_t group = 1; group <= 5; ++group) {
        benchmark::DoNotOptimize(matcher->group(group, status));
      }
      while (matcher->find(status)) {
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * page_count);
}
BENCHMARK(BM_BareIcuMatcher)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vorpane
