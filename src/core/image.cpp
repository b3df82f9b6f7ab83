#include "image.hpp"

#include <string_view>

#include "tivrano.hpp"

namespace tivrano {

ImageFormat image_format(std::span<const std::uint8_t> bytes) {
    const std::string_view start(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (start.starts_with("BM")) {
        return ImageFormat::bmp;
    }
    if (start.starts_with("\x89PNG\r\n\x1a\n")) {
        return ImageFormat::png;
    }
    if (start.starts_with("GIF87a") || start.starts_with("GIF89a")) {
        return ImageFormat::gif;
    }
    return ImageFormat::other;
}

std::vector<std::uint8_t> bmp_of(std::int32_t width, std::int32_t height,
                                 std::span<const std::uint8_t> rgb) {
    const std::uint64_t row = line_size(width);
    const auto rows = static_cast<std::uint64_t>(height);
    std::vector<std::uint8_t> bmp(static_cast<std::size_t>(PIXEL_DATA_OFFSET + row * rows));
    const auto put32 = [&bmp](std::size_t at, std::uint64_t value) {
        for (std::size_t k = 0; k < 4; ++k) {
            bmp[at + k] = static_cast<std::uint8_t>(value >> (8 * k));
        }
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(2, bmp.size());
    put32(10, PIXEL_DATA_OFFSET);
    put32(14, 40); // BITMAPINFOHEADER
    put32(18, static_cast<std::uint32_t>(width));
    put32(22, static_cast<std::uint32_t>(height));
    bmp[26] = 1; // one plane
    bmp[28] = READ_BITS_PER_PIXEL;
    put32(34, row * rows);
    const auto across = static_cast<std::size_t>(width);
    for (std::size_t y = 0; y < rows; ++y) {
        // Stored bottom-up, each pixel blue, green, red.
        std::uint8_t* to = bmp.data() + PIXEL_DATA_OFFSET + (rows - 1 - y) * row;
        const std::uint8_t* from = rgb.data() + 3 * across * y;
        for (std::size_t x = 0; x < across; ++x, to += 3, from += 3) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
        }
    }
    return bmp;
}

} // namespace tivrano
