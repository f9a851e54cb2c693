// Character-wise search against a plain byte search, and the UTF-8 page
// conversion, over 1 MiB texts.
#include <benchmark/benchmark.h>

#include <random>

#include "web/codepage.h"
#include "web/text.h"

namespace vorpane {
namespace {

constexpr size_t mebibyte = 1 << 20;

// A page-like text: markup and Latin text with runs of Chinese in between,
// about half of its bytes in double-byte characters, the sought text last.
Text page_text(bool chinese_heavy, TextView sought) {
  static const char* const pieces[] = {"<div class=\"item\"><a href=\"/group/1234\">",
                                       "</a></div>\n",
                                       "<p >",
                                       "</p>\n",
                                       "\xD6\xD0\xCE\xC4\xB7\xD6\xCF\xED",  // 中文分享
                                       "\xC8\xBA\xC3\xFB\xB3\xC6",          // 群名称
                                       "\xA3\xBA\xA3\xAC",  // full-width colon and comma
                                       "resources and files ",
                                       "&nbsp;"};
  std::mt19937 engine(42);
  std::uniform_int_distribution<int> pick(0, chinese_heavy ? 6 : 8);
  Text text;
  while (text.size() + sought.size() < mebibyte) {
    int choice = pick(engine);
    if (chinese_heavy && choice < 4 && engine() % 3 != 0) choice += 4;
    text += pieces[choice];
  }
  text.resize(mebibyte - sought.size());
  // Keep the text whole characters so that the sought text starts on one.
  if (find_text(text, text.substr(text.size() - 1)) == -1) text.back() = ' ';
  text += sought;
  return text;
}

void report(benchmark::State& state, size_t bytes) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

const TextView marker =
    "\xC8\xBA\xD1\xFB\xC7\xEB\xC2\xEB\xD2\xD1\xB9\xAB\xBF\xAA";  // 群邀请码已公开

void BM_FindText(benchmark::State& state) {
  const bool chinese_heavy = state.range(0) != 0;
  const Text text = page_text(chinese_heavy, marker);
  for (auto _ : state)
    benchmark::DoNotOptimize(find_text(text, marker));
  if (find_text(text, marker) != static_cast<int>(text.size() - marker.size() + 1)) {
    state.SkipWithError("marker not found at the end");
  }
  report(state, text.size());
}
BENCHMARK(BM_FindText)->Arg(0)->Arg(1)->ArgName("chinese_heavy");

void BM_FindTextIgnoringCase(benchmark::State& state) {
  const Text text = page_text(false, "UTF-8");
  for (auto _ : state)
    benchmark::DoNotOptimize(find_text(text, "utf-8", 0, true));
  report(state, text.size());
}
BENCHMARK(BM_FindTextIgnoringCase);

void BM_StringViewFind(benchmark::State& state) {
  const bool chinese_heavy = state.range(0) != 0;
  const Text text = page_text(chinese_heavy, marker);
  const TextView view(text);
  for (auto _ : state)
    benchmark::DoNotOptimize(view.find(marker));
  report(state, text.size());
}
BENCHMARK(BM_StringViewFind)->Arg(0)->Arg(1)->ArgName("chinese_heavy");

void BM_Utf8ToCp936(benchmark::State& state) {
  const std::string utf8 = cp936_to_utf8(page_text(true, marker));
  const Bytes page(utf8.begin(), utf8.end());
  for (auto _ : state)
    benchmark::DoNotOptimize(utf8_to_cp936(page));
  report(state, page.size());
}
BENCHMARK(BM_Utf8ToCp936);

}  // namespace
}  // namespace vorpane
