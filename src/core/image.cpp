#include "image.hpp"

#include <string_view>

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

} // namespace tivrano
