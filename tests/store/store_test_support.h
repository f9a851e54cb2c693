// Raw file access and a clean store registry for the store tests.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "store/platform.h"
#include "store/record_store.h"
#include "support/temporary_directory.h"

namespace vorpane::testing {

using ::vorpane::TemporaryDirectory;

inline Bytes read_file(const NativePath& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void write_file(const NativePath& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline int32_t int32_at(const Bytes& bytes, size_t offset) {
  return static_cast<int32_t>(uint32_t{bytes.at(offset)} | uint32_t{bytes.at(offset + 1)} << 8 |
                              uint32_t{bytes.at(offset + 2)} << 16 |
                              uint32_t{bytes.at(offset + 3)} << 24);
}

inline void set_int32_at(Bytes& bytes, size_t offset, int32_t value) {
  for (size_t i = 0; i < 4; ++i) {
    bytes.at(offset + i) = static_cast<unsigned char>(static_cast<uint32_t>(value) >> (8 * i));
  }
}

// The bytes of a text field: up to the first zero byte.
inline Text stored_text(const Bytes& bytes, size_t offset, size_t width) {
  Text text(reinterpret_cast<const char*>(bytes.data() + offset), width);
  return text.substr(0, text.find('\0'));
}

// The program's own store: six text fields with their code page 936 names.
inline std::vector<FieldSpec> group_fields() {
  return {
      {"\xC8\xBA\xC3\xFB", field_text, 30},          // group name
      {"\xC8\xBA\xBA\xC5", field_text, 15},          // group number
      {"\xB4\xB4\xBD\xA8\xD5\xDF", field_text, 30},  // creator
      {"\xC8\xBA\xB5\xD8\xD6\xB7", field_text, 50},  // page address
      {"\xB3\xC9\xD4\xB1\xCA\xFD", field_text, 10},  // member count
      {"\xC8\xBA\xBC\xF2\xBD\xE9", field_text, 50},  // introduction
  };
}
inline constexpr size_t group_data_start = 548;
inline constexpr size_t group_record_length = 189;

// A test that starts and ends with no open store and default settings.
class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override { reset_store_registry_for_testing(); }
  void TearDown() override { reset_store_registry_for_testing(); }

  NativePath create_group_store(std::string_view name = "db.edb") {
    const NativePath path = directory_.file(name);
    EXPECT_EQ(create_store(path, group_fields()), store_ok);
    return path;
  }

  TemporaryDirectory directory_;
};

// A lock held through an open of its own, as another process would hold it:
// open-file-description locks conflict within one process too.
class ForeignLock {
 public:
  ForeignLock(const NativePath& path, int64_t offset, int64_t length)
      : descriptor_(::open(path.c_str(), O_RDWR | O_CLOEXEC)) {
    EXPECT_GE(descriptor_, 0);
    EXPECT_EQ(lock_byte_range(descriptor_, offset, length), 0);
  }
  ForeignLock(const ForeignLock&) = delete;
  ForeignLock& operator=(const ForeignLock&) = delete;
  ~ForeignLock() {
    if (descriptor_ >= 0) ::close(descriptor_);
  }

 private:
  int descriptor_;
};

// True when nobody holds any lock on the file.
inline bool file_is_unlocked(const NativePath& path) {
  const int descriptor = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (descriptor < 0) return false;
  const bool unlocked = lock_byte_range(descriptor, 0, 0) == 0;
  ::close(descriptor);
  return unlocked;
}

}  // namespace vorpane::testing
