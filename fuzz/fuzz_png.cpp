// libFuzzer harness: any bytes as a PNG, through stb_image and our chunk walk, with limits small
// enough that every size check is reached. A decoded image must be whole. Each input is decoded
// as it is, and again with its chunks' CRCs made to match, so that changed bytes reach stb_image
// rather than stop at their CRC.
#include <cstdlib>
#include <vector>

#include "image.hpp"

namespace {

void decode(std::span<const std::uint8_t> png) {
    tivrano::DecodeLimits limits;
    limits.max_side = 512;
    limits.max_frame_pixels = 65536;
    limits.max_total_bytes = std::uint64_t{3} * 65536;
    const tivrano::DecodedImage image = tivrano::decode_png(png, 0x102030, limits);
    if (image.status == tivrano::DecodeStatus::decoded) {
        const auto pixels =
            static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
        if (image.frames.size() != 1 || image.frames[0].rgb.size() != 3 * pixels ||
            pixels > limits.max_frame_pixels) {
            std::abort();
        }
    } else if (image.reason.empty() || !image.frames.empty()) {
        std::abort();
    }
}

std::uint32_t big_endian(std::span<const std::uint8_t> bytes) {
    return std::uint32_t{bytes[0]} << 24U | std::uint32_t{bytes[1]} << 16U |
           std::uint32_t{bytes[2]} << 8U | bytes[3];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    decode({data, size});
    std::vector<std::uint8_t> fixed(data, data + size);
    for (std::size_t at = 8; at + 12 <= size;) { // past the signature, chunk by chunk
        const std::uint64_t length = big_endian(std::span(fixed).subspan(at, 4));
        if (at + 12 + length > size) {
            break;
        }
        const auto end = at + 8 + static_cast<std::size_t>(length);
        const std::uint32_t crc = tivrano::crc32_of(std::span(fixed).subspan(at + 4, end - at - 4));
        for (std::size_t k = 0; k < 4; ++k) {
            fixed[end + k] = static_cast<std::uint8_t>(crc >> (24 - 8 * k));
        }
        at = end + 4;
    }
    decode(fixed);
    return 0;
}
