#include "sample-site/sample_site.h"

#include <gtest/gtest.h>

#include "sample-site/group_pages.h"
#include "scan/group_pattern.h"
#include "scan/pattern_matcher.h"
#include "web/fetch.h"

namespace vorpane {
namespace {

class SampleSiteTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.start()); }

  Text page(int32_t number) {
    return fetch_page(server_.address() + "/group/" + int_to_text(number), 1);
  }
  // The facts the scan would list from the page, when it would list any.
  std::optional<GroupFacts> listed(int32_t number) {
    const Text text = page(number);
    if (find_text(text, public_marker, 3000) == not_found) return std::nullopt;
    PatternMatcher matcher;
    matcher.create(group_pattern, text);
    if (matcher.match_count() < 1) return std::nullopt;
    return GroupFacts{matcher.submatch_text(1, 1), matcher.submatch_text(1, 2),
                      matcher.submatch_text(1, 3), matcher.submatch_text(1, 4),
                      matcher.submatch_text(1, 5)};
  }

  LoopbackServer server_{sample_site_answer};
};

TEST_F(SampleSiteTest, ServesEachKindOfPageByLastDigit) {
  for (const int32_t number : {10000000, 10000001, 10000003, 10000006, 10000007, 10000009}) {
    EXPECT_EQ(listed(number), sample_group_facts(number)) << number;
  }
  for (const int32_t number : {10000002, 10000004, 10000005, 10000008, 10000018}) {
    EXPECT_EQ(listed(number), std::nullopt) << number;
  }
  EXPECT_LT(page(10000004).size(), 3000u);
  const Text early = page(10000005);
  EXPECT_GT(early.size(), 3000u);
  EXPECT_LT(find_text(early, public_marker), 3000);
  EXPECT_NE(find_text(page(10000002), group_pattern.substr(0, 5)), not_found);
}

TEST_F(SampleSiteTest, ErrorAnswersAndOtherPaths) {
  std::optional<Text> cookies;
  std::optional<Text> proxy;
  Text received, extra, location, headers;
  Bytes body;
  auto status_of = [&](const std::string& path) {
    extra.clear();
    fetch_page(server_.address() + path, 1, "", cookies, received, extra, location, true, body,
               proxy, headers);
    return text_left(headers, static_cast<int>(headers.find("\r\n")));
  };
  EXPECT_EQ(status_of("/group/10000008"), "HTTP/1.1 404 Not Found");
  EXPECT_EQ(status_of("/group/10000018"), "HTTP/1.1 500 Internal Server Error");
  EXPECT_EQ(status_of("/group/-5"), "HTTP/1.1 404 Not Found");
  EXPECT_EQ(status_of("/group/99999999999"), "HTTP/1.1 404 Not Found");
  EXPECT_EQ(status_of("/other/10000000"), "HTTP/1.1 404 Not Found");
}

TEST_F(SampleSiteTest, AFirstScanFindsMostOfItsHundredNumbers) {
  int public_groups = 0;
  for (int32_t number = 10000000; number < 10000100; ++number) {
    if (listed(number)) ++public_groups;
  }
  EXPECT_EQ(public_groups, 60);
}

}  // namespace
}  // namespace vorpane
