// Where each LED of a frame can copy from, for the packer: the LEDs that tivrano_player.h has
// in the buffer when it writes that LED.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "frames.hpp"
#include "records.hpp"

namespace tivrano {

// A copy that starts at an LED: `count` LEDs (0: none), each from the LED `d` before
// it, counting round from the first LED to the last.
struct Copy {
    std::uint16_t count = 0;
    std::uint16_t d = 0;
};
using Copies = std::vector<Copy>;

// The copies for a frame: from the LEDs it has already written, as a frame that stands alone
// makes them (`alone`), and from those and the previous frame's LEDs not yet overwritten
// (`changes`; for the first frame, the same as `alone`).
struct FrameCopies {
    Copies alone;
    Copies changes;
};
// Frame k's copies: for each LED a long copy, if not always the longest.
FrameCopies find_copies(const Frames& frames, std::size_t k);
// Frame k's copies as it stands alone (its FrameCopies::alone), found alone.
Copies find_alone_copies(const Frames& frames, std::size_t k);

} // namespace tivrano
