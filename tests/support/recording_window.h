// A window without widgets for logic tests: it holds the controls' texts and
// the result list's rows, records every call, and lets a test act "during"
// the event dispatch a handler asks for.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "shell/window.h"

namespace vorpane {

struct RecordedCall {
  std::string operation;  // the operation's name, e.g. "set_text"
  Control control = Control::result_list;
  Text text;  // the text given or returned
  int row = -1;
  int column = -1;
  int number = 0;  // enabled flag, message style or milliseconds
  friend bool operator==(const RecordedCall&, const RecordedCall&) = default;
};

class RecordingWindow : public Window {
 public:
  // The controls start with the texts the main window starts with.
  RecordingWindow();

  Text get_text(Control control) override;
  void set_text(Control control, const Text& text) override;
  void set_enabled(Control control, bool enabled) override;
  void append_text(Control control, const Text& text) override;
  void list_clear() override;
  int list_append_row() override;
  void list_set_cell(int row, int column, const Text& text) override;
  int list_row_count() override;
  Text list_cell_text(int row, int column) override;
  std::vector<int> list_selected_rows() override;
  int show_message(const Text& text, int style) override;
  void open_modal(const ModalWindow& window) override;
  void process_pending_events() override;
  void dispatch_events_for(int milliseconds) override;
  void open_address(const Text& address) override;
  bool closing() override;

  // What the controls hold, read without recording a call.
  const Text& text(Control control) const { return texts_[index(control)]; }
  bool enabled(Control control) const { return enabled_[index(control)]; }
  const std::vector<std::vector<Text>>& rows() const { return rows_; }

  // Every call in order, and the calls of one operation.
  const std::vector<RecordedCall>& calls() const { return calls_; }
  std::vector<RecordedCall> calls_of(const std::string& operation) const;
  void forget_calls() { calls_.clear(); }

  // The modal windows opened, in order.
  const std::vector<ModalWindow>& modal_windows() const { return modal_windows_; }

  // Set by the test: the selection the user made, and whether the user has
  // closed the window.
  std::vector<int> selected_rows;
  bool closed = false;

  // Run inside `process_pending_events` and `dispatch_events_for` (with the
  // milliseconds), standing for the events the user sends meanwhile.
  std::function<void()> during_process_pending_events;
  std::function<void(int)> during_dispatch_events_for;
  // Run while a message box would be open.
  std::function<void()> during_show_message;

 private:
  static size_t index(Control control) { return static_cast<size_t>(control); }
  void record(std::string operation, Control control = Control::result_list, Text text = {},
              int row = -1, int column = -1, int number = 0) {
    calls_.push_back({std::move(operation), control, std::move(text), row, column, number});
  }

  std::array<Text, control_count> texts_;
  std::array<bool, control_count> enabled_;
  std::vector<std::vector<Text>> rows_;
  std::vector<RecordedCall> calls_;
  std::vector<ModalWindow> modal_windows_;
};

}  // namespace vorpane
