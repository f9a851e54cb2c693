// Appending records with the save's sequence, against the same positioned
// writes with no locks and no reads.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "store/platform.h"
#include "store/record_store.h"
#include "store/store_format.h"

namespace {

using vorpane::FieldSpec;
using vorpane::Text;

constexpr int records_per_run = 10000;
constexpr int64_t data_start = 548;
constexpr int64_t record_length = 189;
constexpr int64_t field_offsets[] = {4, 34, 49, 79, 129, 139};
constexpr size_t field_widths[] = {30, 15, 30, 50, 10, 50};

const std::vector<FieldSpec> group_fields = {
    {"\xC8\xBA\xC3\xFB", vorpane::field_text, 30},
    {"\xC8\xBA\xBA\xC5", vorpane::field_text, 15},
    {"\xB4\xB4\xBD\xA8\xD5\xDF", vorpane::field_text, 30},
    {"\xC8\xBA\xB5\xD8\xD6\xB7", vorpane::field_text, 50},
    {"\xB3\xC9\xD4\xB1\xCA\xFD", vorpane::field_text, 10},
    {"\xC8\xBA\xBC\xF2\xBD\xE9", vorpane::field_text, 50},
};

// A typical result row.
const Text row[] = {"\xB9\xAB\xBF\xAA\xC8\xBA\xD7\xE9",
                    "1234567",
                    "creator",
                    "http://127.0.0.1:8610/group/1234567",
                    "42",
                    "\xBC\xF2\xBD\xE9 introduction text of a group"};

class BenchDirectory {
 public:
  BenchDirectory() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "vorpane-store-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~BenchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  vorpane::NativePath file(const char* name) const { return vorpane::join_path(path_, name); }

 private:
  vorpane::NativePath path_;
};

void BM_SaveSequence(benchmark::State& state) {
  const BenchDirectory directory;
  const vorpane::NativePath path = directory.file("db.edb");
  vorpane::reset_store_registry_for_testing();
  for (auto _ : state) {
    state.PauseTiming();
    // A new file each run, in both: ext4 flushes a file that was cut to zero
    // when it is closed, which would be timed.
    ::unlink(path.c_str());
    if (vorpane::create_store(path, group_fields) != vorpane::store_ok) {
      state.SkipWithError("create_store failed");
      break;
    }
    state.ResumeTiming();
    if (vorpane::open_store(path) != vorpane::store_ok) {
      state.SkipWithError("open_store failed");
      break;
    }
    for (int record = 0; record < records_per_run; ++record) {
      vorpane::go_to_last_record();
      vorpane::add_blank_record();
      for (int32_t field = 1; field <= 6; ++field)
        vorpane::write_field(field, row[field - 1]);
    }
    vorpane::close_store(path);
  }
  state.SetItemsProcessed(state.iterations() * records_per_run);
}
BENCHMARK(BM_SaveSequence)->Unit(benchmark::kMillisecond)->UseRealTime();

// The writes the save sequence makes, and nothing else: the blank record, the
// counts, the six fields.
void BM_PwriteBaseline(benchmark::State& state) {
  const BenchDirectory directory;
  const vorpane::NativePath path = directory.file("baseline.edb");
  const std::vector<unsigned char> head(data_start, 0);
  std::vector<std::vector<unsigned char>> fields;
  for (size_t field = 0; field < 6; ++field) {
    std::vector<unsigned char> bytes(field_widths[field], 0);
    std::copy_n(row[field].begin(), std::min(row[field].size(), bytes.size()), bytes.begin());
    fields.push_back(bytes);
  }
  for (auto _ : state) {
    state.PauseTiming();
    ::unlink(path.c_str());
    const int file = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (file < 0 || ::pwrite(file, head.data(), head.size(), 0) != data_start) {
      state.SkipWithError("cannot write the baseline file");
      break;
    }
    state.ResumeTiming();
    unsigned char blank[record_length] = {};
    unsigned char counts[8] = {};
    for (int32_t record = 0; record < records_per_run; ++record) {
      const int64_t position = data_start + record * record_length;
      vorpane::put_int32(blank, record + 1);
      benchmark::DoNotOptimize(::pwrite(file, blank, sizeof blank, position));
      vorpane::put_int32(counts, record + 1);
      vorpane::put_int32(counts + 4, record + 2);
      benchmark::DoNotOptimize(::pwrite(file, counts, sizeof counts, 16));
      for (size_t field = 0; field < 6; ++field) {
        benchmark::DoNotOptimize(::pwrite(file, fields[field].data(), fields[field].size(),
                                          position + field_offsets[field]));
      }
    }
    ::close(file);
  }
  state.SetItemsProcessed(state.iterations() * records_per_run);
}
BENCHMARK(BM_PwriteBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
