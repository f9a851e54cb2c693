// The scan as the user runs it: the real window on Qt's offscreen platform
// against the sample site, served by a child process so that the figures are
// the program's own. Reports the wall time against the floor the pauses set
// (50 ms a number), the CPU time the program used meanwhile, and the memory
// the program holds after scans of 200 and of 2,000 numbers, and after 2,000 more.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>

#include "sample-site/sample_site.h"
#include "shell/program.h"
#include "shell/program_files.h"
#include "shell/ui/main_window.h"
#include "store/group_store.h"

namespace vorpane {
namespace {

uint16_t site_port = 0;

// Starts the sample site in a child process and returns its port; the child
// serves until it is killed.
pid_t start_site_process() {
  int channel[2];
  if (::pipe(channel) != 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(channel[0]);
    LoopbackServer server(sample_site_answer);
    const uint16_t port = server.start() ? server.port() : 0;
    (void)::write(channel[1], &port, sizeof port);
    ::close(channel[1]);
    if (port != 0) ::pause();
    ::_exit(0);
  }
  ::close(channel[1]);
  if (child < 0 || ::read(channel[0], &site_port, sizeof site_port) != sizeof site_port) {
    site_port = 0;
  }
  ::close(channel[0]);
  return child;
}

double cpu_seconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Resident memory in KiB, as the kernel counts it now.
double resident_kib() {
  std::ifstream status("/proc/self/statm");
  long pages_total = 0;
  long pages_resident = 0;
  status >> pages_total >> pages_resident;
  return static_cast<double>(pages_resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / 1024;
}

// Heap bytes in use, in KiB: unlike the resident size, it falls again when
// memory is freed, so it tells what the program keeps.
double heap_in_use_kib() { return static_cast<double>(mallinfo2().uordblks) / 1024; }

class ScanRun {
 public:
  ScanRun()
      : program_(directory_.path().toStdString(),
                 "http://127.0.0.1:" + std::to_string(site_port) + "/group/"),
        window_(program_) {
    create_store(store_path(program_.run_directory()), group_schema());
    window_.start();
  }

  // Scans `count` numbers from 10000000 and returns its wall time in seconds.
  double scan(int count) {
    window_.set_text(Control::start_number_box, "10000000");
    window_.set_text(Control::count_box, int_to_text(count));
    const auto started = std::chrono::steady_clock::now();
    program_.control_clicked(Control::fetch_button);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  }
  int rows() { return window_.list_row_count(); }

 private:
  QTemporaryDir directory_;
  Program program_;
  MainWindow window_;
};

void BM_Scan200(benchmark::State& state) {
  ScanRun run;
  run.scan(5);  // the first connection, the matcher's first use
  for (auto _ : state) {
    const double cpu_before = cpu_seconds();
    const double wall = run.scan(200);
    const double cpu = cpu_seconds() - cpu_before;
    state.SetIterationTime(wall);
    state.counters["wall_s"] = wall;
    state.counters["floor_s"] = 200 * 0.050;
    state.counters["ratio_to_floor"] = wall / (200 * 0.050);
    state.counters["added_ms_per_number"] = (wall - 200 * 0.050) * 1000 / 200;
    state.counters["cpu_s"] = cpu;
    state.counters["cpu_share"] = cpu / wall;
    state.counters["rows"] = run.rows();
  }
}
BENCHMARK(BM_Scan200)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_MemoryAfter2000(benchmark::State& state) {
  ScanRun run;
  for (auto _ : state) {
    run.scan(200);
    run.scan(0);  // empties the list: what remains is what the scans kept
    const double rss_after_200 = resident_kib();
    const double heap_after_200 = heap_in_use_kib();
    run.scan(2000);
    const double heap_with_rows = heap_in_use_kib();
    run.scan(0);
    state.counters["rss_after_200_kib"] = rss_after_200;
    state.counters["rss_after_2000_kib"] = resident_kib();
    state.counters["heap_after_200_kib"] = heap_after_200;
    state.counters["heap_after_2000_kib"] = heap_in_use_kib();
    state.counters["heap_with_2000_numbers_listed_kib"] = heap_with_rows;
    state.counters["heap_growth_kib"] = heap_in_use_kib() - heap_after_200;
    // A second long scan tells a cache that fills once from memory kept per number.
    const double heap_after_2000 = heap_in_use_kib();
    run.scan(2000);
    run.scan(0);
    state.counters["heap_growth_second_2000_kib"] = heap_in_use_kib() - heap_after_2000;
  }
}
BENCHMARK(BM_MemoryAfter2000)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace vorpane

int main(int argc, char** argv) {
  // The site's process starts before Qt starts any thread of its own.
  const pid_t site = vorpane::start_site_process();
  if (site <= 0 || vorpane::site_port == 0) {
    std::fprintf(stderr, "scan_bench: the sample site did not start\n");
    return 1;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int result = 0;
  {
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
      result = 1;
    } else {
      benchmark::RunSpecifiedBenchmarks();
      benchmark::Shutdown();
    }
  }
  ::kill(site, SIGTERM);
  ::waitpid(site, nullptr, 0);
  return result;
}
