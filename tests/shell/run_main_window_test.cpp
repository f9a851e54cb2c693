// The program's whole run: the application starts, the window shows, the user
// closes it, and the run ends with the settings saved. This program has no
// application object of its own; `run_main_window` makes it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QTimer>

#include "shell/program.h"
#include "shell/program_files.h"
#include "shell/ui/gui.h"
#include "support/group_sites.h"
#include "support/temporary_directory.h"

namespace vorpane {
namespace {

Bytes saved_settings(const NativePath& run_directory) {
  Bytes saved;
  EXPECT_EQ(read_whole_file(settings_path(run_directory), saved), ReadResult::ok);
  return saved;
}

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
    // Answers the first-start message, noting what it said and whether the
    // window had shown yet.
    QTimer message_watcher;
    QObject::connect(&message_watcher, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      message = box->text();
      message_title = box->windowTitle();
      window_hidden_at_message = main_window() != nullptr && !main_window()->isVisible();
      box->accept();
    });
    message_watcher.start(10);
    program_.window_created(window);
    hidden_while_created = main_window() != nullptr && !main_window()->isVisible();
    QTimer::singleShot(0, [this] {
      shown_before_close = main_window() != nullptr && main_window()->isVisible();
      styled = !qApp->styleSheet().isEmpty();
      main_window()->close();
    });
  }
  void control_clicked(Control) override {}
  void result_list_double_clicked() override {}
  void menu_item_selected(MenuItem) override {}
  void window_closing() override { program_.window_closing(); }

  bool hidden_while_created = false;
  QString message;
  QString message_title;
  bool window_hidden_at_message = false;
  bool styled = false;
  bool shown_before_close = false;

 private:
  Program& program_;
};

TEST(RunMainWindow, ShowsTheWindowAndEndsWhenItIsClosed) {
  TemporaryDirectory directory;
  ASSERT_TRUE(write_whole_file(settings_path(directory.path()), text_to_bytes("777 | 1")));
  Program program(directory.path(), unreachable_group_site);
  ClosingUser user(program);
  run_main_window(user);
  EXPECT_TRUE(user.hidden_while_created);
  EXPECT_TRUE(user.shown_before_close);
  // The saved settings were loaded over the early text and saved again.
  Bytes saved;
  ASSERT_EQ(read_whole_file(settings_path(directory.path()), saved), ReadResult::ok);
  EXPECT_EQ(bytes_to_text(saved), "777 | 1");
}

TEST(RunMainWindow, FirstStartWritesItsFilesAndSaysWhereTheStoreIs) {
  TemporaryDirectory directory;
  Program program(directory.path(), unreachable_group_site);
  ClosingUser user(program);
  run_main_window(user);

  const NativePath store = store_path(directory.path());
  EXPECT_EQ(user.message, QString::fromUtf8("首次生成空数据库成功，数据库路径为:") +
                              QString::fromStdString(store));
  EXPECT_EQ(user.message_title, QString::fromUtf8("信息："));
  EXPECT_TRUE(user.window_hidden_at_message);
  Bytes content;
  ASSERT_EQ(read_whole_file(store, content), ReadResult::ok);
  EXPECT_EQ(content.size(), 548u);
  EXPECT_TRUE(path_exists(skin_library_path(directory.path())));
  ASSERT_EQ(read_whole_file(join_path(directory.path(), ".hidden"), content), ReadResult::ok);
  EXPECT_EQ(bytes_to_text(content), "SkinH_EL.dll\n");
  // The skin engine styled the application before the window showed.
  EXPECT_TRUE(user.styled);
  EXPECT_EQ(bytes_to_text(saved_settings(directory.path())), "10000000 | 25");
}

}  // namespace
}  // namespace vorpane
