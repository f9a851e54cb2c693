// What a skin looks like in Qt: an application palette and style sheet.
//
// The palette carries every text and background colour, so a widget that sets
// its own palette keeps it. The style sheet adds frames, corners, shading and
// the hover and pressed faces, and leaves fonts, labels and the sizes of the
// menu bar alone so that fixed window layouts stay as they were built.
#pragma once

#include <QPalette>
#include <QString>

#include "skin/skin_format.h"

namespace vorpane::skin {

QPalette skin_palette(const Skin& skin);

QString skin_style_sheet(const Skin& skin);

}  // namespace vorpane::skin
