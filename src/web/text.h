// Text primitives on code page 936 byte strings.
//
// A Text is a byte string in code page 936. A character is one byte below
// 0x80, or a lead byte of 0x80 or above and the byte after it. Searches and
// splits step through a text character by character, so a match never starts
// on the second byte of a double-byte character; the byte a search starts at
// counts as a character start. Positions count bytes from 1 and a search that
// finds nothing gives -1. Comparing with case ignored folds the ASCII letters
// of every compared byte, second bytes included. The full-width space is the
// character A1 A1. Every function accepts any byte string and never reads
// outside it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorpane {

using Text = std::string;
using TextView = std::string_view;
using Bytes = std::vector<unsigned char>;

inline constexpr int not_found = -1;

// First occurrence of `sought` at or after `start_position` (0 and 1 both mean
// the beginning). An empty `sought` gives 1 while some text remains, else -1.
// A lead byte at the very end of the text ends the search.
int find_text(TextView text, TextView sought, int start_position = 0, bool ignore_case = false);

// Last occurrence in the whole text, exact case; an empty `sought` gives -1.
int find_last_text(TextView text, TextView sought);

// The first (last) n bytes; all of them when n exceeds the length, none when
// n is 0 or negative.
Text text_left(TextView text, int n);
Text text_right(TextView text, int n);

// n bytes from position `start`, fewer when the text ends first; empty when
// `start` is below 1 or beyond the length, or n is 0 or negative.
Text text_mid(TextView text, int start, int n);

// Without leading and trailing 0x20 and full-width spaces (tabs, CR and LF
// stay); a lone lead byte at the very end is dropped as well.
Text trim_spaces(TextView text);

// Without any 0x20 or full-width space; a lone lead byte at the end is dropped.
Text remove_spaces(TextView text);

// A to Z become a to z; double-byte characters pass unchanged, both bytes.
Text to_lower(TextView text);

// The pieces between separators (exact case). Every piece before a separator
// counts, even an empty one; the piece after the last separator only when it
// is not empty. An empty text gives no piece; an empty separator gives the
// whole text as the one piece.
std::vector<Text> split_text(TextView text, TextView separator = ",");

// Every occurrence of `sought` (exact case, not overlapping) replaced; an
// empty text or an empty `sought` leaves the text as it was.
Text replace_text(TextView text, TextView sought, TextView replacement);

Bytes text_to_bytes(TextView text);

// The bytes before the first zero byte; all of them when there is none.
Text bytes_to_text(const Bytes& bytes);

// First occurrence compared byte by byte, or -1; an empty `sought` gives -1.
int find_bytes(const Bytes& bytes, std::string_view sought);

// The decimal integer at the start of the text, 0 when there is none.
// Full-width digits, signs and spaces count as their ASCII forms; leading
// white space is skipped; a value beyond the 32-bit range saturates.
int32_t text_to_int(TextView text);

// Decimal, a minus sign for negative values, no leading zeros, no grouping.
Text int_to_text(int32_t value);

// The text between the first `start_marker` at or after `start_position` and
// the next `end_marker`; empty when either is missing. "#引号" in a marker
// stands for a double quote. Letter case is ignored unless `case_sensitive`.
Text text_between(TextView text, TextView start_marker, TextView end_marker, int start_position = 0,
                  bool case_sensitive = false);

// The trimmed text after the first ":" of a header line; empty without ":".
Text header_value(TextView line);

}  // namespace vorpane
