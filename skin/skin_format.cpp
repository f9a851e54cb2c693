#include "skin/skin_format.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace vorpane::skin {
namespace {

constexpr std::string_view magic = "vorpane-skin ";
constexpr std::string_view end_line = "end";
constexpr std::size_t max_name_length = 32;

struct Range {
  std::string_view key;
  int lowest;
  int highest;
  int Skin::*member;
};

constexpr std::array<Range, 3> number_fields = {{
    {"radius", 0, 12, &Skin::radius},
    {"border-width", 1, 3, &Skin::border_width},
    {"button-shade", 0, 40, &Skin::button_shade},
}};

// Each text colour against the background it is drawn on, with the least
// contrast that keeps it readable. Disabled text is meant to recede, so it
// only has to stay visible.
struct ContrastRule {
  Colour foreground;
  Colour background;
  double minimum;
};

constexpr double readable = 4.5;
constexpr double visible = 1.8;

constexpr std::array<ContrastRule, 14> contrast_rules = {{
    {Colour::window_text, Colour::window, readable},
    {Colour::text, Colour::base, readable},
    {Colour::text, Colour::alternate_base, readable},
    {Colour::button_text, Colour::button, readable},
    {Colour::button_text, Colour::button_hover, readable},
    {Colour::button_text, Colour::button_pressed, readable},
    {Colour::highlighted_text, Colour::highlight, readable},
    {Colour::header_text, Colour::header, readable},
    {Colour::menu_bar_text, Colour::menu_bar, readable},
    {Colour::menu_text, Colour::menu, readable},
    {Colour::group_title, Colour::window, readable},
    {Colour::tooltip_text, Colour::tooltip, readable},
    {Colour::disabled_text, Colour::button, visible},
    {Colour::disabled_text, Colour::window, visible},
}};

constexpr std::size_t field_count = 1 + colour_count + number_fields.size();

bool is_key_character(char c) {
  return (c >= 'a' && c <= 'z') || c == '-';
}

bool is_name_character(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' ||
         c == '-';
}

std::optional<int> hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return std::nullopt;
}

// "#rrggbb", either case.
std::optional<Rgb> parse_colour(std::string_view value) {
  if (value.size() != 7 || value[0] != '#') return std::nullopt;
  uint8_t parts[3];
  for (int part = 0; part < 3; ++part) {
    const auto high = hex_digit(value[1 + 2 * part]);
    const auto low = hex_digit(value[2 + 2 * part]);
    if (!high || !low) return std::nullopt;
    parts[part] = static_cast<uint8_t>(*high * 16 + *low);
  }
  return Rgb{parts[0], parts[1], parts[2]};
}

// Plain decimal digits without a sign or leading zeros, at most three.
std::optional<int> parse_small_number(std::string_view value) {
  if (value.empty() || value.size() > 3) return std::nullopt;
  if (value.size() > 1 && value[0] == '0') return std::nullopt;
  int number = 0;
  for (const char c : value) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + (c - '0');
  }
  return number;
}

bool valid_name(std::string_view value) {
  if (value.empty() || value.size() > max_name_length) return false;
  if (value.front() == ' ' || value.back() == ' ') return false;
  for (const char c : value) {
    if (!is_name_character(c)) return false;
  }
  return true;
}

// Index of the field in the order name, colours, numbers; nullopt when unknown.
std::optional<std::size_t> field_index(std::string_view key) {
  if (key == "name") return 0;
  for (std::size_t i = 0; i < colour_count; ++i) {
    if (colour_keys[i] == key) return 1 + i;
  }
  for (std::size_t i = 0; i < number_fields.size(); ++i) {
    if (number_fields[i].key == key) return 1 + colour_count + i;
  }
  return std::nullopt;
}

SkinStatus parse_field(std::size_t index, std::string_view value, Skin& skin) {
  if (index == 0) {
    if (!valid_name(value)) return SkinStatus::bad_value;
    skin.name = std::string(value);
  } else if (index <= colour_count) {
    const auto colour = parse_colour(value);
    if (!colour) return SkinStatus::bad_value;
    skin.colours[index - 1] = *colour;
  } else {
    const Range& range = number_fields[index - 1 - colour_count];
    const auto number = parse_small_number(value);
    if (!number || *number < range.lowest || *number > range.highest) return SkinStatus::bad_value;
    skin.*range.member = *number;
  }
  return SkinStatus::applied;
}

double channel_luminance(uint8_t channel) {
  const double value = channel / 255.0;
  return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double relative_luminance(const Rgb& colour) {
  return 0.2126 * channel_luminance(colour.red) + 0.7152 * channel_luminance(colour.green) +
         0.0722 * channel_luminance(colour.blue);
}

}  // namespace

double contrast_ratio(const Rgb& first, const Rgb& second) {
  const double a = relative_luminance(first);
  const double b = relative_luminance(second);
  return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

SkinStatus parse_skin(const unsigned char* data, int length, Skin& skin) {
  if (data == nullptr || length <= 0) return SkinStatus::no_data;
  if (static_cast<std::size_t>(length) > max_skin_size) return SkinStatus::too_large;
  const std::string_view input(reinterpret_cast<const char*>(data),
                               static_cast<std::size_t>(length));

  // The magic is checked before anything else so that data of another kind is
  // reported as such, not as a bad byte somewhere inside it.
  if (input.substr(0, magic.size()) != magic) return SkinStatus::not_a_skin;
  for (const char c : input) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte != '\n' && (byte < 0x20 || byte > 0x7E)) return SkinStatus::malformed;
  }
  if (input.back() != '\n') return SkinStatus::malformed;

  Skin parsed;
  std::array<bool, field_count> seen{};
  bool first_line = true;
  bool ended = false;
  std::size_t line_start = 0;
  while (line_start < input.size()) {
    const std::size_t line_end = input.find('\n', line_start);
    const std::string_view line = input.substr(line_start, line_end - line_start);
    line_start = line_end + 1;
    if (line.size() > max_skin_line || ended) return SkinStatus::malformed;

    if (first_line) {
      first_line = false;
      const auto version = parse_small_number(line.substr(magic.size()));
      if (!version) return SkinStatus::not_a_skin;
      if (*version != skin_format_version) return SkinStatus::unsupported_version;
      continue;
    }
    if (line.empty() || line.front() == '#') continue;
    if (line == end_line) {
      ended = true;
      continue;
    }

    const std::size_t colon = line.find(": ");
    if (colon == std::string_view::npos || colon == 0) return SkinStatus::malformed;
    const std::string_view key = line.substr(0, colon);
    const std::string_view value = line.substr(colon + 2);
    for (const char c : key) {
      if (!is_key_character(c)) return SkinStatus::malformed;
    }
    if (value.empty() || value.front() == ' ' || value.back() == ' ') return SkinStatus::malformed;

    const auto index = field_index(key);
    if (!index) return SkinStatus::unknown_field;
    if (seen[*index]) return SkinStatus::duplicate_field;
    seen[*index] = true;
    const SkinStatus status = parse_field(*index, value, parsed);
    if (status != SkinStatus::applied) return status;
  }
  if (!ended) return SkinStatus::malformed;
  for (const bool field_seen : seen) {
    if (!field_seen) return SkinStatus::missing_field;
  }
  for (const ContrastRule& rule : contrast_rules) {
    if (contrast_ratio(parsed.colour(rule.foreground), parsed.colour(rule.background)) <
        rule.minimum) {
      return SkinStatus::unreadable;
    }
  }
  skin = std::move(parsed);
  return SkinStatus::applied;
}

}  // namespace vorpane::skin
