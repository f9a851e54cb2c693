#include "scan/pattern_matcher.h"

#include <gtest/gtest.h>

#include <climits>

#include "scan/group_pattern.h"
#include "web/codepage.h"

namespace vorpane {
namespace {

const Text zhong = "\xD6\xD0";  // one double-byte character
const Text quote_mark_word = "#\xD2\xFD\xBA\xC5";

void expect_no_answers(const PatternMatcher& matcher) {
  int32_t position = 7;
  EXPECT_EQ(matcher.match_count(), 0);
  EXPECT_EQ(matcher.submatch_count(), 0);
  EXPECT_EQ(matcher.match_text(1, &position), "");
  EXPECT_EQ(position, -1);
  position = 7;
  EXPECT_EQ(matcher.submatch_text(1, 1, &position), "");
  EXPECT_EQ(position, -1);
  EXPECT_EQ(matcher.replace("x"), "");
}

TEST(PatternMatcher, AnswersNothingBeforeTheFirstRun) {
  const PatternMatcher matcher;
  expect_no_answers(matcher);
  EXPECT_EQ(matcher.pattern_text(), "");
}

TEST(PatternMatcher, RejectedPatternIsAFailedRunWithoutEngine) {
  PatternMatcher matcher;
  ASSERT_TRUE(matcher.create("(a)", "a"));
  EXPECT_FALSE(matcher.create("<h4 >(.*?", "<h4 >x"));
  expect_no_answers(matcher);
  EXPECT_EQ(matcher.pattern_text(), "");
}

TEST(PatternMatcher, EmptyPatternOrSubjectGivesEmptyMatches) {
  PatternMatcher matcher;
  ASSERT_TRUE(matcher.create("", "ab"));
  EXPECT_EQ(matcher.match_count(), 3);
  int32_t position = -5;
  EXPECT_EQ(matcher.match_text(3, &position), "");
  EXPECT_EQ(position, 2);

  ASSERT_TRUE(matcher.create("a", ""));
  EXPECT_EQ(matcher.match_count(), 0);
  EXPECT_EQ(matcher.replace("b"), "");
  ASSERT_TRUE(matcher.create("", ""));
  EXPECT_EQ(matcher.match_count(), 1);
}

TEST(PatternMatcher, NumbersOutsideTheRunGiveEmptyTextAndNoPosition) {
  PatternMatcher matcher;
  ASSERT_TRUE(matcher.create("(a)(b)?", "a a"));
  ASSERT_EQ(matcher.match_count(), 2);
  ASSERT_EQ(matcher.submatch_count(), 2);
  const struct {
    int32_t match;
    int32_t group;  // 0: ask for the match itself
  } cases[] = {
      {0, 0}, {-1, 0}, {3, 0},       {INT_MIN, 0}, {INT_MAX, 0}, {1, -1}, {1, 3},
      {3, 1}, {0, 1},  {1, INT_MAX}, {1, INT_MIN}, {1, 2},  // the optional group took no part
  };
  for (const auto& c : cases) {
    int32_t position = 42;
    const Text text = c.group == 0 ? matcher.match_text(c.match, &position)
                                   : matcher.submatch_text(c.match, c.group, &position);
    EXPECT_EQ(text, "") << c.match << "/" << c.group;
    EXPECT_EQ(position, -1) << c.match << "/" << c.group;
  }
  EXPECT_EQ(matcher.submatch_text(1, 0), "");
  EXPECT_EQ(matcher.submatch_text(2, 1), "a");
}

TEST(PatternMatcher, SubjectEndingInALoneLeadByte) {
  PatternMatcher matcher;
  const Text subject = zhong + "a\xD6";
  ASSERT_TRUE(matcher.create("a(.*)", subject));
  ASSERT_EQ(matcher.match_count(), 1);
  int32_t position = 0;
  EXPECT_EQ(matcher.submatch_text(1, 1, &position), "?");  // the half character
  EXPECT_EQ(position, 3);
  EXPECT_EQ(matcher.replace("b"), zhong + "b");
}

// A page without a line feed full of openings of the group's layout makes
// the lazy groups try every opening against the rest of the page.
TEST(PatternMatcher, RunPastTheTimeLimitFails) {
  Text subject;
  while (subject.size() < (1u << 20)) {
    subject += "<h4 >" + zhong + "&nbsp;&nbsp;<span >(";
    subject.append(180, 'x');
  }
  PatternMatcher matcher;
  EXPECT_FALSE(matcher.create(group_pattern, subject));
  expect_no_answers(matcher);
  EXPECT_EQ(matcher.pattern_text(), group_pattern);
}

TEST(PatternMatcher, RunPastTheBacktrackingStackLimitFails) {
  PatternMatcher matcher;
  EXPECT_FALSE(matcher.create("(a|b)*c", Text(1u << 20, 'a')));
  expect_no_answers(matcher);
}

TEST(PatternMatcher, RunWithTooManyRecordedGroupsFails) {
  PatternMatcher matcher;
  EXPECT_FALSE(matcher.create("()()()", Text(3u << 19, 'a')));
  expect_no_answers(matcher);
}

TEST(PatternMatcher, DefaultsIgnoreCaseAndKeepEveryMatch) {
  PatternMatcher matcher;
  ASSERT_TRUE(matcher.create("<h4 >(.*?)</h4>", "<H4 >a</H4> <h4 >b</h4>"));
  EXPECT_EQ(matcher.match_count(), 2);
  EXPECT_EQ(matcher.submatch_text(1, 1), "a");

  ASSERT_TRUE(matcher.create("<h4 >(.*?)</h4>", "<H4 >a</H4> <h4 >b</h4>", true));
  EXPECT_EQ(matcher.match_count(), 1);
  EXPECT_EQ(matcher.submatch_text(1, 1), "b");

  ASSERT_TRUE(matcher.create("b", "b b b", false, true, false));
  EXPECT_EQ(matcher.match_count(), 1);
  ASSERT_TRUE(matcher.create("c", "b b b", false, true, false));
  EXPECT_EQ(matcher.match_count(), 0);
}

TEST(PatternMatcher, LineRules) {
  const struct {
    const char* pattern;
    const char* subject;
    bool multiline;
    int32_t count;
  } cases[] = {
      {"^b$", "a\nb\nc", true, 1}, {"^b$", "a\nb\nc", false, 0}, {"a.b", "a\nb", true, 0},
      {"a.b", "a\rb", true, 1},    {"a$", "a\r\nb", true, 0},    {"a\r$", "a\r\nb", true, 1},
  };
  PatternMatcher matcher;
  for (const auto& c : cases) {
    ASSERT_TRUE(matcher.create(c.pattern, c.subject, false, c.multiline));
    EXPECT_EQ(matcher.match_count(), c.count) << c.pattern << " multiline " << c.multiline;
  }
}

TEST(PatternMatcher, QuoteMarkWord) {
  const Text pattern = "href=" + quote_mark_word + "(.*?)" + quote_mark_word;
  PatternMatcher matcher;
  ASSERT_TRUE(matcher.create(pattern, "<a href=\"x\">", false, true, true, true));
  EXPECT_EQ(matcher.submatch_text(1, 1), "x");
  EXPECT_EQ(matcher.pattern_text(), "href=\"(.*?)\"");

  ASSERT_TRUE(matcher.create(pattern, "<a href=\"x\">"));
  EXPECT_EQ(matcher.match_count(), 0);
  EXPECT_EQ(matcher.pattern_text(), pattern);
  ASSERT_TRUE(matcher.create(pattern, "href=" + quote_mark_word + "y" + quote_mark_word));
  EXPECT_EQ(matcher.submatch_text(1, 1), "y");
}

TEST(PatternMatcher, PositionsAreByteOffsets) {
  const struct {
    const char* name;
    Text pattern;
    Text subject;
    int32_t match;
    int32_t group;  // 0: the match itself
    Text text;
    int32_t position;
  } cases[] = {
      {"three double-byte characters", "a", zhong + zhong + zhong + "a", 1, 0, "a", 6},
      {"two double-byte characters", "a", zhong + zhong + "a", 1, 0, "a", 4},
      {"same text earlier in the subject", "a$", zhong + zhong + "aa", 1, 0, "a", 5},
      {"group text also inside an earlier group", "<b>(.*?)</b><i>(.*?)</i>",
       zhong + "<b>12345</b><i>12</i>", 1, 2, "12", 17},
      {"empty capture", "<b>(.*?)</b>", zhong + "x<b></b>", 1, 1, "", 6},
      {"second match", zhong + "(.)", zhong + "a" + zhong + "b", 2, 1, "b", 5},
      {"double-byte match text", zhong, "ab" + zhong, 1, 0, zhong, 2},
      {"other case than the pattern", "(B)", zhong + "abB", 1, 1, "b", 3},
  };
  PatternMatcher matcher;
  for (const auto& c : cases) {
    ASSERT_TRUE(matcher.create(c.pattern, c.subject)) << c.name;
    int32_t position = -7;
    const Text text = c.group == 0 ? matcher.match_text(c.match, &position)
                                   : matcher.submatch_text(c.match, c.group, &position);
    EXPECT_EQ(text, c.text) << c.name;
    EXPECT_EQ(position, c.position) << c.name;
  }
}

TEST(PatternMatcher, Replace) {
  const struct {
    const char* pattern;
    bool global;
    const char* replacement;
    const char* result;
  } cases[] = {
      {"(\\w+)@(\\w+)", true, "$2 at $1", "b at a, d at c"},
      {"(\\w+)@(\\w+)", false, "$2 at $1", "b at a, c@d"},
      {"(\\w+)@(\\w+)", true, "", ", "},
      {"(\\w+)@(\\w+)", true, "[$&]", "[a@b], [c@d]"},
      {"(\\w+)@(\\w+)", true, "$$1 $3 $x \\1 $", "$1 $3 $x \\1 $, $1 $3 $x \\1 $"},
      {"(\\w+)@(\\w+)", true, "$10", "a0, c0"},
      {"(\\w+)@(\\w+)", false, "<$`|$'>", "<|, c@d>, c@d"},
      {"(x)?@", true, "[$1]", "a[]b, c[]d"},
      {"z", true, "y", "a@b, c@d"},
  };
  PatternMatcher matcher;
  for (const auto& c : cases) {
    ASSERT_TRUE(matcher.create(c.pattern, "a@b, c@d", false, true, c.global));
    EXPECT_EQ(matcher.replace(c.replacement), c.result) << c.pattern << " -> " << c.replacement;
  }
  ASSERT_TRUE(matcher.create("(" + zhong + ")", "a" + zhong + "b"));
  EXPECT_EQ(matcher.replace("$1$1"), "a" + zhong + zhong + "b");
}

TEST(PatternMatcher, CopyKeepsItsOwnRunWhenTheOriginalRunsAgain) {
  PatternMatcher original;
  ASSERT_TRUE(original.create("(b+)", zhong + "abb"));
  const PatternMatcher copy = original;
  PatternMatcher assigned;
  assigned = original;

  ASSERT_TRUE(original.create("x", "x x x"));
  EXPECT_EQ(original.match_count(), 3);
  for (const PatternMatcher* earlier : {&copy, static_cast<const PatternMatcher*>(&assigned)}) {
    int32_t position = 0;
    EXPECT_EQ(earlier->match_count(), 1);
    EXPECT_EQ(earlier->submatch_text(1, 1, &position), "bb");
    EXPECT_EQ(position, 3);
    EXPECT_EQ(earlier->pattern_text(), "(b+)");
    EXPECT_EQ(earlier->replace("c"), zhong + "ac");
  }

  PatternMatcher second_copy = copy;
  EXPECT_FALSE(second_copy.create("(", "x"));
  EXPECT_EQ(copy.match_count(), 1);
  second_copy.reserved();
  second_copy.init();
  EXPECT_EQ(copy.submatch_text(1, 1), "bb");
}

}  // namespace
}  // namespace vorpane
