#include "support/recording_window.h"

#include "shell/main_window_layout.h"
#include "web/codepage.h"

namespace vorpane {
namespace {

constexpr int column_count = 6;

}  // namespace

RecordingWindow::RecordingWindow() {
  for (const ControlDefinition& definition : main_window_controls()) {
    texts_[index(definition.control)] = cp936_from_utf8(definition.initial_text);
  }
  enabled_.fill(true);
}

Text RecordingWindow::get_text(Control control) {
  record("get_text", control, texts_[index(control)]);
  return texts_[index(control)];
}

void RecordingWindow::set_text(Control control, const Text& text) {
  record("set_text", control, text);
  texts_[index(control)] = text;
}

void RecordingWindow::set_enabled(Control control, bool enabled) {
  record("set_enabled", control, {}, -1, -1, enabled ? 1 : 0);
  enabled_[index(control)] = enabled;
}

void RecordingWindow::append_text(Control control, const Text& text) {
  record("append_text", control, text);
  texts_[index(control)] += text;
}

void RecordingWindow::list_clear() {
  record("list_clear");
  rows_.clear();
  selected_rows.clear();
}

int RecordingWindow::list_append_row() {
  rows_.emplace_back(column_count);
  const int row = static_cast<int>(rows_.size()) - 1;
  record("list_append_row", Control::result_list, {}, row);
  return row;
}

void RecordingWindow::list_set_cell(int row, int column, const Text& text) {
  record("list_set_cell", Control::result_list, text, row, column);
  if (row < 0 || row >= static_cast<int>(rows_.size()) || column < 0 || column >= column_count) {
    return;
  }
  rows_[static_cast<size_t>(row)][static_cast<size_t>(column)] = text;
}

int RecordingWindow::list_row_count() {
  const int count = static_cast<int>(rows_.size());
  record("list_row_count", Control::result_list, {}, -1, -1, count);
  return count;
}

Text RecordingWindow::list_cell_text(int row, int column) {
  Text text;
  if (row >= 0 && row < static_cast<int>(rows_.size()) && column >= 0 && column < column_count) {
    text = rows_[static_cast<size_t>(row)][static_cast<size_t>(column)];
  }
  record("list_cell_text", Control::result_list, text, row, column);
  return text;
}

std::vector<int> RecordingWindow::list_selected_rows() {
  record("list_selected_rows");
  return selected_rows;
}

int RecordingWindow::show_message(const Text& text, int style) {
  record("show_message", Control::result_list, text, -1, -1, style);
  if (during_show_message) during_show_message();
  return message_ok_pressed;
}

void RecordingWindow::open_modal(const ModalWindow& window) {
  record("open_modal", Control::result_list, window.title);
  modal_windows_.push_back(window);
}

void RecordingWindow::process_pending_events() {
  record("process_pending_events");
  if (during_process_pending_events) during_process_pending_events();
}

void RecordingWindow::dispatch_events_for(int milliseconds) {
  record("dispatch_events_for", Control::result_list, {}, -1, -1, milliseconds);
  if (during_dispatch_events_for) during_dispatch_events_for(milliseconds);
}

void RecordingWindow::open_address(const Text& address) {
  record("open_address", Control::result_list, address);
}

bool RecordingWindow::closing() {
  record("closing", Control::result_list, {}, -1, -1, closed ? 1 : 0);
  return closed;
}

std::vector<RecordedCall> RecordingWindow::calls_of(const std::string& operation) const {
  std::vector<RecordedCall> found;
  for (const RecordedCall& call : calls_) {
    if (call.operation == operation) found.push_back(call);
  }
  return found;
}

}  // namespace vorpane
