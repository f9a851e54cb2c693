#include "shell/program.h"

#include <gtest/gtest.h>

#include "shell/program_files.h"
#include "support/group_sites.h"
#include "support/recording_window.h"
#include "support/temporary_directory.h"

namespace vorpane {
namespace {

class ProgramTest : public testing::Test {
 protected:
  TemporaryDirectory directory;
  RecordingWindow window;
  Program program{directory.path(), unreachable_group_site};
};

TEST_F(ProgramTest, CreatedWindowGetsSkinStoreAndSettingsInThatOrder) {
  ASSERT_TRUE(write_whole_file(settings_path(directory.path()), text_to_bytes("555 | 66")));
  window.during_show_message = [&] {
    // The skin library is in place before the store's message, and the
    // settings are loaded after it.
    EXPECT_TRUE(path_exists(skin_library_path(directory.path())));
    EXPECT_EQ(window.text(Control::start_number_box), "10000000");
  };
  program.window_created(window);
  EXPECT_EQ(window.calls_of("show_message").size(), 1u);
  EXPECT_TRUE(path_exists(store_path(directory.path())));
  EXPECT_EQ(window.text(Control::start_number_box), "555");
  EXPECT_EQ(window.text(Control::count_box), "66");

  // Later starts find the store and say nothing.
  RecordingWindow next_window;
  Program next_program{directory.path(), unreachable_group_site};
  next_program.window_created(next_window);
  EXPECT_TRUE(next_window.calls_of("show_message").empty());
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

TEST_F(ProgramTest, EachButtonRunsItsHandler) {
  program.window_created(window);
  window.set_text(Control::count_box, "2");

  program.control_clicked(Control::stop_button);
  EXPECT_TRUE(program.scan_context().stop_requested);
  program.control_clicked(Control::fetch_button);  // the scan clears the stop first
  EXPECT_EQ(window.text(Control::start_number_box), "10000002");

  const int row = window.list_append_row();
  window.list_set_cell(row, 0, "n");
  window.list_set_cell(row, 3, "http://h/1");
  program.control_clicked(Control::save_button);
  Bytes store;
  ASSERT_EQ(read_whole_file(store_path(directory.path()), store), ReadResult::ok);
  EXPECT_EQ(store.size(), 548u + 189u);

  program.control_clicked(Control::export_button);
  Bytes exported;
  ASSERT_EQ(read_whole_file(export_path(directory.path()), exported), ReadResult::ok);
  EXPECT_EQ(bytes_to_text(exported), "n http://h/1\r\n");

  window.selected_rows = {0};
  program.result_list_double_clicked();
  ASSERT_EQ(window.calls_of("open_address").size(), 1u);
  EXPECT_EQ(window.calls_of("open_address")[0].text, "http://h/1");
}

TEST_F(ProgramTest, FetchAndSaveSavesAfterAStoppedScan) {
  program.window_created(window);
  window.set_text(Control::count_box, "3");
  window.during_dispatch_events_for = [&](int) { program.control_clicked(Control::stop_button); };
  program.control_clicked(Control::fetch_and_save_button);
  EXPECT_EQ(window.text(Control::start_number_box), "10000001");
  EXPECT_EQ(
      window.text(Control::save_status_label),
      "\xB1\xA3\xB4\xE6\xCA\xFD\xBE\xDD\xBF\xE2\xB3\xC9\xB9\xA6\xA3\xA1");  // 保存数据库成功！
}

}  // namespace
}  // namespace vorpane
