// Conversions between code page 936, UTF-8 and UTF-16, on ICU's table for
// Windows code page 936 (0x80 is the euro sign).
//
// A character with no form in code page 936 becomes "?"; invalid UTF-8 and
// bytes that are not code page 936 become U+FFFD on the way to UTF-16 (and so
// "?" on the way back). A base character followed by combining marks is
// composed into its precomposed form first where one exists. Every function
// accepts any input and never fails.
#pragma once

#include <string>
#include <string_view>

#include "web/text.h"

namespace vorpane {

// UTF-16 code units of `utf8` read as UTF-8.
std::u16string utf8_to_utf16(const Bytes& utf8);

// Code page 936 bytes of `utf8` read as UTF-8.
Bytes utf8_to_cp936(const Bytes& utf8);

// The same conversions on text, for the window and for file names.
std::u16string cp936_to_utf16(TextView text);
Text cp936_from_utf16(std::u16string_view text);

// Byte offset in `text` of the character that UTF-16 unit `utf16_index` of
// cp936_to_utf16(text) came from; the length of `text` when the index is at or
// past the end of that conversion. Exact for any input, also where invalid
// bytes became U+FFFD.
size_t cp936_offset_of_utf16_index(TextView text, size_t utf16_index);
std::string cp936_to_utf8(TextView text);
Text cp936_from_utf8(std::string_view utf8);

}  // namespace vorpane
