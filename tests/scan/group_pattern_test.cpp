#include "scan/group_pattern.h"

#include <gtest/gtest.h>

#include <functional>

#include "sample-site/group_pages.h"
#include "scan/pattern_matcher.h"
#include "web/codepage.h"

namespace vorpane {
namespace {

TEST(GroupPattern, HasTheSiteLayoutByteForByte) {
  const Text expected =
      "<h4 >(.*?)&nbsp;&nbsp;<span >\\(\xC8\xBA\xBA\xC5\xA3\xBA(.*?)\\)</span></h4>\n"
      "<p ><span >\xB4\xB4\xBD\xA8\xD5\xDF\xA3\xBA</span>(.*?)</p>\n"
      "<p ><span >\xB3\xC9\xD4\xB1\xCA\xFD\xA3\xBA</span>(.*?)</p>\n"
      "<p ><span >\xC8\xBA\xBC\xF2\xBD\xE9\xA3\xBA</span>(.*?)</p>";
  EXPECT_EQ(group_pattern, expected);
  EXPECT_EQ(group_pattern.size(), 164u);
  EXPECT_EQ(public_marker, "\xC8\xBA\xD1\xFB\xC7\xEB\xC2\xEB\xD2\xD1\xB9\xAB\xBF\xAA");
  EXPECT_EQ(public_marker.size(), 14u);
}

TEST(GroupPages, AreDeterministicWithTheMarkerAndSizeAsAsked) {
  const GroupPageOptions options = public_group_page_options(10000001);
  const Text page = build_group_page(options);
  EXPECT_EQ(page, build_group_page(options));
  EXPECT_EQ(page.size(), 20u * 1024);
  EXPECT_EQ(find_text(page, public_marker, 3000), 3600);

  GroupPageOptions early = options;
  early.marker_position = 2999;
  const Text early_page = build_group_page(early);
  EXPECT_EQ(find_text(early_page, public_marker), 2999);
  EXPECT_EQ(find_text(early_page, public_marker, 3000), -1);

  GroupPageOptions hidden = options;
  hidden.invitation_code_public = false;
  EXPECT_EQ(find_text(build_group_page(hidden), public_marker), -1);

  GroupPageOptions crlf = options;
  crlf.crlf_line_ends = true;
  const Text crlf_page = build_group_page(crlf);
  EXPECT_EQ(crlf_page.size(), 20u * 1024);
  EXPECT_EQ(find_text(crlf_page, "\r\n"), find_text(crlf_page, "\n") - 1);
}

std::vector<GroupFacts> matched_facts(const PatternMatcher& matcher) {
  std::vector<GroupFacts> facts;
  for (int32_t match = 1; match <= matcher.match_count(); ++match) {
    facts.push_back({matcher.submatch_text(match, 1), matcher.submatch_text(match, 2),
                     matcher.submatch_text(match, 3), matcher.submatch_text(match, 4),
                     matcher.submatch_text(match, 5)});
  }
  return facts;
}

TEST(GroupPattern, ReadsTheFactsOfRealisticPages) {
  const GroupFacts first = sample_group_facts(10000001);
  const GroupFacts second = sample_group_facts(10000002);
  GroupFacts without_introduction = first;
  without_introduction.introduction.clear();

  const struct {
    const char* name;
    std::function<void(GroupPageOptions&)> change;
    std::vector<GroupFacts> expected;
  } cases[] = {
      {"one public group", [](GroupPageOptions&) {}, {first}},
      {"tags in capitals", [](GroupPageOptions& o) { o.capital_tags = true; }, {first}},
      {"CR LF line ends", [](GroupPageOptions& o) { o.crlf_line_ends = true; }, {}},
      {"two groups", [&](GroupPageOptions& o) { o.groups.push_back(second); }, {first, second}},
      {"empty capture",
       [&](GroupPageOptions& o) { o.groups = {without_introduction}; },
       {without_introduction}},
      {"no layout", [](GroupPageOptions& o) { o.groups.clear(); }, {}},
  };
  for (const auto& c : cases) {
    GroupPageOptions options = public_group_page_options(10000001);
    c.change(options);
    PatternMatcher matcher;
    ASSERT_TRUE(matcher.create(group_pattern, build_group_page(options))) << c.name;
    EXPECT_EQ(matched_facts(matcher), c.expected) << c.name;
    EXPECT_EQ(matcher.submatch_count(), c.expected.empty() ? 0 : 5) << c.name;
  }
}

TEST(GroupPattern, PositionsOnAPageAreByteOffsets) {
  const GroupFacts facts = sample_group_facts(10000001);
  const Text page = build_group_page(public_group_page_options(10000001));
  PatternMatcher matcher;
  ASSERT_TRUE(matcher.create(group_pattern, page));
  ASSERT_EQ(matcher.match_count(), 1);

  const int32_t layout = find_text(page, "<h4 >") - 1;
  int32_t position = -1;
  matcher.match_text(1, &position);
  EXPECT_EQ(position, layout);
  ASSERT_LT(cp936_to_utf16(page.substr(0, static_cast<size_t>(layout))).size(),
            static_cast<size_t>(layout))
      << "the page must have double-byte characters before the layout";
  const Text* const texts[] = {&facts.name, &facts.number, &facts.creator, &facts.member_count,
                               &facts.introduction};
  for (int32_t group = 1; group <= 5; ++group) {
    EXPECT_EQ(matcher.submatch_text(1, group, &position), *texts[group - 1]);
    EXPECT_EQ(position, find_text(page, *texts[group - 1], layout + 1) - 1) << group;
  }
}

TEST(GroupPattern, SecondRunReplacesTheFirstsAnswers) {
  PatternMatcher matcher;
  GroupPageOptions two = public_group_page_options(10000001);
  two.groups.push_back(sample_group_facts(10000002));
  ASSERT_TRUE(matcher.create(group_pattern, build_group_page(two)));
  ASSERT_EQ(matcher.match_count(), 2);

  ASSERT_TRUE(matcher.create(group_pattern, build_group_page(public_group_page_options(10000003))));
  EXPECT_EQ(matched_facts(matcher), std::vector<GroupFacts>{sample_group_facts(10000003)});
  EXPECT_EQ(matcher.submatch_text(2, 1), "");

  GroupPageOptions hidden = public_group_page_options(10000004);
  hidden.groups.clear();
  ASSERT_TRUE(matcher.create(group_pattern, build_group_page(hidden)));
  EXPECT_EQ(matcher.match_count(), 0);
  EXPECT_EQ(matcher.submatch_text(1, 1), "");
  EXPECT_EQ(matcher.submatch_count(), 0);
}

}  // namespace
}  // namespace vorpane
