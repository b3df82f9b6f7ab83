#include "cases.hpp"

#include <sstream>
#include <utility>

#include "gif_builder.hpp"
#include "image.hpp"
#include "png_builder.hpp"

namespace test {
namespace {

const std::string FRAMES = "BMP frames refused!\n";
const std::string SEE_HELP = "; see tivrano --help\n";
// Where the hint points: the man page, or on Windows the text beside the exe.
#ifdef _WIN32
const std::string MORE_HELP = "README-Windows.txt beside tivrano.exe";
#else
const std::string MORE_HELP = "man tivrano";
#endif
const std::string HINT =
    "tivrano: hint: an image saved as PNG is read as it is, whatever its kind; " + MORE_HELP +
    " has more\n";
const std::string EMPTY_ARRAY = "the array is empty; standard C and C++ have no zero-length array, "
                                "-pedantic refuses it, and compilers that accept it give the frame "
                                "0 bytes\n";
constexpr int FAILED = 255;

Bytes sized(Bytes bytes, std::size_t size) {
    bytes.resize(size, 0);
    return bytes;
}

Bytes with(Bytes bytes, std::size_t offset, std::uint32_t value) {
    put_le32(bytes, offset, value);
    return bytes;
}

std::string text(const Bytes& bytes, const tivrano::ArrayOptions& options = {}) {
    return convert(bytes, options).text;
}

std::string warning(const std::string& file, const std::string& what) {
    return "tivrano: warning: " + file + ": " + what + "\n";
}

std::string bits(const std::string& file, const std::string& count) {
    return warning(file, "the header says " + count +
                             " per pixel, but pixels are read as 24-bit, 3 bytes each");
}

std::string at_byte(const std::string& file, const std::string& offset) {
    return warning(file, "the header puts the pixels at byte " + offset +
                             ", but they are read from byte 54");
}

std::string compressed(const std::string& file, const std::string& compression) {
    return warning(file, "the header says compression " + compression +
                             ", but pixels are read as uncompressed");
}

// Refused with the usage message and the reason: for the options alone, or once `files` are
// read.
ToolCase usage(const std::string& call, const std::string& reason,
               const std::vector<File>& files = {}) {
    return {words(call), files, USAGE, FAILED, "tivrano: " + reason + SEE_HELP};
}

// One pixel's text, with `lines` that options add to the comment.
std::string one_pixel(const std::string& lines, const std::string& values,
                      const std::string& order = "GRB") {
    return comment(1, 1, lines, order) + "    " + values + ", };\n\r";
}

// LEDs placed by a map or on tiled panels, over the same 3 x 2 image: each LED's pixel worked
// out by hand from the map's cells, or from the positions' bounding box (column
// floor((x - xmin) * (W - 1) / (xmax - xmin) + 0.5), rows likewise), or from the panels' chain.
template <typename LedsText>
void add_placed_layouts(std::vector<ToolCase>& cases, const File& image, LedsText leds_text) {
    const auto file = [](const std::string& name, const std::string& text) {
        return File{name, Bytes(text.begin(), text.end())};
    };
    const std::vector<File> maps = {
        file("holes.json", R"({"n": [1, {"x": "]"}], "map": [2, -1, 0, 1, 3, -1]})"),
        file("ring.csv", "\xEF\xBB\xBFi,x,y\n# a ring\n\n2, 0, 0\n0, 10, 5\n1,5,5\n"),
        file("line.json", "[[0, 1], [1, 1, 9], [2, 1]]"),
        file("two.csv", "0.5,0\r\n2.5e-1,1\r\n"),
    };
    const std::string tiles = "3 x 1 panels of 1 x 2 LEDs, 6 in all, first panel ";
    struct Row {
        std::string options;
        std::string wiring;
        std::vector<int> leds;
    };
    const std::vector<Row> rows = {
        {"--map=holes.json", "LED map holes.json (grid map), 4 LEDs", {3, 4, 1, 5}},
        {"--map ring.csv --serpentine", "LED map ring.csv (CSV positions), 3 LEDs", {6, 5, 1}},
        {"--map=line.json", "LED map line.json (JSON positions), 3 LEDs", {1, 2, 3}},
        {"--map=two.csv", "LED map two.csv (CSV positions), 2 LEDs", {3, 4}},
        {"--tiles=3x1",
         tiles + "top-left, along rows; in each, first LED top-left, along rows",
         {1, 4, 2, 5, 3, 6}},
        {"--tiles=3X1 --tile-start=top-right --tile-serpentine --start=bottom-left",
         tiles + "top-right, along rows, serpentine; in each, first LED bottom-left, "
                 "along rows",
         {6, 3, 5, 2, 4, 1}},
        {"--tiles=3x2 --tile-columns --tile-serpentine --tile-start=bottom-left",
         "3 x 2 panels of 1 x 1 LEDs, 6 in all, first panel bottom-left, along columns, "
         "serpentine; in each, first LED top-left, along rows",
         {4, 1, 2, 5, 6, 3}},
    };
    std::vector<File> files = maps;
    files.push_back(image);
    for (const Row& row : rows) {
        cases.push_back({words(row.options + " 3x2.bmp"), files,
                         comment(3, 2, "Wiring: " + row.wiring + "\r\n") + "    " +
                             leds_text(row.leds, "GRB") + "};\n\r",
                         0, ""});
    }
    // Refused: standard output says so, standard error why.
    const std::string refused = "LED layout refused!\n";
    std::string many = "x,y\n";
    for (int led = 0; led <= 65535; ++led) {
        many += "0,0\n";
    }
    const std::vector<std::pair<File, std::string>> bad = {
        {file("a.json", R"({"map": [0, 1]})"), "the map has 2 cells, the image 3 x 2 has 6 pixels"},
        {file("a.json", R"({"width": 2, "height": 3, "map": [0, 1, 2, 3, 4, 5]})"),
         "the map is 2 x 3, the image 3 x 2"},
        {file("a.json", R"({"map": [0, 1, 1, -1, -1, -1]})"), "LED 1 is in two cells"},
        {file("a.json", R"({"map": [0, 5, -1, -1, -1, -1]})"), "LED 5 of 2 LEDs, which are 0 to 1"},
        {file("a.json", R"({"map": [0, -2, 1, 2, 3, 4]})"),
         "cell 1 of \"map\" is not an LED's index (0 or more) nor -1"},
        {file("a.json", R"({"map": [0.5]})"),
         "cell 0 of \"map\" is not an LED's index (0 or more) nor -1"},
        {file("a.json", R"({"map": [1, 2)"), "not JSON: ',' or ']' expected, but the file ends"},
        {file("a.json", R"({"width": 3})"), "a JSON object without \"map\", the LED of each cell"},
        {file("a.json", "[[1, 2], [3]]"), "entry 1 is not [x, y] nor [x, y, z]"},
        {file("a.json", "[[1, 0x2]]"), "not JSON: ',' or ']' expected at byte 7"},
        {file("a.json", "[]"), "no LEDs"},
        {file("a.csv", "x,y\n1,2\nfoo\n"), "line 3 is not x,y, in numbers"},
        {file("a.csv", "1,2\n0,1,2\n"), "line 2 is not x,y, in numbers"},
        {file("a.csv", "0,1,2\n0,3,4\n"), "LED 0 is given twice"},
        {file("a.csv", "1,1e999\n"), "no LEDs"}, // a header, and nothing after it
        {file("a.csv", "1,1\n2,inf\n"), "line 2 is not x,y, in numbers"},
        {file("a.csv", "# only a comment\n"), "no LEDs"},
        {file("a.csv", many), "more than the 65535 LEDs a map holds"},
        {file("a.csv", std::string(1000001, '#')), "1000001 bytes, over the limit of 1000000"},
    };
    for (const auto& [map, reason] : bad) {
        cases.push_back({words("--map=" + map.name + " 3x2.bmp"),
                         {map, image},
                         refused,
                         FAILED,
                         "tivrano: " + map.name + ": " + reason + "\n"});
    }
    const File one_pixel_twice = file("same.json", "[[5, 5], [5, 5]]");
    const std::vector<ToolCase> more = {
        {words("--map=missing.csv 3x2.bmp"),
         {image},
         refused,
         FAILED,
         "tivrano: missing.csv: cannot open: No such file or directory\n"},
        {words("--tiles=2x1 3x2.bmp"),
         {image},
         refused,
         FAILED,
         "tivrano: --tiles=2x1: an image of 3 x 2 pixels does not part into 2 x 1 panels of "
         "whole pixels\n"},
        {words("--map=same.json --write-map=out.json 3x2.bmp"),
         {one_pixel_twice, image},
         refused,
         FAILED,
         "tivrano: --write-map=out.json: LEDs 0 and 1 lie on one pixel (1, 0), which a grid map "
         "cannot say\n"},
        {words("--map=two.csv --name=m --pack 3x2.bmp 3x2.bmp a.bmp"),
         {maps[3], image, {"a.bmp", bmp_file(2, 2, counting_pixels(4))}},
         FRAMES,
         FAILED,
         "tivrano: a.bmp: 2 x 2 pixels, the frames before it 3 x 2; every frame needs the same "
         "size\n"},
        usage("--tiles=4 a.bmp", "--tiles=4: the panels are two whole numbers, columns x rows, "
                                 "such as 4x2"),
        usage("--tiles=0x2 a.bmp", "--tiles=0x2: the panels are two whole numbers, columns x "
                                   "rows, such as 4x2"),
        usage("--map=m.csv --tiles=1x1 a.bmp",
              "--tiles=1x1: a map places every LED, so it and --map exclude each other"),
        usage("--tile-columns a.bmp",
              "--tile-columns: it is for --tiles, which parts the image into panels"),
        usage("--tiles=1x1 --tile-start=left a.bmp",
              "--tile-start=left: the corner is one of top-left, top-right, bottom-left and "
              "bottom-right"),
        // The limit counts the map's LEDs, not the image's pixels.
        {words("--max-current=2 --map=ring.csv 3x2.bmp"),
         {maps[1], image},
         "BMP file refused by --max-current!\n",
         FAILED,
         "tivrano: 3x2.bmp: 3 LEDs draw 3 mA even when dark, by the model, more than "
         "--max-current=2 allows\n"},
        // --check reads the map, and names it by the CMake keyword.
        {words("--check --map=two.csv"), {maps[3]}, "", 0, ""},
        {words("--check --map=a.csv"),
         {file("a.csv", "x,y\n")},
         "",
         FAILED,
         "tivrano: MAP a.csv: no LEDs\n"},
    };
    cases.insert(cases.end(), more.begin(), more.end());
}

// A 3 x 2 image whose pixel n, numbered 1 2 3 along the top row and 4 5 6 below, is red 10n + 1,
// green 10n + 2 and blue 10n + 3: each LED's pixel written out by hand, through every wiring.
void add_layouts(std::vector<ToolCase>& cases) {
    std::vector<Bgr> pixels;
    for (int n = 1; n <= 6; ++n) {
        pixels.push_back({static_cast<std::uint8_t>(10 * n + 3),
                          static_cast<std::uint8_t>(10 * n + 2),
                          static_cast<std::uint8_t>(10 * n + 1)});
    }
    const File image{"3x2.bmp", bmp_file(3, 2, pixels)};
    struct Row {
        std::string options;
        std::string wiring; // the comment's wiring line, or nothing
        std::vector<int> leds;
        std::string order = "GRB";
    };
    const std::vector<Row> rows = {
        {"", "", {1, 2, 3, 4, 5, 6}},
        {"--serpentine", "top-left, along rows, serpentine", {1, 2, 3, 6, 5, 4}},
        {"--start=top-right", "top-right, along rows", {3, 2, 1, 6, 5, 4}},
        {"--start=top-right --serpentine", "top-right, along rows, serpentine", {3, 2, 1, 4, 5, 6}},
        {"--start=bottom-left", "bottom-left, along rows", {4, 5, 6, 1, 2, 3}},
        {"--start=bottom-left --serpentine",
         "bottom-left, along rows, serpentine",
         {4, 5, 6, 3, 2, 1}},
        {"--start bottom-right", "bottom-right, along rows", {6, 5, 4, 3, 2, 1}},
        {"--start=bottom-right --serpentine",
         "bottom-right, along rows, serpentine",
         {6, 5, 4, 1, 2, 3}},
        {"--columns", "top-left, along columns", {1, 4, 2, 5, 3, 6}},
        {"--columns --serpentine", "top-left, along columns, serpentine", {1, 4, 5, 2, 3, 6}},
        {"--columns --start=top-right", "top-right, along columns", {3, 6, 2, 5, 1, 4}},
        {"--serpentine --columns --start=top-right",
         "top-right, along columns, serpentine",
         {3, 6, 5, 2, 1, 4}},
        {"--columns --start=bottom-left", "bottom-left, along columns", {4, 1, 5, 2, 6, 3}},
        {"--columns --start=bottom-left --serpentine",
         "bottom-left, along columns, serpentine",
         {4, 1, 2, 5, 6, 3}},
        {"--columns --start=bottom-right", "bottom-right, along columns", {6, 3, 5, 2, 4, 1}},
        {"--columns --start=bottom-right --serpentine",
         "bottom-right, along columns, serpentine",
         {6, 3, 2, 5, 4, 1}},
        {"--order=bgr --start=top-left", "", {1, 2, 3, 4, 5, 6}, "BGR"},
        {"--order=Rbg --columns", "top-left, along columns", {1, 4, 2, 5, 3, 6}, "RBG"},
    };
    const auto leds_text = [](const std::vector<int>& leds, const std::string& order) {
        std::string values;
        for (const int n : leds) {
            for (const char channel : order) {
                const int offset = channel == 'R' ? 1 : channel == 'G' ? 2 : 3;
                values.append(" ").append(std::to_string(10 * n + offset)).append(", ");
            }
        }
        return values;
    };
    for (const Row& row : rows) {
        const std::string values = leds_text(row.leds, row.order);
        const std::string wiring =
            row.wiring.empty() ? "" : "Wiring: first LED " + row.wiring + "\r\n";
        cases.push_back({words(row.options + " 3x2.bmp"),
                         {image},
                         comment(3, 2, wiring, row.order) + "    " + values + "};\n\r",
                         0,
                         ""});
    }
    add_placed_layouts(cases, image, leds_text);
}

// Each format's values, worked out by hand from its formula for a 3 x 2 image: rgb565 is
// ((R >> 3) << 11) | ((G >> 2) << 5) | (B >> 3); mono lights an LED when
// (299 R + 587 G + 114 B + 500) / 1000 >= T, the first LED of each strip line in the top bit.
// --binary writes the same values' bytes, as a little-endian chip holds the array.
void add_formats(std::vector<ToolCase>& cases) {
    // Top row red, green and blue (brightness 76, 150 and 29); below it red 200, green 100,
    // blue 0 (119, from exactly 118.5), grey 128 (128) and white (255).
    const File image{"formats.bmp", bmp_file(3, 2,
                                             {{0, 0, 255},
                                              {0, 255, 0},
                                              {255, 0, 0},
                                              {0, 100, 200},
                                              {128, 128, 128},
                                              {255, 255, 255}})};
    struct Row {
        std::string options;
        std::string lines; // the comment's format line, and what other options add
        std::string values;
    };
    const std::string rgb565 = "2 bytes / pixel, RGB565 Reihenfolge\r\n";
    const std::string swapped = "2 bytes / pixel, RGB565 Reihenfolge, bytes swapped\r\n";
    const std::string columns = "Wiring: first LED top-left, along columns\r\n";
    const std::string mono = "1 bit / pixel, mono, lit from brightness ";
    const std::string tiled = "Wiring: 3 x 1 panels of 1 x 2 LEDs, 6 in all, first panel "
                              "top-left, along rows; in each, first LED top-left, along ";
    const std::vector<Row> rows = {
        {"--format=rgb565", rgb565, "0xF800, 0x07E0, 0x001F, 0xCB20, 0x8410, 0xFFFF, "},
        {"--format=RGB565 --swap-bytes", swapped,
         "0x00F8, 0xE007, 0x1F00, 0x20CB, 0x1084, 0xFFFF, "},
        {"--format=rgb565 --columns", rgb565 + columns,
         "0xF800, 0xCB20, 0x07E0, 0x8410, 0x001F, 0xFFFF, "},
        {"--format=rgb565 --columns --swap-bytes", swapped + columns,
         "0x00F8, 0x20CB, 0xE007, 0x1084, 0x1F00, 0xFFFF, "},
        {"--format=rgb565 --order=bgr", "2 bytes / pixel, BGR565 Reihenfolge\r\n",
         "0x001F, 0x07E0, 0xF800, 0x0339, 0x8410, 0xFFFF, "},
        // Halved first, (v 50 + 50) / 100: 255 is 128, 200 is 100, 128 is 64, 100 is 50.
        {"--brightness=50 --format=rgb565", rgb565 + "Brightness: 50 %\r\n",
         "0x8000, 0x0400, 0x0010, 0x6180, 0x4208, 0x8410, "},
        {"--format=mono", mono + "128\r\n", "0x40, \r\n    0x60, "},
        {"--format=mono --columns", mono + "128\r\n" + columns,
         "0x00, \r\n    0xC0, \r\n    0x40, "},
        {"--format=mono --threshold=119", mono + "119\r\n", "0x40, \r\n    0xE0, "},
        {"--format=mono --threshold=255 --columns", mono + "255\r\n" + columns,
         "0x00, \r\n    0x00, \r\n    0x40, "},
        {"--format=mono --threshold=125 --start=bottom-right --serpentine",
         mono + "125\r\nWiring: first LED bottom-right, along rows, serpentine\r\n",
         "0xC0, \r\n    0x40, "},
        // Halved first: 38, 75, 15; 59, 64, 128.
        {"--format=mono --threshold=59 --brightness=50", mono + "59\r\nBrightness: 50 %\r\n",
         "0x40, \r\n    0xE0, "},
        {"--format=mono --threshold=60 --brightness=50", mono + "60\r\nBrightness: 50 %\r\n",
         "0x40, \r\n    0x60, "},
        // A map's LEDs are one strip line, blue, grey and red here; tiled panels pad each of
        // their own lines.
        {"--format=mono --threshold=119 --map=three.csv",
         mono + "119\r\nWiring: LED map three.csv (CSV positions), 3 LEDs\r\n", "0x40, "},
        {"--format=rgb565 --tiles=3x1", rgb565 + tiled + "rows\r\n",
         "0xF800, 0xCB20, 0x07E0, 0x8410, 0x001F, 0xFFFF, "},
        {"--format=mono --tiles=3x1 --columns", mono + "128\r\n" + tiled + "columns\r\n",
         "0x00, \r\n    0xC0, \r\n    0x40, "},
    };
    const File three{"three.csv", {'2', ',', '0', '\n', '1', ',', '1', '\n', '0', ',', '0'}};
    for (const Row& row : rows) {
        const bool wide = row.options.find("565") != std::string::npos;
        cases.push_back({words(row.options + " formats.bmp"),
                         {image, three},
                         "/*\r\nBreite: 3, Hoehe: 2\r\n" + row.lines +
                             "Beschreibung: hier eintragen\r\n*/\r\nconst " +
                             (wide ? "uint16_t" : "uint8_t") + " animationX[] = {\r\n    " +
                             row.values + "};\n\r",
                         0,
                         ""});
        // The values' bytes, a 16-bit value's low byte first.
        std::string bytes;
        for (std::size_t at = row.values.find("0x"); at != std::string::npos;
             at = row.values.find("0x", at + 2)) {
            const unsigned long value =
                std::stoul(row.values.substr(at + 2, wide ? 4 : 2), nullptr, 16);
            bytes += static_cast<char>(value & 0xFFU);
            if (wide) {
                bytes += static_cast<char>(value >> 8U);
            }
        }
        cases.push_back(
            {words("--binary " + row.options + " formats.bmp"), {image, three}, bytes, 0, ""});
    }
    // Each strip line of mono starts a line of text, past the 16th byte of the array too.
    std::string lit;
    for (int line = 0; line < 6; ++line) {
        lit += (line == 0 ? "" : "\r\n    ") + std::string("0xFF, 0xFF, 0xFF, ");
    }
    cases.push_back({words("--format=mono white.bmp"),
                     {{"white.bmp", bmp_file(24, 6, std::vector<Bgr>(144, {255, 255, 255}))}},
                     "/*\r\nBreite: 24, Hoehe: 6\r\n" + mono +
                         "128\r\nBeschreibung: hier eintragen\r\n*/\r\nconst uint8_t "
                         "animationX[] = {\r\n    " +
                         lit + "};\n\r",
                     0,
                     ""});
    // An animation's bytes are its frames', one after another.
    cases.push_back({words("--name=two --binary --format=mono formats.bmp formats.bmp"),
                     {image},
                     "\x40\x60\x40\x60",
                     0,
                     ""});
    cases.push_back({words("--name=two --binary --format=mono --threshold=119 --map=three.csv "
                           "formats.bmp formats.bmp"),
                     {image, three},
                     "\x40\x40",
                     0,
                     ""});
    // Along the panels' columns: red, red 200, green, grey, blue, white, in green, red, blue.
    const std::string tiled_frame("\x00\xFF\x00\x64\xC8\x00\xFF\x00\x00"
                                  "\x80\x80\x80\x00\x00\xFF\xFF\xFF\xFF",
                                  18);
    cases.push_back({words("--name=two --binary --tiles=3x1 --columns formats.bmp formats.bmp"),
                     {image},
                     tiled_frame + tiled_frame,
                     0,
                     ""});
}

// Headers that say what the conversion does not read: each finding warned of, the file still
// converted (or refused as short); --strict refuses them.
void add_headers(std::vector<ToolCase>& cases) {
    const Bytes plain = bmp_file(2, 2, counting_pixels(4));
    // As ImageMagick writes a 32-bit image: bit fields, and the pixels after a 124-byte header.
    const Bytes bitfields = with(with(with(plain, 28, 32), 30, 3), 10, 138);
    // A 1-bit 16 x 16 image: two bytes of pixels a row, after two palette entries.
    const Bytes one_bit = sized(with(with(bmp_header(16, 16), 28, 1), 10, 62), 126);
    // An 8-bit RLE header with no pixels, cut at each end of a field the explanations read.
    const Bytes rle8 = with(with(with(bmp_header(0, 0), 28, 8), 30, 1), 10, 1078);
    const std::string bitfield_warnings = bits("32bit.bmp", "32 bits") +
                                          compressed("32bit.bmp", "3 (BITFIELDS)") +
                                          at_byte("32bit.bmp", "138") + HINT;
    const std::string no_pixels =
        "tivrano: warning: no-pixels.bmp: no pixels (width 0, height 5): " + EMPTY_ARRAY;
    const std::vector<ToolCase> rows = {
        {{"1bit.bmp"},
         {{"1bit.bmp", one_bit}},
         TRUNCATED,
         FAILED,
         "tivrano: 1bit.bmp: the header says 1 bit per pixel; read as 24-bit, 16 x 16 pixels "
         "need 822 bytes, the file has 126\n" +
             bits("1bit.bmp", "1 bit") + at_byte("1bit.bmp", "62") + HINT},
        {{"rle.bmp"},
         {{"rle.bmp", sized(with(with(rle8, 18, 16), 22, 16), 330)}},
         TRUNCATED,
         FAILED,
         "tivrano: rle.bmp: the header says 8 bits per pixel and compression 1 (RLE8); read as "
         "uncompressed 24-bit, 16 x 16 pixels need 822 bytes, the file has 330\n" +
             bits("rle.bmp", "8 bits") + compressed("rle.bmp", "1 (RLE8)") +
             at_byte("rle.bmp", "1078") + HINT},
        {{"32bit.bmp"}, {{"32bit.bmp", bitfields}}, text(bitfields), 0, bitfield_warnings},
        {{"--strict", "32bit.bmp"},
         {{"32bit.bmp", bitfields}},
         "BMP file refused by --strict!\n",
         FAILED,
         "tivrano: 32bit.bmp: refused by --strict, for the reasons below\n" + bitfield_warnings},
        {{"--strict", "plain.bmp"}, {{"plain.bmp", plain}}, text(plain), 0, ""},
        {{"top-down.bmp"},
         {{"top-down.bmp", bmp_header(2, -2)}},
         text(bmp_header(2, -2)),
         0,
         warning("top-down.bmp", "the height is -2, rows stored top-down, which are not read: " +
                                     EMPTY_ARRAY.substr(0, EMPTY_ARRAY.size() - 1)) +
             HINT},
        {{"no-pixels.bmp"},
         {{"no-pixels.bmp", bmp_header(0, 5)}},
         text(bmp_header(0, 5)),
         0,
         no_pixels},
        {{"--strict", "no-pixels.bmp"},
         {{"no-pixels.bmp", bmp_header(0, 5)}},
         "BMP file refused by --strict!\n",
         FAILED,
         "tivrano: no-pixels.bmp: refused by --strict, for the reasons below\n" + no_pixels},
        // Dimensions whose product passes 64 bits: refused as short, the sizes said exactly.
        {{"huge.bmp"},
         {{"huge.bmp", bmp_header(2147483647, 2147483647)}},
         TRUNCATED,
         FAILED,
         "tivrano: huge.bmp: the file ends early: 2147483647 x 2147483647 pixels of 3 bytes need "
         "13835058048839712819 bytes, the file has 54\n"},
    };
    cases.insert(cases.end(), rows.begin(), rows.end());
    // The compressions at the end of the table of names, and past it.
    for (const auto& [value, name] : std::vector<std::pair<std::uint32_t, std::string>>{
             {6, "6 (ALPHABITFIELDS)"}, {7, "7 (unknown)"}, {4294967295, "4294967295 (unknown)"}}) {
        const Bytes file = with(plain, 30, value);
        cases.push_back(
            {{"c.bmp"}, {{"c.bmp", file}}, text(file), 0, compressed("c.bmp", name) + HINT});
    }
    // Other formats, by their first bytes.
    for (const auto& [start, what] : std::vector<std::pair<std::string, std::string>>{
             {"\xff\xd8\xff\xe0", "a JPEG image"},
             {std::string("II*\0", 4), "a TIFF image"},
             {std::string("MM\0*", 4), "a TIFF image"},
             {std::string("RIFF\x10\0\0\0WEBPVP8 ", 16), "a WebP image"},
             {std::string("\0\0\1\0\1\0", 6), "a Windows icon"}}) {
        cases.push_back(
            {{"f.img"},
             {{"f.img", Bytes(start.begin(), start.end())}},
             NO_SIGNATURE,
             FAILED,
             "tivrano: f.img: not a BMP file, which starts with \"BM\"; it starts like " + what +
                 "\n"});
    }
    // Each field is explained only once the file holds all of it.
    for (const std::size_t size : {13U, 14U, 25U, 26U, 29U, 30U, 33U, 34U}) {
        const std::string file = std::to_string(size) + ".bmp";
        const Bytes bytes = sized(rle8, size);
        std::string err;
        if (size < 26) {
            err = "tivrano: " + file + ": only " + std::to_string(size) +
                  " bytes, too short for a BMP header: its width and height end at byte 26\n";
        } else {
            err = (size >= 30 ? bits(file, "8 bits") : "") +
                  (size >= 34 ? compressed(file, "1 (RLE8)") : "") + at_byte(file, "1078") +
                  warning(file, "no pixels (width 0, height 0): " +
                                    EMPTY_ARRAY.substr(0, EMPTY_ARRAY.size() - 1)) +
                  HINT;
        }
        cases.push_back({{file},
                         {{file, bytes}},
                         size < 26 ? TRUNCATED : text(bytes),
                         size < 26 ? FAILED : 0,
                         err});
    }
}

// Options refused for what they are, or for what they are given with.
void add_option_refusals(std::vector<ToolCase>& cases) {
    const std::string no_such = "no such option; a file of that name is ./";
    const std::string alone = "it stands alone, without a file or another option";
    const std::string gamma = "the gamma is a number from 0.1 to 5.0, or three of them for red, "
                              "green and blue, such as 2.8 or 2.6,2.2,2.5";
    const std::string percent = "the brightness is a whole percent from 1 to 100";
    const std::vector<ToolCase> rows = {
        usage("-x", "-x: " + no_such + "-x"),
        usage("--bogus x.bmp", "--bogus: " + no_such + "--bogus"),
        usage("--pro=1 x.bmp", "--pro=1: it may be --progmem or --protocol"),
        usage("--serpentine=yes x.bmp", "--serpentine=yes: it takes no value"),
        usage("--help=x", "--help=x: it takes no value"),
        usage("-h x.bmp", "-h: " + alone),
        usage("--name=a -hx", "-h: " + alone),
        usage("--version x.bmp", "--version: " + alone),
        usage("--help --version", "--help: " + alone),
        usage("-o", "-o: it needs a value"),
        usage("--order=bgrx x.bmp", "--order=bgrx: the order is one of grb, rgb, brg, bgr, rbg "
                                    "and gbr"),
        usage("--start left x.bmp", "--start=left: the corner is one of top-left, top-right, "
                                    "bottom-left and bottom-right"),
        usage("--name=__x x.bmp", "--name=__x: reserved for the compiler and its library (it "
                                  "starts with __ or _ and a capital)"),
        usage("--name=INT8_MAX x.bmp", "--name=INT8_MAX: a name that <stdint.h> or <stddef.h> "
                                       "defines, which the text includes"),
        usage("--gamma=0 x.bmp", "--gamma=0: " + gamma),
        usage("--gamma=-1 x.bmp", "--gamma=-1: " + gamma),
        usage("--gamma=abc x.bmp", "--gamma=abc: " + gamma),
        usage("--gamma=2.2,2.8 x.bmp", "--gamma=2.2,2.8: " + gamma),
        usage("--gamma=5.01 x.bmp", "--gamma=5.01: " + gamma),
        usage("--gamma=2.8000 x.bmp", "--gamma=2.8000: " + gamma),
        usage("--brightness=101 x.bmp", "--brightness=101: " + percent),
        usage("--brightness=50%x x.bmp", "--brightness=50%x: " + percent),
        usage("--max-current=99999999999999999999 x.bmp",
              "--max-current=99999999999999999999: the limit is a whole number of milliamperes, "
              "1 or more"),
        usage("--led-current=16,11,15 x.bmp",
              "--led-current=16,11,15: the currents are four numbers of milliamperes, up to "
              "10000: red, green and blue at full, and an LED when dark, such as 16,11,15,1"),
        usage("--led-current=10000.001,0,0,0 x.bmp",
              "--led-current=10000.001,0,0,0: the currents are four numbers of milliamperes, up "
              "to 10000: red, green and blue at full, and an LED when dark, such as 16,11,15,1"),
        usage("--format=rgb565 --order=grb x.bmp",
              "--order=grb: rgb565 values take the order rgb (the default) or bgr"),
        usage("--format=mono --order=rgb x.bmp",
              "--order=rgb: mono values are one bit an LED, which no order changes"),
        usage("--threshold=100 x.bmp",
              "--threshold=100: it is for mono, and the format is grb (the default)"),
        usage("--pack a.bmp", "--pack: it needs --name, the animation's name"),
        // What goes with --send, which plays frames on a serial port.
        usage("--loop=2 a.bmp", "--loop=2: it is for --send, which plays the frames on a serial "
                                "port"),
        usage("--send=COM3 --name=w a.bmp",
              "--name=w: it is for a text, and --send plays the frames on LEDs"),
        usage("--send=COM3 --order=rgb a.bmp",
              "--order=rgb: Adalight sends each LED red, green, blue; --protocol=tpm2 sends the "
              "values it makes"),
        usage("--send=COM3 --protocol=dmx a.bmp",
              "--protocol=dmx: the protocol is adalight or tpm2"),
        usage("--send=COM3 --baud=0 a.bmp",
              "--baud=0: the speed is a whole number of baud, such as 115200"),
        usage("--delay-ms=5 a.bmp", "--delay-ms=5: it is for an animation, which --name names"),
        // --check takes what a conversion takes, and says why in the CMake functions' words.
        {words("--check --gamma=2.625 --led-current=10000,10000,10000,10000 --max-current=1 "
               "--max-bytes=1"),
         {},
         "",
         0,
         ""},
        {words("--check --gamma=5.5"), {}, "", FAILED, "tivrano: GAMMA 5.5: " + gamma + "\n"},
    };
    cases.insert(cases.end(), rows.begin(), rows.end());
}

// The frames of an animation: every one as the first, and the options that go with them.
void add_animations(std::vector<ToolCase>& cases) {
    const File a{"a.bmp", bmp_file(2, 2, counting_pixels(4))};
    const File b{"b.bmp", bmp_file(2, 2, std::vector<Bgr>(4, {1, 2, 3}))};
    const File c{"c.bmp", bmp_file(3, 1, counting_pixels(3))};
    const File big{"big.bmp", bmp_file(256, 256, std::vector<Bgr>(65536, {1, 2, 3}))};
    const std::string delay = "the delay is a whole number of milliseconds from 0 to 65535, or "
                              "one for each frame, parted by commas";
    const std::string counted = " bytes stored, more than --max-bytes=10 allows (it counts what "
                                "the text stores, not an LED buffer's RAM); as ";
    const std::vector<ToolCase> rows = {
        {words("--name=w a.bmp c.bmp"),
         {a, c},
         FRAMES,
         FAILED,
         "tivrano: c.bmp: 3 x 1 pixels, the frames before it 2 x 2; every frame needs the same "
         "size\n"},
        {words("--name=w a.bmp big.bmp"),
         {a, big},
         FRAMES,
         FAILED,
         "tivrano: big.bmp: 256 x 256 pixels, more LEDs than the 65535 a frame of an animation "
         "holds\n"},
        {words("--name=w a.bmp missing.bmp"),
         {a},
         NOT_FOUND,
         FAILED,
         "tivrano: missing.bmp: cannot open: No such file or directory\n"},
        usage("--name=w --delay-ms=1,2,3 a.bmp b.bmp",
              "--delay-ms=1,2,3: 3 delays for 2 frames; give one for all, or one for each", {a, b}),
        // One file with --delay-ms is an animation of one frame.
        usage("--name=w --delay-ms=1,2 a.bmp",
              "--delay-ms=1,2: 2 delays for 1 frames; give one for all, or one for each", {a}),
        usage("--name=w --delay-ms=70000 a.bmp b.bmp", "--delay-ms=70000: " + delay),
        usage("--name=w --delay-ms=1,x a.bmp b.bmp", "--delay-ms=1,x: " + delay),
        {words("--name=w --max-bytes=10 a.bmp b.bmp"),
         {a, b},
         "BMP data refused by --max-bytes!\n",
         FAILED,
         "tivrano: w: 62" + counted +
             "triples the frames take 24, stored once each 258 % of that; --pack may store "
             "fewer\n"},
        {words("--name=w --format=rgb565 --max-bytes=10 a.bmp b.bmp"),
         {a, b},
         "BMP data refused by --max-bytes!\n",
         FAILED,
         "tivrano: w: 54" + counted +
             "16-bit values the frames take 16, stored once each 337 % "
             "of that; --pack may store fewer\n"},
        {words("--name=w --pack --max-bytes=10 a.bmp b.bmp"),
         {a, b},
         "BMP data refused by --max-bytes!\n",
         FAILED,
         "tivrano: w: 41" + counted + "triples the frames take 24, packed 170 % of that\n"},
        {words("--max-bytes=10 a.bmp"),
         {a},
         "BMP data refused by --max-bytes!\n",
         FAILED,
         "tivrano: a.bmp: 12 bytes stored, more than --max-bytes=10 allows (it counts what the "
         "array stores, not an LED buffer's RAM); --name with --pack may store fewer\n"},
        {words("--format=rgb565 --max-bytes=4 a.bmp"),
         {a},
         "BMP data refused by --max-bytes!\n",
         FAILED,
         "tivrano: a.bmp: 8 bytes stored, more than --max-bytes=4 allows (it counts what the "
         "array stores, not an LED buffer's RAM); --name with --pack may store fewer\n"},
    };
    cases.insert(cases.end(), rows.begin(), rows.end());
}

} // namespace

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> all;
    for (std::string word; in >> word;) {
        all.push_back(word);
    }
    return all;
}

std::vector<ToolCase> tool_cases() {
    const Bytes plain = bmp_file(5, 3, counting_pixels(15));
    const Bytes largest = largest_file();
    Bytes over = largest;
    over.push_back(0);
    const Bytes pixel = bmp_file(1, 1, {{200, 64, 128}}); // red 128, green 64, blue 200
    const Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    // Red 48, green 32, blue 16, as one.bmp holds it, then black.
    GifFrame first;
    first.width = first.height = 1;
    first.indices = {1};
    GifFrame second = first;
    second.indices = {0};
    const Bytes two_gif = gif(1, 1, {0, 0, 0, 48, 32, 16}, {first, second});
    const Bytes one = bmp_file(1, 1, {{16, 32, 48}});
    tivrano::ArrayOptions named;
    named.name = "x";
    // Red, green, blue and alpha: opaque, clear, and half and more and less between.
    const Bytes rgba = {250, 10,  20, 255, 9,  99, 199, 0,   128, 64,  32,  128,
                        0,   255, 90, 64,  40, 30, 20,  200, 255, 255, 255, 1};
    const Bytes alpha_png = png_file(3, 2, rgba, true);
    const auto laid_on = [&rgba](tivrano::Rgb background) {
        std::vector<Bgr> pixels;
        for (std::size_t at = 0; at < rgba.size(); at += 4) {
            const auto channel = [&](std::size_t k) {
                return tivrano::over(rgba[at + k], rgba[at + 3],
                                     static_cast<std::uint8_t>(background >> (16 - 8 * k)));
            };
            pixels.push_back({channel(2), channel(1), channel(0)});
        }
        return bmp_file(3, 2, pixels);
    };
    std::vector<ToolCase> cases = {
        {{"one.bmp"}, {{"one.bmp", one}}, one_pixel("", " 32,  48,  16"), 0, ""},
        {{"8x3.bmp"},
         {{"8x3.bmp", bmp_file(8, 3, counting_pixels(24))}},
         text(bmp_file(8, 3, counting_pixels(24))),
         0,
         ""},
        {{"largest.bmp"}, {{"largest.bmp", largest}}, text(largest), 0, ""},
        {{"Fr\xc3\xbchling \xe2\x9d\x80.bmp"},
         {{"Fr\xc3\xbchling \xe2\x9d\x80.bmp", plain}},
         text(plain),
         0,
         ""},
        {{"-"}, {}, text(largest), 0, "", largest},
        {{"over.bmp"},
         {{"over.bmp", over}},
         TOO_BIG,
         FAILED,
         "tivrano: over.bmp: 1000001 bytes, over the limit of 1000000\n"},
        {{"-"},
         {},
         TOO_BIG,
         FAILED,
         "tivrano: standard input: more than 1000000 bytes, the limit\n",
         over},
        {{"short.bmp"},
         {{"short.bmp", Bytes(plain.begin(), plain.end() - 2)}},
         TRUNCATED,
         FAILED,
         "tivrano: short.bmp: the file ends early: 5 x 3 pixels of 3 bytes need 101 bytes, the "
         "file has 100\n"},
        {{"missing.bmp"},
         {},
         NOT_FOUND,
         FAILED,
         "tivrano: missing.bmp: cannot open: No such file or directory\n"},
        {{"xy.bmp"},
         {{"xy.bmp", {'X', 'Y', 0xff}}},
         NO_SIGNATURE,
         FAILED,
         "tivrano: xy.bmp: not a BMP file, which starts with \"BM\"; it starts with the bytes "
         "58 59 ff\n"},
        {{"empty.bmp"},
         {{"empty.bmp", {}}},
         TRUNCATED,
         FAILED,
         "tivrano: empty.bmp: empty, no BMP file\n"},
        // A name makes a source file of its own, whose comment says what its frames need.
        {{"--name=x", "one.bmp"}, {{"one.bmp", one}}, text(one, named), 0, ""},
        // PNG and GIF are decoded, and converted as the BMP of their pixels would be: an
        // animated GIF without --name gives its first frame, as with --first-frame.
        {{"two.gif"},
         {{"two.gif", two_gif}},
         one_pixel("", " 32,  48,  16"),
         0,
         "tivrano: two.gif: an animated GIF of 2 frames: the first is converted; with --name, all "
         "of them are, as an animation\n"},
        {{"--name=x", "--first-frame", "two.gif"}, {{"two.gif", two_gif}}, text(one, named), 0, ""},
        // A PNG with alpha, laid on the background, as a BMP of the pixels so laid would be.
        {{"alpha.png"}, {{"alpha.png", alpha_png}}, text(laid_on(0)), 0, ""},
        {{"--background=#102030", "alpha.png"},
         {{"alpha.png", alpha_png}},
         text(laid_on(0x102030)),
         0,
         ""},
        usage("--background=black alpha.png",
              "--background=black: the background is a colour of six hex digits, red, green and "
              "blue, such as 000000 or 1a2b3c"),
        {{"in.png"},
         {{"in.png", png}},
         "PNG file truncated!\n",
         FAILED,
         "tivrano: in.png: the file ends inside the PNG header\n"},
        {{"in.gif"},
         {{"in.gif", {'G', 'I', 'F', '8', '9', 'a'}}},
         "GIF file truncated!\n",
         FAILED,
         "tivrano: in.gif: the file ends inside a block\n"},
        // A refusal names the kind of file it refuses.
        {words("--led-current=16,11,15,2 --max-current=1 two.gif"),
         {{"two.gif", two_gif}},
         "GIF file refused by --max-current!\n",
         FAILED,
         "tivrano: two.gif: an animated GIF of 2 frames: the first is converted; with --name, all "
         "of them are, as an animation\ntivrano: two.gif: 1 LEDs draw 2 mA even when dark, by the "
         "model, more than --max-current=1 allows\n"},
        {words("--name=w --max-bytes=1 two.gif"),
         {{"two.gif", two_gif}},
         "GIF data refused by --max-bytes!\n",
         FAILED,
         "tivrano: w: 44 bytes stored, more than --max-bytes=1 allows (it counts what the text "
         "stores, not an LED buffer's RAM); as triples the frames take 6, stored once each 733 % "
         "of that; --pack may store fewer\n"},
        // Each channel through its own gamma, whatever the order; the brightness after it,
        // halves rounded up. Values worked out apart: v -> floor(255 (v / 255)^g + 0.5).
        {words("--gamma=2.6,2.2,2.5 --order=bgr pixel.bmp"),
         {{"pixel.bmp", pixel}},
         one_pixel("Gamma: red 2.6, green 2.2, blue 2.5\r\n", "139,  12,  42", "BGR"),
         0,
         ""},
        {words("--gamma=2.2,1,1 pixel.bmp"),
         {{"pixel.bmp", pixel}},
         one_pixel("Gamma: red 2.2, green 1, blue 1\r\n", " 64,  56, 200"),
         0,
         ""},
        {words("--gamma=1,2.2,1 pixel.bmp"),
         {{"pixel.bmp", pixel}},
         one_pixel("Gamma: red 1, green 2.2, blue 1\r\n", " 12, 128, 200"),
         0,
         ""},
        {words("--gamma=1,1,2.2 pixel.bmp"),
         {{"pixel.bmp", pixel}},
         one_pixel("Gamma: red 1, green 1, blue 2.2\r\n", " 64, 128, 149"),
         0,
         ""},
        {words("--gamma=1.9 pixel.bmp"),
         {{"pixel.bmp", pixel}},
         one_pixel("Gamma: 1.9\r\n", " 18,  69, 161"),
         0,
         ""},
        {words("--gamma=2.8 --brightness=40 pixel.bmp"),
         {{"pixel.bmp", pixel}},
         one_pixel("Gamma: 2.8\r\nBrightness: 40 %\r\n", "  2,  15,  52"),
         0,
         ""},
        {words("--brightness=50 halves.bmp"),
         {{"halves.bmp", bmp_file(1, 1, {{255, 3, 1}})}},
         one_pixel("Brightness: 50 %\r\n", "  2,   1, 128"),
         0,
         ""},
        // Red 255 alone, limited to 10 mA by a model of 20 mA at full red and 2 mA dark: red
        // may be 102 at most, 2 + 20 * 102 / 255 = 10 mA (with 16 mA and 1 mA, 143).
        {words("--max-current=10 --led-current=20,11,15,2 red.bmp"),
         {{"red.bmp", bmp_file(1, 1, {{0, 0, 255}})}},
         one_pixel("Current: at most 10 mA (limit 10 mA, scaled to 40 %)\r\nCurrent model: red 20 "
                   "mA, green 11 mA, blue 15 mA at full, 2 mA an LED when dark\r\n",
                   "  0, 102,   0"),
         0,
         ""},
        // 1024 LEDs, dark, draw 1024 mA by the model.
        {words("--max-current=1023 dark.bmp"),
         {{"dark.bmp", bmp_file(32, 32, std::vector<Bgr>(1024))}},
         "BMP file refused by --max-current!\n",
         FAILED,
         "tivrano: dark.bmp: 1024 LEDs draw 1024 mA even when dark, by the model, more than "
         "--max-current=1023 allows\n"},
        // Red 128, green 64, blue 200: (16 << 11) | (16 << 5) | 25, its low byte first; its
        // brightness (299 * 128 + 587 * 64 + 114 * 200 + 500) / 1000 is 99.
        {words("--format=rgb565 --binary pixel.bmp"), {{"pixel.bmp", pixel}}, "\x19\x82", 0, ""},
        {words("--format=mono --threshold=99 --binary pixel.bmp"),
         {{"pixel.bmp", pixel}},
         "\x80",
         0,
         ""},
        {words("--format=mono --threshold=100 --binary pixel.bmp"),
         {{"pixel.bmp", pixel}},
         std::string(1, '\0'),
         0,
         ""},
    };
    add_headers(cases);
    add_option_refusals(cases);
    add_animations(cases);
    add_layouts(cases);
    add_formats(cases);
    return cases;
}

std::vector<File> images() {
    std::vector<File> all;
    // Every row padding, and files that end at their last pixel byte or one before it.
    for (std::int32_t width = 1; width <= 9; ++width) {
        for (const std::int32_t height : {1, 3}) {
            const Bytes file =
                bmp_file(width, height, counting_pixels(static_cast<std::size_t>(width * height)));
            const std::string size = std::to_string(width) + "x" + std::to_string(height);
            all.push_back({"image_" + size, file});
            all.push_back(
                {"exact_end_" + size, Bytes(file.begin(), file.end() - (4 - 3 * width % 4) % 4)});
            all.push_back({"one_short_" + size,
                           Bytes(file.begin(), file.end() - (4 - 3 * width % 4) % 4 - 1)});
        }
    }
    // Dimensions at the limits of 32 bits, with no pixels but the header's.
    for (const std::int64_t width : {-2147483648LL, -1LL, 0LL, 1LL, 1431655765LL, 2147483647LL}) {
        for (const std::int64_t height : {-2147483648LL, -1LL, 0LL, 1LL, 2147483647LL}) {
            all.push_back(
                {"dims_" + std::to_string(width) + "_" + std::to_string(height),
                 bmp_header(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height))});
        }
    }
    const Bytes plain = bmp_file(4, 3, counting_pixels(12));
    all.push_back({"bitfields", with(with(with(plain, 28, 32), 30, 3), 10, 138)});
    all.push_back({"top_down", with(plain, 22, static_cast<std::uint32_t>(-3))});
    all.push_back({"no_signature", with(plain, 0, 0x5842)});
    all.push_back({"header_only", Bytes(plain.begin(), plain.begin() + 26)});
    // A GIF of three frames: a partial update, a transparent pixel, a local colour table.
    GifFrame whole;
    whole.width = 3;
    whole.height = 2;
    whole.indices = {0, 1, 2, 3, 2, 1};
    whole.delay_cs = 7;
    GifFrame part;
    part.left = 1;
    part.top = 1;
    part.width = 2;
    part.height = 1;
    part.indices = {3, 0};
    part.transparent = 0;
    part.delay_cs = 20;
    GifFrame local = whole;
    local.indices = {1, 1, 0, 0, 1, 1};
    local.local = {9, 99, 199, 250, 5, 60};
    all.push_back(
        {"alpha.png",
         png_file(2, 2, {250, 10, 20, 255, 9, 99, 199, 0, 128, 64, 32, 128, 0, 255, 90, 64},
                  true)});
    all.push_back({"animated.gif",
                   gif(3, 2, {0, 0, 0, 255, 0, 0, 0, 255, 0, 20, 40, 250}, {whole, part, local})});
    return all;
}

std::vector<std::vector<std::string>> option_sets() {
    return {
        {},
        words("--order=rgb --serpentine --name=heart"),
        words("--start=bottom-right --columns --progmem --strict"),
        words("--gamma=2.8 --brightness=40 --max-current=150"),
        words("--format=rgb565 --order=bgr --swap-bytes --columns --serpentine"),
        words("--format=mono --threshold=90 --start=top-right --serpentine"),
        words("--format=rgb565 --start=bottom-left --binary"),
        words("--name=anim --pack --background=ff00ff"),
        words("--name=anim --pack=auto --format=mono --columns"),
    };
}

} // namespace test
