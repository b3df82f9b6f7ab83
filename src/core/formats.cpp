#include "formats.hpp"

#include <algorithm>
#include <cstring>

namespace tivrano {
namespace {

constexpr std::string_view FORMAT_NAMES[] = {"grb", "rgb565", "mono"};

// The brightness's weights by stored channel: blue, green, red; the sum in thousandths.
constexpr std::uint32_t BRIGHTNESS_WEIGHT[3] = {114, 587, 299};

} // namespace

std::uint64_t line_bytes(Format format, std::uint64_t length) {
    switch (format) {
    case Format::rgb565:
        return 2 * length;
    case Format::mono:
        return (length + 7) / 8;
    default:
        return 3 * length;
    }
}

std::uint64_t image_bytes(const ArrayOptions& options, std::int32_t width, std::int32_t height) {
    // Below 2^64 for any dimensions below 2^31: a line takes at most 3 bytes an LED.
    const StripShape shape = strip_shape(options.layout, width, height);
    return static_cast<std::uint64_t>(shape.lines) *
           line_bytes(options.format, static_cast<std::uint64_t>(shape.length));
}

bool set_format(Format& format, std::string_view name) {
    const auto same = [name](std::string_view known) {
        return name.size() == known.size() &&
               std::equal(name.begin(), name.end(), known.begin(), [](char a, char b) {
                   return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
               });
    };
    for (std::size_t k = 0; k < std::size(FORMAT_NAMES); ++k) {
        if (same(FORMAT_NAMES[k])) {
            format = static_cast<Format>(k);
            return true;
        }
    }
    return false;
}

std::string_view values_name(Format format) {
    constexpr std::string_view NAMES[] = {"triples", "16-bit values", "bits"};
    return NAMES[static_cast<std::size_t>(format)];
}

std::string_view format_name(Format format) {
    return FORMAT_NAMES[static_cast<std::size_t>(format)];
}

Encoder make_encoder(const ArrayOptions& options) {
    Encoder encoder;
    encoder.format = options.format;
    encoder.swap_bytes = options.swap_bytes;
    for (std::size_t k = 0; k < 3; ++k) {
        encoder.weight[k] = BRIGHTNESS_WEIGHT[options.layout.channel[k]];
    }
    // (sum + 500) / 1000 >= threshold, in whole numbers, is sum >= 1000 threshold - 500.
    encoder.lit_from = std::uint32_t{1000} * options.threshold - 500;
    return encoder;
}

void encode(const Encoder& encoder, const std::uint8_t* triples, std::size_t leds,
            std::uint8_t* out) {
    if (encoder.format == Format::rgb565) {
        const std::size_t low = encoder.swap_bytes ? 1 : 0;
        for (std::size_t k = 0; k < leds; ++k, triples += 3) {
            const unsigned first = triples[0];
            const unsigned second = triples[1];
            const unsigned third = triples[2];
            const unsigned value = (first >> 3U) << 11U | (second >> 2U) << 5U | third >> 3U;
            out[2 * k + low] = static_cast<std::uint8_t>(value & 0xFFU);
            out[2 * k + 1 - low] = static_cast<std::uint8_t>(value >> 8U);
        }
    } else if (encoder.format == Format::mono) {
        const auto lit = [&encoder, triples](std::size_t led) {
            const std::uint8_t* const t = triples + 3 * led;
            const std::uint32_t* const weight = encoder.weight;
            return weight[0] * t[0] + weight[1] * t[1] + weight[2] * t[2] >= encoder.lit_from;
        };
        for (std::size_t k = 0; k < leds; k += 8) {
            unsigned byte = 0;
            for (std::size_t led = k; led < k + 8; ++led) {
                byte = byte << 1U | (led < leds && lit(led) ? 1U : 0U);
            }
            out[k / 8] = static_cast<std::uint8_t>(byte);
        }
    } else if (leds != 0) {
        std::memcpy(out, triples, 3 * leds);
    }
}

} // namespace tivrano
