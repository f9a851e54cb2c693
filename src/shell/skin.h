// The skin: the program carries its skin engine library and 33 numbered skins,
// writes the library into the run directory when it is missing, and hands one
// skin to the engine.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "store/platform.h"

namespace vorpane {

inline constexpr int32_t skin_count = 33;

// The engine library's bytes, as the build made them.
std::span<const unsigned char> skin_library_data();

// Skin `number`, 1 to skin_count; empty for any other number.
std::span<const unsigned char> skin_data(int32_t number);

// Writes the library into `run_directory` when nothing of its name is there,
// and lists the new file as hidden. An existing file or directory of that name
// is left as it is. Failures go unnoticed: the next step loads what is there.
void ensure_skin_library(const NativePath& run_directory);

enum class SkinSetup {
  engine_called,       // the engine ran; what it made of the skin is its business
  library_not_loaded,  // the file is missing or not a loadable library
  entry_missing        // the library has no SkinH_AttachRes
};

// ensure_skin_library, then loads the library from the run directory and
// passes it a private copy of skin `number` (a null address and length 0 for
// a number outside 1 to skin_count), freed when the call returns. The library
// stays loaded for the rest of the run, since the look it gave the windows is
// in use until the end. The program does not look at the result.
SkinSetup apply_skin(const NativePath& run_directory, int32_t number);

}  // namespace vorpane
