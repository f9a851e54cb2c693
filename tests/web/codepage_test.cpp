#include "web/codepage.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <cstdint>
#include <memory>

namespace vorpane {
namespace {

Bytes bytes_of(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

TEST(Utf8ToCp936, ConvertsChineseText) {
  EXPECT_EQ(utf8_to_cp936(bytes_of("\xE4\xB8\xAD\xE6\x96\x87")), (Bytes{0xD6, 0xD0, 0xCE, 0xC4}));
  EXPECT_EQ(utf8_to_cp936(Bytes{}), Bytes{});
}

struct ConversionCase {
  const char* name;
  std::string utf8;
  Text cp936;
};

class Cp936FromUtf8Test : public testing::TestWithParam<ConversionCase> {};
TEST_P(Cp936FromUtf8Test, Converts) {
  EXPECT_EQ(cp936_from_utf8(GetParam().utf8), GetParam().cp936);
  EXPECT_EQ(utf8_to_cp936(bytes_of(GetParam().utf8)), bytes_of(GetParam().cp936));
}
INSTANTIATE_TEST_SUITE_P(
    Cases, Cp936FromUtf8Test,
    testing::Values(ConversionCase{"Ascii", "abc 123\r\n", "abc 123\r\n"},
                    ConversionCase{"Euro", "\xE2\x82\xAC", "\x80"},
                    ConversionCase{"FullWidthColon", "\xEF\xBC\x9A", "\xA3\xBA"},
                    ConversionCase{"Marker", "群邀请码已公开",
                                   "\xC8\xBA\xD1\xFB\xC7\xEB\xC2\xEB\xD2\xD1\xB9\xAB\xBF\xAA"},
                    ConversionCase{"NoFormBecomesQuestionMark",
                                   "a\xC3\xA5"
                                   "b",
                                   "a?b"},
                    ConversionCase{"SupplementaryIsOneQuestionMark", "\xF0\x9F\x98\x80", "?"},
                    ConversionCase{"InvalidUtf8",
                                   "a\xFF\xFE"
                                   "b",
                                   "a??b"},
                    ConversionCase{"TruncatedSequenceAtEnd", "a\xE4\xB8", "a?"},
                    ConversionCase{"EncodedSurrogate", "\xED\xA0\x80", "???"},
                    ConversionCase{"BaseAndCombiningMarkComposed", "e\xCC\x81", "\xA8\xA6"},
                    ConversionCase{"CompatibilityIdeographKept", "\xEF\xA8\x8C", "\xFE\x40"},
                    ConversionCase{"EmbeddedZeroKept", std::string("a\0b", 3), Text("a\0b", 3)}),
    [](const testing::TestParamInfo<ConversionCase>& info) { return info.param.name; });

TEST(Utf8ToUtf16, GivesCodeUnits) {
  EXPECT_EQ(utf8_to_utf16(bytes_of("a\xE4\xB8\xAD\xF0\x9F\x98\x80")), u"a\u4E2D\U0001F600");
  EXPECT_EQ(utf8_to_utf16(bytes_of("\xC0\xAF")), u"\uFFFD\uFFFD");
  EXPECT_EQ(utf8_to_utf16(Bytes{}), u"");
}

TEST(Cp936ToUtf16, ReplacesWhatIsNotCodePage936) {
  EXPECT_EQ(cp936_to_utf16("\x80"
                           "a\xD6\xD0"),
            u"\u20ACa\u4E2D");
  EXPECT_EQ(cp936_to_utf16("a\xC4"), u"a\uFFFD");  // lone lead byte at the end
  EXPECT_EQ(cp936_to_utf16(""), u"");
  const std::u16string bad_second_byte = cp936_to_utf16("\x81\x20x");
  EXPECT_EQ(bad_second_byte.back(), u'x');
  EXPECT_NE(bad_second_byte.find(u'\uFFFD'), std::u16string::npos);
}

TEST(Cp936ToUtf8, ConvertsForFileNames) {
  EXPECT_EQ(cp936_to_utf8("\xB9\xAB\xBF\xAA\xC8\xBA.txt"), "公开群.txt");
  EXPECT_EQ(cp936_from_utf8("公开群.txt"), "\xB9\xAB\xBF\xAA\xC8\xBA.txt");
}

// Every double-byte code that code page 936 assigns must come back unchanged
// from UTF-16, and every single byte too.
TEST(Cp936RoundTrip, EveryAssignedCodeComesBack) {
  int assigned = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int second = 0x40; second <= 0xFE; ++second) {
      if (second == 0x7F) continue;
      const Text code{static_cast<char>(lead), static_cast<char>(second)};
      const std::u16string unicode = cp936_to_utf16(code);
      ASSERT_FALSE(unicode.empty());
      if (unicode == u"\uFFFD") continue;
      ASSERT_EQ(unicode.size(), 1u) << std::hex << lead << second;
      ASSERT_EQ(cp936_from_utf16(unicode), code) << std::hex << lead << ' ' << second;
      ++assigned;
    }
  }
  // GBK's 21,886 characters and symbols plus the user-defined areas.
  EXPECT_GE(assigned, 21886);
  for (int byte = 0; byte < 0x80; ++byte) {
    const Text code(1, static_cast<char>(byte));
    EXPECT_EQ(cp936_from_utf16(cp936_to_utf16(code)), code);
  }
  EXPECT_EQ(cp936_from_utf16(cp936_to_utf16("\x80")), "\x80");
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
