// Runs the program's window. Free of Qt types, so the program's start needs
// no toolkit header.
#pragma once

#include "shell/window_events.h"

namespace vorpane {

// Creates the application and the main window, hidden; reports
// `window_created`; shows and activates the window; dispatches events until
// the window has closed and every handler has returned.
void run_main_window(WindowEvents& events);

}  // namespace vorpane
