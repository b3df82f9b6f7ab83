// Several images as the frames of one animation: their values laid out along the strip, one
// after another, and coloured with one factor for all.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "image.hpp"
#include "tivrano.hpp"

namespace tivrano {

// How long a frame is shown when no delay is given.
inline constexpr std::uint16_t DEFAULT_DELAY_MS = 100;

// The player counts frames, and a frame's LEDs, in 16 bits.
inline constexpr std::uint64_t MAX_FRAMES = 65535;
inline constexpr std::uint64_t MAX_FRAME_LEDS = 65535;
// The values of all frames together, at most: far more than any chip's flash holds.
inline constexpr std::uint64_t MAX_ANIMATION_VALUES = std::uint64_t{16} << 20;

// A frame's bytes as the packers and tivrano_player.h take them: values of `bytes` bytes each,
// `width` across and `height` down.
struct Grid {
    std::size_t bytes = 3;
    std::int32_t width = 0;
    std::int32_t height = 0;

    std::size_t values() const {
        return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    }
};

struct Frames {
    // The LEDs as the definitions count them (a map's as one row; see defined_size), and the
    // images' own dimensions.
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t image_width = 0;
    std::int32_t image_height = 0;
    std::vector<std::uint8_t> values;    // each frame's 3 * width * height values, in order,
                                         // or once encoded, its encoded_size bytes
    std::vector<std::uint16_t> delay_ms; // one a frame
    // The bytes of a frame once encode_frames put the values in another format; 0 before.
    std::size_t encoded_size = 0;
    // Once encoded, its grid: an LED's rgb565 value, the LEDs across and down; or a byte of
    // mono's bits, 8 LEDs of a strip line, a line's bytes across and the lines down.
    Grid encoded_grid;
    ImageFormat kind = ImageFormat::bmp; // the first frame's file's, for messages

    std::size_t frame_size() const;
    // The LEDs' triples, or once encoded, encoded_grid.
    Grid grid() const { return encoded_size != 0 ? encoded_grid : Grid{3, width, height}; }
    std::size_t count() const;
    std::span<const std::uint8_t> frame(std::size_t k) const;
};

// A 64-bit hash of the bytes, by which equal frames and records are found: FNV-1a's steps,
// each of eight bytes at once (in the machine's order) but for the last few.
inline std::uint64_t hash_of(std::span<const std::uint8_t> bytes) {
    constexpr std::uint64_t PRIME = 1099511628211ULL;
    std::uint64_t hash = 14695981039346656037ULL;
    std::size_t at = 0;
    for (; at + sizeof hash <= bytes.size(); at += sizeof hash) {
        std::uint64_t word = 0;
        std::memcpy(&word, &bytes[at], sizeof word);
        hash = (hash ^ word) * PRIME;
    }
    for (; at < bytes.size(); ++at) {
        hash = (hash ^ bytes[at]) * PRIME;
    }
    return hash;
}

// The value `led` of a frame, of `bytes` bytes (3 for an LED's triple), as one number, the first
// byte in the top bits.
inline std::uint32_t colour_at(std::span<const std::uint8_t> frame, std::size_t led,
                               std::size_t bytes) {
    const std::uint8_t* const at = &frame[bytes * led];
    return bytes == 3   ? std::uint32_t{at[0]} << 16U | std::uint32_t{at[1]} << 8U | at[2]
           : bytes == 2 ? std::uint32_t{at[0]} << 8U | at[1]
                        : at[0];
}

// Appends a value colour_at gave, of the grid's bytes, the first byte first.
inline void put_value(std::vector<std::uint8_t>& to, std::uint32_t value, const Grid& grid) {
    for (std::size_t k = grid.bytes; k-- > 0;) {
        to.push_back(static_cast<std::uint8_t>(value >> (8 * k)));
    }
}

// Whether two runs of bytes are the same.
inline bool same_bytes(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

// Appends the pixels' values to `values`, laid out along the strip in the layout's channel
// order, as the text would hold them without colour options.
void append_values(const Pixels& pixels, const Layout& layout, std::vector<std::uint8_t>& values);

// Why a frame of these dimensions cannot join `frames`, or none.
enum class FrameProblem {
    none,
    no_pixels,
    too_many_leds,   // more than MAX_FRAME_LEDS
    other_size,      // not the size of the frames before it
    too_many_frames, // MAX_FRAMES already
    too_many_values, // more than MAX_ANIMATION_VALUES with the frames before it
};

FrameProblem frame_problem(const Frames& frames, const Layout& layout, std::int32_t width,
                           std::int32_t height);

// Adds a frame, one that frame_problem takes, shown for `delay_ms`.
void add_frame(const Pixels& pixels, std::uint16_t delay_ms, const Layout& layout, Frames& frames);

// Puts every frame's values, laid out and coloured, in the format of `options`: each frame's
// bytes then are those of its array (see formats.hpp). Frames of grb stay as they are.
void encode_frames(const ArrayOptions& options, Frames& frames);

// Each frame's delay: the one given for all, one given for each, or its own (a GIF's), else
// DEFAULT_DELAY_MS; false when more than one are given, but not one for each.
bool assign_delays(std::span<const std::uint16_t> given, Frames& frames);

// Applies the colour options to every frame, with one factor for all; with a limit that cannot
// be met the values stay as they are and the plan says so.
ColourPlan colour_frames(const Colour& colour, const Layout& layout, Frames& frames);

} // namespace tivrano
