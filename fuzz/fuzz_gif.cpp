// libFuzzer harness: any bytes, as a whole file, through the GIF decoder, on two backgrounds.
// Beyond the sanitizers' checks it aborts when the result breaks what the interface promises.
#include <cstdlib>

#include "image.hpp"

namespace {

void require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

// Limits small enough that an input's frames take milliseconds, not seconds.
constexpr tivrano::DecodeLimits LIMITS = {1024, 65536, 1024, std::uint64_t{4} << 20};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const tivrano::DecodedImage black = tivrano::decode_gif({data, size}, 0x000000, LIMITS);
    if (black.status != tivrano::DecodeStatus::decoded) {
        require(black.frames.empty() && !black.reason.empty());
        return 0;
    }
    require(black.reason.empty() && !black.frames.empty() && black.frames.size() <= 1024);
    require(black.width > 0 && black.height > 0 && black.width <= 1024 && black.height <= 1024);
    const auto frame_size =
        3 * static_cast<std::size_t>(black.width) * static_cast<std::size_t>(black.height);
    // On white, a pixel is the same, or white where it was black: transparent.
    const tivrano::DecodedImage white = tivrano::decode_gif({data, size}, 0xFFFFFF, LIMITS);
    require(white.status == tivrano::DecodeStatus::decoded);
    require(white.frames.size() == black.frames.size());
    for (std::size_t k = 0; k < black.frames.size(); ++k) {
        const auto& on_black = black.frames[k].rgb;
        const auto& on_white = white.frames[k].rgb;
        require(on_black.size() == frame_size && on_white.size() == frame_size);
        require(black.frames[k].delay_ms == white.frames[k].delay_ms);
        for (std::size_t at = 0; at < frame_size; at += 3) {
            const bool same = on_black[at] == on_white[at] &&
                              on_black[at + 1] == on_white[at + 1] &&
                              on_black[at + 2] == on_white[at + 2];
            const bool transparent = on_black[at] == 0 && on_black[at + 1] == 0 &&
                                     on_black[at + 2] == 0 && on_white[at] == 255 &&
                                     on_white[at + 1] == 255 && on_white[at + 2] == 255;
            require(same || transparent);
        }
    }
    return 0;
}
