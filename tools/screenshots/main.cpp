// vorpane_screenshots <folder>: starts the program's real window in a fresh
// run directory, scans a few numbers of the sample group site, and saves
// pictures of the window and of its information windows: main-window.png,
// author-window.png, version-window.png, help-window.png.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "sample-site/sample_site.h"
#include "shell/program.h"
#include "shell/ui/artwork.h"
#include "shell/ui/main_window.h"

namespace vorpane {
namespace {

bool save_picture(QWidget& widget, const QString& path) {
  widget.repaint();
  QCoreApplication::processEvents();
  if (widget.grab().save(path, "PNG")) {
    std::printf("%s\n", qPrintable(path));
    return true;
  }
  std::fprintf(stderr, "vorpane_screenshots: cannot write %s\n", qPrintable(path));
  return false;
}

// Calls `handle` with each modal window that opens while `action` runs, then
// closes that window.
void with_modal_windows(const std::function<void()>& action,
                        const std::function<void(QWidget&)>& handle) {
  QTimer watcher;
  QWidget* handled = nullptr;
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == handled) return;
    handled = modal;
    handle(*modal);
    modal->close();
  });
  watcher.start(50);
  action();
}

int run(const QString& folder) {
  QTemporaryDir run_directory;
  if (!run_directory.isValid()) {
    std::fprintf(stderr, "vorpane_screenshots: no temporary directory\n");
    return 1;
  }
  LoopbackServer site(sample_site_answer);
  if (!site.start()) {
    std::fprintf(stderr, "vorpane_screenshots: cannot start the sample site\n");
    return 1;
  }
  Program program(QDir(run_directory.path()).absolutePath().toStdString(),
                  site.address() + std::string(sample_site_group_path));
  MainWindow window(program);
  // Messages shown during the start are dismissed; they are not pictured.
  with_modal_windows([&] { window.start(); }, [](QWidget&) {});
  QCoreApplication::processEvents();
  window.set_text(Control::count_box, "16");
  program.control_clicked(Control::fetch_button);

  bool saved = save_picture(window, folder + QStringLiteral("/main-window.png"));
  const struct {
    MenuItem item;
    const char* file;
  } info_windows[] = {
      {MenuItem::author, "/author-window.png"},
      {MenuItem::version, "/version-window.png"},
      {MenuItem::help, "/help-window.png"},
  };
  for (const auto& info : info_windows) {
    with_modal_windows([&] { window.menu_action(info.item)->trigger(); },
                       [&](QWidget& modal) {
                         saved =
                             save_picture(modal, folder + QString::fromLatin1(info.file)) && saved;
                       });
  }
  window.close();
  return saved ? 0 : 1;
}

}  // namespace
}  // namespace vorpane

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  QApplication application(argc, argv);
  QApplication::setWindowIcon(vorpane::program_icon());
  return vorpane::run(QString::fromLocal8Bit(argv[1]));
}
