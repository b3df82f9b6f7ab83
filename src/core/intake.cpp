#include "intake.hpp"

#include <algorithm>

#include "frames.hpp"

namespace tivrano {

bool Taken::taken() const {
    return is_decoded() ? decoded.status == DecodeStatus::decoded
                        : header.verdict == Verdict::accepted;
}

std::size_t Taken::frame_count() const {
    return is_decoded() ? decoded.frames.size() : 1;
}

std::int32_t Taken::width() const {
    return is_decoded() ? decoded.width : header.width.value_or(0);
}

std::int32_t Taken::height() const {
    return is_decoded() ? decoded.height : header.height.value_or(0);
}

Pixels Taken::pixels(std::size_t k, std::span<const std::uint8_t> bytes) const {
    return is_decoded() ? rgb_pixels(decoded.width, decoded.height, decoded.frames[k].rgb)
                        : bmp_pixels(header, bytes);
}

std::uint16_t Taken::delay_ms(std::size_t k) const {
    return decoded.timed ? static_cast<std::uint16_t>(
                               std::min<std::uint32_t>(decoded.frames[k].delay_ms, 65535))
                         : DEFAULT_DELAY_MS;
}

Taken take(std::span<const std::uint8_t> bytes, Rgb background) {
    Taken taken;
    taken.format = image_format(bytes);
    if (taken.format == ImageFormat::png) {
        taken.decoded = decode_png(bytes, background);
    } else if (taken.format == ImageFormat::gif) {
        taken.decoded = decode_gif(bytes, background);
    } else {
        taken.header = read_bmp_header(bytes);
    }
    return taken;
}

} // namespace tivrano
