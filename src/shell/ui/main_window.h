// The Qt main window: every control built from the controls table, the menu,
// and the window operations the program's logic uses.
//
// Texts stay byte-exact across the boundary: each control keeps the `Text`
// it was given beside the widget and returns it while the widget still shows
// what it was given, and each list cell keeps its bytes in its item data.
// A hidden edit box (the export buffer) gets its text only when it is shown:
// a line edit lays its whole text out again on every change, which would make
// a long run of appends quadratic for a text nobody sees.
//
// Closing the window never destroys it or ends the event loop under a running
// handler: the window reports `window_closing` at once, hides, and calls the
// finished callback only once the outermost handler has returned.
#pragma once

#include <QMainWindow>
#include <QString>
#include <array>
#include <functional>

#include "shell/window.h"
#include "shell/window_events.h"

class QAction;

namespace vorpane {

class MainWindow final : public QMainWindow, public Window {
 public:
  explicit MainWindow(WindowEvents& events);

  // Reports `window_created` while the window is hidden, then shows,
  // centres and activates it.
  void start();
  // Called once the window has closed and no handler runs any more.
  void set_finished_callback(std::function<void()> finished) {
    finished_callback_ = std::move(finished);
  }
  bool finished() const { return finished_; }

  QWidget* widget(Control control) const;
  QAction* menu_action(MenuItem item) const;

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
  bool closing() override { return closing_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Slot {
    QWidget* widget = nullptr;
    Text text;                   // what the program last gave the control
    QString shown;               // what the widget held right after that
    bool widget_behind = false;  // a hidden box not yet given `text`
  };

  void build_controls(QWidget* client);
  void build_menu();
  // Runs one event's handler, counting how deeply handlers are nested so the
  // window knows when the last one has returned.
  void run_handler(const std::function<void()>& handler);
  void finish_if_idle();
  // Hands an edit box the slot's text now, or when it is shown if it is hidden.
  void give_text_to_box(Slot& target);
  Slot& slot(Control control) { return slots_[static_cast<size_t>(control)]; }

  WindowEvents& events_;
  std::array<Slot, control_count> slots_;
  std::array<QAction*, 3> menu_actions_{};
  std::function<void()> finished_callback_;
  int handler_depth_ = 0;
  bool close_started_ = false;
  bool closing_ = false;
  bool finished_ = false;
};

}  // namespace vorpane
