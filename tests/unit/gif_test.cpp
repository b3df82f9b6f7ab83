// The GIF decoder against Pillow's decoding of the same files, against frames written out where
// Pillow and browsers differ, and on files cut short, broken or over a limit.
#include <sstream>

#include <gtest/gtest.h>

#include "bmp_builder.hpp"
#include "gif_builder.hpp"
#include "image.hpp"
#include "process.hpp"

namespace {

using test::Bytes;
using test::bytes_of;
using tivrano::DecodeStatus;

constexpr tivrano::Rgb BACKGROUND = 0x336699;
// Black, red, green, blue: the letters k, r, g, b of the written-out frames.
const Bytes KRGB = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};

// Indices that look random, below `modulo`.
Bytes noise(std::size_t count, unsigned modulo, unsigned seed) {
    Bytes indices(count);
    for (std::uint8_t& index : indices) {
        seed = seed * 1103515245U + 12345U;
        index = static_cast<std::uint8_t>((seed >> 16U) % modulo);
    }
    return indices;
}

Bytes grey_ramp() {
    Bytes table;
    for (unsigned k = 0; k < 256; ++k) {
        table.insert(table.end(), {static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(255 - k),
                                   static_cast<std::uint8_t>(k * 7)});
    }
    return table;
}

test::GifFrame full(std::uint16_t w, std::uint16_t h, Bytes indices) {
    test::GifFrame frame;
    frame.width = w;
    frame.height = h;
    frame.indices = std::move(indices);
    return frame;
}

test::GifFrame at(std::uint16_t x, std::uint16_t y, std::uint16_t w, std::uint16_t h, Bytes indices,
                  int disposal, int transparent = -1) {
    test::GifFrame frame = full(w, h, std::move(indices));
    frame.left = x;
    frame.top = y;
    frame.disposal = disposal;
    frame.transparent = transparent;
    return frame;
}

Bytes big_frame(bool clear_when_full) {
    // Noise that fills the table, then its second half over and over: the strings made as the
    // table filled come again after it is full, so that its last entries are used.
    Bytes indices = noise(6000, 256, 1);
    const Bytes half(indices.begin() + 3000, indices.end());
    while (indices.size() < 128 * 128) {
        indices.insert(indices.end(), half.begin(), half.end());
    }
    indices.resize(128 * 128);
    test::GifFrame frame = full(128, 128, indices);
    frame.min_code_size = 8;
    frame.clear_when_full = clear_when_full;
    return test::gif(128, 128, grey_ramp(), {frame});
}

Bytes code_sizes() {
    std::vector<test::GifFrame> frames;
    for (int size = 2; size <= 8; ++size) {
        frames.push_back(full(24, 20, noise(480, 1U << size, static_cast<unsigned>(size))));
        frames.back().min_code_size = size;
    }
    return test::gif(24, 20, grey_ramp(), frames);
}

Bytes interlaced(std::uint16_t w, std::uint16_t h) {
    test::GifFrame frame = full(w, h, noise(std::size_t{w} * h, 4, h));
    frame.interlaced = true;
    return test::gif(w, h, KRGB, {frame});
}

// Files whose frames Pillow composes as browsers do, by name in the scratch folder.
const std::vector<std::pair<std::string, Bytes>>& pillow_cases() {
    static const std::vector<std::pair<std::string, Bytes>> cases = [] {
        test::GifFrame local = full(4, 3, noise(12, 4, 1));
        local.local = {9, 8, 7, 60, 50, 40, 200, 100, 0, 1, 2, 3};
        return std::vector<std::pair<std::string, Bytes>>{
            {"one_pixel", test::gif(1, 1, KRGB, {full(1, 1, {2})})},
            {"local_table",
             test::gif(4, 3, KRGB,
                       {full(4, 3, noise(12, 4, 2)), local, full(4, 3, noise(12, 4, 3))})},
            {"transparent_kept", test::gif(5, 4, KRGB,
                                           {at(0, 0, 5, 4, noise(20, 4, 4), 1, 0),
                                            at(1, 1, 3, 2, {3, 1, 3, 2, 3, 1}, 0, 3),
                                            at(2, 0, 2, 2, {0, 0, 1, 2}, 1, 0)})},
            {"dispose_to_transparent",
             test::gif(5, 4, KRGB,
                       {at(0, 0, 5, 4, noise(20, 4, 5), 1, 0), at(1, 1, 3, 2, noise(6, 4, 6), 2, 0),
                        at(3, 2, 2, 2, {1, 1, 2, 2}, 0, 0)})},
            {"dispose_to_previous",
             test::gif(5, 4, KRGB,
                       {at(0, 0, 5, 4, noise(20, 3, 7), 1, 3), at(1, 1, 3, 2, noise(6, 4, 8), 3, 0),
                        at(0, 2, 3, 2, {2, 2, 2, 1, 1, 1}, 3), at(4, 0, 1, 4, {3, 3, 3, 3}, 0)})},
            {"interlaced", interlaced(5, 13)},
            {"interlaced_short", interlaced(3, 2)},
            {"code_sizes", code_sizes()},
            {"table_full_no_clear", big_frame(false)},
            {"table_full_clear", big_frame(true)},
            {"screen_grows", test::gif(0, 0, KRGB, {at(1, 0, 3, 2, {1, 2, 3, 3, 2, 1}, 0, 0)})},
        };
    }();
    return cases;
}

// Pillow, for Debian's python3, where CI installs it (python3-pil).
bool has_pillow() {
    static const bool found =
        test::run_shell("/usr/bin/python3 -c 'import PIL' 2>/dev/null").status == 0;
    return found;
}

// The scratch folder with every file of pillow_cases, Pillow's own files, and Pillow's frames.
const std::filesystem::path& pillow_folder() {
    static const std::filesystem::path folder = [] {
        const auto path = test::scratch() / "pillow";
        for (const auto& [name, bytes] : pillow_cases()) {
            test::write_file(path / (name + ".gif"), bytes);
        }
        const test::Run run = test::run_shell(
            "/usr/bin/python3 " +
            test::quote(std::string(TIVRANO_SOURCE_DIR) + "/tests/support/pillow_gifs.py") + " " +
            test::quote(path));
        EXPECT_EQ(run.status, 0) << run.err;
        return path;
    }();
    return folder;
}

// The first pixel where `frame` differs from `rgba` laid on the background, or "".
std::string first_difference(const Bytes& frame, const Bytes& rgba, std::size_t offset) {
    for (std::size_t pixel = 0; pixel < frame.size() / 3; ++pixel) {
        const std::uint8_t* theirs = rgba.data() + offset + 4 * pixel;
        for (std::size_t c = 0; c < 3; ++c) {
            const auto back = static_cast<std::uint8_t>(BACKGROUND >> (16 - 8 * c));
            if (frame[3 * pixel + c] != tivrano::over(theirs[c], theirs[3], back)) {
                return "pixel " + std::to_string(pixel);
            }
        }
    }
    return "";
}

TEST(Gif, FramesAsPillowComposesThem) {
    if (!has_pillow()) {
        GTEST_SKIP() << "Pillow is missing (apt-get install python3-pil)";
    }
    std::vector<std::string> names;
    for (const auto& [name, bytes] : pillow_cases()) {
        names.push_back(name);
    }
    // pillow_disposals is not here: Pillow 9.4 shows colour 0 where disposal 2 cleared a frame on a
    // canvas without transparency; Chromium shows it transparent, as we do (tests/e2e).
    names.emplace_back("pillow_interlaced");
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const Bytes gif = bytes_of(test::read_file(pillow_folder() / (name + ".gif")));
        const Bytes rgba = bytes_of(test::read_file(pillow_folder() / (name + ".rgba")));
        std::istringstream sizes(test::read_file(pillow_folder() / (name + ".txt")));
        std::int32_t width = 0;
        std::int32_t height = 0;
        std::size_t count = 0;
        ASSERT_TRUE(sizes >> width >> height >> count);
        const tivrano::DecodedImage image = tivrano::decode_gif(gif, BACKGROUND);
        ASSERT_EQ(image.status, DecodeStatus::decoded) << image.reason;
        EXPECT_EQ(image.width, width);
        EXPECT_EQ(image.height, height);
        ASSERT_EQ(image.frames.size(), count);
        const std::size_t frame_size = std::size_t{4} * static_cast<std::size_t>(width * height);
        for (std::size_t k = 0; k < count; ++k) {
            EXPECT_EQ(first_difference(image.frames[k].rgb, rgba, k * frame_size), "")
                << "frame " << k;
        }
    }
    // The same frame, with and without clears when the table fills.
    EXPECT_NE(big_frame(false), big_frame(true));
}

// Frames written out, a letter a pixel: k, r, g, b the colours of KRGB, '.' the background.
struct Written {
    const char* what;
    Bytes gif;
    std::int32_t width;
    std::vector<std::string> frames; // rows from the top, one after another
};

Bytes drawn(const std::string& letters) {
    Bytes rgb;
    for (const char letter : letters) {
        const std::size_t colour = std::string("krgb").find(letter);
        for (std::size_t c = 0; c < 3; ++c) {
            rgb.push_back(colour == std::string::npos
                              ? static_cast<std::uint8_t>(BACKGROUND >> (16 - 8 * c))
                              : KRGB[3 * colour + c]);
        }
    }
    return rgb;
}

// Extensions of every other kind, after the global colour table of a file built here.
Bytes with_extensions(Bytes gif, std::size_t at) {
    const Bytes extensions = {0x21, 0x01, 12,  0,   0,   0,   0,    2,    0,    1,  0,   1,   1,
                              0,    1,    3,   'a', 'b', 'c', 0,    0x21, 0xFF, 11, 'N', 'E', 'T',
                              'S',  'C',  'A', 'P', 'E', '2', '.',  '0',  3,    1,  0,   0,   0,
                              0x21, 0xFE, 2,   'h', 'i', 0,   0x21, 0x99, 1,    7,  0};
    gif.insert(gif.begin() + static_cast<std::ptrdiff_t>(at), extensions.begin(), extensions.end());
    return gif;
}

// The bytes with the one at `at` set to `value`.
Bytes with_byte(Bytes bytes, std::size_t at, std::uint8_t value) {
    bytes.at(at) = value;
    return bytes;
}

Bytes as_gif87a(Bytes gif) {
    gif[4] = '7';
    return gif;
}

TEST(Gif, FramesAsBrowsersShowThem) {
    const Bytes two_colours = {255, 0, 0, 0, 255, 0};
    const std::vector<Written> cases = {
        {"disposal 2 clears to transparent, not to the background colour (Pillow: to it)",
         test::gif(2, 2, KRGB, {at(0, 0, 2, 2, {1, 1, 1, 1}, 2), at(1, 1, 1, 1, {2}, 0)}),
         2,
         {"rrrr", "...g"}},
        {"a first frame smaller than the screen leaves the rest transparent (Pillow: colour 0)",
         test::gif(3, 1, KRGB, {at(1, 0, 1, 1, {1}, 0)}),
         3,
         {".r."}},
        {"an index past the colour table is opaque black, as in Chromium",
         test::gif(4, 1, two_colours, {full(4, 1, {0, 1, 2, 3})}),
         4,
         {"rgkk"}},
        {"no colour table at all: black", test::gif(2, 1, {}, {full(2, 1, {0, 1})}), 2, {"kk"}},
        {"a later frame is clipped to the screen (Pillow grows the screen)",
         test::gif(3, 2, KRGB, {full(3, 2, {3, 3, 3, 3, 3, 3}), at(2, 1, 2, 2, {1, 1, 1, 1}, 0)}),
         3,
         {"bbbbbb", "bbbbbr"}},
        {"plain text, application, comment and unknown extensions are passed over",
         with_extensions(test::gif(2, 1, KRGB, {full(2, 1, {1, 2})}), 25),
         2,
         {"rg"}},
        {"GIF87a", as_gif87a(test::gif(2, 1, KRGB, {full(2, 1, {3, 2})})), 2, {"bg"}},
        // The descriptor (bytes 33 to 42) made 2 x 1 over data for 2 x 2 pixels.
        {"image data past the frame's last pixel is dropped, not drawn below it (browsers)",
         with_byte(test::gif(2, 2, KRGB, {at(0, 0, 2, 2, {1, 1, 3, 3}, 0)}), 40, 1),
         2,
         {"rr.."}},
        {"disposal 4 restores what was under the frame, as 3 does (Chromium, Firefox); 5 keeps it",
         test::gif(2, 1, KRGB,
                   {full(2, 1, {1, 1}), at(0, 0, 1, 1, {2}, 4), at(1, 0, 1, 1, {3}, 5),
                    at(0, 0, 1, 1, {1}, 0)}),
         2,
         {"rr", "gr", "rb", "rb"}},
    };
    for (const Written& row : cases) {
        SCOPED_TRACE(row.what);
        const tivrano::DecodedImage image = tivrano::decode_gif(row.gif, BACKGROUND);
        ASSERT_EQ(image.status, DecodeStatus::decoded) << image.reason;
        EXPECT_EQ(image.width, row.width);
        EXPECT_EQ(image.height * row.width, static_cast<std::int32_t>(row.frames[0].size()));
        ASSERT_EQ(image.frames.size(), row.frames.size());
        for (std::size_t k = 0; k < row.frames.size(); ++k) {
            EXPECT_EQ(image.frames[k].rgb, drawn(row.frames[k])) << "frame " << k;
        }
    }
}

// A delay as the file gives it, in centiseconds, becomes milliseconds; 0 stays 0.
TEST(Gif, Delays) {
    test::GifFrame slow = full(1, 1, {1});
    slow.delay_cs = 7;
    test::GifFrame still = full(1, 1, {2});
    still.delay_cs = 0;
    const tivrano::DecodedImage image =
        tivrano::decode_gif(test::gif(1, 1, KRGB, {slow, still, full(1, 1, {3})}), BACKGROUND);
    ASSERT_EQ(image.frames.size(), 3U);
    EXPECT_EQ(image.frames[0].delay_ms, 70U);
    EXPECT_EQ(image.frames[1].delay_ms, 0U);
    EXPECT_EQ(image.frames[2].delay_ms, 0U);
}

// Two frames of 2 x 2: a Graphic Control Extension (bytes 25 to 32), an image descriptor (33 to
// 42), its LZW data from 43; then the second frame, and the trailer.
Bytes two_frames() {
    return test::gif(2, 2, KRGB, {at(0, 0, 2, 2, {1, 2, 3, 0}, 1), full(2, 2, {2, 2, 2, 2})});
}

Bytes prefix(const Bytes& bytes, std::size_t size) {
    return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size)};
}

// Two frames whose LZW data, after the minimum code size 2, is these bytes.
Bytes with_lzw(const Bytes& data) {
    Bytes bytes = prefix(two_frames(), 44);
    bytes.push_back(static_cast<std::uint8_t>(data.size()));
    bytes.insert(bytes.end(), data.begin(), data.end());
    bytes.insert(bytes.end(), {0, 0x3B});
    return bytes;
}

TEST(Gif, Refusals) {
    const Bytes good = two_frames();
    struct Row {
        const char* what;
        Bytes gif;
        DecodeStatus status;
        const char* reason = ""; // a part of the reason, for a broken file
        tivrano::DecodeLimits limits = {};
    };
    const std::vector<Row> cases = {
        {"empty", {}, DecodeStatus::broken, "does not start as a GIF"},
        {"not a GIF", bytes_of("GIF88a and more"), DecodeStatus::broken, "does not start"},
        {"the screen descriptor cut", prefix(good, 10), DecodeStatus::cut_short},
        {"the colour table cut", prefix(good, 20), DecodeStatus::cut_short},
        {"cut before the first image", prefix(good, 25), DecodeStatus::cut_short},
        {"no frames before the trailer", with_byte(prefix(good, 26), 25, 0x3B),
         DecodeStatus::broken, "no frames"},
        {"the extension cut", prefix(good, 30), DecodeStatus::cut_short},
        {"the image descriptor cut", prefix(good, 38), DecodeStatus::cut_short},
        {"the minimum code size missing", prefix(good, 43), DecodeStatus::cut_short},
        {"the LZW data cut", prefix(good, 45), DecodeStatus::cut_short},
        {"the last terminator missing", prefix(good, good.size() - 2), DecodeStatus::cut_short},
        // Clear (4), then 6 in 3 bits: the entry to come, which a first code cannot be.
        {"a first code past the colours", with_lzw({4 | 6 << 3}), DecodeStatus::broken,
         "not a colour"},
        // Clear, 1, then 7 where the next entry is 6.
        {"a code past the table", with_lzw({4 | 1 << 3 | 3 << 6, 1}), DecodeStatus::broken,
         "past the table"},
        {"minimum code size 0", with_byte(good, 43, 0), DecodeStatus::broken, "minimum code size"},
        {"minimum code size 9", with_byte(good, 43, 9), DecodeStatus::broken, "minimum code size"},
        {"a side over the limit",
         good,
         DecodeStatus::too_large,
         "",
         {1, 4194304, 65535, 1U << 26U}},
        {"a frame over the limit", good, DecodeStatus::too_large, "", {16384, 3, 65535, 1U << 26U}},
        {"frames over the limit",
         good,
         DecodeStatus::too_large,
         "",
         {16384, 4194304, 1, 1U << 26U}},
        {"bytes over the limit", good, DecodeStatus::too_large, "", {16384, 4194304, 65535, 23}},
        {"bytes at the limit", good, DecodeStatus::decoded, "", {16384, 4194304, 65535, 24}},
        {"16385 wide", test::gif(16385, 1, KRGB, {at(0, 0, 1, 1, {1}, 0)}),
         DecodeStatus::too_large},
        {"16385 high", test::gif(1, 16385, KRGB, {at(0, 0, 1, 1, {1}, 0)}),
         DecodeStatus::too_large},
        {"no trailer", prefix(good, good.size() - 1), DecodeStatus::decoded},
    };
    for (const Row& row : cases) {
        SCOPED_TRACE(row.what);
        const tivrano::DecodedImage image = tivrano::decode_gif(row.gif, BACKGROUND, row.limits);
        EXPECT_EQ(image.status, row.status) << image.reason;
        EXPECT_EQ(image.frames.empty(), row.status != DecodeStatus::decoded);
        EXPECT_EQ(image.reason.empty(), row.status == DecodeStatus::decoded) << image.reason;
        EXPECT_NE(image.reason.find(row.reason), std::string::npos) << image.reason;
    }
}

// Every prefix of a file fails, or gives the whole file's first frames as they are.
TEST(Gif, EveryPrefix) {
    if (!has_pillow()) {
        GTEST_SKIP() << "Pillow is missing (apt-get install python3-pil)";
    }
    const Bytes gif = bytes_of(test::read_file(pillow_folder() / "pillow_disposals.gif"));
    const tivrano::DecodedImage whole = tivrano::decode_gif(gif, BACKGROUND);
    ASSERT_EQ(whole.status, DecodeStatus::decoded);
    std::size_t decoded = 0;
    for (std::size_t size = 0; size < gif.size(); ++size) {
        const tivrano::DecodedImage image = tivrano::decode_gif(prefix(gif, size), BACKGROUND);
        if (image.status != DecodeStatus::decoded) {
            EXPECT_TRUE(image.frames.empty());
            continue;
        }
        ++decoded;
        ASSERT_LE(image.frames.size(), whole.frames.size());
        for (std::size_t k = 0; k < image.frames.size(); ++k) {
            EXPECT_EQ(image.frames[k].rgb, whole.frames[k].rgb) << size;
        }
    }
    // A prefix that ends between blocks: after each frame, and after each extension.
    EXPECT_GE(decoded, whole.frames.size());
}

} // namespace
