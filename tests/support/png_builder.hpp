// PNGs built byte by byte for the tests: chunks with their CRCs, and an 8-bit RGB image of one
// row whose data lies in a stored (uncompressed) deflate block.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace test {

// CRC-32 a bit at a time, apart from the tool's table.
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

inline void put_be32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(value >> static_cast<unsigned>(shift)));
    }
}

inline void png_chunk(std::vector<std::uint8_t>& png, std::string_view type,
                      const std::vector<std::uint8_t>& data) {
    put_be32(png, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = png.size();
    png.insert(png.end(), type.begin(), type.end());
    png.insert(png.end(), data.begin(), data.end());
    put_be32(png, png_crc(png, start));
}

// An 8-bit RGB PNG of one row (3 bytes a pixel: red, green, blue), with an empty IDAT chunk
// first when asked.
inline std::vector<std::uint8_t> rgb_png(const std::vector<std::uint8_t>& row,
                                         bool empty_idat_first = false) {
    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::vector<std::uint8_t> header;
    put_be32(header, static_cast<std::uint32_t>(row.size() / 3));
    put_be32(header, 1);
    header.insert(header.end(), {8, 2, 0, 0, 0});
    png_chunk(png, "IHDR", header);
    std::vector<std::uint8_t> raw = {0}; // filter: none
    raw.insert(raw.end(), row.begin(), row.end());
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
        png_chunk(png, "IDAT", {});
    }
    png_chunk(png, "IDAT", z);
    png_chunk(png, "IEND", {});
    return png;
}

} // namespace test
