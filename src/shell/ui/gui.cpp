#include "shell/ui/gui.h"

#include <QApplication>

#include "shell/ui/artwork.h"
#include "shell/ui/main_window.h"

namespace vorpane {

void run_main_window(WindowEvents& events) {
  // The program takes no command line, so Qt is not shown the real one.
  int argument_count = 1;
  char program_name[] = "vorpane";
  char* arguments[] = {program_name, nullptr};
  QApplication application(argument_count, arguments);
  QGuiApplication::setDesktopFileName(QStringLiteral("vorpane"));
  QApplication::setWindowIcon(program_icon());
  // Hiding the closed window must not end the event loop while a handler
  // still runs; the window says itself when the loop may end.
  QApplication::setQuitOnLastWindowClosed(false);

  MainWindow window(events);
  window.set_finished_callback([] { QCoreApplication::quit(); });
  window.start();
  if (!window.finished()) QApplication::exec();
}

}  // namespace vorpane
