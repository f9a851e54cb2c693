// The start number and the count, kept between runs in `info.ini`.
//
// The file holds the start number box's text, " | " and the count box's text,
// as their code page 936 bytes with nothing else: no line end, no test of the
// texts. Loading puts the two texts back as they were saved.
#pragma once

#include <string_view>

#include "shell/window.h"

namespace vorpane {

inline constexpr std::string_view settings_separator = " | ";

// Writes the two boxes' texts to `info.ini`. A write that fails leaves the
// previous file whole; the failure is not reported.
void save_settings(Window& window, std::string_view run_directory);

// When `info.ini` exists, puts its texts back into the two boxes. The text is
// the file's bytes before the first zero byte. The start box gets what comes
// before the first separator (the whole text when there is none); the count
// box gets what lies between the first and a second separator, or everything
// after the first one, and keeps its text when there is no separator at all.
// An empty or unreadable file leaves both boxes as they are.
void load_settings(Window& window, std::string_view run_directory);

}  // namespace vorpane
