// The main window as the program's logic sees it.
//
// Every handler reaches the controls only through `Window`, so the logic runs
// unchanged against the Qt window or against a window that records the calls.
// All texts crossing this interface are code page 936 `Text`, byte for byte:
// what `set_text`, `append_text` and `list_set_cell` store is what `get_text`
// and `list_cell_text` return, whatever the bytes are. Rows and columns count
// from 0. Every operation runs on the UI thread, from nested handlers too.
#pragma once

#include <vector>

#include "shell/modal_window.h"
#include "web/text.h"

namespace vorpane {

// The controls of the main window, in the order in which they are created.
enum class Control {
  save_status_label,      // 标签5
  stop_button,            // 按钮_停止获取
  fetch_and_save_button,  // 按钮_获取并保存
  save_button,            // 按钮_保存
  export_buffer,          // 编辑框1 (never shown)
  export_button,          // 按钮_导出txx
  scan_status_label,      // 标签4
  start_number_caption,   // 标签3
  start_number_box,       // 编辑框_开始群号
  count_unit_caption,     // 标签2
  count_caption,          // 标签1
  count_box,              // 编辑框_条数
  fetch_button,           // 按钮_获取
  result_list,            // 超级列表框1
};

inline constexpr int control_count = static_cast<int>(Control::result_list) + 1;

// Message box styles: an OK button alone, or with the exclamation icon.
inline constexpr int message_plain = 0;
inline constexpr int message_warning = 48;
// What `show_message` returns for its one button.
inline constexpr int message_ok_pressed = 1;

class Window {
 public:
  virtual ~Window() = default;

  // The text of an edit box (or the caption of a label or button).
  virtual Text get_text(Control control) = 0;
  // Replaces an edit box's whole text, or a label's caption (redrawn at once).
  virtual void set_text(Control control, const Text& text) = 0;
  // A disabled button ignores clicks and is drawn greyed.
  virtual void set_enabled(Control control, bool enabled) = 0;
  // Puts the caret after the box's last byte and inserts `text` there.
  virtual void append_text(Control control, const Text& text) = 0;

  // The result list. Out-of-range rows or columns are ignored by the setters
  // and read as the empty text.
  virtual void list_clear() = 0;
  // Appends an empty row after the last one and returns its index.
  virtual int list_append_row() = 0;
  virtual void list_set_cell(int row, int column, const Text& text) = 0;
  virtual int list_row_count() = 0;
  virtual Text list_cell_text(int row, int column) = 0;
  // The selected rows, lowest first; empty when none is selected.
  virtual std::vector<int> list_selected_rows() = 0;

  // A modal message box titled "信息：" that belongs to no window and blocks
  // the whole program; `style` is `message_plain` or `message_warning`.
  // Returns the button pressed (`message_ok_pressed`).
  virtual int show_message(const Text& text, int style) = 0;
  // Shows an information window modally over the main window; returns when
  // the user has closed it.
  virtual void open_modal(const ModalWindow& window) = 0;

  // Dispatches the pending window events one after another; handlers they
  // start run to their end inside this call.
  virtual void process_pending_events() = 0;
  // Waits `milliseconds` while dispatching window events as they come, the
  // CPU idle in between; returns once the time has passed, even while events
  // keep coming.
  virtual void dispatch_events_for(int milliseconds) = 0;
  // Hands an address to the desktop shell to open; the result is not known.
  virtual void open_address(const Text& address) = 0;
  // True once the user has closed the main window. A handler still running
  // then may go on using the controls; the window stays until it returns.
  virtual bool closing() = 0;
};

}  // namespace vorpane
