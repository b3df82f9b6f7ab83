// Builds PNG files in memory for the tests: 8 bits a channel, the data in one stored
// (uncompressed) deflate block, so that a test says every byte a decoder reads.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace test {

inline void put_be32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(value >> static_cast<unsigned>(shift)));
    }
}

// PNG's CRC-32 of the bytes from `from` on.
inline std::uint32_t png_crc(const std::vector<std::uint8_t>& bytes, std::size_t from) {
    std::uint32_t crc = 0xFFFFFFFFU;
    for (std::size_t k = from; k < bytes.size(); ++k) {
        crc ^= bytes[k];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1U) ^ (0xEDB88320U & (0U - (crc & 1U)));
        }
    }
    return ~crc;
}

inline void put_chunk(std::vector<std::uint8_t>& png, std::string_view type,
                      const std::vector<std::uint8_t>& data) {
    put_be32(png, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = png.size();
    png.insert(png.end(), type.begin(), type.end());
    png.insert(png.end(), data.begin(), data.end());
    put_be32(png, png_crc(png, start));
}

// A PNG of `pixels`, red, green, blue (and with `alpha` its alpha) each, top row first; with an
// empty IDAT chunk before the one that holds them when asked.
inline std::vector<std::uint8_t> png_file(std::uint32_t width, std::uint32_t height,
                                          const std::vector<std::uint8_t>& pixels, bool alpha,
                                          bool empty_idat_first = false) {
    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::vector<std::uint8_t> header;
    put_be32(header, width);
    put_be32(header, height);
    header.insert(header.end(), {8, static_cast<std::uint8_t>(alpha ? 6 : 2), 0, 0, 0});
    put_chunk(png, "IHDR", header);
    const std::size_t row = (alpha ? 4U : 3U) * width;
    std::vector<std::uint8_t> raw;
    for (std::size_t y = 0; y < height; ++y) {
        raw.push_back(0); // filter: none
        raw.insert(raw.end(), pixels.begin() + static_cast<std::ptrdiff_t>(y * row),
                   pixels.begin() + static_cast<std::ptrdiff_t>((y + 1) * row));
    }
    const auto size = static_cast<std::uint16_t>(raw.size());
    std::vector<std::uint8_t> z = {0x78,
                                   0x01,
                                   1,
                                   static_cast<std::uint8_t>(size),
                                   static_cast<std::uint8_t>(size >> 8U),
                                   static_cast<std::uint8_t>(~size),
                                   static_cast<std::uint8_t>(~size >> 8U)};
    z.insert(z.end(), raw.begin(), raw.end());
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (const std::uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    put_be32(z, b << 16U | a);
    if (empty_idat_first) {
        put_chunk(png, "IDAT", {});
    }
    put_chunk(png, "IDAT", z);
    put_chunk(png, "IEND", {});
    return png;
}

} // namespace test
