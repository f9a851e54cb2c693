// The three information windows of the menu " 关于 ": fixed texts, sizes and
// places, and no behaviour besides being closed.
#pragma once

#include "shell/modal_window.h"
#include "shell/window.h"

namespace vorpane {

enum class InfoWindow { AuthorWindow, VersionWindow, HelpWindow };

// The window's title, size, group box and controls; texts in code page 936
// with CR LF line breaks.
ModalWindow info_window_layout(InfoWindow which);

// Creates the window afresh and shows it modally over the main window;
// returns when the user has closed it.
void open_info_window(Window& window, InfoWindow which);

}  // namespace vorpane
