#include "store/store_error.h"

#include <gtest/gtest.h>

#include <set>

#include "web/codepage.h"

namespace vorpane {
namespace {

TEST(StoreErrorMessage, KeyMessagesAreExactCodePage936Bytes) {
  const std::pair<int32_t, Text> pinned[] = {
      {store_unclassified_error, "\xCE\xB4\xD6\xAA\xB4\xED\xCE\xF3"},
      {store_lock_violation, "\xBC\xD3\xCB\xF8\xCE\xC4\xBC\xFE\xCA\xA7\xB0\xDC"},
      // The trailing blank belongs to the message.
      {store_no_fields,
       "\xD7\xD6\xB6\xCE\xCA\xFD\xC4\xBF\xB1\xD8\xD0\xEB\xB4\xF3\xD3\xDA\x20\x30\x20"},
      {store_invalid_field_name,
       "\xCE\xDE\xD0\xA7\xB5\xC4\xD7\xD6\xB6\xCE\xC3\xFB\xB3\xC6\xA1\xA3\xC3\xFB\xB3\xC6\xCA\xD7"
       "\xD7\xD6\xB7\xFB\xB1\xD8\xD0\xEB\xCE\xAA\xC8\xAB\xB0\xEB\xBD\xC7\xD7\xD6\xC4\xB8\xBB\xF2"
       "\xBA\xBA\xD7\xD6\xA3\xAC\xC6\xE4\xCB\xFB\xD7\xD6\xB7\xFB\xB1\xD8\xD0\xEB\xCE\xAA\xC8\xAB"
       "\xB0\xEB\xBD\xC7\xD7\xD6\xC4\xB8\xA1\xA2\xC8\xAB\xB0\xEB\xBD\xC7\xCA\xFD\xD7\xD6\xBB\xF2"
       "\xBA\xBA\xD7\xD6\xA1\xA3\xC3\xFB\xB3\xC6\xB3\xA4\xB6\xC8\xB1\xD8\xD0\xEB\xD0\xA1\xD3\xDA"
       "\x20\x31\x36\x20\xD7\xD6\xB7\xFB"},
      {store_not_a_store_file,
       "\xD6\xB8\xB6\xA8\xCE\xC4\xBC\xFE\xB2\xBB\xCA\xC7\xCA\xFD\xBE\xDD\xBF\xE2\xCE\xC4\xBC\xFE"},
      {store_already_open,
       "\xD6\xB8\xB6\xA8\xCA\xFD\xBE\xDD\xBF\xE2\xD2\xD1\xBE\xAD\xB1\xBB\xB4\xF2\xBF\xAA"},
      {store_value_type_mismatch,
       "\xCB\xF9\xCC\xE1\xB9\xA9\xCA\xFD\xBE\xDD\xB5\xC4\xC0\xE0\xD0\xCD\xD3\xEB\xD7\xD6\xB6\xCE"
       "\xC0\xE0\xD0\xCD\xB2\xBB\xC6\xA5\xC5\xE4"},
  };
  for (const auto& [code, message] : pinned) {
    EXPECT_EQ(store_error_message(code), message) << code;
  }
}

TEST(StoreErrorMessage, SuccessIsEmptyAndUnknownCodesGetTheUnclassifiedMessage) {
  EXPECT_EQ(store_error_message(store_ok), "");
  for (const int32_t unknown : {1, -24, -37, -46, -100, INT32_MIN}) {
    EXPECT_EQ(store_error_message(unknown), store_error_message(store_unclassified_error))
        << unknown;
  }
}

TEST(StoreErrorMessage, EveryCodeHasItsOwnMessageThatSurvivesARoundTrip) {
  const int32_t codes[] = {-1,  -2,  -3,  -4,  -5,  -6,  -7,  -8,  -9,  -10, -11,
                           -12, -13, -14, -15, -16, -17, -18, -19, -20, -21, -22,
                           -23, -38, -45, -47, -60, -61, -63, -65, -66, -67, -72};
  std::set<Text> distinct;
  for (const int32_t code : codes) {
    const Text message = store_error_message(code);
    // No "?" from a character that code page 936 lacks.
    EXPECT_EQ(message.find('?'), Text::npos) << code;
    EXPECT_EQ(cp936_from_utf8(cp936_to_utf8(message)), message) << code;
    distinct.insert(message);
  }
  EXPECT_EQ(distinct.size(), std::size(codes));
}

}  // namespace
}  // namespace vorpane
