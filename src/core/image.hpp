// PNG and GIF images, decoded in memory into whole frames of red, green and blue, their
// transparency laid on a background colour. The conversion then takes each frame as it takes a
// BMP of the same pixels (intake.hpp).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tivrano {

enum class ImageFormat { bmp, png, gif, other };

// What the file is, by its first bytes: "BM", the PNG signature, "GIF87a" or "GIF89a".
ImageFormat image_format(std::span<const std::uint8_t> bytes);

// The most a decoder takes. An image over a limit is refused before its pixels are decoded.
struct DecodeLimits {
    std::uint64_t max_side = 16384;                          // pixels across, and down
    std::uint64_t max_frame_pixels = 4194304;                // a frame's pixels (2048 x 2048)
    std::uint64_t max_frames = 65535;                        // frames of an animated GIF
    std::uint64_t max_total_bytes = std::uint64_t{64} << 20; // 3 bytes a pixel, every frame
};

struct ImageFrame {
    std::vector<std::uint8_t> rgb; // width * height pixels, red, green, blue, top row first
    std::uint32_t delay_ms = 0;    // a GIF frame's delay as the file gives it; 0 for a PNG
};

enum class DecodeStatus {
    decoded,
    cut_short, // the file ends before the image does
    broken,    // not a valid image of its format
    too_large, // over a limit of DecodeLimits
};

struct DecodedImage {
    DecodeStatus status = DecodeStatus::broken;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<ImageFrame> frames; // every frame, whole, as a browser shows it
    bool timed = false;             // the frames carry their delays (a GIF's)
    std::string reason;             // for a failure: what is wrong, in a few words
};

// A background colour: 0xRRGGBB.
using Rgb = std::uint32_t;

// A pixel of `alpha` (0 transparent, 255 opaque) laid on the background, channel by channel:
// (value * alpha + background * (255 - alpha) + 127) / 255.
constexpr std::uint8_t over(std::uint8_t value, std::uint8_t alpha, std::uint8_t background) {
    return static_cast<std::uint8_t>(
        (unsigned{value} * alpha + unsigned{background} * (255U - alpha) + 127U) / 255U);
}

// The CRC-32 that PNG gives each chunk, of its type and data (zlib's and ISO 3309's).
std::uint32_t crc32_of(std::span<const std::uint8_t> bytes);

DecodedImage decode_png(std::span<const std::uint8_t> bytes, Rgb background,
                        const DecodeLimits& limits = {});
DecodedImage decode_gif(std::span<const std::uint8_t> bytes, Rgb background,
                        const DecodeLimits& limits = {});

} // namespace tivrano
