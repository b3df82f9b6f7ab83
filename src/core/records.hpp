// The records of tivrano_player.h as the packer makes them (the header writes their format up):
// the commands, what a record costs an AVR to play, and which frames stand alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tivrano {

// What a command does. A copy is written as TRIPLES with a d that is not 0.
enum Op : std::uint8_t { SKIP = 0, RUN = 1, INDICES = 2, TRIPLES = 3, COPY = 4 };
inline constexpr unsigned OP_SHIFT = 6;

// The LEDs one command covers: up to 63 with a one-byte header, up to 319 (LONG_COUNT) with two.
inline constexpr std::size_t SHORT_COUNT = 63;
inline constexpr std::size_t LONG_COUNT = 319;

// One command of a frame's record, the LEDs it covers, and for a copy the LEDs back it reads.
struct Command {
    Op op;
    std::size_t count;
    std::uint16_t d;
};

// A record as the packer made it, and the cycles it takes to play (cycles_of its commands).
struct Record {
    std::vector<std::uint8_t> bytes;
    std::uint64_t cycles = 0;
};

// The records frame k may take: standing alone (commands over every LED), if made, and after the
// first frame, commands after the previous frame.
struct Candidates {
    std::optional<Record> alone;
    Record changes;             // none for the first frame
    bool reads_previous = true; // whether any command of `changes` reads the frame before
};

// The cycles an AVR takes to play a record of these commands, with indices of `bits` bits, as the
// player's loop spends them: for the record, for each command, and for each LED by what writes it
// (an index of fewer than 8 bits costs UNPACK_CYCLES more, to take it out of its byte).
inline constexpr std::uint64_t RECORD_CYCLES = 200;
inline constexpr std::uint64_t COMMAND_CYCLES = 50;
inline constexpr std::uint64_t LED_CYCLES[] = {3, 30, 40, 30, 17}; // by Op
inline constexpr std::uint64_t UNPACK_CYCLES = 6;
std::uint64_t cycles_of(std::span<const Command> commands, std::uint8_t bits);

// How many times the cycles of the longest frame in order a frame on its own may take, in
// halves: tivrano_frame plays from the last frame that stands alone, so the packer makes frames
// stand alone often enough. Below 4, as the cycles are reckoned here, not counted.
inline constexpr std::uint64_t SEEK_HALVES = 7;

// What a frame's records cost to store and to play: standing alone, and after the frame before.
struct RecordCosts {
    std::uint64_t alone_bytes;
    std::uint64_t alone_cycles;
    std::uint64_t changes_bytes;
    std::uint64_t changes_cycles;
};

// Which frames stand alone, for the fewest bytes, such that playing from one through the frames
// up to the next takes at most `bound` cycles.
std::vector<bool> standing_alone(const std::vector<RecordCosts>& costs, std::uint64_t bound);

} // namespace tivrano
