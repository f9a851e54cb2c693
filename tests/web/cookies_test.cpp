#include "web/cookies.h"

#include <gtest/gtest.h>

namespace vorpane {
namespace {

struct MergeCase {
  const char* name;
  Text cookies;
  Text received;
  Text merged;
  Text received_after;
};

class MergeCookiesTest : public testing::TestWithParam<MergeCase> {};

TEST_P(MergeCookiesTest, MergesAndChangesBothArguments) {
  const MergeCase& c = GetParam();
  Text cookies = c.cookies;
  Text received = c.received;
  EXPECT_EQ(merge_cookies(cookies, received), c.merged);
  EXPECT_EQ(cookies, c.merged);
  EXPECT_EQ(received, c.received_after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MergeCookiesTest,
    testing::Values(
        MergeCase{"NewValueReplacesOld", "a=1; c=3", "a=9; b=2", "a=9; b=2; c=3", "a=9;b=2"},
        MergeCase{"DeletedHidesOldAndGoes", "a=1; c=3", "a=deleted", "c=3", "a=deleted"},
        MergeCase{"NothingSentYet", "", "a=1; b=2", "a=1; b=2", "a=1;b=2"},
        MergeCase{"NamesKeepTheirCase", "a=1; A=2", "", "a=1; A=2", ""},
        MergeCase{"ExactRepeatsGo", "a=1; a=1", "", "a=1", ""},
        MergeCase{"FirstOfOldNamesKept", "a=1; a=2", "", "a=1", ""},
        MergeCase{"BothEmpty", "", "", "", ""},
        MergeCase{"FullWidthSpacesRemoved",
                  "a=1;\xA1\xA1"
                  "b=2",
                  "", "a=1; b=2", ""},
        MergeCase{"PieceWithoutValue", "flag; a=1", "a=2", "a=2; flag", "a=2"}),
    [](const testing::TestParamInfo<MergeCase>& info) { return info.param.name; });

TEST(CookieName, IsTrimmedPartBeforeFirstEquals) {
  EXPECT_EQ(cookie_name(" sid =a=b"), "sid");
  EXPECT_EQ(cookie_name("flag"), "flag");
  EXPECT_EQ(cookie_name(""), "");
}

TEST(JoinDistinct, DropsExactRepeatsKeepingOrder) {
  EXPECT_EQ(join_distinct("b; a; b; a; c", "; "), "b; a; c");
  EXPECT_EQ(join_distinct("x", "; "), "x");
  EXPECT_EQ(join_distinct("", "; "), "");
  EXPECT_EQ(join_distinct("a,,a,", ","), "a,");
}

}  // namespace
}  // namespace vorpane
