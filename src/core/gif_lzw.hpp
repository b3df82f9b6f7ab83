// What the GIF decoder's two halves share: a frame as its blocks give it (gif.cpp reads the
// blocks), and the decoding of its LZW data onto the canvas (gif_lzw.cpp).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "image.hpp"

namespace tivrano::gif {

constexpr unsigned MAX_CODE_SIZE = 12;
constexpr std::size_t TABLE_SIZE = std::size_t{1} << MAX_CODE_SIZE;

// A colour table's entry, and whether the entry draws (a is 255) or is transparent (a is 0).
struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 0;
};

// How a step of decoding ended: decoded, the default, or refused for a reason.
struct Outcome {
    DecodeStatus status = DecodeStatus::decoded;
    const char* reason = "";

    constexpr bool ok() const { return status == DecodeStatus::decoded; }
};

// A frame as its blocks give it, its numbers checked to lie inside the file.
struct FrameRecord {
    std::uint64_t left = 0, top = 0, width = 0, height = 0;
    bool interlaced = false;
    std::span<const std::uint8_t> colours; // 3 bytes an entry: the local table, or the global
    int transparent = -1;                  // the transparent index, or -1
    unsigned disposal = 0;
    std::uint32_t delay_ms = 0;
    unsigned min_code_size = 0; // 1 to 8
    std::size_t data = 0;       // the first sub-block of the LZW data, whose chain is whole
};

// The canvas, laid on the background as it is drawn: a transparent pixel is the background
// itself, and so stays through the frames that draw over it and the disposals that clear it.
struct Canvas {
    std::uint64_t width = 0, height = 0;
    std::vector<std::uint8_t> rgb; // 3 bytes a pixel, rows from the top
};

// The string table: each code's last index, the code before it, its first index and length;
// and room for one string.
struct LzwTable {
    std::array<std::uint16_t, TABLE_SIZE> prefix{};
    std::array<std::uint8_t, TABLE_SIZE> suffix{};
    std::array<std::uint8_t, TABLE_SIZE> first{};
    std::array<std::uint16_t, TABLE_SIZE> length{};
    std::array<std::uint8_t, TABLE_SIZE> string{};
};

// Draws the frame's opaque pixels on the canvas, clipped to it.
Outcome draw_frame(std::span<const std::uint8_t> bytes, const FrameRecord& frame, LzwTable& table,
                   Canvas& canvas);

} // namespace tivrano::gif
