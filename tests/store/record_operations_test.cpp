// The record operations: finding the last record, appending, writing fields.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <limits>

#include "store/record_store.h"
#include "store_test_support.h"

namespace vorpane {
namespace {

using testing::group_data_start;
using testing::group_record_length;
using testing::int32_at;
using testing::read_file;
using testing::set_int32_at;
using testing::write_file;

class RecordOperations : public testing::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    path_ = create_group_store();
    ASSERT_EQ(open_store(path_), store_ok);
  }
  // Appends a record the way a save does, with the same text in every field.
  void save_row(const Text& text) {
    ASSERT_EQ(go_to_last_record(), store_ok);
    ASSERT_EQ(add_blank_record(), store_ok);
    for (int32_t field = 1; field <= 6; ++field)
      ASSERT_EQ(write_field(field, text), store_ok);
  }
  NativePath path_;
};

TEST_F(RecordOperations, AStoreWithoutRecordsHasNoRecordToWriteInto) {
  EXPECT_EQ(go_to_last_record(), store_ok);
  EXPECT_EQ(store_registry().stores[0].current_record, 0);
  EXPECT_EQ(write_field(1, "x"), store_no_current_record);
  EXPECT_EQ(last_store_error(), store_no_current_record);
  EXPECT_EQ(read_file(path_).size(), group_data_start);
}

TEST_F(RecordOperations, GoToLastRecordFindsTheLastRecord) {
  save_row("a");
  save_row("b");
  // Record 0 is current after an open; the last record after the move.
  close_store("");
  ASSERT_EQ(open_store(path_), store_ok);
  EXPECT_EQ(store_registry().stores[0].current_record, 0);
  ASSERT_EQ(go_to_last_record(), store_ok);
  EXPECT_EQ(store_registry().stores[0].current_record, 1);
  ASSERT_EQ(write_field(2, "changed"), store_ok);
  const Bytes file = read_file(path_);
  EXPECT_EQ(testing::stored_text(file, group_data_start + group_record_length + 34, 15), "changed");
  EXPECT_EQ(testing::stored_text(file, group_data_start + 34, 15), "a");
}

TEST_F(RecordOperations, TextIsCutToTheWidthByBytesAndPaddedWithZeros) {
  const Text thirty(30, 'x');
  const struct {
    const char* what;
    Text text;
    Bytes field;  // the 30 bytes expected in the file
  } cases[] = {
      {"29 bytes", Text(29, 'x'),
       [] {
         Bytes b(29, 'x');
         b.push_back(0);
         return b;
       }()},
      {"30 bytes", thirty, Bytes(30, 'x')},
      {"31 bytes", thirty + "y", Bytes(30, 'x')},
      {"cut inside a character", Text(29, 'x') + "\xC8\xBA",
       [] {
         Bytes b(29, 'x');
         b.push_back(0xC8);
         return b;
       }()},
      {"empty", "", Bytes(30, 0)},
      {"ends at a zero byte", Text("ab\0cd", 5),
       [] {
         Bytes b(30, 0);
         b[0] = 'a';
         b[1] = 'b';
         return b;
       }()},
  };
  for (const auto& test : cases) {
    save_row(thirty);  // a field full of bytes that the write must clear
    ASSERT_EQ(write_field(1, test.text), store_ok) << test.what;
    const Bytes file = read_file(path_);
    const size_t record = file.size() - group_record_length;
    EXPECT_EQ(Bytes(file.begin() + static_cast<long>(record) + 4,
                    file.begin() + static_cast<long>(record) + 34),
              test.field)
        << test.what;
    // The next field is untouched.
    EXPECT_EQ(file[record + 34], 'x') << test.what;
  }
}

TEST_F(RecordOperations, FindsFieldsByNumberAndByNameWithAsciiCaseIgnored) {
  close_store("");
  const NativePath path = directory_.file("named.edb");
  ASSERT_EQ(create_store(path, {{"Name", field_text, 4}, {"\xC8\xBA\xC3\xFB", field_text, 4}}),
            store_ok);
  ASSERT_EQ(open_store(path), store_ok);
  ASSERT_EQ(add_blank_record(), store_ok);
  EXPECT_EQ(write_field("nAME", "ab"), store_ok);
  EXPECT_EQ(write_field("\xC8\xBA\xC3\xFB", "cd"), store_ok);
  for (const int32_t number : {0, 3, -1}) {
    EXPECT_EQ(write_field(number, "x"), store_no_such_field) << number;
  }
  EXPECT_EQ(write_field("Nam", "x"), store_no_such_field);
  EXPECT_EQ(write_field("", "x"), store_no_such_field);
  EXPECT_EQ(write_field(1, FieldValue::of_integer(5)), store_value_type_mismatch);
  EXPECT_EQ(write_field("name", FieldValue::of_logical(true)), store_value_type_mismatch);
  const Bytes file = read_file(path);
  const size_t record = 116 + 2 * 72;
  EXPECT_EQ(testing::stored_text(file, record + 4, 4), "ab");
  EXPECT_EQ(testing::stored_text(file, record + 8, 4), "cd");
}

TEST_F(RecordOperations, NumbersAreConvertedToTheFieldsKind) {
  close_store("");
  const NativePath path = directory_.file("numbers.edb");
  std::vector<FieldSpec> fields;
  for (int32_t type = field_int8; type <= field_memo; ++type) {
    fields.push_back({"f" + int_to_text(type), type, 2});
  }
  ASSERT_EQ(create_store(path, fields), store_ok);
  ASSERT_EQ(open_store(path), store_ok);
  ASSERT_EQ(add_blank_record(), store_ok);

  const auto little_endian = [](uint64_t value, size_t size) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i)
      bytes[i] = static_cast<unsigned char>(value >> (8 * i));
    return bytes;
  };
  const size_t offsets[] = {0, 1, 3, 7, 15, 19, 27, 28, 36, 40, 42, 46};
  const struct {
    int32_t field;
    FieldValue value;
    Bytes stored;
  } cases[] = {
      {1, FieldValue::of_integer(-5), {0xFB}},
      {1, FieldValue::of_integer(1000), {0x7F}},  // saturated
      {1, FieldValue::of_real(-2.5), {0xFD}},     // rounded half away from zero
      {2, FieldValue::of_integer(-70000), little_endian(0x8000, 2)},
      {2, FieldValue::of_real(std::nan("")), {0, 0}},
      {3, FieldValue::of_integer(0x12345678), little_endian(0x12345678, 4)},
      {3, FieldValue::of_real(1e300), little_endian(0x7FFFFFFF, 4)},
      {4, FieldValue::of_integer(-1), little_endian(~uint64_t{0}, 8)},
      {4, FieldValue::of_real(-1e300), little_endian(uint64_t{1} << 63, 8)},
      {5, FieldValue::of_integer(3), little_endian(std::bit_cast<uint32_t>(3.0f), 4)},
      {5, FieldValue::of_real(0.5), little_endian(std::bit_cast<uint32_t>(0.5f), 4)},
      {6, FieldValue::of_integer(7), little_endian(std::bit_cast<uint64_t>(7.0), 8)},
      {6, FieldValue::of_real(-0.25), little_endian(std::bit_cast<uint64_t>(-0.25), 8)},
      {7, FieldValue::of_logical(true), {1}},
      {7, FieldValue::of_logical(false), {0}},
      {8, FieldValue::of_date_time(45351.75), little_endian(std::bit_cast<uint64_t>(45351.75), 8)},
  };
  const size_t record = 116 + 12 * 72;
  for (const auto& test : cases) {
    ASSERT_EQ(write_field(test.field, test.value), store_ok) << test.field;
    const Bytes file = read_file(path);
    const size_t start = record + 4 + offsets[test.field - 1];
    EXPECT_EQ(Bytes(file.begin() + static_cast<long>(start),
                    file.begin() + static_cast<long>(start + test.stored.size())),
              test.stored)
        << test.field;
  }

  const Bytes before = read_file(path);
  const FieldValue every_kind[] = {FieldValue::of_text("1"), FieldValue::of_integer(1),
                                   FieldValue::of_real(1), FieldValue::of_logical(true),
                                   FieldValue::of_date_time(1)};
  for (const FieldValue& value : every_kind) {
    for (const int32_t refusing : {field_routine, field_byte_set, field_memo}) {
      EXPECT_EQ(write_field(refusing, value), store_value_type_mismatch) << refusing;
    }
  }
  EXPECT_EQ(write_field(1, "5"), store_value_type_mismatch);
  EXPECT_EQ(write_field(7, FieldValue::of_integer(1)), store_value_type_mismatch);
  EXPECT_EQ(write_field(8, FieldValue::of_real(1)), store_value_type_mismatch);
  EXPECT_EQ(write_field(10, FieldValue::of_integer(1)), store_value_type_mismatch);
  EXPECT_EQ(read_file(path), before);
}

// The save goes on after an add that failed; its six values must not land in
// the record that go_to_last_record made current, which another writer owns.
TEST_F(RecordOperations, AFailedAddLeavesNoRecordToWriteInto) {
  save_row("theirs");
  const Bytes before = read_file(path_);
  ASSERT_EQ(go_to_last_record(), store_ok);
  {
    const testing::ForeignLock header(path_, 16, 1);
    EXPECT_EQ(add_blank_record(), store_lock_violation);
    for (int32_t field = 1; field <= 6; ++field) {
      EXPECT_EQ(write_field(field, "mine"), store_no_current_record) << field;
    }
  }
  {
    // The new record's first byte held: the header lock was taken first.
    const testing::ForeignLock record(path_, group_data_start + group_record_length, 1);
    ASSERT_EQ(go_to_last_record(), store_ok);
    EXPECT_EQ(add_blank_record(), store_lock_violation);
    EXPECT_EQ(write_field(1, "mine"), store_no_current_record);
  }
  EXPECT_EQ(read_file(path_), before);
  EXPECT_TRUE(testing::file_is_unlocked(path_));

  save_row("mine");
  const Bytes after = read_file(path_);
  EXPECT_EQ(testing::stored_text(after, group_data_start + 4, 30), "theirs");
  EXPECT_EQ(testing::stored_text(after, group_data_start + group_record_length + 4, 30), "mine");
}

TEST_F(RecordOperations, AddRefusesAHeaderThatCannotGoOn) {
  save_row("one");
  const Bytes saved = read_file(path_);
  const struct {
    const char* what;
    int32_t count;
    int32_t next_number;
    size_t length;
    int32_t expected;
  } cases[] = {
      {"records cut away since the open", 3, 4, saved.size(), store_seek_failed},
      {"record numbers used up", 1, INT32_MAX, saved.size(), store_record_write_failed},
      {"record count used up", INT32_MAX, 5, saved.size(), store_record_write_failed},
      {"head cut to 20 bytes", 1, 2, 20, store_record_count_failed},
  };
  for (const auto& test : cases) {
    Bytes changed = saved;
    set_int32_at(changed, 16, test.count);
    set_int32_at(changed, 20, test.next_number);
    changed.resize(test.length);
    // Changed under the open store, as another program might.
    write_file(path_, changed);
    EXPECT_EQ(add_blank_record(), test.expected) << test.what;
    EXPECT_EQ(read_file(path_), changed) << test.what;
    EXPECT_EQ(write_field(1, "x"), store_no_current_record) << test.what;
  }
}

TEST_F(RecordOperations, AddRefusesARecordTooShortForItsNumber) {
  close_store("");
  const NativePath path = directory_.file("short.edb");
  ASSERT_EQ(create_store(path, {{"a", field_int8, 0}}), store_ok);
  Bytes file = read_file(path);
  set_int32_at(file, 24, 2);
  write_file(path, file);
  ASSERT_EQ(open_store(path), store_ok);
  EXPECT_EQ(add_blank_record(), store_record_write_failed);
  EXPECT_EQ(read_file(path), file);
}

TEST_F(RecordOperations, AddCountsNegativeAndZeroHeadValuesAsTheirFloor) {
  save_row("one");
  Bytes changed = read_file(path_);
  changed.resize(group_data_start);
  set_int32_at(changed, 16, -4);
  set_int32_at(changed, 20, 0);
  write_file(path_, changed);
  ASSERT_EQ(add_blank_record(), store_ok);
  const Bytes after = read_file(path_);
  EXPECT_EQ(int32_at(after, 16), 1);
  EXPECT_EQ(int32_at(after, 20), 2);
  EXPECT_EQ(int32_at(after, group_data_start), 1);
}

TEST_F(RecordOperations, WriteFieldNeverGrowsTheFileOrLeavesItsRecord) {
  save_row("one");
  Bytes cut = read_file(path_);
  cut.resize(cut.size() - 10);  // the last field's end is gone
  write_file(path_, cut);
  // Moved away from the record being filled, which no process that keeps the
  // locks could have cut.
  ASSERT_EQ(go_to_last_record(), store_ok);
  EXPECT_EQ(write_field(6, "x"), store_no_current_record);
  EXPECT_EQ(write_field(1, "x"), store_ok);
  EXPECT_EQ(read_file(path_).size(), cut.size());
  close_store("");

  // A foreign file whose field table lets fields overlap the record number
  // or run into the next record.
  const NativePath path = directory_.file("overlap.edb");
  ASSERT_EQ(create_store(path, {{"a", field_text, 4}, {"b", field_text, 4}}), store_ok);
  Bytes file = read_file(path);
  set_int32_at(file, 116 + 24, 2);   // field a starts inside the record number
  set_int32_at(file, 188 + 24, 10);  // field b ends 2 bytes into the next record
  write_file(path, file);
  ASSERT_EQ(open_store(path), store_ok);
  ASSERT_EQ(add_blank_record(), store_ok);
  ASSERT_EQ(add_blank_record(), store_ok);
  ASSERT_EQ(go_to_last_record(), store_ok);
  store_registry().stores.back().current_record = 0;
  const Bytes before = read_file(path);
  EXPECT_EQ(write_field(1, "xxxx"), store_field_write_failed);
  EXPECT_EQ(write_field(2, "xxxx"), store_field_write_failed);
  EXPECT_EQ(read_file(path), before);
}

TEST_F(RecordOperations, AppendsAfterRecordsThatAnotherProcessAdded) {
  save_row("parent 1");
  // Gives up the lock of the filled record, which would keep the child out.
  ASSERT_EQ(go_to_last_record(), store_ok);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The child's copy of the registry shares the parent's open file; it
    // must use an open of its own.
    reset_store_registry_for_testing();
    bool saved = open_store(path_) == store_ok;
    for (int row = 0; row < 2 && saved; ++row) {
      saved = go_to_last_record() == store_ok && add_blank_record() == store_ok &&
              write_field(1, "child") == store_ok;
    }
    close_store("");
    ::_exit(saved ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  save_row("parent 2");
  const Bytes file = read_file(path_);
  ASSERT_EQ(file.size(), group_data_start + 4 * group_record_length);
  const char* owners[] = {"parent 1", "child", "child", "parent 2"};
  for (size_t index = 0; index < 4; ++index) {
    const size_t record = group_data_start + index * group_record_length;
    EXPECT_EQ(int32_at(file, record), static_cast<int32_t>(index + 1));
    EXPECT_EQ(testing::stored_text(file, record + 4, 30), owners[index]);
  }
}

}  // namespace
}  // namespace vorpane
