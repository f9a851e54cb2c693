#include "scan/group_scan.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>

#include "loopback_server/loopback_server.h"
#include "sample-site/group_pages.h"
#include "scan/group_pattern.h"
#include "scan/wait.h"
#include "support/recording_window.h"
#include "web/codepage.h"

namespace vorpane {
namespace {

const Text scanning = "\xD5\xFD\xD4\xDA\xBB\xF1\xC8\xA1ing...";  // 正在获取ing...

// 获取完毕，共找到 <n> 条邀请码公开群！
Text summary(const char* found) {
  return Text("\xBB\xF1\xC8\xA1\xCD\xEA\xB1\xCF\xA3\xAC\xB9\xB2\xD5\xD2\xB5\xBD ") + found +
         " \xCC\xF5\xD1\xFB\xC7\xEB\xC2\xEB\xB9\xAB\xBF\xAA\xC8\xBA\xA3\xA1";
}

GroupFacts facts(const char* name, const char* number, const char* creator,
                 const char* member_count, const char* introduction) {
  return {cp936_from_utf8(name), number, cp936_from_utf8(creator), member_count,
          cp936_from_utf8(introduction)};
}

Text public_page(const GroupFacts& group) {
  GroupPageOptions options;
  options.groups = {group};
  return build_group_page(options);
}

// A group site on loopback whose pages the test sets by number; any other
// number is answered with a page that is not a group's.
class GroupSite {
 public:
  GroupSite()
      : server_([this](const LoopbackRequest& request) {
          std::lock_guard lock(mutex_);
          const auto page = pages_.find(request.target);
          LoopbackResponse response;
          response.header_lines = {"Content-Type: text/html; charset=gbk"};
          response.body = page == pages_.end() ? "<html>no group</html>" : page->second;
          return response;
        }) {
    EXPECT_TRUE(server_.start());
  }

  void set_page(int32_t number, Text page) {
    std::lock_guard lock(mutex_);
    pages_["/group/" + int_to_text(number)] = std::move(page);
  }
  Text base_address() const { return server_.address() + "/group/"; }
  std::vector<LoopbackRequest> requests() const { return server_.requests(); }

 private:
  std::mutex mutex_;
  std::map<std::string, Text> pages_;
  LoopbackServer server_;
};

class GroupScanTest : public testing::Test {
 protected:
  void scan(TextView start, TextView count) {
    window_.set_text(Control::start_number_box, Text(start));
    window_.set_text(Control::count_box, Text(count));
    window_.forget_calls();
    scan_groups(window_, context_);
  }

  GroupSite site_;
  RecordingWindow window_;
  ScanContext context_{site_.base_address()};
};

TEST_F(GroupScanTest, ListsPublicGroupsOfAMixOfPages) {
  const GroupFacts first = facts("Linux 运维交流 2群", "10000000", "云端漫步", "315", "欢迎加入");
  const GroupFacts second = facts("摄影 & 旅行", "(10000003)", "LiMing", "", "只聊本群话题");
  site_.set_page(10000000, public_page(first));
  GroupPageOptions private_group;
  private_group.groups = {first};
  private_group.invitation_code_public = false;
  site_.set_page(10000001, build_group_page(private_group));
  GroupPageOptions marker_only;  // the marker, but not the layout
  site_.set_page(10000002, build_group_page(marker_only));
  site_.set_page(10000003, public_page(second));

  scan("10000000", "5");

  const Text base = site_.base_address();
  ASSERT_EQ(window_.rows().size(), 2u);
  EXPECT_EQ(window_.rows()[0],
            (std::vector<Text>{first.name, first.number, first.creator, base + "10000000",
                               first.member_count, first.introduction}));
  EXPECT_EQ(window_.rows()[1], (std::vector<Text>{second.name, second.number, second.creator,
                                                  base + "10000003", "", second.introduction}));
  EXPECT_EQ(window_.text(Control::start_number_box), "10000005");
  EXPECT_EQ(window_.text(Control::scan_status_label), summary("2"));
}

TEST_F(GroupScanTest, SendsOnePostPerNumberWithTheDefaultLines) {
  scan("10000000", "3");
  const std::vector<LoopbackRequest> requests = site_.requests();
  ASSERT_EQ(requests.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    const LoopbackRequest& request = requests[static_cast<size_t>(i)];
    const std::string address = site_.base_address() + int_to_text(10000000 + i);
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, "/group/" + int_to_text(10000000 + i));
    EXPECT_NE(request.raw.find("\r\nReferer: " + address +
                               "\r\nAccept: */*\r\n"
                               "Accept-Language: zh-cn\r\n"
                               "Content-Type: application/x-www-form-urlencoded\r\n"),
              std::string::npos)
        << request.raw;
    EXPECT_EQ(request.header("Content-Length"), "0");
    EXPECT_TRUE(request.body.empty());
  }
  EXPECT_EQ(window_.text(Control::start_number_box), "10000003");
  EXPECT_EQ(window_.text(Control::scan_status_label), summary("0"));
}

TEST_F(GroupScanTest, SetsUpAndEndsInOrder) {
  scan("5", "1");
  const std::vector<RecordedCall>& calls = window_.calls();
  auto position = [&](const RecordedCall& call) {
    return std::find(calls.begin(), calls.end(), call) - calls.begin();
  };
  const RecordedCall clear{"list_clear", Control::result_list, {}, -1, -1, 0};
  const RecordedCall scanning_caption{"set_text", Control::scan_status_label, scanning, -1, -1, 0};
  const std::vector<RecordedCall> enables = window_.calls_of("set_enabled");
  const std::vector<RecordedCall> expected_enables = {
      {"set_enabled", Control::fetch_button, {}, -1, -1, 0},
      {"set_enabled", Control::save_button, {}, -1, -1, 0},
      {"set_enabled", Control::fetch_and_save_button, {}, -1, -1, 0},
      {"set_enabled", Control::fetch_button, {}, -1, -1, 1},
      {"set_enabled", Control::save_button, {}, -1, -1, 1},
      {"set_enabled", Control::fetch_and_save_button, {}, -1, -1, 1}};
  EXPECT_EQ(enables, expected_enables);
  EXPECT_LT(position(clear), position(scanning_caption));
  EXPECT_LT(position(scanning_caption), position(expected_enables[0]));
  const RecordedCall start_box{"set_text", Control::start_number_box, "6", -1, -1, 0};
  const RecordedCall summary_caption{"set_text", Control::scan_status_label, summary("0"), -1, -1,
                                     0};
  EXPECT_LT(position(start_box), position(summary_caption));
  EXPECT_LT(position(summary_caption), position(expected_enables[3]));
}

TEST_F(GroupScanTest, KeepsButtonsDisabledWhileEventsRun) {
  site_.set_page(1, public_page(facts("a", "1", "b", "2", "c")));
  int checks = 0;
  auto check = [&] {
    ++checks;
    EXPECT_FALSE(window_.enabled(Control::fetch_button));
    EXPECT_FALSE(window_.enabled(Control::save_button));
    EXPECT_FALSE(window_.enabled(Control::fetch_and_save_button));
    EXPECT_TRUE(window_.enabled(Control::export_button));
    EXPECT_TRUE(window_.enabled(Control::stop_button));
    EXPECT_EQ(window_.text(Control::scan_status_label), scanning);
  };
  window_.during_process_pending_events = check;
  window_.during_dispatch_events_for = [&](int) { check(); };
  scan("1", "2");
  EXPECT_EQ(checks, 5);  // three points on the public page, a pause after each number
  EXPECT_TRUE(window_.enabled(Control::fetch_button));
  EXPECT_TRUE(window_.enabled(Control::save_button));
  EXPECT_TRUE(window_.enabled(Control::fetch_and_save_button));
}

TEST_F(GroupScanTest, ProcessesEventsOnlyWhereAPageGetsFurther) {
  site_.set_page(1, public_page(facts("a", "1", "b", "2", "c")));
  site_.set_page(2, build_group_page(GroupPageOptions{}));  // marker, no layout
  scan("1", "3");
  EXPECT_EQ(window_.calls_of("process_pending_events").size(), 3u + 1u);
  const std::vector<RecordedCall> pauses = window_.calls_of("dispatch_events_for");
  ASSERT_EQ(pauses.size(), 3u);
  for (const RecordedCall& pause : pauses)
    EXPECT_EQ(pause.number, 50);
}

TEST_F(GroupScanTest, StopDuringThePauseKeepsThatRow) {
  for (int32_t number = 20; number < 25; ++number) {
    site_.set_page(number, public_page(facts("g", "n", "c", "1", "i")));
  }
  window_.during_dispatch_events_for = [&](int) {
    if (window_.rows().size() == 2) context_.stop_requested = true;
  };
  scan("20", "5");
  EXPECT_EQ(window_.rows().size(), 2u);
  EXPECT_EQ(window_.rows()[1][3], site_.base_address() + "21");
  EXPECT_EQ(window_.text(Control::start_number_box), "22");
  EXPECT_EQ(window_.text(Control::scan_status_label), summary("2"));
  EXPECT_EQ(site_.requests().size(), 2u);
}

TEST_F(GroupScanTest, ClosingTheWindowEndsTheScan) {
  window_.during_dispatch_events_for = [&](int) { window_.closed = true; };
  scan("7", "100");
  EXPECT_EQ(site_.requests().size(), 1u);
  EXPECT_EQ(window_.text(Control::start_number_box), "8");
}

TEST_F(GroupScanTest, AStopBeforeTheScanHasNoEffect) {
  context_.stop_requested = true;
  scan("7", "2");
  EXPECT_EQ(site_.requests().size(), 2u);
}

struct CountCase {
  const char* name;
  Text start;
  Text count;
  Text start_afterwards;
};

class ScanWithoutNumbersTest : public GroupScanTest,
                               public testing::WithParamInterface<CountCase> {};

TEST_P(ScanWithoutNumbersTest, RequestsNothingAndRewritesTheStart) {
  window_.list_set_cell(window_.list_append_row(), 0, "old row");
  scan(GetParam().start, GetParam().count);
  EXPECT_TRUE(site_.requests().empty());
  EXPECT_TRUE(window_.rows().empty());
  EXPECT_EQ(window_.text(Control::scan_status_label), summary("0"));
  EXPECT_EQ(window_.text(Control::start_number_box), GetParam().start_afterwards);
}

INSTANTIATE_TEST_SUITE_P(Cases, ScanWithoutNumbersTest,
                         testing::Values(CountCase{"CountZero", "0010", "0", "10"},
                                         CountCase{"CountEmpty", "abc", "", "0"},
                                         CountCase{"CountNegative", "-5", "-3", "-5"},
                                         CountCase{"CountLetters", "12", "x9", "12"}),
                         [](const testing::TestParamInfo<CountCase>& info) {
                           return info.param.name;
                         });

TEST_F(GroupScanTest, ReadsFullWidthAndSpacedNumbers) {
  scan("\xA1\xA1 \xA3\xB4\xA3\xB2", "\xA3\xB2");  // "　 42" and "2" in full width
  const std::vector<LoopbackRequest> requests = site_.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].target, "/group/42");
  EXPECT_EQ(requests[1].target, "/group/43");
  EXPECT_EQ(window_.text(Control::start_number_box), "44");
}

TEST_F(GroupScanTest, EndsAtTheHighestNumberInsteadOfWrapping) {
  scan("2147483646", "5");
  const std::vector<LoopbackRequest> requests = site_.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].target, "/group/2147483647");
  EXPECT_EQ(window_.text(Control::start_number_box), "2147483648");
}

struct PageCase {
  const char* name;
  GroupPageOptions options;
  bool listed;
};

GroupPageOptions page_options(int32_t marker_position, bool capital_tags = false,
                              bool crlf_line_ends = false, int groups = 1) {
  GroupPageOptions options;
  for (int i = 0; i < groups; ++i) {
    options.groups.push_back({"name" + int_to_text(i), "1", "c", "2", "i"});
  }
  options.marker_position = marker_position;
  options.capital_tags = capital_tags;
  options.crlf_line_ends = crlf_line_ends;
  return options;
}

class PageKindsTest : public GroupScanTest, public testing::WithParamInterface<PageCase> {};

TEST_P(PageKindsTest, ListsOnlyWhatQualifies) {
  const Text page = build_group_page(GetParam().options);
  if (GetParam().options.marker_position <= 3000) {
    ASSERT_EQ(find_text(page, public_marker), GetParam().options.marker_position);
  }
  site_.set_page(9, page);
  scan("9", "1");
  ASSERT_EQ(window_.rows().size(), GetParam().listed ? 1u : 0u);
  if (GetParam().listed) {
    EXPECT_EQ(window_.rows()[0][0], "name0");
  }
  EXPECT_EQ(window_.text(Control::start_number_box), "10");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PageKindsTest,
    testing::Values(PageCase{"MarkerAtByte3000", page_options(3000), true},
                    PageCase{"MarkerAtByte2999", page_options(2999), false},
                    PageCase{"CapitalTags", page_options(3600, true), true},
                    PageCase{"CrLfLineEnds", page_options(3600, false, true), false},
                    PageCase{"LayoutTwiceGivesFirst", page_options(3600, false, false, 2), true}),
    [](const testing::TestParamInfo<PageCase>& info) { return info.param.name; });

TEST_F(GroupScanTest, PageOfTheFailedRequestIsPassedOver) {
  context_.group_site = "http://127.0.0.1:1/group/";  // nothing listens there
  scan("3", "2");
  EXPECT_TRUE(window_.rows().empty());
  EXPECT_EQ(window_.text(Control::start_number_box), "5");
  EXPECT_EQ(window_.calls_of("dispatch_events_for").size(), 2u);
}

TEST(OpenGroupPage, OpensTheLowestSelectedRow) {
  RecordingWindow window;
  for (int row = 0; row < 3; ++row) {
    window.list_set_cell(window.list_append_row(), 3, "http://h/" + int_to_text(row));
  }
  window.selected_rows = {1, 2};
  open_group_page(window);
  window.selected_rows = {};
  open_group_page(window);
  const std::vector<RecordedCall> opened = window.calls_of("open_address");
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].text, "http://h/1");
}

TEST(WaitResponsive, WaitsIntervalTimesItsUnit) {
  RecordingWindow window;
  EXPECT_TRUE(wait_responsive(window, 50));
  EXPECT_TRUE(wait_responsive(window, 2, wait_seconds));
  EXPECT_TRUE(wait_responsive(window, 1, wait_minutes));
  EXPECT_TRUE(wait_responsive(window, 0));
  EXPECT_TRUE(wait_responsive(window, -4, wait_hours));
  std::vector<int> waited;
  for (const RecordedCall& call : window.calls_of("dispatch_events_for")) {
    waited.push_back(call.number);
  }
  EXPECT_EQ(waited, (std::vector<int>{50, 2000, 60000}));
  window.forget_calls();
  EXPECT_TRUE(wait_responsive(window, 1000, wait_hours));  // beyond one timer's reach
  int64_t total = 0;
  for (const RecordedCall& call : window.calls_of("dispatch_events_for"))
    total += call.number;
  EXPECT_EQ(total, int64_t{1000} * 3'600'000);
}

}  // namespace
}  // namespace vorpane
