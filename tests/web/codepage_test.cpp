#include "web/codepage.h"

#include <gtest/gtest.h>

namespace vorpane {
namespace {

TEST(Utf8ToCp936, ConvertsChineseText) {
  const Bytes utf8 = {0xE4, 0xB8, 0xAD, 0xE6, 0x96, 0x87};
  EXPECT_EQ(utf8_to_cp936(utf8), (Bytes{0xD6, 0xD0, 0xCE, 0xC4}));
}

}  // namespace
}  // namespace vorpane
