#include "web/text.h"

#include <gtest/gtest.h>

namespace vorpane {
namespace {

TEST(FindText, FindsAtCharacterStartsOnly) {
  EXPECT_EQ(find_text("\xC4" "b", "b"), -1);
  EXPECT_EQ(find_text("x\xC4" "bb", "b"), 4);
}

}  // namespace
}  // namespace vorpane
