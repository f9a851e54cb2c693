#include "web/codepage.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <cstdint>
#include <memory>

namespace vorpane {
namespace {

TEST(Utf8ToCp936, ConvertsChineseText) {
  const Bytes utf8 = {0xE4, 0xB8, 0xAD, 0xE6, 0x96, 0x87};
  EXPECT_EQ(utf8_to_cp936(utf8), (Bytes{0xD6, 0xD0, 0xCE, 0xC4}));
}

// The converter read directly, every byte that is no character one U+FFFD.
std::u16string converted_by_icu(const Text& text) {
  UErrorCode status = U_ZERO_ERROR;
  static const std::unique_ptr<UConverter, void (*)(UConverter*)> converter(
      [] {
        UErrorCode open_status = U_ZERO_ERROR;
        UConverter* opened = ucnv_open("windows-936", &open_status);
        ucnv_setToUCallBack(
            opened,
            [](const void*, UConverterToUnicodeArgs* arguments, const char*, int32_t,
               UConverterCallbackReason reason, UErrorCode* error) {
              if (reason > UCNV_IRREGULAR) return;
              *error = U_ZERO_ERROR;
              const UChar replacement = 0xFFFD;
              ucnv_cbToUWriteUChars(arguments, &replacement, 1, 0, error);
            },
            nullptr, nullptr, nullptr, &open_status);
        return opened;
      }(),
      ucnv_close);
  std::u16string result(text.size() + 1, u'\0');
  const int32_t length = ucnv_toUChars(converter.get(), reinterpret_cast<UChar*>(result.data()),
                                       static_cast<int32_t>(result.size()), text.data(),
                                       static_cast<int32_t>(text.size()), &status);
  result.resize(U_SUCCESS(status) ? static_cast<size_t>(length) : 0);
  return result;
}

TEST(Cp936ToUtf16, ReadsEveryByteSequenceAsTheConverterDoes) {
  for (int first = 0; first < 256; ++first) {
    for (int second = 0; second < 256; ++second) {
      for (const Text& after : {Text(), Text("a"), Text("\xB0")}) {
        const Text text = Text{static_cast<char>(first), static_cast<char>(second)} + after;
        ASSERT_EQ(cp936_to_utf16(text), converted_by_icu(text)) << first << " " << second;
      }
    }
  }
  // Mixed texts, weighted towards the bytes where characters begin and end.
  const unsigned char alphabet[] = {'a',  ' ',  '<',  0x00, 0x3F, 0x40, 0x7E, 0x7F, 0x80,
                                    0x81, 0xA1, 0xA3, 0xB0, 0xD6, 0xD0, 0xFE, 0xFF};
  uint32_t state = 12345;
  for (int round = 0; round < 20000; ++round) {
    Text text;
    state = state * 1664525u + 1013904223u;
    const uint32_t length = (state >> 8) % 40;
    for (uint32_t i = 0; i < length; ++i) {
      state = state * 1664525u + 1013904223u;
      text += static_cast<char>(alphabet[(state >> 8) % sizeof alphabet]);
    }
    ASSERT_EQ(cp936_to_utf16(text), converted_by_icu(text)) << round;
  }
}

TEST(Cp936OffsetOfUtf16Index, MapsUnitsBackToTheirBytes) {
  struct Case {
    const char* name;
    Text text;
    size_t utf16_index;
    size_t offset;
  };
  const Text zhong = "\xD6\xD0";  // one double-byte character, one unit
  const Case cases[] = {
      {"ascii", "abc", 1, 1},
      {"after two double-byte characters", zhong + zhong + "a", 2, 4},
      {"at the end", zhong + zhong + "a", 3, 5},
      {"past the end", "ab", 9, 2},
      {"empty text", "", 0, 0},
      {"single-byte euro sign",
       "\x80"
       "a",
       1, 1},
      {"lone lead byte at the end", "a\xD6", 1, 1},
      {"byte that is no character", "\xFF" + zhong + "a", 2, 3},
      {"beyond one conversion chunk",
       [&] {
         Text long_text;
         for (int i = 0; i < 3000; ++i)
           long_text += zhong;
         return long_text + "a";
       }(),
       3000, 6000},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(cp936_offset_of_utf16_index(c.text, c.utf16_index), c.offset) << c.name;
  }
}

}  // namespace
}  // namespace vorpane
