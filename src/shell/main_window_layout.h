// The main window's look as plain data: one table of controls with their
// names, kinds, places, initial texts and flags, the result list's columns and
// the menu. The Qt window is built from it, and the recording window of the
// tests starts from the same initial texts.
//
// Texts here are UTF-8 source literals; they become code page 936 `Text` with
// `cp936_from_utf8` where they reach the window.
#pragma once

#include <span>
#include <string_view>

#include "shell/modal_window.h"
#include "shell/window.h"
#include "shell/window_events.h"

namespace vorpane {

inline constexpr std::string_view main_window_title = "Vorpane";

// The client area below the menu bar: what a 923 x 598 outer window leaves
// inside a common frame, title bar and menu bar, enlarged to hold every
// control, the hidden export buffer included, at its place.
inline constexpr int main_window_client_width = 907;
inline constexpr int main_window_client_height = 552;

enum class ControlKind { label, push_button, edit_box, report_list };

enum class LabelStyle {
  none,             // not a label
  black,            // normal weight, black
  bold_red,         // bold, red
  bold_red_raised,  // bold, red over a white copy one pixel up and left
};

struct ControlDefinition {
  Control control;
  std::string_view name;  // the name the window's definition gives it
  ControlKind kind;
  Rectangle place;  // from the client area's top-left corner
  std::string_view initial_text;
  bool visible;
  bool tab_stop;
  bool digits_only;  // typed characters other than 0-9 and "-" are refused
  LabelStyle label_style;
};

// Every control, in creation order (which is also the tab order).
std::span<const ControlDefinition> main_window_controls();

const ControlDefinition& control_definition(Control control);

// Character height of the labels' font, in pixels.
inline constexpr int label_font_pixel_size = 16;

struct ListColumn {
  std::string_view title;
  int width;
};

// The result list's columns, left to right, all left-aligned.
std::span<const ListColumn> result_list_columns();

inline constexpr std::string_view menu_title = " 关于 ";

struct MenuItemDefinition {
  MenuItem item;
  std::string_view caption;
};

// The menu's items in menu order.
std::span<const MenuItemDefinition> menu_items();

}  // namespace vorpane
