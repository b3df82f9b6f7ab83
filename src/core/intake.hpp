// A file's bytes taken in as frames, the same way for a BMP, a PNG and a GIF, and for one image
// as for the frames of an animation: a BMP's pixels are read where they lie in the file, a
// PNG's or a GIF's are decoded. The shells (the command line, the page) take every file so.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "image.hpp"
#include "tivrano.hpp"

namespace tivrano {

struct Taken {
    ImageFormat format = ImageFormat::other;
    BmpHeader header;     // any file that is not a PNG or a GIF, read as a BMP
    DecodedImage decoded; // a PNG's or a GIF's

    bool is_decoded() const { return format == ImageFormat::png || format == ImageFormat::gif; }
    // Whether it gives frames: an accepted BMP, or a PNG or GIF decoded.
    bool taken() const;
    std::size_t frame_count() const;
    std::int32_t width() const;
    std::int32_t height() const;
    // Frame k's pixels, for a file that gives frames of positive dimensions; `bytes` are the
    // file's.
    Pixels pixels(std::size_t k, std::span<const std::uint8_t> bytes) const;
    // How long frame k is shown: a GIF's delay as the file gives it (a GIF of one frame too), up
    // to the 65535 ms the player counts; otherwise the default.
    std::uint16_t delay_ms(std::size_t k) const;
};

// Reads the file's header, or decodes its image, laying a PNG's or GIF's transparency on
// `background`.
Taken take(std::span<const std::uint8_t> bytes, Rgb background);

} // namespace tivrano
