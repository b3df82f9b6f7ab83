// libFuzzer harness: any bytes as a PNG, through stb_image and our chunk walk, with limits small
// enough that every size check is reached. A decoded image must be whole.
#include <cstdlib>

#include "image.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tivrano::DecodeLimits limits;
    limits.max_side = 512;
    limits.max_frame_pixels = 65536;
    limits.max_total_bytes = std::uint64_t{3} * 65536;
    const tivrano::DecodedImage image = tivrano::decode_png({data, size}, 0x102030, limits);
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
    return 0;
}
