#include "scan/group_scan.h"

#include <cstdint>
#include <limits>
#include <string>

#include "scan/group_pattern.h"
#include "scan/pattern_matcher.h"
#include "scan/wait.h"
#include "web/codepage.h"
#include "web/fetch.h"

namespace vorpane {
namespace {

constexpr int earliest_marker_position = 3000;
constexpr int32_t pause_milliseconds = 50;
constexpr int method_post = 1;
constexpr int address_column = 3;

const Text& scanning_text() {
  static const Text text = cp936_from_utf8("正在获取ing...");
  return text;
}

Text summary_text(int32_t found_count) {
  static const Text before = cp936_from_utf8("获取完毕，共找到 ");
  static const Text after = cp936_from_utf8(" 条邀请码公开群！");
  return before + int_to_text(found_count) + after;
}

void set_scan_buttons_enabled(Window& window, bool enabled) {
  window.set_enabled(Control::fetch_button, enabled);
  window.set_enabled(Control::save_button, enabled);
  window.set_enabled(Control::fetch_and_save_button, enabled);
}

// Lists the group of a page that carries the public marker, when the group
// pattern finds its facts there. Returns whether a row was added.
bool list_group(Window& window, PatternMatcher& matcher, const Text& page, const Text& address) {
  window.process_pending_events();
  matcher.create(group_pattern, page);
  if (matcher.match_count() <= 0) return false;
  window.process_pending_events();
  const int row = window.list_append_row();
  window.list_set_cell(row, 0, matcher.submatch_text(1, 1));
  window.list_set_cell(row, 1, matcher.submatch_text(1, 2));
  window.list_set_cell(row, 2, matcher.submatch_text(1, 3));
  window.list_set_cell(row, address_column, address);
  window.list_set_cell(row, 4, matcher.submatch_text(1, 4));
  window.list_set_cell(row, 5, matcher.submatch_text(1, 5));
  return true;
}

}  // namespace

void scan_groups(Window& window, ScanContext& context) {
  PatternMatcher matcher;
  context.stop_requested = false;
  window.list_clear();
  window.set_text(Control::scan_status_label, scanning_text());
  set_scan_buttons_enabled(window, false);

  int32_t found_count = 0;
  // Kept wider than the numbers it counts, so that trying 2147483647 ends
  // the scan instead of wrapping round to negative numbers.
  int64_t current_number = text_to_int(window.get_text(Control::start_number_box));
  const int32_t count = text_to_int(window.get_text(Control::count_box));
  for (int64_t iteration = 1; iteration <= count; ++iteration) {
    if (context.stop_requested || window.closing()) break;
    if (current_number > std::numeric_limits<int32_t>::max()) break;
    const Text address = context.group_site + int_to_text(static_cast<int32_t>(current_number));
    const Text page = fetch_page(address, method_post);
    if (find_text(page, public_marker, earliest_marker_position) != not_found &&
        list_group(window, matcher, page, address)) {
      ++found_count;
      window.process_pending_events();
    }
    ++current_number;
    wait_responsive(window, pause_milliseconds);
  }

  // The first number not tried; past 2147483647 it is written out all the same.
  window.set_text(Control::start_number_box, std::to_string(current_number));
  window.set_text(Control::scan_status_label, summary_text(found_count));
  set_scan_buttons_enabled(window, true);
}

void open_group_page(Window& window) {
  const std::vector<int> selected = window.list_selected_rows();
  if (selected.empty()) return;
  window.open_address(window.list_cell_text(selected.front(), address_column));
}

}  // namespace vorpane
