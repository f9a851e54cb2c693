// The program's own pictures, drawn in code so that no image file has to be
// found at run time.
#pragma once

#include <QIcon>
#include <QImage>

namespace vorpane {

// The sizes of the program icon's images, in pixels.
inline constexpr int program_icon_sizes[] = {128, 64, 48, 32, 16};

// One square image of the program icon, 32 bits per pixel.
QImage program_icon_image(int size);

// The program icon with every size of `program_icon_sizes`.
QIcon program_icon();

// The 90 x 90 picture of the author window.
QImage author_picture();

}  // namespace vorpane
