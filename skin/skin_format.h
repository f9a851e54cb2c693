// The skin format: a short ASCII text that names a skin's colours and sizes.
//
//   vorpane-skin 1
//   # A comment.
//   name: Morning
//   window: #eef3f9
//   ...
//   radius: 3
//   end
//
// Every byte is LF or printable ASCII; every line ends with LF, none is longer
// than `max_skin_line` bytes, and the whole skin is at most `max_skin_size`
// bytes. The first line is the magic and the format version, the last line is
// "end" and nothing follows it, so a cut-off skin is always recognised. Lines
// between are empty, comments ("#" first) or fields "key: value". Every field
// of `skin_fields` must be there exactly once; no other field is allowed.
// skin/README.md describes each field.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vorpane::skin {

inline constexpr std::size_t max_skin_size = 65536;
inline constexpr std::size_t max_skin_line = 200;
inline constexpr int skin_format_version = 1;

// The result of the engine's entry: 0 when the skin is in place, otherwise why
// it was refused. A refused skin changes nothing.
enum class SkinStatus : int {
  applied = 0,
  no_application = 1,  // no QApplication, or not called on its thread
  no_data = 2,         // null address, or length 0 or negative
  too_large = 3,       // longer than max_skin_size
  not_a_skin = 4,      // the first line is not the magic
  unsupported_version = 5,
  malformed = 6,  // a bad byte or line, a cut-off skin, bytes after "end"
  unknown_field = 7,
  duplicate_field = 8,
  missing_field = 9,
  bad_value = 10,         // a value of the wrong shape or out of range
  unreadable = 11,        // some text would not stand out from its background
  style_unavailable = 12  // the widget style the skin draws on is missing
};

enum class Colour : std::size_t {
  window,
  window_text,
  base,
  alternate_base,
  text,
  button,
  button_text,
  button_hover,
  button_pressed,
  highlight,
  highlighted_text,
  border,
  focus,
  header,
  header_text,
  menu_bar,
  menu_bar_text,
  menu,
  menu_text,
  group_title,
  disabled_text,
  tooltip,
  tooltip_text,
  scroll_handle,
  count
};

inline constexpr std::size_t colour_count = static_cast<std::size_t>(Colour::count);

struct Rgb {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct Skin {
  std::string name;
  std::array<Rgb, colour_count> colours{};
  int radius = 0;        // corner radius of controls, pixels
  int border_width = 1;  // frame width of controls, pixels
  int button_shade = 0;  // percent by which buttons and headers lighten towards the top

  const Rgb& colour(Colour which) const { return colours[static_cast<std::size_t>(which)]; }
};

// The keys of the colour fields, in the order of Colour. The other fields are
// "name", "radius", "border-width" and "button-shade"; fields may come in any
// order.
inline constexpr std::array<std::string_view, colour_count> colour_keys = {
    "window",           "window-text",   "base",         "alternate-base", "text",
    "button",           "button-text",   "button-hover", "button-pressed", "highlight",
    "highlighted-text", "border",        "focus",        "header",         "header-text",
    "menu-bar",         "menu-bar-text", "menu",         "menu-text",      "group-title",
    "disabled-text",    "tooltip",       "tooltip-text", "scroll-handle"};

// Reads `length` bytes at `data` into `skin`, never reading outside them.
// `skin` is changed only when the result is applied. Checks the shape of every
// line and value and that each text colour stands out from its background.
SkinStatus parse_skin(const unsigned char* data, int length, Skin& skin);

// WCAG contrast ratio of two colours, from 1 (equal) to 21 (black on white).
double contrast_ratio(const Rgb& first, const Rgb& second);

}  // namespace vorpane::skin
