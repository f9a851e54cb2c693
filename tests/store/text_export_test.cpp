#include "store/text_export.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "shell/program_files.h"
#include "support/recording_window.h"
#include "support/temporary_directory.h"

namespace vorpane {
namespace {

const Text exported = "\xB5\xBC\xB3\xF6txt\xB3\xC9\xB9\xA6\xA3\xA1";  // 导出txt成功！

class TextExportTest : public testing::Test {
 protected:
  void add_row(const Text& name, const Text& address) {
    const int row = window_.list_append_row();
    window_.list_set_cell(row, 0, name);
    window_.list_set_cell(row, 1, "10000000");
    window_.list_set_cell(row, 3, address);
  }
  std::string file() const {
    Bytes content;
    EXPECT_EQ(read_whole_file(export_path(directory_.path()), content), ReadResult::ok);
    return std::string(content.begin(), content.end());
  }

  TemporaryDirectory directory_;
  RecordingWindow window_;
};

TEST_F(TextExportTest, AppendsOneLinePerRowEveryTime) {
  add_row("Linux \xD4\xCB\xCE\xAC \xBD\xBB\xC1\xF7", "http://h/group/1");  // a name with spaces
  add_row("", "");
  const std::string lines = "Linux \xD4\xCB\xCE\xAC \xBD\xBB\xC1\xF7 http://h/group/1\r\n \r\n";
  export_text(window_, directory_.path());
  EXPECT_EQ(file(), lines);
  EXPECT_EQ(window_.text(Control::save_status_label), exported);
  export_text(window_, directory_.path());
  EXPECT_EQ(file(), lines + lines);
  EXPECT_EQ(window_.text(Control::export_buffer), lines + lines);
}

TEST_F(TextExportTest, KeepsWhatTheFileHeldByteForByte) {
  const Bytes old_content = {'o', 0, 0xFF, '\r', '\n', 0xC4};
  ASSERT_TRUE(write_whole_file(export_path(directory_.path()), old_content));
  add_row("n", "a");
  export_text(window_, directory_.path());
  EXPECT_EQ(file(), std::string("o\0\xFF\r\n\xC4n a\r\n", 11));
}

TEST_F(TextExportTest, EmptyListCreatesEmptyFileAndSucceeds) {
  export_text(window_, directory_.path());
  EXPECT_EQ(file(), "");
  EXPECT_EQ(window_.text(Control::export_buffer), "");
  EXPECT_EQ(window_.text(Control::save_status_label), exported);
}

TEST_F(TextExportTest, UnreadableFileIsLeftAlone) {
  // A directory of that name stands for a file that cannot be read.
  ASSERT_EQ(::mkdir(export_path(directory_.path()).c_str(), 0755), 0);
  add_row("n", "a");
  export_text(window_, directory_.path());
  struct stat status;
  ASSERT_EQ(::stat(export_path(directory_.path()).c_str(), &status), 0);
  EXPECT_TRUE(S_ISDIR(status.st_mode));
  EXPECT_EQ(window_.text(Control::save_status_label), "");
  EXPECT_EQ(window_.text(Control::export_buffer), "n a\r\n");
}

TEST_F(TextExportTest, FailedWriteLeavesTheLabel) {
  add_row("n", "a");
  export_text(window_, directory_.path() + "/missing");
  EXPECT_EQ(window_.text(Control::save_status_label), "");
  EXPECT_EQ(window_.text(Control::export_buffer), "n a\r\n");
}

}  // namespace
}  // namespace vorpane
