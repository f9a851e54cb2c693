// Creating, opening and closing stores: the bytes of a new store, the checks
// and the repair of an open, the registry.
#include "store/record_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <thread>

#include "store/store_format.h"
#include "store_test_support.h"

namespace vorpane {
namespace {

using testing::group_data_start;
using testing::group_fields;
using testing::group_record_length;
using testing::int32_at;
using testing::read_file;
using testing::set_int32_at;
using testing::write_file;

// A new store of the program's six fields, written out from the format's
// tables; the eight bytes of the creation time are left zero.
Bytes golden_new_group_store() {
  Bytes golden;
  auto append = [&golden](std::initializer_list<unsigned char> bytes) {
    golden.insert(golden.end(), bytes);
  };
  auto append_zeros = [&golden](size_t count) { golden.insert(golden.end(), count, 0); };
  append({0x57, 0x45, 0x44, 0x42});  // "WEDB"
  append({0x00, 0x00, 0x01, 0x00});  // version
  append_zeros(8);                   // creation time
  append({0x00, 0x00, 0x00, 0x00});  // record count
  append({0x01, 0x00, 0x00, 0x00});  // next record number
  append({0xBD, 0x00, 0x00, 0x00});  // record length 189
  append_zeros(84);
  append({0x06, 0x00, 0x00, 0x00});  // field count
  const struct {
    std::vector<unsigned char> name;
    unsigned char offset;
    unsigned char width;
  } descriptors[] = {
      {{0xC8, 0xBA, 0xC3, 0xFB}, 4, 30},
      {{0xC8, 0xBA, 0xBA, 0xC5}, 34, 15},
      {{0xB4, 0xB4, 0xBD, 0xA8, 0xD5, 0xDF}, 49, 30},
      {{0xC8, 0xBA, 0xB5, 0xD8, 0xD6, 0xB7}, 79, 50},
      {{0xB3, 0xC9, 0xD4, 0xB1, 0xCA, 0xFD}, 129, 10},
      {{0xC8, 0xBA, 0xBC, 0xF2, 0xBD, 0xE9}, 139, 50},
  };
  for (const auto& descriptor : descriptors) {
    golden.insert(golden.end(), descriptor.name.begin(), descriptor.name.end());
    append_zeros(20 - descriptor.name.size());
    append({0x0A, 0x00, 0x00, 0x00});  // type 10
    append({descriptor.offset, 0x00, 0x00, 0x00});
    append({descriptor.width, 0x00, 0x00, 0x00});
    append_zeros(40);
  }
  return golden;
}

double creation_time_of(const Bytes& file) {
  uint64_t bits = 0;
  for (int i = 7; i >= 0; --i)
    bits = bits << 8 | file.at(8 + static_cast<size_t>(i));
  return std::bit_cast<double>(bits);
}

class CreateStore : public testing::StoreTest {};

TEST_F(CreateStore, WritesTheSixFieldStoreByteForByte) {
  const double before = current_ole_automation_date();
  const NativePath path = create_group_store();
  const double after = current_ole_automation_date();

  Bytes file = read_file(path);
  ASSERT_EQ(file.size(), group_data_start);
  const double created = creation_time_of(file);
  EXPECT_GE(created, before);
  EXPECT_LE(created, after);
  EXPECT_NEAR(created * 86400, std::round(created * 86400), 1e-3) << "whole seconds";
  std::fill(file.begin() + 8, file.begin() + 16, 0);
  EXPECT_EQ(file, golden_new_group_store());
  EXPECT_TRUE(store_registry().stores.empty());
}

TEST_F(CreateStore, SavingThreeRowsGivesNumbersOneToThree) {
  const NativePath path = create_group_store();
  ASSERT_EQ(open_store(path), store_ok);
  for (int row = 0; row < 3; ++row) {
    ASSERT_EQ(go_to_last_record(), store_ok);
    ASSERT_EQ(add_blank_record(), store_ok);
    for (int32_t field = 1; field <= 6; ++field) {
      ASSERT_EQ(write_field(field, "r" + int_to_text(row) + "f" + int_to_text(field)), store_ok);
    }
  }
  close_store(path);
  EXPECT_TRUE(store_registry().stores.empty());

  const Bytes file = read_file(path);
  ASSERT_EQ(file.size(), 1115u);
  EXPECT_EQ(int32_at(file, 16), 3);
  EXPECT_EQ(int32_at(file, 20), 4);
  const size_t field_offsets[] = {4, 34, 49, 79, 129, 139};
  for (size_t row = 0; row < 3; ++row) {
    const size_t record = group_data_start + row * group_record_length;
    EXPECT_EQ(int32_at(file, record), static_cast<int32_t>(row + 1));
    for (size_t field = 0; field < 6; ++field) {
      EXPECT_EQ(testing::stored_text(file, record + field_offsets[field], 10),
                "r" + int_to_text(static_cast<int32_t>(row)) + "f" +
                    int_to_text(static_cast<int32_t>(field + 1)));
    }
  }
}

TEST_F(CreateStore, LaysOutEveryFieldTypeOneAfterAnother) {
  const NativePath path = directory_.file("types.edb");
  std::vector<FieldSpec> fields;
  for (int32_t type = field_int8; type <= field_memo; ++type) {
    // The width counts for the text field only.
    fields.push_back({"f" + int_to_text(type), type, type == field_text ? 3 : 7});
  }
  ASSERT_EQ(create_store(path, fields), store_ok);
  const Bytes file = read_file(path);
  const int32_t sizes[] = {1, 2, 4, 8, 4, 8, 1, 8, 4, 3, 4, 4};
  int32_t offset = 4;
  ASSERT_EQ(file.size(), 116u + 72 * 12);
  for (size_t index = 0; index < 12; ++index) {
    const size_t descriptor = 116 + 72 * index;
    EXPECT_EQ(int32_at(file, descriptor + 20), static_cast<int32_t>(index + 1));
    EXPECT_EQ(int32_at(file, descriptor + 24), offset);
    EXPECT_EQ(int32_at(file, descriptor + 28), index + 1 == field_text ? 3 : 0);
    offset += sizes[index];
  }
  EXPECT_EQ(int32_at(file, 24), offset);
  EXPECT_EQ(offset, 55);
}

TEST_F(CreateStore, RejectsBadFieldListsInOrderAndWritesNothing) {
  const FieldSpec good{"good", field_text, 10};
  const struct {
    const char* what;
    std::vector<FieldSpec> fields;
    int32_t expected;
  } cases[] = {
      {"no field", {}, store_no_fields},
      {"first name empty", {{"", field_text, 10}, good}, store_no_fields},
      {"bad name", {good, {"1st", field_text, 10}}, store_invalid_field_name},
      {"17-byte name", {{"abcdefghijklmnopq", field_text, 10}}, store_invalid_field_name},
      {"type 0", {{"a", 0, 0}}, store_invalid_field_type},
      {"type 13", {{"a", 13, 0}}, store_invalid_field_type},
      {"width 0", {{"a", field_text, 0}}, store_invalid_field_size},
      {"width 1025", {{"a", field_text, 1025}}, store_invalid_field_size},
      {"duplicate",
       {{"Name", field_text, 1}, {"nAME", field_int32, 0}},
       store_duplicate_field_name},
      {"field by field: type before the next name",
       {{"a", 99, 0}, {"1bad", field_text, 5}},
       store_invalid_field_type},
      {"name before type", {{"1bad", 99, 0}}, store_invalid_field_name},
      {"every field before duplicates",
       {good, good, {"b", field_text, 0}},
       store_invalid_field_size},
  };
  for (const auto& test : cases) {
    const NativePath path = directory_.file("bad.edb");
    EXPECT_EQ(create_store(path, test.fields), test.expected) << test.what;
    EXPECT_EQ(last_store_error(), test.expected) << test.what;
    EXPECT_FALSE(path_exists(path)) << test.what;
  }
  EXPECT_EQ(create_store("", {good}), store_file_not_found);
}

TEST_F(CreateStore, IgnoresTheFieldsAfterTheFirstWithoutName) {
  const NativePath path = directory_.file("short.edb");
  ASSERT_EQ(create_store(path, {{"a", field_text, 5}, {"", field_text, 5}, {"1bad", 99, 0}}),
            store_ok);
  const Bytes file = read_file(path);
  EXPECT_EQ(int32_at(file, 112), 1);
  EXPECT_EQ(file.size(), 116u + 72);
}

TEST_F(CreateStore, CompletesThePath) {
  const std::pair<const char*, const char*> cases[] = {
      {"plain", "plain.EDB"}, {"dotted.", "dotted.EDB"}, {"db.edb", "db.edb"}};
  for (const auto& [given, created] : cases) {
    ASSERT_EQ(create_store(directory_.file(given), group_fields()), store_ok) << given;
    EXPECT_TRUE(path_exists(directory_.file(created))) << given;
  }
  EXPECT_FALSE(path_exists(directory_.file("plain")));
  EXPECT_FALSE(path_exists(directory_.file("db.EDB")));
}

TEST_F(CreateStore, ReplacesAnExistingFile) {
  const NativePath path = directory_.file("db.edb");
  write_file(path, Bytes(5000, 0x5A));
  ASSERT_EQ(create_store(path, group_fields()), store_ok);
  EXPECT_EQ(read_file(path).size(), group_data_start);
}

TEST_F(CreateStore, ReportsFileSystemFailures) {
  write_file(directory_.file("plain.txt"), Bytes{1});
  ASSERT_EQ(::mkdir(directory_.file("folder.edb").c_str(), 0755), 0);
  const std::pair<const char*, int32_t> cases[] = {
      {"missing/db.edb", store_file_not_found},
      {"plain.txt/db.edb", store_invalid_path},
      {"folder.edb", store_access_denied},
  };
  for (const auto& [name, expected] : cases) {
    EXPECT_EQ(create_store(directory_.file(name), group_fields()), expected) << name;
  }
}

TEST_F(CreateStore, FailsInAnUnwritableDirectory) {
  // Only the inner directory refuses writes; the way to it is open to all.
  ASSERT_EQ(::chmod(directory_.path().c_str(), 0755), 0);
  const NativePath locked = directory_.file("locked");
  ASSERT_EQ(::mkdir(locked.c_str(), 0755), 0);
  ASSERT_EQ(::chmod(locked.c_str(), 0555), 0);
  const NativePath path = join_path(locked, "db.edb");
  // Root writes anywhere, so the check runs in a child that gives up root.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
    ::_exit(create_store(path, group_fields()) == store_access_denied ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(path_exists(path));
}

TEST_F(CreateStore, FailsWhileTheFileIsLockedAndLeavesItAlone) {
  const NativePath path = create_group_store();
  ASSERT_EQ(open_store(path), store_ok);
  ASSERT_EQ(add_blank_record(), store_ok);
  close_store("");
  const Bytes before = read_file(path);
  {
    const testing::ForeignLock held(path, 16, 1);
    EXPECT_EQ(create_store(path, group_fields()), store_lock_violation);
  }
  EXPECT_EQ(read_file(path), before);
}

// A store of two fields written out by hand: an int32 "id" and a 5-byte text,
// one record numbered 7, next number 8.
Bytes hand_written_store() {
  Bytes file(116 + 2 * 72 + 13, 0);
  const unsigned char magic[] = {'W', 'E', 'D', 'B'};
  std::copy(std::begin(magic), std::end(magic), file.begin());
  set_int32_at(file, 4, 0x00010000);
  set_int32_at(file, 16, 1);
  set_int32_at(file, 20, 8);
  set_int32_at(file, 24, 13);
  set_int32_at(file, 112, 2);
  file[116] = 'i';
  file[117] = 'd';
  set_int32_at(file, 116 + 20, field_int32);
  set_int32_at(file, 116 + 24, 4);
  file[188] = 0xC3;
  file[189] = 0xFB;
  set_int32_at(file, 188 + 20, field_text);
  set_int32_at(file, 188 + 24, 8);
  set_int32_at(file, 188 + 28, 5);
  set_int32_at(file, 260, 7);
  set_int32_at(file, 264, 42);
  file[268] = 'a';
  return file;
}

class OpenStore : public testing::StoreTest {};

TEST_F(OpenStore, ReadsAndExtendsAStoreWrittenByHand) {
  const NativePath path = directory_.file("hand.edb");
  write_file(path, hand_written_store());
  ASSERT_EQ(open_store(path), store_ok);
  const RecordStore& store = store_registry().stores.at(0);
  EXPECT_EQ(store.data_start, 260);
  ASSERT_EQ(store.fields.size(), 2u);
  EXPECT_EQ(store.fields[1].name, "\xC3\xFB");
  EXPECT_EQ(store.bare_name, "hand");
  EXPECT_EQ(store.current_record, 0);

  ASSERT_EQ(go_to_last_record(), store_ok);
  ASSERT_EQ(write_field("ID", FieldValue::of_integer(-2)), store_ok);
  ASSERT_EQ(add_blank_record(), store_ok);
  ASSERT_EQ(write_field(2, "hello world"), store_ok);
  close_store("");

  Bytes expected = hand_written_store();
  set_int32_at(expected, 16, 2);
  set_int32_at(expected, 20, 9);
  set_int32_at(expected, 264, -2);
  const unsigned char second_record[13] = {8, 0, 0, 0, 0, 0, 0, 0, 'h', 'e', 'l', 'l', 'o'};
  expected.insert(expected.end(), std::begin(second_record), std::end(second_record));
  EXPECT_EQ(read_file(path), expected);
}

TEST_F(OpenStore, RefusesDamagedHeadsAndLeavesTheFileAlone) {
  const struct {
    const char* what;
    void (*damage)(Bytes&);
    int32_t expected;
  } cases[] = {
      {"empty file", [](Bytes& f) { f.clear(); }, store_not_a_store_file},
      {"111-byte head", [](Bytes& f) { f.resize(111); }, store_not_a_store_file},
      {"wrong magic", [](Bytes& f) { f[0] = 'X'; }, store_not_a_store_file},
      {"enciphered magic", [](Bytes& f) { f[1] = 'C'; }, store_not_a_store_file},
      {"version too high", [](Bytes& f) { set_int32_at(f, 4, 0x00010001); },
       store_version_too_high},
      {"older version", [](Bytes& f) { set_int32_at(f, 4, 0x00000001); }, store_ok},
      {"magic before version",
       [](Bytes& f) {
         f[3] = 'X';
         set_int32_at(f, 4, 0x00020000);
       },
       store_not_a_store_file},
      {"range checks before version",
       [](Bytes& f) {
         set_int32_at(f, 4, 0x00020000);
         set_int32_at(f, 20, 0);
       },
       store_not_a_store_file},
      {"negative record count", [](Bytes& f) { set_int32_at(f, 16, -1); }, store_not_a_store_file},
      {"next number 0", [](Bytes& f) { set_int32_at(f, 20, 0); }, store_not_a_store_file},
      {"record length 0", [](Bytes& f) { set_int32_at(f, 24, 0); }, store_not_a_store_file},
      {"negative record length", [](Bytes& f) { set_int32_at(f, 24, -189); },
       store_not_a_store_file},
      {"no field count", [](Bytes& f) { f.resize(114); }, store_not_a_store_file},
      {"field count 0", [](Bytes& f) { set_int32_at(f, 112, 0); }, store_not_a_store_file},
      {"negative field count", [](Bytes& f) { set_int32_at(f, 112, -6); }, store_not_a_store_file},
      {"huge field count", [](Bytes& f) { set_int32_at(f, 112, INT32_MAX); },
       store_not_a_store_file},
      {"short field table", [](Bytes& f) { f.resize(116 + 72 * 6 - 1); }, store_not_a_store_file},
      {"name without zero", [](Bytes& f) { std::fill(f.begin() + 260, f.begin() + 277, 'a'); },
       store_not_a_store_file},
      {"name of 16 bytes", [](Bytes& f) { std::fill(f.begin() + 260, f.begin() + 276, 'a'); },
       store_ok},
      {"type 0", [](Bytes& f) { set_int32_at(f, 116 + 20, 0); }, store_not_a_store_file},
      {"type 13", [](Bytes& f) { set_int32_at(f, 188 + 20, 13); }, store_not_a_store_file},
      {"negative offset", [](Bytes& f) { set_int32_at(f, 476 + 24, -1); }, store_not_a_store_file},
      {"text width 0", [](Bytes& f) { set_int32_at(f, 404 + 28, 0); }, store_not_a_store_file},
      {"width 0 outside text", [](Bytes& f) { set_int32_at(f, 404 + 20, field_int32); }, store_ok},
  };
  const NativePath original = create_group_store("original.edb");
  for (const auto& test : cases) {
    Bytes damaged = read_file(original);
    test.damage(damaged);
    const NativePath path = directory_.file("damaged.edb");
    write_file(path, damaged);
    EXPECT_EQ(open_store(path), test.expected) << test.what;
    EXPECT_EQ(last_store_error(), test.expected) << test.what;
    EXPECT_EQ(read_file(path), damaged) << test.what;
    EXPECT_EQ(store_registry().stores.size(), test.expected == store_ok ? 1u : 0u) << test.what;
    EXPECT_TRUE(testing::file_is_unlocked(path)) << test.what;
    close_store("");
  }
}

Bytes group_store_with_records(const NativePath& path, int records) {
  EXPECT_EQ(create_store(path, group_fields()), store_ok);
  EXPECT_EQ(open_store(path), store_ok);
  for (int record = 0; record < records; ++record) {
    EXPECT_EQ(add_blank_record(), store_ok);
    EXPECT_EQ(write_field(1, "row" + int_to_text(record)), store_ok);
  }
  close_store(path);
  return read_file(path);
}

TEST_F(OpenStore, RepairsTheCountAndTheLengthButKeepsTheNextNumber) {
  const NativePath path = directory_.file("db.edb");
  const Bytes three_records = group_store_with_records(path, 3);
  const size_t two_records = group_data_start + 2 * group_record_length;
  const struct {
    const char* what;
    size_t length;
    int32_t claimed_count;
    int32_t repaired_count;
  } cases[] = {
      {"records missing", two_records, 3, 2},
      {"partial record at the end", two_records + 100, 3, 2},
      {"claims more than ever written", three_records.size(), 50, 3},
      {"bytes after the counted records", three_records.size(), 1, 1},
      {"exact", three_records.size(), 3, 3},
  };
  for (const auto& test : cases) {
    Bytes damaged = three_records;
    damaged.resize(test.length);
    set_int32_at(damaged, 16, test.claimed_count);
    write_file(path, damaged);

    ASSERT_EQ(open_store(path), store_ok) << test.what;
    Bytes repaired = read_file(path);
    const size_t exact = group_data_start + static_cast<size_t>(test.repaired_count) * 189;
    EXPECT_EQ(int32_at(repaired, 20), 4) << test.what;
    Bytes expected(three_records.begin(), three_records.begin() + static_cast<long>(exact));
    set_int32_at(expected, 16, test.repaired_count);
    EXPECT_EQ(repaired, expected) << test.what;

    // Numbering goes on above the records that were lost.
    ASSERT_EQ(add_blank_record(), store_ok);
    repaired = read_file(path);
    EXPECT_EQ(int32_at(repaired, exact), 4) << test.what;
    EXPECT_EQ(int32_at(repaired, 16), test.repaired_count + 1) << test.what;
    close_store("");
  }
}

TEST_F(OpenStore, KeepsTheRepairWhenAFieldDescriptorIsBad) {
  const NativePath path = directory_.file("db.edb");
  Bytes file = group_store_with_records(path, 2);
  set_int32_at(file, 16, 5);
  set_int32_at(file, 116 + 20, 0);
  file.resize(file.size() + 7);
  write_file(path, file);
  EXPECT_EQ(open_store(path), store_not_a_store_file);
  const Bytes after = read_file(path);
  EXPECT_EQ(int32_at(after, 16), 2);
  EXPECT_EQ(after.size(), group_data_start + 2 * group_record_length);
  EXPECT_TRUE(store_registry().stores.empty());
}

TEST_F(OpenStore, RefusesPathsThatHoldNoStore) {
  ASSERT_EQ(::mkdir(directory_.file("folder.edb").c_str(), 0755), 0);
  ASSERT_EQ(::mkfifo(directory_.file("pipe.edb").c_str(), 0644), 0);
  write_file(directory_.file("plain.txt"), Bytes{1});
  const std::pair<NativePath, int32_t> cases[] = {
      {"", store_file_not_found},
      {directory_.file("missing.edb"), store_file_not_found},
      {directory_.file("missing"), store_file_not_found},
      {directory_.file("folder.edb"), store_access_denied},
      {directory_.file("pipe.edb"), store_access_denied},
      {directory_.file("plain.txt/db.edb"), store_invalid_path},
  };
  for (const auto& [path, expected] : cases) {
    EXPECT_EQ(open_store(path), expected) << path;
    EXPECT_EQ(last_store_error(), expected) << path;
  }
  EXPECT_TRUE(store_registry().stores.empty());
}

TEST_F(OpenStore, RecognisesTheSameStoreUnderEverySpelling) {
  const NativePath path = create_group_store("db.EDB");
  ASSERT_EQ(::symlink(path.c_str(), directory_.file("link.edb").c_str()), 0);
  ASSERT_EQ(::link(path.c_str(), directory_.file("hard.edb").c_str()), 0);
  ASSERT_EQ(open_store(path), store_ok);
  const NativePath spellings[] = {
      path,
      directory_.file("db"),
      directory_.file("./db.EDB"),
      directory_.file("sub/../db.EDB"),
      directory_.file("link.edb"),
      directory_.file("hard.edb"),
  };
  ASSERT_EQ(::mkdir(directory_.file("sub").c_str(), 0755), 0);
  for (const NativePath& spelling : spellings) {
    EXPECT_EQ(open_store(spelling), store_already_open) << spelling;
  }
  EXPECT_EQ(store_registry().stores.size(), 1u);
}

TEST_F(OpenStore, NamesDifferingInCaseAreDifferentStores) {
  const NativePath lower = create_group_store("db.edb");
  const NativePath upper = create_group_store("DB.edb");
  ASSERT_EQ(open_store(lower), store_ok);
  ASSERT_EQ(open_store(upper), store_ok);
  ASSERT_EQ(add_blank_record(), store_ok);
  EXPECT_EQ(read_file(upper).size(), group_data_start + group_record_length);
  EXPECT_EQ(read_file(lower).size(), group_data_start);
}

TEST_F(OpenStore, AFailedOpenLeavesTheRegistryAsItWas) {
  const NativePath first = create_group_store("first.edb");
  ASSERT_EQ(open_store(first), store_ok);
  write_file(directory_.file("junk.edb"), Bytes(600, 1));
  EXPECT_EQ(open_store(directory_.file("junk.edb")), store_not_a_store_file);
  EXPECT_EQ(open_store(first), store_already_open);
  EXPECT_EQ(store_registry().stores.size(), 1u);
  EXPECT_EQ(store_registry().current, 0);
  EXPECT_EQ(add_blank_record(), store_ok);
  EXPECT_EQ(read_file(first).size(), group_data_start + group_record_length);
}

class CloseStore : public testing::StoreTest {
 protected:
  void open_two() {
    first_ = create_group_store("first.edb");
    second_ = create_group_store("second.edb");
    ASSERT_EQ(open_store(first_), store_ok);
    ASSERT_EQ(open_store(second_), store_ok);
  }
  NativePath first_;
  NativePath second_;
};

TEST_F(CloseStore, WithoutNameClosesTheCurrentStoreAndLeavesNoneCurrent) {
  open_two();
  close_store("");
  ASSERT_EQ(store_registry().stores.size(), 1u);
  EXPECT_EQ(store_registry().stores[0].full_path, first_);
  EXPECT_EQ(store_registry().current, -1);
  EXPECT_EQ(go_to_last_record(), store_no_current_store);
  EXPECT_EQ(add_blank_record(), store_no_current_store);
  EXPECT_EQ(write_field(1, "x"), store_not_open);
  close_store("");
  EXPECT_EQ(store_registry().stores.size(), 1u);
}

TEST_F(CloseStore, ClosingAnEarlierStoreKeepsTheCurrentOne) {
  open_two();
  close_store(first_);
  ASSERT_EQ(store_registry().stores.size(), 1u);
  EXPECT_EQ(store_registry().current, 0);
  ASSERT_EQ(add_blank_record(), store_ok);
  EXPECT_EQ(read_file(second_).size(), group_data_start + group_record_length);
}

TEST_F(CloseStore, FindsTheStoreByBareNameFullPathOrAnyPathToIt) {
  const NativePath path = create_group_store();
  ASSERT_EQ(::symlink(path.c_str(), directory_.file("link.edb").c_str()), 0);
  const std::string names[] = {"db", "DB", path, directory_.file("./db.edb"),
                               directory_.file("link.edb")};
  for (const std::string& name : names) {
    ASSERT_EQ(open_store(path), store_ok);
    close_store(name);
    EXPECT_TRUE(store_registry().stores.empty()) << name;
  }
  ASSERT_EQ(open_store(path), store_ok);
  // directory/db completes to db.EDB, another file on Linux.
  const std::string others[] = {"d", "db.edb.x", "/nowhere/db.edb", "first", directory_.file("db")};
  for (const std::string& name : others) {
    close_store(name);
    EXPECT_EQ(store_registry().stores.size(), 1u) << name;
  }
}

TEST_F(CloseStore, ByBareNameTakesTheNewestStore) {
  ASSERT_EQ(::mkdir(directory_.file("a").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(directory_.file("b").c_str(), 0755), 0);
  const NativePath older = create_group_store("a/db.edb");
  const NativePath newer = create_group_store("b/db.edb");
  ASSERT_EQ(open_store(older), store_ok);
  ASSERT_EQ(open_store(newer), store_ok);
  close_store("db");
  ASSERT_EQ(store_registry().stores.size(), 1u);
  EXPECT_EQ(store_registry().stores[0].full_path, older);
}

TEST_F(CloseStore, WritesNothing) {
  const NativePath path = create_group_store();
  const Bytes before = read_file(path);
  ASSERT_EQ(open_store(path), store_ok);
  ASSERT_EQ(go_to_last_record(), store_ok);
  close_store(path);
  EXPECT_EQ(read_file(path), before);
  EXPECT_TRUE(testing::file_is_unlocked(path));
}

TEST_F(OpenStore, LastErrorBelongsToTheCallingThread) {
  EXPECT_EQ(open_store(directory_.file("missing.edb")), store_file_not_found);
  int32_t seen_by_other_thread = 1;
  std::thread other([&seen_by_other_thread] { seen_by_other_thread = last_store_error(); });
  other.join();
  EXPECT_EQ(seen_by_other_thread, store_ok);
  EXPECT_EQ(last_store_error(), store_file_not_found);
  EXPECT_EQ(create_store(directory_.file("db.edb"), group_fields()), store_ok);
  EXPECT_EQ(last_store_error(), store_ok);
}

}  // namespace
}  // namespace vorpane
