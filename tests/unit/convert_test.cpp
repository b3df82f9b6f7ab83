// The conversion on files built in memory, with the expected text written out in full.
#include <algorithm>
#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bmp_builder.hpp"
#include "cases.hpp"
#include "frames.hpp"
#include "intake.hpp"

namespace {

using test::Bgr;
using test::Bytes;
using test::bytes_of;
using test::NO_SIGNATURE;
using test::TRUNCATED;

using test::comment;

// The first eight triples of test::counting_pixels, as the first line of values.
const std::string LINE_0_TO_7 = "    100, 200,   0, 101, 201,   1, 102, 202,   2, 103, 203,   3, "
                                "104, 204,   4, 105, 205,   5, 106, 206,   6, 107, 207,   7, \r\n";

TEST(Convert, OnePixelIsWrittenGreenRedBlue) {
    const auto result = test::convert(test::bmp_file(1, 1, {{16, 32, 48}}));
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.text, comment(1, 1) + "     32,  48,  16, };\n\r");
}

TEST(Convert, ValuesAreUnsignedAndRightAligned) {
    const auto result =
        test::convert(test::bmp_file(3, 1, {{255, 0, 7}, {0, 255, 0}, {9, 10, 99}}));
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.text,
              comment(3, 1) + "      0,   7, 255, 255,   0,   0,  10,  99,   9, };\n\r");
}

// Line breaks follow every eighth triple, counted across rows; rows are written top first. The
// rows of widths 1 to 5 are padded to four bytes: three rows, so that a wrong row length shows
// in the middle row as well as in the last.
TEST(Convert, LineBreaksAndPaddedRows) {
    const std::string six = "    100, 200,   0, 101, 201,   1, 102, 202,   2, 103, 203,   3, "
                            "104, 204,   4, 105, 205,   5, };\n\r";
    const std::string eleven = LINE_0_TO_7 + "    108, 208,   8, 109, 209,   9, 110, 210,  10, ";
    struct Case {
        std::int32_t width;
        std::int32_t height;
        std::string values;
    };
    const std::vector<Case> cases = {
        {1, 3, "    100, 200,   0, 101, 201,   1, 102, 202,   2, };\n\r"},
        {2, 3, six},
        {3, 2, six},
        {3, 3, LINE_0_TO_7 + "    108, 208,   8, };\n\r"},
        {4, 3, eleven + "111, 211,  11, };\n\r"},
        {5, 3, eleven + "111, 211,  11, 112, 212,  12, 113, 213,  13, 114, 214,  14, };\n\r"},
        {8, 1, LINE_0_TO_7 + "    };\n\r"},
        {2, 4, LINE_0_TO_7 + "    };\n\r"},
        {1, 16,
         eleven + "111, 211,  11, 112, 212,  12, 113, 213,  13, 114, 214,  14, "
                  "115, 215,  15, \r\n    };\n\r"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        const auto pixels = test::counting_pixels(static_cast<std::size_t>(c.width * c.height));
        const auto result = test::convert(test::bmp_file(c.width, c.height, pixels));
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.text, comment(c.width, c.height) + c.values);
    }
}

TEST(Convert, LineSize) {
    const std::vector<std::pair<std::int32_t, std::uint64_t>> cases = {
        {1, 4},
        {2, 8},
        {3, 12},
        {4, 12},
        {5, 16},
        {577, 1732},
        {0, 0},
        {-1, 0},
        {INT32_MIN, 0},
        {INT32_MAX, 6442450944},
        {1431655765, 4294967296},
        {1431655766, 4294967300},
    };
    for (const auto& [width, size] : cases) {
        EXPECT_EQ(tivrano::line_size(width), size) << "width " << width;
    }
}

Bytes resized(Bytes bytes, std::size_t size) {
    bytes.resize(size, 0);
    return bytes;
}

// The signature comes first, on the bytes there are; then the length. The top row's fill bytes
// are never read, so a file may end at its last pixel byte.
TEST(Convert, SignatureAndShortFiles) {
    const Bytes whole = test::bmp_file(3, 2, test::counting_pixels(6));
    ASSERT_EQ(whole.size(), 78U);
    struct Case {
        std::string name;
        Bytes file;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"empty", {}, TRUNCATED},
        {"B", bytes_of("B"), TRUNCATED},
        {"X", bytes_of("X"), NO_SIGNATURE},
        {"BX", bytes_of("BX"), NO_SIGNATURE},
        {"bm", resized(bytes_of("bm"), 78), NO_SIGNATURE},
        {"MB", resized(bytes_of("MB"), 78), NO_SIGNATURE},
        {"BM only", bytes_of("BM"), TRUNCATED},
        {"25 bytes", resized(bytes_of("BM"), 25), TRUNCATED},
        {"26 bytes, no pixels", resized(bytes_of("BM"), 26), comment(0, 0) + "    };\n\r"},
        {"40 bytes, width 0", resized(test::bmp_header(0, 7), 40), comment(0, 7) + "    };\n\r"},
        {"53 bytes, width -3", resized(test::bmp_header(-3, 2), 53), comment(-3, 2) + "    };\n\r"},
        {"30 bytes, height 0", resized(test::bmp_header(9, 0), 30), comment(9, 0) + "    };\n\r"},
        {"1 x 1, header only", test::bmp_header(1, 1), TRUNCATED},
        {"1 x 1, two pixel bytes", resized(test::bmp_header(1, 1), 56), TRUNCATED},
        {"1 x 1, three pixel bytes", resized(test::bmp_header(1, 1), 57),
         comment(1, 1) + "      0,   0,   0, };\n\r"},
        {"3 x 2, to the last pixel byte", resized(whole, 75), test::convert(whole).text},
        {"3 x 2, one byte short of it", resized(whole, 74), TRUNCATED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto result = test::convert(c.file);
        EXPECT_EQ(result.text, c.text);
        EXPECT_EQ(result.status, c.text == TRUNCATED || c.text == NO_SIGNATURE ? -1 : 0);
    }
}

// No pixel byte is read when a dimension is zero or negative, with colour options too, which
// count the pixels first; the comment shows the true values.
TEST(Convert, ZeroAndNegativeDimensionsGiveAnEmptyArray) {
    struct Case {
        std::int32_t width;
        std::int32_t height;
    };
    const std::vector<Case> cases = {
        {0, 0},
        {0, 3},
        {3, 0},
        {-1, 2},
        {3, -2},
        {-5, -5},
        {INT32_MIN, 1},
        {1, INT32_MIN},
        {INT32_MAX, 0},
        {0, INT32_MAX},
        {INT32_MIN, INT32_MAX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        const auto result = test::convert(test::bmp_header(c.width, c.height));
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.text, comment(c.width, c.height) + "    };\n\r");
        tivrano::ArrayOptions coloured;
        coloured.colour.gamma_milli[1] = 2800;
        coloured.colour.max_current_ma = 1;
        const auto corrected = test::convert(test::bmp_header(c.width, c.height), coloured);
        EXPECT_EQ(corrected.status, 0);
        EXPECT_TRUE(corrected.text.ends_with("{\r\n    };\n\r")) << corrected.text;
    }
}

// Dimensions whose pixels could never fit, including those whose row length or total would wrap
// in 32 bits, are refused before anything is read.
TEST(Convert, HugeDimensionsAreRefused) {
    const std::vector<std::pair<std::int32_t, std::int32_t>> cases = {
        {INT32_MAX, 1},  {1, INT32_MAX},  {INT32_MAX, INT32_MAX},
        {1431655765, 1}, {1431655766, 1}, {1431655766, INT32_MAX},
        {1073741824, 2}, {333315, 2},     {2, 1 << 30},
    };
    for (const auto& [width, height] : cases) {
        SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
        const auto result = test::convert(resized(test::bmp_header(width, height), 1000000));
        EXPECT_EQ(result.status, -1);
        EXPECT_EQ(result.text, TRUNCATED);
    }
}

// Only the signature and the dimensions are read from the header.
TEST(Convert, OtherHeaderFieldsAreIgnored) {
    const Bytes plain = test::bmp_file(3, 3, test::counting_pixels(9));
    const auto expected = test::convert(plain);
    ASSERT_EQ(expected.status, 0);
    const std::vector<std::pair<std::size_t, std::uint32_t>> fields = {
        {28, 8}, {28, 32}, {30, 1}, {30, 3}, {10, 1078}, {10, 0}, {2, 0}, {14, 124},
    };
    for (const auto& [offset, value] : fields) {
        SCOPED_TRACE(std::to_string(offset) + " = " + std::to_string(value));
        Bytes file = plain;
        test::put_le32(file, offset, value);
        if (offset == 28) { // bits per pixel is a two-byte field
            file[offset + 2] = plain[offset + 2];
            file[offset + 3] = plain[offset + 3];
        }
        EXPECT_EQ(test::convert(file).text, expected.text);
    }
}

// Each conversion starts its own count of triples.
TEST(Convert, ConversionsAreIndependent) {
    const Bytes first = test::bmp_file(3, 1, test::counting_pixels(3));
    const Bytes second = test::bmp_file(3, 3, test::counting_pixels(9));
    const auto alone = test::convert(second);
    test::convert(first);
    EXPECT_EQ(test::convert(second).text, alone.text);
}

struct FailingSink {
    int writes_allowed;
    int writes_seen = 0;
};

bool fail_after(void* context, const char* /*bytes*/, std::size_t /*size*/) {
    auto& sink = *static_cast<FailingSink*>(context);
    return ++sink.writes_seen <= sink.writes_allowed;
}

// A failed write fails the conversion, and nothing more is sent after it.
TEST(Convert, FailedWriteFailsTheConversion) {
    const Bytes large = test::bmp_file(500, 500, std::vector<Bgr>(250000, Bgr{1, 2, 3}));
    const Bytes small = test::bmp_file(1, 1, {{1, 2, 3}});
    const Bytes refused = bytes_of("XY");
    for (int allowed = 0; allowed < 3; ++allowed) {
        SCOPED_TRACE(allowed);
        for (const Bytes* file : {&large, &small, &refused}) {
            FailingSink state{allowed};
            const bool fails = file == &large || allowed == 0;
            const int status = tivrano::convert_bmp(*file, {fail_after, &state});
            EXPECT_EQ(status, fails || file == &refused ? -1 : 0);
            EXPECT_EQ(state.writes_seen, fails ? allowed + 1 : 1);
        }
    }
}

// Every order of the three channels, named in any case; anything else is not an order.
TEST(Convert, ChannelOrders) {
    const Bytes file = test::bmp_file(1, 1, {{1, 2, 3}}); // blue 1, green 2, red 3
    const std::vector<std::pair<std::string, std::string>> orders = {
        {"grb", "GRB:  2,   3,   1"}, {"RGB", "RGB:  3,   2,   1"}, {"Brg", "BRG:  1,   3,   2"},
        {"bgr", "BGR:  1,   2,   3"}, {"rbG", "RBG:  3,   1,   2"}, {"gbr", "GBR:  2,   1,   3"},
    };
    for (const auto& [name, expected] : orders) {
        SCOPED_TRACE(name);
        tivrano::ArrayOptions options;
        ASSERT_TRUE(tivrano::set_order(options.layout, name.c_str()));
        std::string text;
        ASSERT_EQ(tivrano::convert_bmp(file, {test::append_to_string, &text}, options), 0);
        const std::string order = expected.substr(0, 3);
        EXPECT_NE(text.find("3 bytes / pixel, " + order + " Reihenfolge\r\n"), std::string::npos);
        EXPECT_NE(text.find("{\r\n    " + expected.substr(4) + ", };"), std::string::npos) << text;
    }
    for (const char* wrong : {"", "gr", "grbb", "ggb", "xyz", "g r"}) {
        tivrano::Layout layout;
        EXPECT_FALSE(tivrano::set_order(layout, wrong)) << wrong;
        EXPECT_STREQ(layout.order_name, "GRB");
    }
}

// The shared cases that the core takes alone, with the intake: one file and no option. What
// it writes is what the command line writes on standard output.
TEST(Convert, SharedCases) {
    for (const test::ToolCase& c : test::tool_cases()) {
        if (c.args.size() != 1 || c.files.size() != 1 || c.files[0].name != c.args[0] ||
            c.files[0].bytes.size() > tivrano::MAX_FILE_SIZE) {
            continue;
        }
        SCOPED_TRACE(c.args[0]);
        const Bytes& bytes = c.files[0].bytes;
        const tivrano::Taken taken = tivrano::take(bytes, 0);
        if (taken.is_decoded() && !taken.taken()) {
            continue; // the shell words a decoder's refusals
        }
        std::string out;
        const tivrano::Sink sink{test::append_to_string, &out};
        const int status = taken.is_decoded()
                               ? tivrano::convert_image(taken.pixels(0, bytes), sink, {})
                               : tivrano::convert_bmp(bytes, sink);
        EXPECT_TRUE(out == c.out) << out.substr(0, 1000);
        EXPECT_EQ(status == 0 ? 0 : 255, c.status);
    }
}

// The values of a text, in order.
std::vector<int> values_of(const std::string& text) {
    std::vector<int> values;
    int value = -1;
    for (std::size_t k = text.find('{') + 1; k < text.size(); ++k) {
        if (text[k] >= '0' && text[k] <= '9') {
            value = (value < 0 ? 0 : value * 10) + (text[k] - '0');
        } else if (value >= 0) {
            values.push_back(value);
            value = -1;
        }
    }
    return values;
}

std::string converted(const Bytes& file, const tivrano::ArrayOptions& options) {
    std::string text;
    EXPECT_EQ(tivrano::convert_bmp(file, {test::append_to_string, &text}, options), 0);
    return text;
}

// --gamma=2.8 gives the widely copied gamma8 table, in every channel.
TEST(Colour, Gamma28IsTheGamma8Table) {
    // clang-format off
    const int gamma8[256] = {
          0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,
          0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   1,   1,   1,   1,
          1,   1,   1,   1,   1,   1,   1,   1,   1,   2,   2,   2,   2,   2,   2,   2,
          2,   3,   3,   3,   3,   3,   3,   3,   4,   4,   4,   4,   4,   5,   5,   5,
          5,   6,   6,   6,   6,   7,   7,   7,   7,   8,   8,   8,   9,   9,   9,  10,
         10,  10,  11,  11,  11,  12,  12,  13,  13,  13,  14,  14,  15,  15,  16,  16,
         17,  17,  18,  18,  19,  19,  20,  20,  21,  21,  22,  22,  23,  24,  24,  25,
         25,  26,  27,  27,  28,  29,  29,  30,  31,  32,  32,  33,  34,  35,  35,  36,
         37,  38,  39,  39,  40,  41,  42,  43,  44,  45,  46,  47,  48,  49,  50,  50,
         51,  52,  54,  55,  56,  57,  58,  59,  60,  61,  62,  63,  64,  66,  67,  68,
         69,  70,  72,  73,  74,  75,  77,  78,  79,  81,  82,  83,  85,  86,  87,  89,
         90,  92,  93,  95,  96,  98,  99, 101, 102, 104, 105, 107, 109, 110, 112, 114,
        115, 117, 119, 120, 122, 124, 126, 127, 129, 131, 133, 135, 137, 138, 140, 142,
        144, 146, 148, 150, 152, 154, 156, 158, 160, 162, 164, 167, 169, 171, 173, 175,
        177, 180, 182, 184, 186, 189, 191, 193, 196, 198, 200, 203, 205, 208, 210, 213,
        215, 218, 220, 223, 225, 228, 231, 233, 236, 239, 241, 244, 247, 249, 252, 255,
    };
    // clang-format on
    std::vector<Bgr> pixels;
    for (int k = 0; k < 256; ++k) {
        const auto v = static_cast<std::uint8_t>(k);
        pixels.push_back({v, static_cast<std::uint8_t>(255 - k), v});
    }
    tivrano::ArrayOptions options;
    options.colour.gamma_milli[0] = options.colour.gamma_milli[1] = 2800;
    options.colour.gamma_milli[2] = 2800;
    const std::vector<int> values = values_of(converted(test::bmp_file(16, 16, pixels), options));
    ASSERT_EQ(values.size(), 768U);
    for (std::size_t k = 0; k < 256; ++k) {
        EXPECT_EQ(values[3 * k], gamma8[255 - k]) << "green " << 255 - k;
        EXPECT_EQ(values[3 * k + 1], gamma8[k]) << "red " << k;
        EXPECT_EQ(values[3 * k + 2], gamma8[k]) << "blue " << k;
    }
}

// The tool raises to the gamma without the maths library: for every gamma the options take, in
// every channel, the table is the one std::pow gives.
TEST(Colour, EveryGammaGivesTheTableOfStdPow) {
    tivrano::Colour colour;
    std::size_t differences = 0;
    // Every gamma the options take; under QEMU, whose floating point takes 30 times as long
    // (14 s on s390x), every seventh.
    const std::uint32_t step = std::string(TIVRANO_EMULATOR).empty() ? 1 : 7;
    for (std::uint32_t milli = 100; milli <= 5000; milli += step) {
        colour.gamma_milli[0] = colour.gamma_milli[1] = colour.gamma_milli[2] = milli;
        const tivrano::ColourPlan plan = tivrano::plan_colour(colour, {});
        const double gamma = milli / 1000.0;
        for (std::size_t value = 0; value < 256; ++value) {
            const double expected =
                std::floor(255.0 * std::pow(static_cast<double>(value) / 255.0, gamma) + 0.5);
            for (const auto& channel : plan.table) {
                if (channel[value] != expected && ++differences <= 10) {
                    ADD_FAILURE() << "gamma " << gamma << ", value " << value << ": "
                                  << int{channel[value]} << ", std::pow gives " << expected;
                }
            }
        }
    }
    EXPECT_EQ(differences, 0U);
}

// With a limit, the frames share the largest factor at which each draws at most that much by
// the model, and the comment says so. The figures were worked out apart, by trying every factor
// from 0 to 65536 in Python: the largest that fits, what the brightest frame then draws in mA
// rounded up, and the factor in percent rounded down, in tenths below 10 %.
TEST(Colour, CurrentLimitIsMetByTheLargestFactor) {
    struct Case {
        std::vector<Bytes> frames;
        std::uint64_t limit_ma;
        std::uint32_t scale; // in 65536ths
        std::string current; // the comment's line, for one frame
        std::uint32_t gamma_milli = 1000;
        std::uint32_t led_ua[4] = {16000, 11000, 15000, 1000};
    };
    const Bytes white = test::bmp_file(16, 16, std::vector<Bgr>(256, {255, 255, 255}));
    const Bytes counting = test::bmp_file(7, 5, test::counting_pixels(35));
    const Bytes counting_2x2 = test::bmp_file(2, 2, test::counting_pixels(4));
    const Bytes white_2x2 = test::bmp_file(2, 2, std::vector<Bgr>(4, {255, 255, 255}));
    const std::vector<Case> cases = {
        {{white}, 11008, 65536, "11008 mA (limit 11008 mA, not scaled)"},
        {{white}, 11007, 65535, "10966 mA (limit 11007 mA, scaled to 99 %)"},
        {{white}, 2000, 10794, "1985 mA (limit 2000 mA, scaled to 16 %)"},
        {{white}, 300, 514, "299 mA (limit 300 mA, scaled to 0.7 %)"},
        {{white}, 256, 257, "256 mA (limit 256 mA, scaled to 0.3 %)"},
        {{counting}, 1000, 65536, "724 mA (limit 1000 mA, not scaled)"},
        {{counting}, 300, 25504, "300 mA (limit 300 mA, scaled to 38 %)"},
        {{counting}, 100, 9455, "100 mA (limit 100 mA, scaled to 14 %)", 2200},
        {{counting},
         36,
         2705,
         "36 mA (limit 36 mA, scaled to 4.1 %)",
         1000,
         {20000, 20000, 20000, 0}},
        {{counting_2x2, white_2x2}, 60, 22102, ""},
        {{counting_2x2, white_2x2}, 9, 2056, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.limit_ma) + " mA, " + std::to_string(c.frames.size()) +
                     " frames");
        tivrano::ArrayOptions options;
        options.colour.max_current_ma = c.limit_ma;
        std::copy(std::begin(c.led_ua), std::end(c.led_ua), options.colour.led_current_ua);
        std::fill(std::begin(options.colour.gamma_milli), std::end(options.colour.gamma_milli),
                  c.gamma_milli);
        tivrano::Frames frames;
        for (const Bytes& image : c.frames) {
            tivrano::add_frame(tivrano::bmp_pixels(tivrano::read_bmp_header(image), image), 100,
                               options.layout, frames);
        }
        EXPECT_EQ(tivrano::colour_frames(options.colour, options.layout, frames).scale, c.scale);
        // Each frame's draw from the values written, green, red and blue, in 255ths of a uA.
        for (std::size_t k = 0; k < frames.count(); ++k) {
            std::uint64_t draw = 0;
            for (std::size_t at = 0; at < frames.frame_size(); ++at) {
                const std::uint64_t value = frames.frame(k)[at];
                draw += value * c.led_ua[at % 3 == 0   ? 1
                                         : at % 3 == 1 ? 0
                                                       : 2] +
                        (at % 3 == 0 ? 255 * std::uint64_t{c.led_ua[3]} : 0);
            }
            EXPECT_LE(draw, c.limit_ma * 1000 * 255) << "frame " << k;
        }
        if (c.frames.size() == 1) {
            const std::string text = converted(c.frames[0], options);
            EXPECT_NE(text.find("\r\nCurrent: at most " + c.current + "\r\n"), std::string::npos)
                << text;
        }
    }
}

} // namespace
