// The group scan: requests the page of each group number in turn, keeps the
// pages whose invitation code is public and lists their facts, one row each.
#pragma once

#include "shell/window.h"
#include "web/text.h"

namespace vorpane {

// One row of the result list, in column order.
struct GroupRow {
  Text name;          // 群名
  Text number;        // 群号, as the page shows it
  Text creator;       // 创建者
  Text address;       // 群地址, the address the page was requested from
  Text member_count;  // 成员数
  Text introduction;  // 群简介
};

// What a scan needs besides the window: the group site's base address (a
// plain http address ending in "/") and the program-wide stop request, which
// the stop button sets and every scan clears at its start.
struct ScanContext {
  Text group_site;
  bool stop_requested = false;
};

// Scans from the number in the start box over the count in the count box:
// POSTs for each page, lists every public group, pausing 50 ms after each
// number while the window processes its events, and ends early when a stop
// is requested or the window is closing. Afterwards the start box holds the
// first number not tried and the scan status label the summary. The fetch,
// save and fetch-and-save buttons are disabled while it runs.
void scan_groups(Window& window, ScanContext& context);

// Opens the page of the selected row with the lowest index in the desktop's
// browser; does nothing when no row is selected.
void open_group_page(Window& window);

}  // namespace vorpane
