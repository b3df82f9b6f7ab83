// An animation's frames stored once each or packed for tivrano_player.h, and written as C
// source text, with a header that declares what it defines.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "frames.hpp"
#include "pack.hpp"
#include "tivrano.hpp"

namespace tivrano {

// How an animation is stored: with `packed`, packed; otherwise each distinct frame as an array
// of its values, `same_as` giving for each frame the first with the same values.
struct Storage {
    std::optional<Packed> packed;
    std::vector<std::uint16_t> same_as;
    std::uint64_t frames_bytes = 0; // every frame's bytes in the format, alike frames too
    std::uint64_t leds = 0;         // a frame's
    // The bytes every object of the text takes on an AVR: the distinct frames, or the palette
    // and the records, and the tables, the delays and the rest beside them.
    std::uint64_t stored = 0;
    std::uint64_t wide_more = 0; // what 4-byte pointers add to that, before any padding
};

Storage store(const Frames& frames, Pack pack);

// The text of an animation named options.name, as convert_bmp writes one frame's; returns 0, or
// -1 if the sink failed.
int write_animation(const Frames& frames, const Storage& storage, const ArrayOptions& options,
                    const ColourPlan* plan, Sink sink);

// A header that declares what the text of write_animation defines.
int write_animation_header(const Storage& storage, const ArrayOptions& options, Sink sink);

} // namespace tivrano
