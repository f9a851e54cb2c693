// The program's whole run: the application starts, the window shows, the user
// closes it, and the run ends with the settings saved. This program has no
// application object of its own; `run_main_window` makes it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMainWindow>
#include <QTimer>

#include "shell/program.h"
#include "shell/program_files.h"
#include "shell/ui/gui.h"
#include "support/temporary_directory.h"

namespace vorpane {
namespace {

QMainWindow* main_window() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* window = qobject_cast<QMainWindow*>(widget)) return window;
  }
  return nullptr;
}

// The program, with a user who closes the window once it shows.
class ClosingUser final : public WindowEvents {
 public:
  explicit ClosingUser(Program& program) : program_(program) {}

  void window_created(Window& window) override {
    window.set_text(Control::count_box, "25");
    program_.window_created(window);
    hidden_while_created = main_window() != nullptr && !main_window()->isVisible();
    QTimer::singleShot(0, [this] {
      shown_before_close = main_window() != nullptr && main_window()->isVisible();
      main_window()->close();
    });
  }
  void control_clicked(Control) override {}
  void result_list_double_clicked() override {}
  void menu_item_selected(MenuItem) override {}
  void window_closing() override { program_.window_closing(); }

  bool hidden_while_created = false;
  bool shown_before_close = false;

 private:
  Program& program_;
};

TEST(RunMainWindow, ShowsTheWindowAndEndsWhenItIsClosed) {
  TemporaryDirectory directory;
  ASSERT_TRUE(write_whole_file(settings_path(directory.path()), text_to_bytes("777 | 1")));
  Program program(directory.path());
  ClosingUser user(program);
  run_main_window(user);
  EXPECT_TRUE(user.hidden_while_created);
  EXPECT_TRUE(user.shown_before_close);
  // The saved settings were loaded over the early text and saved again.
  Bytes saved;
  ASSERT_EQ(read_whole_file(settings_path(directory.path()), saved), ReadResult::ok);
  EXPECT_EQ(bytes_to_text(saved), "777 | 1");
}

}  // namespace
}  // namespace vorpane
