// The formats of the array beside three bytes an LED: rgb565 and mono (see Format). Every format
// is made the same way, from a strip line's LEDs as triples in the layout's order, with the
// colour options applied, into the bytes the array holds, as they lie in memory on a
// little-endian chip; the text and --binary are both written from those bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tivrano.hpp"

namespace tivrano {

// A strip line is encoded in pieces of at most this many LEDs, each starting at a multiple of
// it into the line: a multiple of 8, so that mono's bits of a piece start a byte.
inline constexpr std::size_t PIECE_LEDS = 256;
static_assert(PIECE_LEDS % 8 == 0);

// The bytes a strip line of `length` LEDs takes in the format.
std::uint64_t line_bytes(Format format, std::uint64_t length);

// The bytes of an image's array in the format, for positive dimensions.
std::uint64_t image_bytes(const ArrayOptions& options, std::int32_t width, std::int32_t height);

// The format by its name, grb, rgb565 or mono, in any case; false for any other, leaving
// `format` as it was.
bool set_format(Format& format, std::string_view name);
std::string_view format_name(Format format);

// What the frames' values are called in the format, for a count of their bytes: triples,
// 16-bit values, bits.
std::string_view values_name(Format format);

// What the encoding takes from the options, worked out once.
struct Encoder {
    Format format = Format::grb;
    bool swap_bytes = false;
    std::uint32_t weight[3] = {}; // mono: the weight of each place of a triple
    std::uint32_t lit_from = 0;   // mono: the weighted sum from which an LED is lit
};

Encoder make_encoder(const ArrayOptions& options);

// Encodes `leds` LEDs, a piece of a strip line that starts at a multiple of 8 LEDs into it, from
// `triples` into `out`, which takes line_bytes(format, leds) bytes; the piece that ends the line
// pads it.
void encode(const Encoder& encoder, const std::uint8_t* triples, std::size_t leds,
            std::uint8_t* out);

} // namespace tivrano
