// What the main window reports to the program. The Qt side calls these on the
// UI thread; each call runs its handler to the end before returning, and may
// be made again from inside a handler that is dispatching events.
#pragma once

#include "shell/window.h"

namespace vorpane {

// The items of the menu " 关于 ", in menu order.
enum class MenuItem {
  author,   // " 作者 "
  version,  // " 版本 "
  help,     // " 帮助 "
};

class WindowEvents {
 public:
  virtual ~WindowEvents() = default;

  // The window and all its controls exist and the window is still hidden.
  virtual void window_created(Window& window) = 0;
  // A push button was clicked.
  virtual void control_clicked(Control control) = 0;
  // The result list was double-clicked, with or without a row under the mouse.
  virtual void result_list_double_clicked() = 0;
  virtual void menu_item_selected(MenuItem item) = 0;
  // The user has closed the window; its controls can still be read. Called
  // once, at once, even while another handler is suspended in event dispatch.
  virtual void window_closing() = 0;
};

}  // namespace vorpane
