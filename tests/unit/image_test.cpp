// What PNG and GIF decoding share: the format by its first bytes, the rule for transparency,
// the conversion of a decoded image, and PNGs built here that stb_image once mishandled. Every kind
// of PNG is compared with Pillow's decoding by tests/e2e/png_test.py.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bmp_builder.hpp"
#include "image.hpp"
#include "png_builder.hpp"
#include "tivrano.hpp"

namespace {

using test::Bytes;

Bytes bytes_of(std::string_view text) {
    return {text.begin(), text.end()};
}

TEST(Image, FormatByItsFirstBytes) {
    const struct {
        std::string_view start;
        tivrano::ImageFormat format;
    } cases[] = {
        {"BM", tivrano::ImageFormat::bmp},
        {"\x89PNG\r\n\x1a\n", tivrano::ImageFormat::png},
        {"\x89PNG\r\n", tivrano::ImageFormat::other},
        {"GIF87a", tivrano::ImageFormat::gif},
        {"GIF89a", tivrano::ImageFormat::gif},
        {"GIF88a", tivrano::ImageFormat::other},
        {"", tivrano::ImageFormat::other},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tivrano::image_format(bytes_of(c.start)), c.format) << c.start;
    }
}

TEST(Image, TransparencyIsLaidOnTheBackgroundRoundingHalvesUp) {
    EXPECT_EQ(tivrano::over(200, 255, 7), 200);
    EXPECT_EQ(tivrano::over(200, 0, 7), 7);
    EXPECT_EQ(tivrano::over(255, 128, 0), 128); // 32640 / 255 = 128 exactly
    EXPECT_EQ(tivrano::over(1, 128, 0), 1);     // 128.5 / 255 rounds to 1
    EXPECT_EQ(tivrano::over(0, 1, 255), 254);   // 254 / 255 * 255
}

// A decoded image converts as a BMP of those pixels does, under any order and format.
TEST(Image, PngsConvertAsTheBmpOfTheirPixels) {
    const Bytes row = {10, 20, 30, 40, 50, 60, 70, 80, 90};
    const Bytes bmp = test::bmp_file(3, 1, {{30, 20, 10}, {60, 50, 40}, {90, 80, 70}});
    for (const bool empty_idat_first : {false, true}) {
        const tivrano::DecodedImage image =
            tivrano::decode_png(test::png_file(3, 1, row, false, empty_idat_first), 0);
        ASSERT_EQ(image.status, tivrano::DecodeStatus::decoded) << image.reason;
        ASSERT_EQ(image.frames.size(), 1U);
        EXPECT_EQ(image.frames[0].rgb, row);
        for (const char* order : {"grb", "bgr"}) {
            for (const tivrano::Format format : {tivrano::Format::grb, tivrano::Format::rgb565}) {
                tivrano::ArrayOptions options;
                tivrano::set_order(options.layout, order);
                options.layout.start = tivrano::Corner::top_right;
                options.format = format;
                std::string text;
                const tivrano::Sink sink{[](void* into, const char* bytes, std::size_t size) {
                                             static_cast<std::string*>(into)->append(bytes, size);
                                             return true;
                                         },
                                         &text};
                EXPECT_EQ(tivrano::convert_image(
                              tivrano::rgb_pixels(image.width, image.height, image.frames[0].rgb),
                              sink, options),
                          0);
                EXPECT_EQ(text, test::convert(bmp, options).text) << order;
            }
        }
    }
    tivrano::DecodeLimits small;
    small.max_frame_pixels = 2;
    EXPECT_EQ(tivrano::decode_png(test::png_file(3, 1, row, false), 0, small).status,
              tivrano::DecodeStatus::too_large);
}

} // namespace
