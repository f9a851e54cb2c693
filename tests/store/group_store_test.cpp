#include "store/group_store.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <set>
#include <thread>

#include "shell/program_files.h"
#include "store_test_support.h"
#include "support/recording_window.h"
#include "support/temporary_directory.h"
#include "web/codepage.h"

namespace vorpane {
namespace {

const Text saved =
    "\xB1\xA3\xB4\xE6\xCA\xFD\xBE\xDD\xBF\xE2\xB3\xC9\xB9\xA6\xA3\xA1";  // 保存数据库成功！
// 保存失败：找不到当前目录下的db.edb
const Text save_failed =
    "\xB1\xA3\xB4\xE6\xCA\xA7\xB0\xDC\xA3\xBA\xD5\xD2\xB2\xBB\xB5\xBD\xB5\xB1\xC7\xB0\xC4\xBF\xC2"
    "\xBC\xCF\xC2\xB5\xC4"
    "db.edb";
// 首次生成空数据库成功，数据库路径为:
const Text first_start =
    "\xCA\xD7\xB4\xCE\xC9\xFA\xB3\xC9\xBF\xD5\xCA\xFD\xBE\xDD\xBF\xE2\xB3\xC9\xB9\xA6\xA3\xAC\xCA"
    "\xFD\xBE\xDD\xBF\xE2\xC2\xB7\xBE\xB6\xCE\xAA:";

constexpr size_t data_start = 548;
constexpr size_t record_length = 189;
constexpr size_t field_offsets[] = {4, 34, 49, 79, 129, 139};
constexpr size_t field_widths[] = {30, 15, 30, 50, 10, 50};

using testing::int32_at;

// The text of field `field` (from 0) of record `record`.
Text field_text(const Bytes& file, size_t record, size_t field) {
  return testing::stored_text(file, data_start + record * record_length + field_offsets[field],
                              field_widths[field]);
}

class GroupStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { reset_store_registry_for_testing(); }

  // A store there already, as on every start after the first.
  void create_group_store() { ASSERT_EQ(create_store(path(), group_schema()), store_ok); }

  void add_row(std::vector<Text> cells) {
    const int row = window_.list_append_row();
    for (int column = 0; column < 6; ++column) {
      window_.list_set_cell(row, column, cells[static_cast<size_t>(column)]);
    }
  }
  NativePath path() const { return store_path(directory_.path()); }
  Bytes file() const {
    Bytes content;
    EXPECT_EQ(read_whole_file(path(), content), ReadResult::ok);
    return content;
  }

  TemporaryDirectory directory_;
  RecordingWindow window_;
};

TEST_F(GroupStoreTest, FirstStartCreatesTheStoreAndSaysWhere) {
  ensure_store(window_, directory_.path());
  EXPECT_EQ(file().size(), data_start);
  std::vector<RecordedCall> messages = window_.calls_of("show_message");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, first_start + cp936_from_utf8(path()));
  EXPECT_EQ(messages[0].number, message_plain);

  ensure_store(window_, directory_.path());
  EXPECT_EQ(window_.calls_of("show_message").size(), 1u);
}

TEST_F(GroupStoreTest, NothingIsCreatedWhereTheNameIsTakenOrTheDirectoryIsMissing) {
  ASSERT_EQ(::mkdir(path().c_str(), 0755), 0);
  ensure_store(window_, directory_.path());
  ensure_store(window_, directory_.path() + "/missing");
  EXPECT_TRUE(window_.calls_of("show_message").empty());
}

TEST_F(GroupStoreTest, SavesEveryRowAsARecordInListOrder) {
  create_group_store();
  const Text long_name = "\xD6\xD0\xCE\xC4" + Text(25, 'n') + "\xC8\xBA";  // 31 bytes
  add_row({long_name, "1234567890123456", "c1", "http://h/group/1", "315", "i1"});
  add_row({"n2", "2", "", "http://h/group/2", "", ""});
  add_row({"n3", "3", "c3", "http://h/group/3", "7", Text(60, 'x')});
  save_results(window_, directory_.path());

  const Bytes store = file();
  ASSERT_EQ(store.size(), 1115u);
  EXPECT_EQ(int32_at(store, 16), 3);  // record count
  EXPECT_EQ(int32_at(store, 20), 4);  // next record number
  for (size_t record = 0; record < 3; ++record) {
    EXPECT_EQ(int32_at(store, data_start + record * record_length),
              static_cast<int32_t>(record + 1));
  }
  // Texts are cut at the field's width in bytes, a double-byte character too.
  EXPECT_EQ(field_text(store, 0, 0), "\xD6\xD0\xCE\xC4" + Text(25, 'n') + "\xC8");
  EXPECT_EQ(field_text(store, 0, 1), "123456789012345");
  EXPECT_EQ(field_text(store, 0, 3), "http://h/group/1");
  EXPECT_EQ(field_text(store, 0, 4), "315");
  EXPECT_EQ(field_text(store, 1, 2), "");
  EXPECT_EQ(field_text(store, 2, 5), Text(50, 'x'));
  EXPECT_EQ(window_.text(Control::save_status_label), saved);

  // The rows stay, and a second save stores them again.
  save_results(window_, directory_.path());
  EXPECT_EQ(file().size(), data_start + 6 * record_length);
  EXPECT_EQ(int32_at(file(), data_start + 5 * record_length), 6);
}

TEST_F(GroupStoreTest, EmptyListSavesNothingAndSucceeds) {
  create_group_store();
  save_results(window_, directory_.path());
  EXPECT_EQ(file().size(), data_start);
  EXPECT_EQ(window_.text(Control::save_status_label), saved);
  // The store was closed again: the next save can open it.
  save_results(window_, directory_.path());
  EXPECT_TRUE(window_.calls_of("show_message").empty());
}

TEST_F(GroupStoreTest, MissingStoreIsReportedAndNotCreated) {
  add_row({"n", "1", "c", "a", "2", "i"});
  save_results(window_, directory_.path());
  const std::vector<RecordedCall> messages = window_.calls_of("show_message");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, save_failed);
  EXPECT_EQ(messages[0].number, message_warning);
  EXPECT_FALSE(path_exists(path()));
  EXPECT_EQ(window_.text(Control::save_status_label), "");
}

TEST_F(GroupStoreTest, FileThatIsNoStoreIsReportedAndLeftUntouched) {
  const Bytes not_a_store(2000, 'z');
  ASSERT_TRUE(write_whole_file(path(), not_a_store));
  add_row({"n", "1", "c", "a", "2", "i"});
  save_results(window_, directory_.path());
  ASSERT_EQ(window_.calls_of("show_message").size(), 1u);
  EXPECT_EQ(window_.calls_of("show_message")[0].text, save_failed);
  EXPECT_EQ(file(), not_a_store);
}

// Holds the header lock of the store the way another copy of the program
// does while it appends, through an open file of its own.
class HeaderLockHolder {
 public:
  explicit HeaderLockHolder(const NativePath& path) : file_(::open(path.c_str(), O_RDWR)) {
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 16;
    lock.l_len = 1;
    EXPECT_EQ(::fcntl(file_, F_OFD_SETLK, &lock), 0);
  }
  ~HeaderLockHolder() { ::close(file_); }  // closing drops the lock

 private:
  int file_;
};

TEST_F(GroupStoreTest, WaitsForAnotherWriterThatHoldsTheStoreBriefly) {
  create_group_store();
  add_row({"n", "1", "c", "a", "2", "i"});
  auto holder = std::make_unique<HeaderLockHolder>(path());
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    holder.reset();
  });
  save_results(window_, directory_.path());
  release.join();
  EXPECT_EQ(file().size(), data_start + record_length);
  EXPECT_EQ(window_.text(Control::save_status_label), saved);
  EXPECT_TRUE(window_.calls_of("show_message").empty());
}

// A window whose result list is read only once the store is open: the moment
// another writer takes the header lock and keeps it.
class LockingWindow : public RecordingWindow {
 public:
  explicit LockingWindow(NativePath path) : path_(std::move(path)) {}
  int list_row_count() override {
    if (!holder_) holder_ = std::make_unique<HeaderLockHolder>(path_);
    return RecordingWindow::list_row_count();
  }

 private:
  NativePath path_;
  std::unique_ptr<HeaderLockHolder> holder_;
};

TEST_F(GroupStoreTest, RowsThatCannotBeAddedAreCountedNotMisplaced) {
  create_group_store();
  LockingWindow window(path());
  const int row = window.list_append_row();
  window.list_set_cell(row, 0, "n");
  save_results(window, directory_.path());
  EXPECT_EQ(file().size(), data_start);
  EXPECT_EQ(int32_at(file(), 16), 0);
  EXPECT_EQ(window.text(Control::save_status_label),
            "\xD3\xD0 1 \xCC\xF5\xCE\xB4\xC4\xDC\xB1\xA3\xB4\xE6\xA3\xA1");  // 有 1 条未能保存！
}

TEST_F(GroupStoreTest, TwoProcessesSavingAtOnceLoseNoRow) {
  create_group_store();
  constexpr int writers = 2;
  constexpr int rows_each = 150;
  std::vector<pid_t> children;
  for (int writer = 0; writer < writers; ++writer) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      reset_store_registry_for_testing();
      RecordingWindow window;
      for (int i = 0; i < rows_each; ++i) {
        const int row = window.list_append_row();
        window.list_set_cell(row, 0, "w" + int_to_text(writer));
        window.list_set_cell(row, 1, int_to_text(i));
        window.list_set_cell(row, 5, "w" + int_to_text(writer) + "-" + int_to_text(i));
      }
      save_results(window, directory_.path());
      ::_exit(window.text(Control::save_status_label) == saved ? 0 : 1);
    }
    children.push_back(child);
  }
  for (const pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const Bytes store = file();
  ASSERT_EQ(store.size(), data_start + writers * rows_each * record_length);
  std::set<Text> seen;
  for (size_t record = 0; record < writers * rows_each; ++record) {
    EXPECT_EQ(int32_at(store, data_start + record * record_length),
              static_cast<int32_t>(record + 1));
    const Text writer = field_text(store, record, 0);
    EXPECT_EQ(field_text(store, record, 5), writer + "-" + field_text(store, record, 1));
    seen.insert(field_text(store, record, 5));
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(writers * rows_each));
}

}  // namespace
}  // namespace vorpane
