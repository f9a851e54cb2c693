#include "web/codepage.h"

#include <unicode/normalizer2.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

namespace vorpane {
namespace {

constexpr UChar32 replacement_character = 0xFFFD;

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};

// Unassigned bytes would otherwise come out as U+001A; make every byte that
// is not code page 936 text one replacement character alike.
void to_unicode_replacing(const void*, UConverterToUnicodeArgs* arguments, const char*, int32_t,
                          UConverterCallbackReason reason, UErrorCode* status) {
  if (reason > UCNV_IRREGULAR) return;
  *status = U_ZERO_ERROR;
  const UChar replacement = static_cast<UChar>(replacement_character);
  ucnv_cbToUWriteUChars(arguments, &replacement, 1, 0, status);
}

// One converter per thread, opened on first use: opening is far dearer than
// resetting, and a converter must not be shared between threads.
UConverter* cp936_converter() {
  thread_local std::unique_ptr<UConverter, ConverterCloser> converter = [] {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UConverter, ConverterCloser> opened(ucnv_open("windows-936", &status));
    if (U_FAILURE(status)) return decltype(opened)();
    ucnv_setSubstChars(opened.get(), "?", 1, &status);
    ucnv_setToUCallBack(opened.get(), to_unicode_replacing, nullptr, nullptr, nullptr, &status);
    return opened;
  }();
  if (converter) ucnv_reset(converter.get());
  return converter.get();
}

// The double-byte characters that the converter reads as one unit on their
// own, looked up without a converter call: the common case of a page.
class PairTable {
 public:
  static constexpr unsigned lead_first = 0x81, lead_last = 0xFE;
  static constexpr unsigned trail_first = 0x40, trail_last = 0xFE;
  static constexpr unsigned trails = trail_last - trail_first + 1;
  static constexpr size_t pair_count = (lead_last - lead_first + 1) * trails;

  // The unit of the pair; 0 where the converter must decide (an unassigned or
  // invalid pair, or no pair at all).
  char16_t unit(unsigned char lead, unsigned char trail) const {
    if (lead < lead_first || lead > lead_last || trail < trail_first || trail > trail_last) {
      return 0;
    }
    return units_[index(lead, trail)];
  }

  // Converts every pair once, each followed by a space (never a trail byte,
  // so a pair the converter reads otherwise cannot swallow the next one), and
  // keeps the pairs that became exactly one real character.
  explicit PairTable(UConverter* converter) {
    std::string all;
    all.reserve(pair_count * 3);
    for (unsigned lead = lead_first; lead <= lead_last; ++lead) {
      for (unsigned trail = trail_first; trail <= trail_last; ++trail) {
        all += static_cast<char>(lead);
        all += static_cast<char>(trail);
        all += ' ';
      }
    }
    std::vector<UChar> converted(all.size());
    std::vector<int32_t> offsets(all.size());
    UChar* target = converted.data();
    const char* source = all.data();
    UErrorCode status = U_ZERO_ERROR;
    ucnv_reset(converter);
    ucnv_toUnicode(converter, &target, converted.data() + converted.size(), &source,
                   all.data() + all.size(), offsets.data(), true, &status);
    if (U_FAILURE(status)) return;
    const auto written = static_cast<size_t>(target - converted.data());
    std::vector<int> units_from_lead(pair_count, 0);
    std::vector<bool> unit_from_trail(pair_count, false);
    for (size_t k = 0; k < written; ++k) {
      const auto offset = static_cast<size_t>(offsets[k]);
      const size_t pair = offset / 3;
      if (offset % 3 == 0) ++units_from_lead[pair];
      if (offset % 3 == 1) unit_from_trail[pair] = true;
    }
    for (size_t k = 0; k < written; ++k) {
      const auto offset = static_cast<size_t>(offsets[k]);
      const size_t pair = offset / 3;
      const UChar unit = converted[k];
      if (offset % 3 == 0 && units_from_lead[pair] == 1 && !unit_from_trail[pair] &&
          unit != replacement_character && !U16_IS_SURROGATE(unit)) {
        units_[pair] = unit;
      }
    }
  }

 private:
  static size_t index(unsigned lead, unsigned trail) {
    return (lead - lead_first) * trails + (trail - trail_first);
  }

  std::array<char16_t, pair_count> units_{};
};

bool eight_ascii_bytes(const unsigned char* bytes) {
  uint64_t eight;
  std::memcpy(&eight, bytes, sizeof eight);
  return (eight & 0x8080808080808080u) == 0;
}

const PairTable* cp936_pair_table() {
  static const std::unique_ptr<const PairTable> table = []() -> std::unique_ptr<const PairTable> {
    UConverter* converter = cp936_converter();
    if (!converter) return nullptr;
    return std::make_unique<const PairTable>(converter);
  }();
  return table.get();
}

std::u16string utf8_view_to_utf16(std::string_view utf8) {
  std::u16string result(utf8.size(), u'\0');
  if (utf8.empty()) return result;
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(reinterpret_cast<UChar*>(result.data()), static_cast<int32_t>(result.size()),
                       &length, utf8.data(), static_cast<int32_t>(utf8.size()),
                       replacement_character, nullptr, &status);
  result.resize(U_SUCCESS(status) ? static_cast<size_t>(length) : 0);
  return result;
}

// Composes a base character with the combining marks after it, as the
// Windows conversion's composite check does. Whole-string NFC would also
// rewrite singletons such as the CJK compatibility ideographs, which code
// page 936 keeps as characters of their own.
std::u16string compose_combining_marks(std::u16string_view text) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
  if (U_FAILURE(status)) return std::u16string(text);
  const icu::UnicodeString whole(false, reinterpret_cast<const UChar*>(text.data()),
                                 static_cast<int32_t>(text.size()));
  if (nfc->spanQuickCheckYes(whole, status) == whole.length()) return std::u16string(text);

  std::u16string result;
  result.reserve(text.size());
  const auto length = static_cast<int32_t>(text.size());
  int32_t i = 0;
  while (i < length) {
    const int32_t segment_start = i;
    UChar32 c;
    U16_NEXT(text.data(), i, length, c);
    int32_t code_points = 1;
    while (i < length) {
      int32_t next = i;
      U16_NEXT(text.data(), next, length, c);
      if (nfc->hasBoundaryBefore(c)) break;
      i = next;
      ++code_points;
    }
    const std::u16string_view segment = text.substr(segment_start, i - segment_start);
    if (code_points == 1) {
      result.append(segment);
      continue;
    }
    status = U_ZERO_ERROR;
    icu::UnicodeString composed;
    nfc->normalize(icu::UnicodeString(false, reinterpret_cast<const UChar*>(segment.data()),
                                      static_cast<int32_t>(segment.size())),
                   composed, status);
    if (U_FAILURE(status)) {
      result.append(segment);
    } else {
      result.append(reinterpret_cast<const char16_t*>(composed.getBuffer()), composed.length());
    }
  }
  return result;
}

Text utf16_to_cp936_bytes(std::u16string_view text) {
  if (text.empty()) return {};
  UConverter* converter = cp936_converter();
  if (!converter) return Text(text.size(), '?');
  const std::u16string composed = compose_combining_marks(text);
  const auto units = static_cast<int32_t>(composed.size());
  Text result(
      static_cast<size_t>(UCNV_GET_MAX_BYTES_FOR_STRING(units, ucnv_getMaxCharSize(converter))),
      '\0');
  UErrorCode status = U_ZERO_ERROR;
  const int32_t length =
      ucnv_fromUChars(converter, result.data(), static_cast<int32_t>(result.size()),
                      reinterpret_cast<const UChar*>(composed.data()), units, &status);
  result.resize(U_SUCCESS(status) || status == U_STRING_NOT_TERMINATED_WARNING
                    ? static_cast<size_t>(length)
                    : 0);
  return result;
}

}  // namespace

std::u16string utf8_to_utf16(const Bytes& utf8) {
  return utf8_view_to_utf16(
      std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
}

Bytes utf8_to_cp936(const Bytes& utf8) {
  const Text converted = utf16_to_cp936_bytes(utf8_to_utf16(utf8));
  return Bytes(converted.begin(), converted.end());
}

std::u16string cp936_to_utf16(TextView text) {
  if (text.empty()) return {};
  UConverter* converter = cp936_converter();
  if (!converter) return std::u16string(text.size(), u'\uFFFD');
  const PairTable* pairs = cp936_pair_table();
  // Each byte yields at most one code unit, and a pair of bytes one.
  std::u16string result(text.size(), u'\0');
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const size_t size = text.size();
  char16_t* out = result.data();
  size_t i = 0;
  while (i < size) {
    // Pages are mostly ASCII: take eight such bytes at a time.
    while (i + 8 <= size && eight_ascii_bytes(bytes + i)) {
      for (size_t k = 0; k < 8; ++k) {
        out[k] = bytes[i + k];
      }
      out += 8;
      i += 8;
    }
    if (i == size) break;
    const unsigned char byte = bytes[i];
    if (byte < 0x80) {
      *out++ = byte;
      ++i;
      continue;
    }
    if (pairs && i + 1 < size) {
      const char16_t unit = pairs->unit(byte, bytes[i + 1]);
      if (unit != 0) {
        *out++ = unit;
        i += 2;
        continue;
      }
    }
    // Anything else is the converter's, up to the next byte that surely
    // starts a character: one right after a byte below 0x80, which is never
    // a lead byte. The converter keeps no state between characters.
    size_t end = i + 1;
    while (end < size && bytes[end - 1] >= 0x80) {
      ++end;
    }
    ucnv_reset(converter);
    UChar* target = reinterpret_cast<UChar*>(out);
    const char* source = text.data() + i;
    UErrorCode status = U_ZERO_ERROR;
    ucnv_toUnicode(converter, &target, reinterpret_cast<UChar*>(result.data() + result.size()),
                   &source, text.data() + end, nullptr, true, &status);
    if (U_FAILURE(status)) return {};
    out = reinterpret_cast<char16_t*>(target);
    i = end;
  }
  result.resize(static_cast<size_t>(out - result.data()));
  return result;
}

Text cp936_from_utf16(std::u16string_view text) {
  return utf16_to_cp936_bytes(text);
}

size_t cp936_offset_of_utf16_index(TextView text, size_t utf16_index) {
  UConverter* converter = cp936_converter();
  // Without a converter every byte became one replacement character.
  if (!converter) return std::min(utf16_index, text.size());
  // The converter reports the source byte of every unit it writes; converting
  // into a small buffer again and again keeps the memory flat on long texts.
  constexpr int32_t chunk_units = 1024;
  UChar units[chunk_units];
  int32_t offsets[chunk_units];
  const char* source = text.data();
  const char* const source_limit = text.data() + text.size();
  size_t units_before = 0;
  while (true) {
    const char* const chunk_source = source;
    UChar* target = units;
    UErrorCode status = U_ZERO_ERROR;
    ucnv_toUnicode(converter, &target, units + chunk_units, &source, source_limit, offsets, true,
                   &status);
    const auto written = static_cast<size_t>(target - units);
    const auto chunk_start = static_cast<size_t>(chunk_source - text.data());
    if (utf16_index < units_before + written) {
      // A unit held over from the previous chunk has no offset of its own.
      const int32_t offset = offsets[utf16_index - units_before];
      return offset < 0 ? chunk_start : chunk_start + static_cast<size_t>(offset);
    }
    units_before += written;
    if (status != U_BUFFER_OVERFLOW_ERROR) return text.size();
  }
}

std::string cp936_to_utf8(TextView text) {
  const std::u16string utf16 = cp936_to_utf16(text);
  std::string result(utf16.size() * 3, '\0');
  if (utf16.empty()) return result;
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8WithSub(result.data(), static_cast<int32_t>(result.size()), &length,
                     reinterpret_cast<const UChar*>(utf16.data()),
                     static_cast<int32_t>(utf16.size()), replacement_character, nullptr, &status);
  result.resize(U_SUCCESS(status) || status == U_STRING_NOT_TERMINATED_WARNING
                    ? static_cast<size_t>(length)
                    : 0);
  return result;
}

Text cp936_from_utf8(std::string_view utf8) {
  return utf16_to_cp936_bytes(utf8_view_to_utf16(utf8));
}

}  // namespace vorpane
