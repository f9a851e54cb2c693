// Several processes appending to one store at once, each with its own open.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <map>
#include <set>

#include "store/platform.h"
#include "store/record_store.h"
#include "store_test_support.h"

namespace vorpane {
namespace {

using testing::group_data_start;
using testing::group_record_length;
using testing::int32_at;
using testing::stored_text;

constexpr int writer_count = 8;
constexpr int rows_per_writer = 200;
// A retried call gives up after this long; far more than the contention of
// this test needs, so that a slow machine does not fail it.
constexpr int64_t retry_limit_ms = 20000;

// The six values of one writer's row; some fill their field exactly, some
// are cut, so that a value written into the wrong slot shows.
std::vector<Text> row_values(int writer, int row) {
  const Text tag = "w" + int_to_text(writer) + "r" + int_to_text(row);
  return {
      tag,
      int_to_text(writer * 1000 + row),
      Text(30, static_cast<char>('a' + writer)),
      "http://127.0.0.1/group/" + tag + Text(40, 'x'),  // cut at 50 bytes
      int_to_text(row),
      tag + "\xC8\xBA\xBC\xF2\xBD\xE9" + tag,
  };
}

Text stored_form(const Text& value, size_t width) {
  return value.substr(0, width);
}

void pause_briefly() {
  struct timespec pause = {0, 1000000};
  ::nanosleep(&pause, nullptr);
}

// Retries a call that met a lock conflict, as the save does.
template <typename Call>
int32_t retried(Call call) {
  const int64_t start = monotonic_milliseconds();
  int32_t code = call();
  while (code == store_lock_violation && monotonic_milliseconds() - start < retry_limit_ms) {
    pause_briefly();
    code = call();
  }
  return code;
}

// One writer's process: appends its rows with the save's sequence and
// reports how many it added through its exit status (255: a fault).
[[noreturn]] void run_writer(const NativePath& path, int writer, int start_signal) {
  reset_store_registry_for_testing();
  char go = 0;
  if (::read(start_signal, &go, 1) < 0) ::_exit(255);
  if (retried([&] { return open_store(path); }) != store_ok) ::_exit(255);
  int added = 0;
  for (int row = 0; row < rows_per_writer; ++row) {
    go_to_last_record();
    const std::vector<Text> values = row_values(writer, row);
    if (retried(add_blank_record) != store_ok) {
      // The row is lost, but its values must go nowhere.
      for (int32_t field = 1; field <= 6; ++field) {
        if (write_field(field, values[static_cast<size_t>(field) - 1]) != store_no_current_record) {
          ::_exit(255);
        }
      }
      continue;
    }
    for (int32_t field = 1; field <= 6; ++field) {
      if (write_field(field, values[static_cast<size_t>(field) - 1]) != store_ok) ::_exit(255);
    }
    ++added;
  }
  close_store(path);
  ::_exit(added);
}

class StoreProcesses : public testing::StoreTest {};

TEST_F(StoreProcesses, ConcurrentAppendsLandInTheirOwnSlots) {
  static_assert(rows_per_writer < 255);
  const NativePath path = create_group_store();
  int start[2];
  ASSERT_EQ(::pipe(start), 0);
  std::vector<pid_t> writers;
  for (int writer = 0; writer < writer_count; ++writer) {
    const pid_t process = ::fork();
    ASSERT_GE(process, 0);
    if (process == 0) {
      ::close(start[1]);
      run_writer(path, writer, start[0]);
    }
    writers.push_back(process);
  }
  // Closing the pipe lets every writer start at the same moment.
  ::close(start[0]);
  ::close(start[1]);

  std::map<int, int> added_by_writer;
  int total_added = 0;
  for (int writer = 0; writer < writer_count; ++writer) {
    int status = 0;
    ASSERT_EQ(::waitpid(writers[static_cast<size_t>(writer)], &status, 0),
              writers[static_cast<size_t>(writer)]);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 255) << "writer " << writer << " saw a wrong result";
    added_by_writer[writer] = WEXITSTATUS(status);
    total_added += WEXITSTATUS(status);
  }
  EXPECT_EQ(total_added, writer_count * rows_per_writer) << "no row should give up";

  const Bytes file = testing::read_file(path);
  const int32_t count = int32_at(file, 16);
  ASSERT_EQ(count, total_added);
  EXPECT_EQ(int32_at(file, 20), count + 1);
  ASSERT_EQ(file.size(), group_data_start + static_cast<size_t>(count) * group_record_length);

  const size_t offsets[] = {4, 34, 49, 79, 129, 139};
  const size_t widths[] = {30, 15, 30, 50, 10, 50};
  std::map<int, int> next_row_of_writer;
  std::map<int, int> records_of_writer;
  for (int32_t index = 0; index < count; ++index) {
    const size_t record = group_data_start + static_cast<size_t>(index) * group_record_length;
    ASSERT_EQ(int32_at(file, record), index + 1) << "record numbers run from 1 without gaps";
    // The writer and its row, from the group number field.
    const int32_t number = text_to_int(stored_text(file, record + 34, 15));
    const int writer = number / 1000;
    const int row = number % 1000;
    ASSERT_TRUE(added_by_writer.count(writer)) << "record " << index;
    // Each writer's rows appear once each, in its order.
    EXPECT_GE(row, next_row_of_writer[writer]) << "record " << index;
    next_row_of_writer[writer] = row + 1;
    ++records_of_writer[writer];
    const std::vector<Text> values = row_values(writer, row);
    for (size_t field = 0; field < 6; ++field) {
      const Bytes expected_bytes = [&] {
        Bytes bytes(widths[field], 0);
        const Text stored = stored_form(values[field], widths[field]);
        std::copy(stored.begin(), stored.end(), bytes.begin());
        return bytes;
      }();
      const auto start_byte = file.begin() + static_cast<long>(record + offsets[field]);
      EXPECT_EQ(Bytes(start_byte, start_byte + static_cast<long>(widths[field])), expected_bytes)
          << "record " << index << " field " << field + 1;
    }
  }
  for (const auto& [writer, added] : added_by_writer) {
    EXPECT_EQ(records_of_writer[writer], added) << "writer " << writer;
  }
}

}  // namespace
}  // namespace vorpane
