#include <benchmark/benchmark.h>

#include "web/text.h"

static void BM_FindText(benchmark::State& state) {
  const vorpane::Text text(1 << 20, 'a');
  for (auto _ : state) benchmark::DoNotOptimize(vorpane::find_text(text, "b"));
}
BENCHMARK(BM_FindText);
