#include "web/text.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>

namespace vorpane {
namespace {

struct FindCase {
  const char* name;
  Text text;
  Text sought;
  int start_position;
  bool ignore_case;
  int expected;
};

class FindTextTest : public testing::TestWithParam<FindCase> {};

TEST_P(FindTextTest, GivesPosition) {
  const FindCase& c = GetParam();
  EXPECT_EQ(find_text(c.text, c.sought, c.start_position, c.ignore_case), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindTextTest,
    testing::Values(FindCase{"IgnoringCase", "aBc", "b", 0, true, 2},
                    FindCase{"ExactCase", "aBc", "b", 0, false, -1},
                    FindCase{"FromThirdIgnoringCase", "aBc", "b", 3, true, -1},
                    FindCase{"FromThirdExact", "aBc", "b", 3, false, -1},
                    FindCase{"StartZeroAndOneAreTheBeginning", "abc", "a", 1, false, 1},
                    FindCase{"NegativeStartIsTheBeginning", "abc", "a", -7, false, 1},
                    FindCase{"LowestStartIsTheBeginning", "abc", "c",
                             std::numeric_limits<int>::min(), false, 3},
                    FindCase{"StartBeyondEnd", "abc", "c", 4, false, -1},
                    FindCase{"HighestStart", "abc", "c", std::numeric_limits<int>::max(), false,
                             -1},
                    FindCase{"SecondByteIsNoCandidate",
                             "\xC4"
                             "b",
                             "b", 0, false, -1},
                    FindCase{"AfterDoubleByteCharacter",
                             "x\xC4"
                             "bb",
                             "b", 0, false, 4},
                    FindCase{"EmptySoughtGivesOne", "abc", "", 3, false, 1},
                    FindCase{"EmptySoughtInEmptyText", "", "", 0, false, -1},
                    FindCase{"EmptySoughtPastEnd", "abc", "", 4, false, -1},
                    FindCase{"SoughtLongerThanText", "ab", "abc", 0, false, -1},
                    FindCase{"MatchMustLieWithinText", "abca", "ab", 3, false, -1},
                    FindCase{"DoubleByteSought", "a\xD6\xD0\xCE\xC4", "\xCE\xC4", 0, false, 4},
                    FindCase{"DoubleByteSoughtNotAcrossCharacters", "\xD6\xD0\xCE\xC4", "\xD0\xCE",
                             0, false, -1},
                    // The start byte counts as a character start even inside a character.
                    FindCase{"StartInsideCharacter",
                             "\xC4"
                             "b",
                             "b", 2, false, 2},
                    FindCase{"PairsFromTheBeginning",
                             "\xC4\xC4\xC4"
                             "b",
                             "\xC4"
                             "b",
                             0, false, 3},
                    FindCase{"PairsFromInsideCharacter",
                             "\xC4\xC4\xC4"
                             "b",
                             "\xC4"
                             "b",
                             2, false, -1},
                    FindCase{"LongRunOfLeadBytesEven",
                             "\xB0\xA1\xB0\xA1\xB0\xA1"
                             "a",
                             "a", 0, false, 7},
                    FindCase{"LongRunOfLeadBytesSecondByte",
                             "\xB0\xB0\xB0"
                             "a"
                             "a",
                             "a", 0, false, 5},
                    FindCase{"LoneLeadByteAtEndEndsSearch", "ab\xC4", "\xC4", 0, false, -1},
                    FindCase{"LeadByteItselfSought", "a\xC4\x62", "\xC4", 0, false, 2},
                    FindCase{"FoldingReachesSecondBytes", "\xC4\x41", "\xC4\x61", 0, true, 1},
                    FindCase{"FoldingOnlyAsciiLetters", "\xC4\xE1", "\xC4\xC1", 0, true, -1},
                    FindCase{"FirstByteOtherCaseLater", "aaaaAb", "ab", 0, true, 5},
                    FindCase{"UpperSoughtLowerText", "xxab", "AB", 0, true, 3},
                    FindCase{"NotALetterNoFolding", "[{", "{", 0, true, 2},
                    FindCase{"ByteFF",
                             "\xFF\xFF"
                             "a",
                             "a", 0, false, 3},
                    FindCase{"Byte80",
                             "\x80"
                             "a"
                             "a",
                             "a", 0, false, 3}),
    [](const testing::TestParamInfo<FindCase>& info) { return info.param.name; });

TEST(FindLastText, FindsLastOccurrenceAtCharacterStarts) {
  EXPECT_EQ(find_last_text("a:b:c", ":"), 4);
  EXPECT_EQ(find_last_text("a:b:\xC4:", ":"), 4);  // the last ":" is a second byte
  EXPECT_EQ(find_last_text("aaa", "aa"), 2);       // occurrences may overlap
  EXPECT_EQ(find_last_text("abc", "x"), -1);
  EXPECT_EQ(find_last_text("", ":"), -1);
  EXPECT_EQ(find_last_text("abc", ""), -1);
  EXPECT_EQ(find_last_text("aBc", "b"), -1);  // exact case
}

TEST(TextLeftRightMid, KeepWithinLimits) {
  EXPECT_EQ(text_left("abc", 2), "ab");
  EXPECT_EQ(text_left("abc", 5), "abc");
  EXPECT_EQ(text_left("abc", 0), "");
  EXPECT_EQ(text_left("abc", -2), "");
  EXPECT_EQ(text_right("abc", 2), "bc");
  EXPECT_EQ(text_right("abc", 9), "abc");
  EXPECT_EQ(text_right("abc", -1), "");
  EXPECT_EQ(text_mid("abcde", 2, 3), "bcd");
  EXPECT_EQ(text_mid("abcde", 4, 9), "de");
  EXPECT_EQ(text_mid("abcde", 5, 1), "e");
  EXPECT_EQ(text_mid("abcde", 6, 1), "");
  EXPECT_EQ(text_mid("abcde", 0, 2), "");
  EXPECT_EQ(text_mid("abcde", -3, 2), "");
  EXPECT_EQ(text_mid("abcde", 2, 0), "");
  EXPECT_EQ(text_mid("abcde", 2, -1), "");
  EXPECT_EQ(text_mid("abcde", 1, std::numeric_limits<int>::max()), "abcde");
  EXPECT_EQ(text_right("abc", std::numeric_limits<int>::max()), "abc");
}

struct TransformCase {
  const char* name;
  Text input;
  Text expected;
};

class TrimSpacesTest : public testing::TestWithParam<TransformCase> {};
TEST_P(TrimSpacesTest, Trims) {
  EXPECT_EQ(trim_spaces(GetParam().input), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    Cases, TrimSpacesTest,
    testing::Values(TransformCase{"BothKindsBothSides", "\xA1\xA1 x y \xA1\xA1", "x y"},
                    TransformCase{"TabsStay", "\tx\t", "\tx\t"},
                    TransformCase{"CrLfStay", " x\r\n", "x\r\n"},
                    TransformCase{"OnlySpaces", " \xA1\xA1 ", ""}, TransformCase{"Empty", "", ""},
                    TransformCase{"LoneLeadByteDropped", "x \xC4", "x"},
                    TransformCase{"LoneLeadByteAlone", "\xC4", ""},
                    TransformCase{"FullWidthSpaceNeedsWholeCharacter", "\xB0\xA1\xA1 ",
                                  "\xB0\xA1\xA1 "},
                    TransformCase{"SecondByteSpaceIsNoSpace", " \xC4 ", "\xC4 "},
                    TransformCase{"DoubleByteKept", " \xD6\xD0 ", "\xD6\xD0"}),
    [](const testing::TestParamInfo<TransformCase>& info) { return info.param.name; });

class RemoveSpacesTest : public testing::TestWithParam<TransformCase> {};
TEST_P(RemoveSpacesTest, Removes) {
  EXPECT_EQ(remove_spaces(GetParam().input), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    Cases, RemoveSpacesTest,
    testing::Values(TransformCase{"Everywhere", " a =1;\xA1\xA1 b=2 ", "a=1;b=2"},
                    TransformCase{"TabsStay", "a\tb", "a\tb"},
                    TransformCase{"LoneLeadByteDropped", "a \xC4", "a"},
                    TransformCase{"FullWidthSpaceOnlyWhole", "\xB0\xA1\xA1\xA1", "\xB0\xA1"},
                    TransformCase{"SecondByteSpaceStays", "\xC4 x", "\xC4 x"}),
    [](const testing::TestParamInfo<TransformCase>& info) { return info.param.name; });

TEST(ToLower, FoldsSingleByteLettersOnly) {
  EXPECT_EQ(to_lower("HTTP://Ab.C/"), "http://ab.c/");
  EXPECT_EQ(to_lower("\xC4\x42Z"), "\xC4\x42z");  // a second byte "B" stays
  EXPECT_EQ(to_lower("A\xC4"), "a\xC4");
  EXPECT_EQ(to_lower(""), "");
}

struct SplitCase {
  const char* name;
  Text text;
  Text separator;
  std::vector<Text> expected;
};

class SplitTextTest : public testing::TestWithParam<SplitCase> {};
TEST_P(SplitTextTest, Splits) {
  EXPECT_EQ(split_text(GetParam().text, GetParam().separator), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    Cases, SplitTextTest,
    testing::Values(
        SplitCase{"EmptyPiecesBeforeSeparatorsCount", "a;;b;", ";", {"a", "", "b"}},
        SplitCase{"LeadingSeparator", ";a", ";", {"", "a"}}, SplitCase{"EmptyText", "", ";", {}},
        SplitCase{"EmptySeparator", "a;b", "", {"a;b"}}, SplitCase{"OnlySeparator", ";", ";", {""}},
        SplitCase{"LongSeparator", "1 | 2 | 3", " | ", {"1", "2", "3"}},
        SplitCase{"SeparatorAsSecondByteIsNoSeparator", "\xC4;a;b", ";", {"\xC4;a", "b"}},
        SplitCase{"CrLfLines", "A\r\nB\r\n\r\n", "\r\n", {"A", "B", ""}}),
    [](const testing::TestParamInfo<SplitCase>& info) { return info.param.name; });

TEST(SplitText, DefaultSeparatorIsComma) {
  EXPECT_EQ(split_text("a,b"), (std::vector<Text>{"a", "b"}));
}

TEST(ReplaceText, ReplacesWholeCharactersWithoutOverlap) {
  EXPECT_EQ(replace_text("aaa", "aa", "b"), "ba");
  EXPECT_EQ(replace_text("x#y#", "#", "\"\""), "x\"\"y\"\"");
  EXPECT_EQ(replace_text("\xC4#a#", "#", "-"), "\xC4#a-");
  EXPECT_EQ(replace_text("abc", "", "x"), "abc");
  EXPECT_EQ(replace_text("", "a", "x"), "");
  EXPECT_EQ(replace_text("aBc", "b", "x"), "aBc");
}

TEST(BytesAndText, ConvertAndStopAtZero) {
  EXPECT_EQ(text_to_bytes("a\xC4"), (Bytes{'a', 0xC4}));
  EXPECT_EQ(bytes_to_text(Bytes{'a', 'b', 0, 'c'}), "ab");
  EXPECT_EQ(bytes_to_text(Bytes{0, 'c'}), "");
  EXPECT_EQ(bytes_to_text(Bytes{'a', 0xFF}), "a\xFF");
  EXPECT_EQ(bytes_to_text(Bytes{}), "");
}

TEST(FindBytes, ComparesBytesExactly) {
  const Bytes page = text_to_bytes("<meta charset=utf-8>");
  EXPECT_EQ(find_bytes(page, "utf-8"), 15);
  EXPECT_EQ(find_bytes(page, "UTF-8"), -1);
  EXPECT_EQ(find_bytes(page, ""), -1);
  EXPECT_EQ(find_bytes(Bytes{}, "a"), -1);
  // Bytes have no characters: a match may start on any byte, beyond a zero too.
  EXPECT_EQ(find_bytes(Bytes{0xC4, 'b', 0, 'c'}, "b"), 2);
  EXPECT_EQ(find_bytes(Bytes{0xC4, 'b', 0, 'c'}, "c"), 4);
}

struct IntCase {
  const char* name;
  Text text;
  int32_t expected;
};

class TextToIntTest : public testing::TestWithParam<IntCase> {};
TEST_P(TextToIntTest, Reads) {
  EXPECT_EQ(text_to_int(GetParam().text), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    Cases, TextToIntTest,
    testing::Values(IntCase{"Plain", "10000000", 10000000}, IntCase{"LeadingZeros", "0010", 10},
                    IntCase{"Letters", "abc", 0}, IntCase{"Empty", "", 0},
                    IntCase{"DigitsThenLetters", "12ab3", 12}, IntCase{"Negative", "-45", -45},
                    IntCase{"Plus", "+7", 7}, IntCase{"SignTwice", "--7", 0},
                    IntCase{"LeadingWhiteSpace", " \t\r\n\v\f42", 42},
                    IntCase{"FullWidthDigits", "\xA3\xB1\xA3\xB2\xA3\xB3", 123},
                    IntCase{"FullWidthMinus", "\xA3\xAD\xA3\xB5", -5},
                    IntCase{"FullWidthSpaceSkipped",
                            "\xA1\xA1"
                            "8",
                            8},
                    IntCase{"MixedWidthDigits",
                            "1\xA3\xB2"
                            "3",
                            123},
                    IntCase{"OtherDoubleByteStops",
                            "\xD6\xD0"
                            "5",
                            0},
                    IntCase{"TildeIsNoDigit",
                            "\xA1\xAB"
                            "5",
                            0},
                    IntCase{"LoneLeadByteAfterDigits", "12\xA3", 12},
                    IntCase{"LoneLeadByteAlone", "\xA3", 0},
                    IntCase{"Highest", "2147483647", 2147483647},
                    IntCase{"AboveHighestSaturates", "2147483648", 2147483647},
                    IntCase{"FarAboveSaturates", "99999999999999999999999", 2147483647},
                    IntCase{"Lowest", "-2147483648", std::numeric_limits<int32_t>::min()},
                    IntCase{"BelowLowestSaturates", "-2147483649",
                            std::numeric_limits<int32_t>::min()}),
    [](const testing::TestParamInfo<IntCase>& info) { return info.param.name; });

TEST(IntToText, WritesPlainDecimal) {
  EXPECT_EQ(int_to_text(0), "0");
  EXPECT_EQ(int_to_text(10000100), "10000100");
  EXPECT_EQ(int_to_text(-5), "-5");
  EXPECT_EQ(int_to_text(std::numeric_limits<int32_t>::max()), "2147483647");
  EXPECT_EQ(int_to_text(std::numeric_limits<int32_t>::min()), "-2147483648");
}

struct BetweenCase {
  const char* name;
  Text text;
  Text start_marker;
  Text end_marker;
  int start_position;
  bool case_sensitive;
  Text expected;
};

const Text quote_mark_word = "#\xD2\xFD\xBA\xC5";  // "#引号"

class TextBetweenTest : public testing::TestWithParam<BetweenCase> {};
TEST_P(TextBetweenTest, Cuts) {
  const BetweenCase& c = GetParam();
  EXPECT_EQ(text_between(c.text, c.start_marker, c.end_marker, c.start_position, c.case_sensitive),
            c.expected);
}
INSTANTIATE_TEST_SUITE_P(
    Cases, TextBetweenTest,
    testing::Values(
        BetweenCase{"QuoteMarkWord", "href=\"x\"", "href=" + quote_mark_word, quote_mark_word, 0,
                    false, "x"},
        BetweenCase{"MissingStart", "abc", "x", "c", 0, false, ""},
        BetweenCase{"EndOnlyBeforeStart", "c a b", "a", "c", 0, false, ""},
        BetweenCase{"EndRightAfterStart", "ab", "a", "b", 0, false, ""},
        BetweenCase{"CaseIgnoredByDefault", "Set-Cookie: a=1; path=/", "set-cookie:", ";", 0, false,
                    " a=1"},
        BetweenCase{"CaseSensitive", "Set-Cookie: a=1;", "set-cookie:", ";", 0, true, ""},
        BetweenCase{"FromStartPosition", "[a][b]", "[", "]", 2, false, "b"},
        BetweenCase{"FirstStartNextEnd", "<x>1</x><x>2</x>", "<x>", "</x>", 0, false, "1"},
        BetweenCase{"EndMarkerAfterDoubleByte", "s\xC4/x/", "s", "/", 0, false, "\xC4/x"},
        BetweenCase{"EmptyText", "", "a", "b", 0, false, ""}),
    [](const testing::TestParamInfo<BetweenCase>& info) { return info.param.name; });

TEST(HeaderValue, TrimmedTextAfterFirstColon) {
  EXPECT_EQ(header_value("Location: x "), "x");
  EXPECT_EQ(header_value("no colon here"), "");
  EXPECT_EQ(header_value("Location: http://h:81/p"), "http://h:81/p");
  EXPECT_EQ(header_value("Name:"), "");
  EXPECT_EQ(header_value("\xC4:x: y"), "y");  // the first ":" is a second byte
}

// Random byte strings, biased towards the bytes that matter (lead bytes,
// separators, letters), must keep the primitives' invariants.
class RandomText {
 public:
  explicit RandomText(uint32_t seed) : engine_(seed) {}

  Text next(size_t max_length) {
    static constexpr unsigned char alphabet[] = {'a',  'B',  ';',  ' ',  ':',  '/',  '=',  '0', '9',
                                                 0x80, 0xA1, 0xA3, 0xB0, 0xC4, 0xFF, 0x5C, 0x7F};
    std::uniform_int_distribution<size_t> length(0, max_length);
    std::uniform_int_distribution<size_t> pick(0, sizeof alphabet - 1);
    Text text(length(engine_), '\0');
    for (char& byte : text)
      byte = static_cast<char>(alphabet[pick(engine_)]);
    return text;
  }

 private:
  std::mt19937 engine_;
};

std::vector<bool> character_starts(TextView text) {
  std::vector<bool> starts(text.size(), false);
  for (size_t i = 0; i < text.size(); i += static_cast<unsigned char>(text[i]) >= 0x80 ? 2 : 1) {
    starts[i] = true;
  }
  return starts;
}

// The search as stated: step through the characters from the start byte and
// compare at each. The fast search must agree with it everywhere.
int reference_find_text(TextView text, TextView sought, int start_position, bool ignore_case) {
  const size_t start = start_position > 1 ? static_cast<size_t>(start_position) - 1 : 0;
  if (start >= text.size()) return -1;
  if (sought.empty()) return 1;
  auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
  for (size_t i = start; i < text.size();) {
    const bool lead = static_cast<unsigned char>(text[i]) >= 0x80;
    if (lead && i + 1 == text.size()) return -1;
    if (i + sought.size() <= text.size()) {
      bool equal = true;
      for (size_t k = 0; k < sought.size() && equal; ++k) {
        equal = ignore_case ? fold(text[i + k]) == fold(sought[k]) : text[i + k] == sought[k];
      }
      if (equal) return static_cast<int>(i + 1);
    }
    i += lead ? 2 : 1;
  }
  return -1;
}

TEST(RandomTexts, FindTextAgreesWithCharacterWalk) {
  RandomText random(7);
  std::mt19937 engine(11);
  for (int round = 0; round < 50000; ++round) {
    const Text text = random.next(40);
    const Text sought = random.next(3);
    const int start = std::uniform_int_distribution<int>(-1, 42)(engine);
    const bool ignore_case = round % 2 == 1;
    ASSERT_EQ(find_text(text, sought, start, ignore_case),
              reference_find_text(text, sought, start, ignore_case))
        << "round " << round;
  }
}

TEST(RandomTexts, KeepInvariants) {
  RandomText random(20261211);
  for (int round = 0; round < 20000; ++round) {
    const Text text = random.next(24);
    const Text sought = random.next(3);
    const std::vector<bool> starts = character_starts(text);
    const int found = find_text(text, sought);
    if (found != -1 && !sought.empty()) {
      ASSERT_GE(found, 1);
      ASSERT_LE(static_cast<size_t>(found) + sought.size() - 1, text.size());
      ASSERT_TRUE(starts[static_cast<size_t>(found) - 1]);
      ASSERT_EQ(TextView(text).substr(static_cast<size_t>(found) - 1, sought.size()), sought);
    }
    const int last = find_last_text(text, sought);
    ASSERT_TRUE(last == -1 || (found != -1 && last >= found));
    if (last != -1) {
      ASSERT_TRUE(starts[static_cast<size_t>(last) - 1]);
    }
    ASSERT_EQ(found == -1 || sought.empty(), last == -1);

    // Joining the pieces with the separator gives the text back, less a
    // trailing separator that ended it.
    if (!sought.empty()) {
      const std::vector<Text> pieces = split_text(text, sought);
      Text joined;
      for (size_t i = 0; i < pieces.size(); ++i)
        joined += (i ? sought : "") + pieces[i];
      const bool ends_with_separator =
          !pieces.empty() && joined.size() + sought.size() == text.size();
      ASSERT_EQ(ends_with_separator ? joined + sought : joined, text);
    }

    const Text trimmed = trim_spaces(text);
    ASSERT_LE(trimmed.size(), text.size());
    if (!trimmed.empty()) {
      ASSERT_NE(find_text(text, trimmed), -1);
    }
    ASSERT_LE(remove_spaces(text).size(), text.size());
    ASSERT_EQ(to_lower(text).size(), text.size());
    (void)text_to_int(text);
    (void)text_between(text, sought, ";");
    (void)header_value(text);
  }
}

}  // namespace
}  // namespace vorpane
