// Frames packed as tivrano_player.h plays them.
#pragma once

#include <cstdint>
#include <vector>

#include "frames.hpp"
#include "records.hpp"

namespace tivrano {

// The format of what pack makes, as tivrano_player.h numbers it in TIVRANO_PLAYER_FORMAT.
inline constexpr int PLAYER_FORMAT = 2;

// The frames packed as tivrano_player.h plays them: a palette, the records, and each frame's
// record; and the cycles an AVR takes to play each record, as the packer reckons them. Packed
// small, the model's probabilities too, which lie before the palette.
struct Packed {
    Grid grid;                         // the values of a frame, as the player takes them
    std::vector<std::uint8_t> palette; // a value a colour
    std::uint8_t bits = 8;             // of an index in a span of indices, or in the palette
    bool small = false;
    std::vector<std::uint8_t> model;
    std::vector<std::vector<std::uint8_t>> records;
    std::vector<std::uint16_t> frame_record;
    std::vector<std::uint64_t> cycles; // of each record
};

Packed pack(const Frames& frames);

// A frame's records in the fast format: standing alone, and after the previous frame (none for
// the first).
struct FastRecords {
    Record alone;
    Record changes;
};

// Every frame's fast records, with a palette of every colour, the commonest first, at `bits`
// (1, 2, 4 or 8 bits that hold them all, or 0: no palette): the small packer stores them where
// its own records would be larger.
std::vector<FastRecords> fast_records(const Frames& frames, std::uint8_t bits);

// The frames' colours (values of their grid), the commonest first; of as common, the least first.
std::vector<std::uint32_t> colours_by_count(const Frames& frames);

// The bytes of the model, the palette and the records.
std::uint64_t packed_size(const Packed& packed);

// The bytes of a value, as the player's bits say them beside the index bits (TIVRANO_VALUE_FIELD):
// 0 for 3, else 1 or 2.
inline std::uint8_t value_field(const Packed& packed) {
    return static_cast<std::uint8_t>(packed.grid.bytes % 3 << 4U);
}

// How an animation's frames are stored: as arrays, packed fast or small, or packed the smaller of
// those two (fast, where they take as many bytes).
enum class Pack : std::uint8_t { none, fast, small, smallest };

} // namespace tivrano
