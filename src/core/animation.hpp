// Several images as the frames of one animation: their values laid out along the strip and
// coloured with one factor, stored once each or packed for tivrano_player.h, and written as C
// source text, with a header that declares what it defines.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <optional>
#include <span>
#include <vector>

#include "tivrano.hpp"

namespace tivrano {

// The player counts frames, and a frame's LEDs, in 16 bits.
inline constexpr std::uint64_t MAX_FRAMES = 65535;
inline constexpr std::uint64_t MAX_FRAME_LEDS = 65535;
// The values of all frames together, at most: far more than any chip's flash holds.
inline constexpr std::uint64_t MAX_ANIMATION_VALUES = std::uint64_t{16} << 20;

struct Frames {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> values;    // each frame's 3 * width * height values, in order
    std::vector<std::uint16_t> delay_ms; // one a frame

    std::size_t frame_size() const;
    std::size_t count() const;
    std::span<const std::uint8_t> frame(std::size_t k) const;
};

// A 64-bit FNV-1a hash of the bytes, by which equal frames and records are found.
inline std::uint64_t fnv1a(std::span<const std::uint8_t> bytes) {
    return std::accumulate(
        bytes.begin(), bytes.end(), std::uint64_t{14695981039346656037ULL},
        [](std::uint64_t hash, std::uint8_t byte) { return (hash ^ byte) * 1099511628211ULL; });
}

// Whether two runs of bytes are the same.
inline bool same_bytes(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

// Appends the values of an accepted file of positive dimensions to `values`, laid out along the
// strip in the layout's channel order, as the text would hold them without colour options.
void append_values(const BmpHeader& header, std::span<const std::uint8_t> bmpdata,
                   const Layout& layout, std::vector<std::uint8_t>& values);

// Applies the colour options to every frame, with one factor for all; with a limit that cannot
// be met the values stay as they are and the plan says so.
ColourPlan colour_frames(const Colour& colour, const Layout& layout, Frames& frames);

// The frames packed as tivrano_player.h plays them: a palette, the records, and each frame's
// record.
struct Packed {
    std::vector<std::uint8_t> palette; // 3 bytes a colour
    std::uint8_t bits = 8;             // of an index in a span of indices
    std::vector<std::vector<std::uint8_t>> records;
    std::vector<std::uint16_t> frame_record;
};

Packed pack(const Frames& frames);

// How an animation is stored: with `packed`, packed; otherwise each distinct frame as an array
// of its values, `same_as` giving for each frame the first with the same values.
struct Storage {
    std::optional<Packed> packed;
    std::vector<std::uint16_t> same_as;
    std::uint64_t triples = 0; // every frame's values, as triples
    std::uint64_t stored = 0;  // the bytes stored for them: the distinct frames, or the palette
                               // and the records
};

Storage store(const Frames& frames, bool packed);

// The text of an animation named options.name, as convert_bmp writes one frame's; returns 0, or
// -1 if the sink failed.
int write_animation(const Frames& frames, const Storage& storage, const TextOptions& options,
                    const ColourPlan* plan, Sink sink);

// A header that declares what the text of write_animation defines.
int write_animation_header(const Storage& storage, const TextOptions& options, Sink sink);

} // namespace tivrano
