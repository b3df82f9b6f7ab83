// Frames packed as tivrano_player.h plays them.
#pragma once

#include <cstdint>
#include <vector>

#include "frames.hpp"

namespace tivrano {

// The format of what pack makes, as tivrano_player.h numbers it in TIVRANO_PLAYER_FORMAT.
inline constexpr int PLAYER_FORMAT = 2;

// The frames packed as tivrano_player.h plays them: a palette, the records, and each frame's
// record; and the cycles an AVR takes to play each record, as the packer reckons them.
struct Packed {
    std::vector<std::uint8_t> palette; // 3 bytes a colour
    std::uint8_t bits = 8;             // of an index in a span of indices
    std::vector<std::vector<std::uint8_t>> records;
    std::vector<std::uint16_t> frame_record;
    std::vector<std::uint64_t> cycles; // of each record
};

Packed pack(const Frames& frames);

} // namespace tivrano
