// The bundled sample group site: answers for /group/<number> generated from
// the number alone, so every run serves the same pages.
//
// By the number's last digit:
//   0, 3, 6  a public group, page in code page 936
//   1        a public group, page in UTF-8 saying so in its head alone
//   7        a public group, page in UTF-8 saying so only in its headers
//   9        "301 Moved Permanently" to /group/public/<number>, a public group
//   2        a private group: the invitation code is not public
//   4        a short "no such group" page, too short to hold the marker late enough
//   5        the marker only near the top of the page, before byte 3000
//   8        an error answer: 404 for even tens, 500 for odd ones
// Other paths give 404.
#pragma once

#include <string_view>

#include "loopback_server/loopback_server.h"

namespace vorpane {

inline constexpr std::string_view sample_site_group_path = "/group/";

LoopbackResponse sample_site_answer(const LoopbackRequest& request);

}  // namespace vorpane
