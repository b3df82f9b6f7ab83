// The table-driven conversion against straightforward printf formatting, on many random images.
#include <cstdio>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "bmp_builder.hpp"

namespace {

// The text as a plain formatter writes it, one value at a time, from the image's pixels.
std::string formatted(std::int32_t width, std::int32_t height,
                      const std::vector<test::Bgr>& pixels) {
    char line[64];
    std::string text = test::comment(width, height) + "    ";
    int count = 0;
    for (const test::Bgr& pixel : pixels) {
        std::snprintf(line, sizeof line, "%3d, %3d, %3d, ", pixel.g, pixel.r, pixel.b);
        text += line;
        if (++count % 8 == 0) {
            text += "\r\n    ";
        }
    }
    return text + "};\n\r";
}

TEST(Differential, MatchesPlainFormattingOnRandomImages) {
    std::mt19937 random(7);
    const auto below = [&](std::uint32_t bound) {
        return static_cast<std::uint32_t>(random() % bound);
    };
    for (int round = 0; round < 400; ++round) {
        // Mostly small images, some whose text spans several output buffers.
        const bool large = round % 20 == 0;
        const auto width = static_cast<std::int32_t>(1 + below(large ? 700 : 41));
        const auto height = static_cast<std::int32_t>(1 + below(large ? 300 : 23));
        // Values drawn from a narrow or a full range, with 0 and 255 made common.
        const std::uint32_t range = round % 3 == 0 ? 4 : 258;
        std::vector<test::Bgr> pixels(static_cast<std::size_t>(width * height));
        for (test::Bgr& pixel : pixels) {
            for (std::uint8_t* value : {&pixel.b, &pixel.g, &pixel.r}) {
                const std::uint32_t drawn = below(range);
                *value = static_cast<std::uint8_t>(drawn == 0 ? 0 : drawn == 1 ? 255 : drawn);
            }
        }
        SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
        const auto result = test::convert(test::bmp_file(width, height, pixels));
        ASSERT_EQ(result.status, 0);
        ASSERT_EQ(result.text, formatted(width, height, pixels));
    }
}

} // namespace
