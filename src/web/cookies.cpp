#include "web/cookies.h"

#include <algorithm>

namespace vorpane {
namespace {

constexpr TextView piece_separator = "; ";

bool is_deleted(TextView piece) {
  return text_right(piece, 8) == "=deleted";
}

// Each piece followed by the separator, then the last separator cut off.
Text join_pieces(const std::vector<Text>& pieces, TextView separator) {
  Text joined;
  for (const Text& piece : pieces) {
    joined += piece;
    joined += separator;
  }
  return text_left(joined, static_cast<int>(joined.size()) - static_cast<int>(separator.size()));
}

}  // namespace

Text merge_cookies(Text& cookies, Text& received) {
  cookies = remove_spaces(cookies);
  received = remove_spaces(received);
  std::vector<Text> merged = split_text(received, ";");
  for (const Text& old_piece : split_text(cookies, ";")) {
    const Text name = cookie_name(old_piece);
    const bool replaced = std::any_of(merged.begin(), merged.end(), [&](const Text& piece) {
      return cookie_name(piece) == name;
    });
    if (!replaced) merged.push_back(old_piece);
  }
  std::erase_if(merged, [](const Text& piece) { return is_deleted(piece); });
  cookies = join_distinct(join_pieces(merged, piece_separator), piece_separator);
  return cookies;
}

Text cookie_name(TextView piece) {
  const int equals = find_text(piece, "=");
  return trim_spaces(equals == not_found ? piece : text_left(piece, equals - 1));
}

Text join_distinct(TextView text, TextView separator) {
  std::vector<Text> distinct;
  for (Text& piece : split_text(text, separator)) {
    if (std::find(distinct.begin(), distinct.end(), piece) == distinct.end()) {
      distinct.push_back(std::move(piece));
    }
  }
  return join_pieces(distinct, separator);
}

}  // namespace vorpane
