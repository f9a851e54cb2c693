// Appending export lines to the hidden export buffer, as an export of a long
// result list does, against a line edit that is given every line.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>

#include "shell/program.h"
#include "shell/ui/main_window.h"
#include "web/codepage.h"

namespace vorpane {
namespace {

const Text export_line = cp936_from_utf8("某个群的名字 http://127.0.0.1:8610/group/10000123\r\n");

void BM_AppendToExportBuffer(benchmark::State& state) {
  for (auto _ : state) {
    Program program("/nonexistent", "http://127.0.0.1:1/group/");
    MainWindow window(program);
    for (int line = 0; line < state.range(0); ++line) {
      window.append_text(Control::export_buffer, export_line);
    }
    benchmark::DoNotOptimize(window.get_text(Control::export_buffer));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_AppendToExportBuffer)->Arg(250)->Arg(20000)->Unit(benchmark::kMillisecond);

// Baseline: a hidden line edit that receives each line as it comes.
void BM_AppendToLineEdit(benchmark::State& state) {
  const QString line = QString::fromStdU16String(cp936_to_utf16(export_line));
  for (auto _ : state) {
    QLineEdit box;
    box.setMaxLength(std::numeric_limits<int>::max());
    box.hide();
    for (int count = 0; count < state.range(0); ++count) {
      box.end(false);
      box.insert(line);
    }
    benchmark::DoNotOptimize(box.text());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_AppendToLineEdit)->Arg(250)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vorpane

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
