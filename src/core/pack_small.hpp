// Frames packed small, as tivrano_player.h's small player plays them: fewer bytes than the fast
// format, and more cycles a frame.
#pragma once

#include <cstddef>

#include "pack.hpp"

namespace tivrano {

// The format of what pack_small makes, as tivrano_player.h numbers it in TIVRANO_SMALL_FORMAT.
inline constexpr int SMALL_FORMAT = 6;
// Packed small with fast records among the small ones, TIVRANO_MIXED_FORMAT.
inline constexpr int MIXED_FORMAT = 7;
// Packed small with records that stand alone and ask about an LED of their own frame at their
// offset, TIVRANO_OFFSET_FORMAT.
inline constexpr int OFFSET_FORMAT = 8;
// The model's probabilities before the tree's: 4 questions, each after 5 answers.
inline constexpr std::size_t SMALL_QUESTIONS = 20;
// The most colours a palette holds; an animation of more codes each new LED as it is.
inline constexpr std::size_t SMALL_COLOURS = 256;

// A frame whose fast record is no larger than its small one is stored as that, unless with_fast
// is false (as tests play every frame small).
Packed pack_small(const Frames& frames, bool with_fast = true);

// The player format of packed frames: fast, small, small with fast records, or small with
// records that stand alone with an offset.
int format_of(const Packed& packed);

} // namespace tivrano
