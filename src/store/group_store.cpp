#include "store/group_store.h"

#include "shell/program_files.h"
#include "web/codepage.h"

namespace vorpane {
namespace {

constexpr int column_count = 6;

// How long a save waits for another copy of the program that holds the
// store's locks, at each step, as the record store waits for its header lock.
constexpr int64_t lock_conflict_wait_ms = 2000;

// Runs `operation` again while it meets another process's lock, for up to
// lock_conflict_wait_ms. The store itself does not wait here: its lock wait
// stays 0 for every other caller.
template <typename Operation>
int32_t retry_lock_conflicts(Operation operation) {
  const int64_t started = monotonic_milliseconds();
  while (true) {
    const int32_t code = operation();
    if (code != store_lock_violation ||
        monotonic_milliseconds() - started > lock_conflict_wait_ms) {
      return code;
    }
    sleep_before_lock_retry();
  }
}

// Appends one row as a new record. False when the row could not be stored
// whole; it is then never written into a record that is not its own.
bool save_row(Window& window, int row) {
  if (retry_lock_conflicts(go_to_last_record) != store_ok) return false;
  if (retry_lock_conflicts(add_blank_record) != store_ok) return false;
  bool written = true;
  for (int column = 0; column < column_count; ++column) {
    const Text value = window.list_cell_text(row, column);
    written &= write_field(column + 1, value) == store_ok;
  }
  return written;
}

}  // namespace

std::vector<FieldSpec> group_schema() {
  return {
      {cp936_from_utf8("群名"), field_text, 30},   {cp936_from_utf8("群号"), field_text, 15},
      {cp936_from_utf8("创建者"), field_text, 30}, {cp936_from_utf8("群地址"), field_text, 50},
      {cp936_from_utf8("成员数"), field_text, 10}, {cp936_from_utf8("群简介"), field_text, 50},
  };
}

void ensure_store(Window& window, const NativePath& run_directory) {
  const NativePath path = store_path(run_directory);
  if (path_exists(path)) return;
  if (create_store(path, group_schema()) != store_ok) return;
  // A directory name outside code page 936 shows with "?" in its place.
  window.show_message(
      cp936_from_utf8("首次生成空数据库成功，数据库路径为:") + cp936_from_utf8(path),
      message_plain);
}

void save_results(Window& window, const NativePath& run_directory) {
  const NativePath path = store_path(run_directory);
  if (retry_lock_conflicts([&] { return open_store(path); }) != store_ok) {
    window.show_message(cp936_from_utf8("保存失败：找不到当前目录下的db.edb"), message_warning);
    return;
  }
  const int rows = window.list_row_count();
  int32_t unsaved = 0;
  for (int row = 0; row < rows; ++row) {
    if (!save_row(window, row)) ++unsaved;
  }
  if (unsaved == 0) {
    window.set_text(Control::save_status_label, cp936_from_utf8("保存数据库成功！"));
  } else {
    window.set_text(Control::save_status_label, cp936_from_utf8("有 ") + int_to_text(unsaved) +
                                                    cp936_from_utf8(" 条未能保存！"));
  }
  close_store(path);
}

}  // namespace vorpane
