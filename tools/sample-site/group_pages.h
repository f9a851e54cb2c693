// Group pages as the group site serves them, built from a plain set of
// options: for tests, benchmarks and the bundled sample site. The same options
// always give the same bytes.
//
// A page is HTML in code page 936 with LF (or CR LF) line ends: a head, a
// navigation bar, each group's facts in the site's layout (the one the scan's
// group pattern reads), a list of topics, the invitation block with the
// public marker (or a notice that the code is not public), more groups and a
// footer, padded to the size asked for.
#pragma once

#include <cstdint>
#include <vector>

#include "web/text.h"

namespace vorpane {

// The five facts a group's page shows.
struct GroupFacts {
  Text name;
  Text number;  // as the page shows it
  Text creator;
  Text member_count;
  Text introduction;

  bool operator==(const GroupFacts&) const = default;
};

// Typical facts of the group with this number, the same on every call.
GroupFacts sample_group_facts(int32_t group_number);

struct GroupPageOptions {
  // The layout of each group, one after another; none gives a page without it.
  std::vector<GroupFacts> groups;
  // With a public code the page carries the public marker; without, a notice
  // of the same length in its place.
  bool invitation_code_public = true;
  // Byte position, counted from 1, at which the marker (or the notice)
  // begins; later only when what comes before it is longer.
  int32_t marker_position = 3600;
  // The layout's tags written in capitals ("<H4 >", "<SPAN >", "<P >").
  bool capital_tags = false;
  // Every line, the layout's included, ended by CR LF instead of LF.
  bool crlf_line_ends = false;
  // Length of the page in bytes; longer only when the content needs it.
  int32_t page_size = 20 * 1024;
};

// A typical public page of the group with this number: its sample facts, the
// code public, everything else at its default.
GroupPageOptions public_group_page_options(int32_t group_number);

Text build_group_page(const GroupPageOptions& options);

}  // namespace vorpane
