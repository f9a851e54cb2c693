// The bytes that the build embeds in the program: the skin engine library as
// built, and the skins in their order. Defined in a source generated at build
// time; the program reaches them through skin.h.
#pragma once

#include <array>
#include <span>

namespace vorpane::embedded {

inline constexpr int skin_count = 33;

extern const std::span<const unsigned char> skin_library;
extern const std::array<std::span<const unsigned char>, skin_count> skins;

}  // namespace vorpane::embedded
