#include "skin/skin_style.h"

#include <QColor>
#include <cstdio>
#include <string>
#include <string_view>

namespace vorpane::skin {
namespace {

QColor to_qcolor(const Rgb& colour) {
  return QColor(colour.red, colour.green, colour.blue);
}

// `colour` moved `percent` of the way towards `target`.
Rgb mix(const Rgb& colour, const Rgb& target, int percent) {
  const auto blend = [percent](uint8_t from, uint8_t to) {
    return static_cast<uint8_t>(from + (to - from) * percent / 100);
  };
  return {blend(colour.red, target.red), blend(colour.green, target.green),
          blend(colour.blue, target.blue)};
}

constexpr Rgb white{255, 255, 255};

std::string css_colour(const Rgb& colour) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", colour.red, colour.green, colour.blue);
  return buffer;
}

// Written with $(key) holes, filled from the skin's fields and a few derived
// values: $(button-top) and $(header-top) are the shaded tops, $(track) the
// groove of a scroll bar, $(field-radius) the corners of edit boxes.
constexpr std::string_view style_sheet_template = R"(QPushButton {
  background: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 $(button-top), stop: 1 $(button));
  border: $(border-width)px solid $(border);
  border-radius: $(radius)px;
  padding: 2px 8px;
  outline: none;
}
QPushButton:hover { background: $(button-hover); }
QPushButton:pressed { background: $(button-pressed); }
QPushButton:focus { border-color: $(focus); }
QPushButton:disabled { background: $(button); color: $(disabled-text); }
QDialogButtonBox QPushButton { min-width: 5em; min-height: 1.6em; }
QLineEdit {
  border: $(border-width)px solid $(border);
  border-radius: $(field-radius)px;
  padding: 1px 4px;
}
QLineEdit:focus { border-color: $(focus); }
QAbstractItemView {
  border: $(border-width)px solid $(border);
  outline: none;
}
QAbstractItemView:focus { border-color: $(focus); }
QHeaderView { background: $(header); }
QHeaderView::section {
  background: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 $(header-top), stop: 1 $(header));
  color: $(header-text);
  border: none;
  border-right: 1px solid $(border);
  border-bottom: 1px solid $(border);
  padding: 3px 6px;
}
QMenuBar { background: $(menu-bar); color: $(menu-bar-text); }
QMenuBar::item { background: transparent; }
QMenuBar::item:selected, QMenuBar::item:pressed { background: $(highlight); color: $(highlighted-text); }
QMenu {
  background: $(menu);
  color: $(menu-text);
  border: 1px solid $(border);
  padding: 3px 0;
}
QMenu::item { padding: 4px 24px 4px 16px; }
QMenu::item:selected { background: $(highlight); color: $(highlighted-text); }
QMenu::separator { height: 1px; background: $(border); margin: 3px 6px; }
QGroupBox {
  border: $(border-width)px solid $(border);
  border-radius: $(radius)px;
  margin-top: 0.8em;
  padding-top: 0.4em;
}
QGroupBox::title {
  subcontrol-origin: margin;
  subcontrol-position: top center;
  padding: 0 4px;
  color: $(group-title);
}
QToolTip {
  background: $(tooltip);
  color: $(tooltip-text);
  border: 1px solid $(border);
  padding: 2px 4px;
}
QScrollBar:vertical { background: $(track); width: 14px; margin: 0; border: none; }
QScrollBar:horizontal { background: $(track); height: 14px; margin: 0; border: none; }
QScrollBar::handle { background: $(scroll-handle); border-radius: 4px; margin: 3px; }
QScrollBar::handle:vertical { min-height: 24px; }
QScrollBar::handle:horizontal { min-width: 24px; }
QScrollBar::handle:hover { background: $(focus); }
QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; border: none; background: none; }
QScrollBar::add-page, QScrollBar::sub-page { background: none; }
)";

std::string hole_value(std::string_view key, const Skin& skin) {
  for (std::size_t i = 0; i < colour_count; ++i) {
    if (colour_keys[i] == key) return css_colour(skin.colours[i]);
  }
  if (key == "radius") return std::to_string(skin.radius);
  if (key == "field-radius") return std::to_string(std::min(skin.radius, 4));
  if (key == "border-width") return std::to_string(skin.border_width);
  if (key == "button-top") {
    return css_colour(mix(skin.colour(Colour::button), white, skin.button_shade));
  }
  if (key == "header-top") {
    return css_colour(mix(skin.colour(Colour::header), white, skin.button_shade));
  }
  if (key == "track") return css_colour(skin.colour(Colour::alternate_base));
  return {};
}

}  // namespace

QPalette skin_palette(const Skin& skin) {
  // This constructor derives the bevel shades (light, mid, dark, shadow) from
  // the button and window colours, as the styles expect them.
  QPalette palette(to_qcolor(skin.colour(Colour::button)), to_qcolor(skin.colour(Colour::window)));
  const auto set = [&palette](QPalette::ColorGroup group, QPalette::ColorRole role,
                              const Rgb& colour) {
    palette.setColor(group, role, to_qcolor(colour));
  };
  const Rgb placeholder = mix(skin.colour(Colour::text), skin.colour(Colour::base), 45);
  for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    const bool enabled = group != QPalette::Disabled;
    const Rgb& disabled = skin.colour(Colour::disabled_text);
    set(group, QPalette::Window, skin.colour(Colour::window));
    set(group, QPalette::WindowText, enabled ? skin.colour(Colour::window_text) : disabled);
    set(group, QPalette::Base, skin.colour(Colour::base));
    set(group, QPalette::AlternateBase, skin.colour(Colour::alternate_base));
    set(group, QPalette::Text, enabled ? skin.colour(Colour::text) : disabled);
    set(group, QPalette::PlaceholderText, placeholder);
    set(group, QPalette::Button, skin.colour(Colour::button));
    set(group, QPalette::ButtonText, enabled ? skin.colour(Colour::button_text) : disabled);
    set(group, QPalette::Highlight,
        enabled ? skin.colour(Colour::highlight)
                : mix(skin.colour(Colour::highlight), skin.colour(Colour::base), 50));
    set(group, QPalette::HighlightedText, skin.colour(Colour::highlighted_text));
    set(group, QPalette::ToolTipBase, skin.colour(Colour::tooltip));
    set(group, QPalette::ToolTipText, skin.colour(Colour::tooltip_text));
    set(group, QPalette::Link, skin.colour(Colour::focus));
    set(group, QPalette::LinkVisited, skin.colour(Colour::focus));
  }
  return palette;
}

QString skin_style_sheet(const Skin& skin) {
  std::string sheet;
  sheet.reserve(style_sheet_template.size() + 512);
  std::size_t position = 0;
  while (true) {
    const std::size_t open = style_sheet_template.find("$(", position);
    if (open == std::string_view::npos) break;
    const std::size_t close = style_sheet_template.find(')', open);
    sheet.append(style_sheet_template.substr(position, open - position));
    sheet.append(hole_value(style_sheet_template.substr(open + 2, close - open - 2), skin));
    position = close + 1;
  }
  sheet.append(style_sheet_template.substr(position));
  // fromLatin1 copies: the sheet must not point into this library's memory.
  return QString::fromLatin1(sheet.data(), static_cast<qsizetype>(sheet.size()));
}

}  // namespace vorpane::skin
