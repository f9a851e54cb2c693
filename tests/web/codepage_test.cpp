#include "web/codepage.h"

#include <gtest/gtest.h>

namespace vorpane {
namespace {

TEST(Utf8ToCp936, ConvertsChineseText) {
  const Bytes utf8 = {0xE4, 0xB8, 0xAD, 0xE6, 0x96, 0x87};
  EXPECT_EQ(utf8_to_cp936(utf8), (Bytes{0xD6, 0xD0, 0xCE, 0xC4}));
}

TEST(Cp936OffsetOfUtf16Index, MapsUnitsBackToTheirBytes) {
  struct Case {
    const char* name;
    Text text;
    size_t utf16_index;
    size_t offset;
  };
  const Text zhong = "\xD6\xD0";  // one double-byte character, one unit
  const Case cases[] = {
      {"ascii", "abc", 1, 1},
      {"after two double-byte characters", zhong + zhong + "a", 2, 4},
      {"at the end", zhong + zhong + "a", 3, 5},
      {"past the end", "ab", 9, 2},
      {"empty text", "", 0, 0},
      {"single-byte euro sign",
       "\x80"
       "a",
       1, 1},
      {"lone lead byte at the end", "a\xD6", 1, 1},
      {"byte that is no character", "\xFF" + zhong + "a", 2, 3},
      {"beyond one conversion chunk",
       [&] {
         Text long_text;
         for (int i = 0; i < 3000; ++i)
           long_text += zhong;
         return long_text + "a";
       }(),
       3000, 6000},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(cp936_offset_of_utf16_index(c.text, c.utf16_index), c.offset) << c.name;
  }
}

}  // namespace
}  // namespace vorpane
