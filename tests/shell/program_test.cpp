#include "shell/program.h"

#include <gtest/gtest.h>

#include "shell/program_files.h"
#include "support/recording_window.h"
#include "support/temporary_directory.h"

namespace vorpane {
namespace {

class ProgramTest : public testing::Test {
 protected:
  TemporaryDirectory directory;
  RecordingWindow window;
  Program program{directory.path()};
};

TEST_F(ProgramTest, CreatedWindowGetsTheSavedSettings) {
  ASSERT_TRUE(write_whole_file(settings_path(directory.path()), text_to_bytes("555 | 66")));
  program.window_created(window);
  EXPECT_EQ(window.text(Control::start_number_box), "555");
  EXPECT_EQ(window.text(Control::count_box), "66");
  EXPECT_TRUE(window.calls_of("show_message").empty());
}

TEST_F(ProgramTest, ClosingSavesTheSettings) {
  program.window_created(window);
  window.set_text(Control::start_number_box, "10000100");
  program.window_closing();
  Bytes saved;
  ASSERT_EQ(read_whole_file(settings_path(directory.path()), saved), ReadResult::ok);
  EXPECT_EQ(bytes_to_text(saved), "10000100 | 100");
}

TEST_F(ProgramTest, MenuItemsOpenTheirWindows) {
  program.window_created(window);
  program.menu_item_selected(MenuItem::author);
  program.menu_item_selected(MenuItem::version);
  program.menu_item_selected(MenuItem::help);
  ASSERT_EQ(window.modal_windows().size(), 3u);
  EXPECT_EQ(window.modal_windows()[0].title, "\xD7\xF7\xD5\xDF");  // 作者
  EXPECT_EQ(window.modal_windows()[1].title, "\xB0\xE6\xB1\xBE");  // 版本
  EXPECT_EQ(window.modal_windows()[2].title, "\xB0\xEF\xD6\xFA");  // 帮助
}

TEST_F(ProgramTest, ButtonsAndDoubleClickHaveNoActionYet) {
  program.window_created(window);
  window.forget_calls();
  for (const Control control : {Control::fetch_button, Control::stop_button, Control::save_button,
                                Control::fetch_and_save_button, Control::export_button}) {
    program.control_clicked(control);
  }
  program.result_list_double_clicked();
  EXPECT_TRUE(window.calls().empty());
}

}  // namespace
}  // namespace vorpane
