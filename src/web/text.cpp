#include "web/text.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>

namespace vorpane {
namespace {

bool is_lead_byte(unsigned char byte) {
  return byte >= 0x80;
}

unsigned char fold_case(unsigned char byte) {
  return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
}

bool equal_at(TextView text, size_t offset, TextView sought, bool ignore_case) {
  if (!ignore_case) return std::memcmp(text.data() + offset, sought.data(), sought.size()) == 0;
  for (size_t i = 0; i < sought.size(); ++i) {
    if (fold_case(static_cast<unsigned char>(text[offset + i])) !=
        fold_case(static_cast<unsigned char>(sought[i]))) {
      return false;
    }
  }
  return true;
}

// Finds the first byte of a candidate match in [from, to), in either letter
// case when asked. Keeps the next place of each case so that a text full of
// one case and short of the other is not scanned again for every candidate.
class FirstByteFinder {
 public:
  FirstByteFinder(TextView text, unsigned char byte, bool ignore_case) : text_(text) {
    exact_ = byte;
    other_ = byte;
    if (ignore_case && byte >= 'a' && byte <= 'z') other_ = static_cast<unsigned char>(byte - 32);
    if (ignore_case && byte >= 'A' && byte <= 'Z') other_ = static_cast<unsigned char>(byte + 32);
  }

  size_t next(size_t from, size_t to) {
    if (from >= to) return TextView::npos;
    if (exact_ == other_) return find(exact_, from, to);
    if (next_exact_ < from || next_exact_ == unknown) next_exact_ = find(exact_, from, to);
    if (next_other_ < from || next_other_ == unknown) next_other_ = find(other_, from, to);
    return std::min(next_exact_, next_other_);
  }

 private:
  static constexpr size_t unknown = TextView::npos - 1;

  size_t find(unsigned char byte, size_t from, size_t to) const {
    const void* hit = std::memchr(text_.data() + from, byte, to - from);
    return hit ? static_cast<size_t>(static_cast<const char*>(hit) - text_.data()) : TextView::npos;
  }

  TextView text_;
  unsigned char exact_;
  unsigned char other_;
  size_t next_exact_ = unknown;
  size_t next_other_ = unknown;
};

// The search behind find_text: `boundary` is a known character start at or
// before `from`, and candidates are the character starts from `from` on.
// Returns the byte offset of the match or npos.
//
// Rather than stepping over every character, it jumps to the next place where
// the bytes match and only then decides whether that place starts a
// character: a byte right after one below 0x80 always does (a byte below 0x80
// either is a character or ends one), so only the run of bytes of 0x80 and
// above just before the candidate matters, and within such a run characters
// are pairs. The known start only moves forward, so the look-back stays
// linear overall.
size_t find_from(TextView text, TextView sought, size_t boundary, size_t from, bool ignore_case) {
  if (sought.empty() || sought.size() > text.size()) return TextView::npos;
  const size_t last_candidate_end = text.size() - sought.size() + 1;
  FirstByteFinder finder(text, static_cast<unsigned char>(sought[0]), ignore_case);
  size_t position = from;
  while (true) {
    const size_t candidate = finder.next(position, last_candidate_end);
    if (candidate == TextView::npos) return TextView::npos;
    position = candidate + 1;
    if (!equal_at(text, candidate, sought, ignore_case)) continue;
    size_t run_start = candidate;
    while (run_start > boundary && is_lead_byte(static_cast<unsigned char>(text[run_start - 1]))) {
      --run_start;
    }
    if ((candidate - run_start) % 2 != 0) {
      boundary = candidate - 1;
      continue;
    }
    if (is_lead_byte(static_cast<unsigned char>(text[candidate])) && candidate + 1 == text.size()) {
      return TextView::npos;  // half a character at the end ends the search
    }
    return candidate;
  }
}

size_t start_offset(int start_position) {
  return start_position > 1 ? static_cast<size_t>(start_position) - 1 : 0;
}

int to_position(size_t offset) {
  return offset == TextView::npos ? not_found : static_cast<int>(offset + 1);
}

// Offset just past the last whole character: a lone lead byte at the end is cut.
size_t whole_characters_end(TextView text) {
  size_t i = 0;
  while (i < text.size()) {
    if (!is_lead_byte(static_cast<unsigned char>(text[i]))) {
      ++i;
    } else if (i + 1 < text.size()) {
      i += 2;
    } else {
      return i;
    }
  }
  return i;
}

bool is_space_at(TextView text, size_t i) {
  if (text[i] == ' ') return true;
  return i + 1 < text.size() && text[i] == '\xA1' && text[i + 1] == '\xA1';
}

size_t character_length(TextView text, size_t i) {
  return is_lead_byte(static_cast<unsigned char>(text[i])) ? 2 : 1;
}

// The single-byte form text_to_int reads a character as; 0 when it has none.
char folded_for_number(TextView text, size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  if (!is_lead_byte(lead)) return static_cast<char>(lead);
  const auto second = static_cast<unsigned char>(text[i + 1]);
  if (lead == 0xA3 && second >= 0xA1 && second <= 0xFE) return static_cast<char>(second - 0x80);
  if (lead == 0xA1 && second == 0xA1) return ' ';
  if (lead == 0xA1 && second == 0xAB) return '~';
  if (lead == 0xA1 && (second == 0xEE || second == 0xEF)) return '*';
  return 0;
}

}  // namespace

int find_text(TextView text, TextView sought, int start_position, bool ignore_case) {
  const size_t start = start_offset(start_position);
  if (start >= text.size()) return not_found;
  if (sought.empty()) return 1;
  return to_position(find_from(text, sought, start, start, ignore_case));
}

int find_last_text(TextView text, TextView sought) {
  size_t last = TextView::npos;
  size_t boundary = 0;
  size_t from = 0;
  while (true) {
    const size_t found = find_from(text, sought, boundary, from, false);
    if (found == TextView::npos) return to_position(last);
    last = found;
    boundary = found;
    from = found + 1;
  }
}

Text text_left(TextView text, int n) {
  if (n <= 0) return {};
  return Text(text.substr(0, static_cast<size_t>(n)));
}

Text text_right(TextView text, int n) {
  if (n <= 0) return {};
  const size_t count = std::min(text.size(), static_cast<size_t>(n));
  return Text(text.substr(text.size() - count));
}

Text text_mid(TextView text, int start, int n) {
  if (start < 1 || static_cast<size_t>(start) > text.size() || n <= 0) return {};
  return Text(text.substr(static_cast<size_t>(start) - 1, static_cast<size_t>(n)));
}

Text trim_spaces(TextView text) {
  const TextView whole = text.substr(0, whole_characters_end(text));
  size_t begin = 0;
  while (begin < whole.size() && is_space_at(whole, begin)) {
    begin += character_length(whole, begin);
  }
  size_t end = begin;
  for (size_t i = begin; i < whole.size();) {
    const size_t length = character_length(whole, i);
    if (!is_space_at(whole, i)) end = i + length;
    i += length;
  }
  return Text(whole.substr(begin, end - begin));
}

Text remove_spaces(TextView text) {
  const TextView whole = text.substr(0, whole_characters_end(text));
  Text result;
  result.reserve(whole.size());
  for (size_t i = 0; i < whole.size();) {
    const size_t length = character_length(whole, i);
    if (!is_space_at(whole, i)) result.append(whole.substr(i, length));
    i += length;
  }
  return result;
}

Text to_lower(TextView text) {
  Text result(text);
  for (size_t i = 0; i < result.size();) {
    const auto byte = static_cast<unsigned char>(result[i]);
    if (is_lead_byte(byte)) {
      i += 2;
    } else {
      result[i] = static_cast<char>(fold_case(byte));
      ++i;
    }
  }
  return result;
}

std::vector<Text> split_text(TextView text, TextView separator) {
  std::vector<Text> pieces;
  if (text.empty()) return pieces;
  if (separator.empty()) {
    pieces.emplace_back(text);
    return pieces;
  }
  size_t piece_start = 0;
  while (true) {
    const size_t found = find_from(text, separator, piece_start, piece_start, false);
    if (found == TextView::npos) break;
    pieces.emplace_back(text.substr(piece_start, found - piece_start));
    piece_start = found + separator.size();
  }
  if (piece_start < text.size()) pieces.emplace_back(text.substr(piece_start));
  return pieces;
}

Text replace_text(TextView text, TextView sought, TextView replacement) {
  if (text.empty() || sought.empty()) return Text(text);
  Text result;
  size_t copied = 0;
  while (true) {
    const size_t found = find_from(text, sought, copied, copied, false);
    if (found == TextView::npos) break;
    result.append(text.substr(copied, found - copied));
    result.append(replacement);
    copied = found + sought.size();
  }
  result.append(text.substr(copied));
  return result;
}

Bytes text_to_bytes(TextView text) {
  return Bytes(text.begin(), text.end());
}

Text bytes_to_text(const Bytes& bytes) {
  if (bytes.empty()) return {};
  const char* begin = reinterpret_cast<const char*>(bytes.data());
  const void* nul = std::memchr(begin, 0, bytes.size());
  return Text(begin,
              nul ? static_cast<size_t>(static_cast<const char*>(nul) - begin) : bytes.size());
}

int find_bytes(const Bytes& bytes, std::string_view sought) {
  if (sought.empty()) return not_found;
  const TextView haystack(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  const size_t found = haystack.find(sought);
  return to_position(found);
}

int32_t text_to_int(TextView text) {
  const size_t end = whole_characters_end(text);
  size_t i = 0;
  auto folded = [&](size_t at) { return folded_for_number(text, at); };
  auto is_white_space = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  while (i < end && is_white_space(folded(i)))
    i += character_length(text, i);
  bool negative = false;
  if (i < end && (folded(i) == '+' || folded(i) == '-')) {
    negative = folded(i) == '-';
    i += character_length(text, i);
  }
  // Accumulate as a negative number: its range reaches one further.
  constexpr int64_t lowest = std::numeric_limits<int32_t>::min();
  int64_t value = 0;
  while (i < end && folded(i) >= '0' && folded(i) <= '9') {
    value = std::max(value * 10 - (folded(i) - '0'), lowest);
    i += character_length(text, i);
  }
  if (negative) return static_cast<int32_t>(value);
  return static_cast<int32_t>(std::min<int64_t>(-value, std::numeric_limits<int32_t>::max()));
}

Text int_to_text(int32_t value) {
  char digits[16];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  return Text(digits, result.ptr);
}

Text text_between(TextView text, TextView start_marker, TextView end_marker, int start_position,
                  bool case_sensitive) {
  constexpr TextView quote_mark_word = "#\xD2\xFD\xBA\xC5";  // "#引号"
  const Text start = replace_text(start_marker, quote_mark_word, "\"");
  const Text end = replace_text(end_marker, quote_mark_word, "\"");
  int p = find_text(text, start, start_position, !case_sensitive);
  if (p == not_found) return {};
  p += static_cast<int>(start.size());
  const int e = find_text(text, end, p, !case_sensitive);
  if (e == not_found) return {};
  return text_mid(text, p, e - p);
}

Text header_value(TextView line) {
  const int p = find_text(line, ":");
  if (p == not_found) return {};
  return trim_spaces(text_right(line, static_cast<int>(line.size()) - p));
}

}  // namespace vorpane
