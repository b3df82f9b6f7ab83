// Frames packed small, as tivrano_player.h's small player plays them: fewer bytes than the fast
// format, and more cycles a frame.
#pragma once

#include <cstddef>

#include "pack.hpp"

namespace tivrano {

// The format of what pack_small makes, as tivrano_player.h numbers it in TIVRANO_SMALL_FORMAT.
inline constexpr int SMALL_FORMAT = 3;
// The model's probabilities before the tree's: 4 questions, each after 5 answers.
inline constexpr std::size_t SMALL_QUESTIONS = 20;
// The most colours a palette holds; an animation of more codes each new LED as it is.
inline constexpr std::size_t SMALL_COLOURS = 256;

Packed pack_small(const Frames& frames);

} // namespace tivrano
