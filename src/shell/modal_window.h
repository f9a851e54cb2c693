// An information window described as plain data, so the logic can open it
// through `Window::open_modal` without knowing the toolkit.
#pragma once

#include <vector>

#include "web/text.h"

namespace vorpane {

struct Rectangle {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const Rectangle&, const Rectangle&) = default;
};

// The pictures the program carries.
enum class Picture { author };

struct ModalLabel {
  Text name;
  Rectangle place;  // from the group box's top-left corner
  Text text;        // breaks at its own CR LF, wraps at word boundaries
};

struct ModalPicture {
  Text name;
  Rectangle place;  // from the group box's top-left corner
  Picture picture;  // drawn at its own size, centred in the box
};

// A fixed-size window, modal over the main window and centred on the screen,
// holding one group box with every other control inside it.
struct ModalWindow {
  Text title;
  int width = 0;  // outer size, frame and title bar included
  int height = 0;
  Text group_box_name;
  Rectangle group_box_place;  // from the client area's top-left corner
  Text group_box_caption;     // centred in the frame's top edge
  std::vector<ModalLabel> labels;
  std::vector<ModalPicture> pictures;
};

}  // namespace vorpane
