// Randomly damaged store files: opening them gives a documented code, never a
// crash or a hang, and an opened one behaves.
#include <gtest/gtest.h>
#include <unistd.h>

#include <random>
#include <set>

#include "store/record_store.h"
#include "store_test_support.h"

namespace vorpane {
namespace {

using testing::int32_at;
using testing::set_int32_at;

constexpr int iterations = 3000;

// Places where a damaged value matters most: the head's numbers and the
// numbers of the first descriptors.
constexpr size_t interesting_offsets[] = {0,   4,   16,  20,  24,  112, 136, 140,
                                          144, 208, 212, 216, 280, 284, 288};
constexpr int32_t interesting_values[] = {
    0, 1, -1, 2, 4, 10, 13, 0x10000, 0x10001, 189, 548, 1024, INT32_MAX, INT32_MIN, INT32_MAX - 1};

void damage(Bytes& file, std::mt19937& random) {
  auto pick = [&random](size_t bound) {
    return std::uniform_int_distribution<size_t>(0, bound - 1)(random);
  };
  const int changes = 1 + static_cast<int>(pick(4));
  for (int change = 0; change < changes; ++change) {
    switch (pick(6)) {
      case 0:  // a random byte anywhere
        if (!file.empty()) file[pick(file.size())] = static_cast<unsigned char>(pick(256));
        break;
      case 1: {  // a telling number at a telling place
        const size_t offset = interesting_offsets[pick(std::size(interesting_offsets))];
        if (offset + 4 <= file.size()) {
          set_int32_at(file, offset, interesting_values[pick(std::size(interesting_values))]);
        }
        break;
      }
      case 2:  // cut short
        file.resize(pick(file.size() + 1));
        break;
      case 3:  // bytes added at the end
        for (size_t added = pick(400); added > 0; --added) {
          file.push_back(static_cast<unsigned char>(pick(256)));
        }
        break;
      case 4: {  // a name without its terminating zero
        const size_t descriptor = 116 + 72 * pick(6);
        for (size_t i = descriptor; i < descriptor + 17 && i < file.size(); ++i)
          file[i] = 'n';
        break;
      }
      default: {  // a small change to a count
        const size_t offset = pick(2) == 0 ? 16 : 112;
        if (offset + 4 <= file.size()) {
          // Wrapping around, as a damaged file would.
          const uint32_t changed =
              static_cast<uint32_t>(int32_at(file, offset)) + static_cast<uint32_t>(pick(7)) - 3u;
          set_int32_at(file, offset, static_cast<int32_t>(changed));
        }
        break;
      }
    }
  }
}

class StoreFuzz : public testing::StoreTest {};

TEST_F(StoreFuzz, DamagedFilesGiveOnlyTheDocumentedCodes) {
  const NativePath original = create_group_store("original.edb");
  ASSERT_EQ(open_store(original), store_ok);
  for (int row = 0; row < 4; ++row) {
    ASSERT_EQ(add_blank_record(), store_ok);
    ASSERT_EQ(write_field(1, "row" + int_to_text(row)), store_ok);
  }
  close_store("");
  const Bytes intact = testing::read_file(original);
  const NativePath path = directory_.file("damaged.edb");

  const std::set<int32_t> open_codes = {store_ok, store_not_a_store_file, store_version_too_high};
  const std::set<int32_t> write_codes = {store_ok, store_no_current_record,
                                         store_field_write_failed, store_no_such_field,
                                         store_value_type_mismatch};
  const std::set<int32_t> add_codes = {store_ok, store_record_write_failed};
  std::mt19937 random(20240601);
  std::map<int32_t, int> seen;
  for (int iteration = 0; iteration < iterations; ++iteration) {
    SCOPED_TRACE(iteration);
    Bytes file = intact;
    damage(file, random);
    // A new file each time: rewriting one in place makes ext4 flush it to
    // disk on every close.
    ::unlink(path.c_str());
    testing::write_file(path, file);

    const int32_t opened = open_store(path);
    ++seen[opened];
    ASSERT_TRUE(open_codes.count(opened)) << opened;
    if (opened != store_ok) {
      ASSERT_TRUE(store_registry().stores.empty());
      continue;
    }
    const RecordStore& store = store_registry().stores.at(0);
    const Bytes repaired = testing::read_file(path);
    ASSERT_EQ(static_cast<int64_t>(repaired.size()),
              store.data_start + int64_t{int32_at(repaired, 16)} * store.header.record_length);

    EXPECT_EQ(go_to_last_record(), store_ok);
    EXPECT_TRUE(write_codes.count(write_field(1, "fuzz"))) << last_store_error();
    // A wild record length would make the test write gigabytes.
    if (store.header.record_length <= 65536) {
      const int32_t added = add_blank_record();
      EXPECT_TRUE(add_codes.count(added)) << added;
      EXPECT_TRUE(write_codes.count(write_field(1, "fuzz"))) << last_store_error();
    }
    close_store("");
  }
  // The loop reached each kind of outcome.
  EXPECT_GT(seen[store_ok], 0);
  EXPECT_GT(seen[store_not_a_store_file], 0);
  EXPECT_GT(seen[store_version_too_high], 0);
}

}  // namespace
}  // namespace vorpane
