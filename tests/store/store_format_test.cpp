#include "store/store_format.h"

#include <gtest/gtest.h>

namespace vorpane {
namespace {

TEST(CompleteStorePath, AppendsTheExtensionOnlyWhereTheLastComponentLacksOne) {
  const std::pair<const char*, const char*> cases[] = {
      {"db", "db.EDB"},
      {"db.", "db.EDB"},
      {"db.edb", "db.edb"},
      {"db.txt", "db.txt"},
      {"/run/dir.d/db", "/run/dir.d/db.EDB"},  // a dot in a directory does not count
      {"/run/dir.d/", "/run/dir.d/.EDB"},
      {"/run/a.b/c.", "/run/a.b/c.EDB"},
      {"/运行/数据", "/运行/数据.EDB"},  // UTF-8 bytes never look like "/" or "."
      {"a\\b.c\\db", "a\\b.c\\db"},      // a backslash is part of a Linux file name
  };
  for (const auto& [path, completed] : cases) {
    EXPECT_EQ(complete_store_path(path), completed) << path;
  }
}

TEST(BareStoreName, DropsDirectoryAndExtension) {
  EXPECT_EQ(bare_store_name("/run/dir.d/db.edb"), "db");
  EXPECT_EQ(bare_store_name("/run/archive.tar.EDB"), "archive.tar");
  EXPECT_EQ(bare_store_name("db"), "db");
}

TEST(IsValidFieldName, FollowsTheCharacterRules) {
  const std::pair<const char*, bool> cases[] = {
      {"\xC8\xBA\xC3\xFB", true},  // Chinese characters
      {"name_2", true},
      {"_", true},
      {"abcdefghijklmnop", true},    // 16 bytes
      {"abcdefghijklmnopq", false},  // 17 bytes
      {"", false},
      {"2name", false},
      {".name", false},
      {"\xA3\xB1name", false},     // full-width digit first
      {"a\xA3\xB1", true},         // full-width digit later
      {"\xA3\xC1\xA3\xFA", true},  // full-width A and z
      {"\xA3\xC0", false},         // just below the full-width capitals
      {"\xA3\xDB", false},
      {"\xA3\xE0", false},
      {"\xA3\xFB", false},
      {"\xA4\xA1\xA4\xF3", true},  // hiragana range ends
      {"\xA4\xF4", false},
      {"\xA5\xA1\xA5\xF6", true},  // katakana range ends
      {"\xA5\xF7", false},
      {"\xA9\x60", true},
      {"\xA9\x61", false},
      {"\xA1\xA1", false},         // full-width space
      {"\x81\x5C\xA0\x2E", true},  // second bytes 0x5C and 0x2E are not "\" or "."
      {"\xAA\xFF", true},
      {"\x80", false},   // a lone lead byte
      {"a\xC8", false},  // a lead byte without its second byte
      {"a b", false},
      {"a-b", false},
      {"a.b", false},
  };
  for (const auto& [name, valid] : cases) {
    EXPECT_EQ(is_valid_field_name(name), valid) << ::testing::PrintToString(name);
  }
  EXPECT_FALSE(is_valid_field_name(TextView("a\0b", 3)));
  EXPECT_FALSE(is_valid_field_name(TextView("\xC8\0", 2)));
}

TEST(FieldNamesEqual, IgnoresAsciiCaseOnly) {
  EXPECT_TRUE(field_names_equal("Name", "nAME"));
  EXPECT_FALSE(field_names_equal("name", "name_"));
  // Second bytes that happen to be ASCII letters keep their case.
  EXPECT_FALSE(field_names_equal("\x81\x41", "\x81\x61"));
  EXPECT_FALSE(field_names_equal("\xA3\xC1", "\xA3\xE1"));
}

TEST(OleAutomationDate, CountsDaysFrom18991230WithTheTimeAsFraction) {
  EXPECT_DOUBLE_EQ(ole_automation_date(1899, 12, 30, 0, 0, 0), 0.0);
  EXPECT_DOUBLE_EQ(ole_automation_date(1900, 1, 1, 0, 0, 0), 2.0);
  EXPECT_DOUBLE_EQ(ole_automation_date(1899, 12, 29, 6, 0, 0), -1.25);
  EXPECT_DOUBLE_EQ(ole_automation_date(2000, 1, 1, 0, 0, 0), 36526.0);
  EXPECT_DOUBLE_EQ(ole_automation_date(2024, 2, 29, 18, 0, 0), 45351.75);
  EXPECT_DOUBLE_EQ(ole_automation_date(2024, 3, 1, 0, 0, 1), 45352.0 + 1.0 / 86400);
}

}  // namespace
}  // namespace vorpane
