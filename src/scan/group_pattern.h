// The two texts by which the scan recognises a public group's page. Both are
// set up before main runs; another file's static initialiser must not read them.
#pragma once

#include "web/text.h"

namespace vorpane {

// The layout of a group's facts on its page: four lines joined by a single
// LF, with lazy capture groups for the name (1), the number as the page shows
// it (2), the creator (3), the member count (4) and the introduction (5).
// Meant for the matcher's defaults: letters in either case, multiline.
extern const Text group_pattern;

// Shown on a page whose invitation code is public; the scan compares it
// byte for byte.
extern const Text public_marker;

}  // namespace vorpane
