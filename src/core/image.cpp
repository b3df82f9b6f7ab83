#include "image.hpp"

#include <algorithm>
#include <array>

namespace tivrano {

namespace {

constexpr std::array<std::uint8_t, 2> BMP_SIGNATURE = {'B', 'M'};
constexpr std::array<std::uint8_t, 8> PNG_SIGNATURE = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::array<std::uint8_t, 6> GIF87A_SIGNATURE = {'G', 'I', 'F', '8', '7', 'a'};
constexpr std::array<std::uint8_t, 6> GIF89A_SIGNATURE = {'G', 'I', 'F', '8', '9', 'a'};

template <std::size_t N>
bool starts_with(std::span<const std::uint8_t> bytes,
                 const std::array<std::uint8_t, N>& signature) {
    return bytes.size() >= N && std::equal(signature.begin(), signature.end(), bytes.begin());
}

} // namespace

ImageFormat image_format(std::span<const std::uint8_t> bytes) {
    if (starts_with(bytes, BMP_SIGNATURE)) {
        return ImageFormat::bmp;
    }
    if (starts_with(bytes, PNG_SIGNATURE)) {
        return ImageFormat::png;
    }
    if (starts_with(bytes, GIF87A_SIGNATURE) || starts_with(bytes, GIF89A_SIGNATURE)) {
        return ImageFormat::gif;
    }
    return ImageFormat::other;
}

} // namespace tivrano
