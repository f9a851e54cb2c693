// Cookie texts kept by the program itself: name=value pieces separated by
// ";" (written with "; " between them). Names compare exactly, letter case
// included; a piece ending in "=deleted" is a cookie the server removed.
#pragma once

#include "web/text.h"

namespace vorpane {

// Merges the cookies a response set into the cookies sent: new values
// replace old ones of the same name, deleted cookies drop out, exact repeats
// go. Both arguments are changed: `cookies` receives the merged text (also
// the result) and `received` loses its spaces.
Text merge_cookies(Text& cookies, Text& received);

// The trimmed part of a piece before its first "=", or the whole piece.
Text cookie_name(TextView piece);

// The text with every piece that repeats an earlier one exactly removed.
Text join_distinct(TextView text, TextView separator);

}  // namespace vorpane
