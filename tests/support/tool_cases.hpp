// The runs of the built tool that every platform makes alike: the POSIX runner (cli_test.cpp)
// starts it through sh, the Windows one (windows_test.cpp) starts tivrano.exe; both in the
// scratch folder, so that the messages name the files as given here.
#pragma once

#include <string>
#include <vector>

#include "bmp_builder.hpp"
#include "gif_builder.hpp"

namespace test {

struct ToolCase {
    std::string options; // words before the file, with no blanks or quotes in them
    std::string file;    // the last argument; "-" reads `bytes` piped in
    Bytes bytes;         // the file's, written before the run; none: the file is not made
    std::string out;
    int status; // 0, or 255 (-1 on Windows)
    std::string err;
};

inline std::vector<ToolCase> tool_cases() {
    const std::string too_big = "BMP file too big (>1MB)!\n";
    const std::string not_met = "BMP file refused by --max-current!\n";
    const std::string usage =
        "Ungueltige Anzahl der Parameter\nNutzung:  tivrano bmpfile >csoure\n";
    const auto text = [](const Bytes& bytes) { return convert(bytes).text; };
    const auto one_pixel = [](const std::string& lines, const std::string& values,
                              const std::string& order = "GRB") {
        return comment(1, 1, lines, order) + "    " + values + ", };\n\r";
    };
    const Bytes plain = bmp_file(5, 3, counting_pixels(15));
    const Bytes largest = largest_file();
    Bytes over = largest;
    over.push_back(0);
    const Bytes pixel = bmp_file(1, 1, {{200, 64, 128}}); // red 128, green 64, blue 200
    const Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    // Red 48, green 32, blue 16, as one.bmp holds it.
    GifFrame first;
    first.width = first.height = 1;
    first.indices = {1};
    GifFrame second = first;
    second.indices = {0};
    const Bytes two_gif = gif(1, 1, {0, 0, 0, 48, 32, 16}, {first, second});
    return {
        {"", "one.bmp", bmp_file(1, 1, {{16, 32, 48}}), one_pixel("", " 32,  48,  16"), 0, ""},
        {"", "8x3.bmp", bmp_file(8, 3, counting_pixels(24)),
         text(bmp_file(8, 3, counting_pixels(24))), 0, ""},
        {"", "largest.bmp", largest, text(largest), 0, ""},
        {"", "Fr\xc3\xbchling \xe2\x9d\x80.bmp", plain, text(plain), 0, ""},
        {"", "-", largest, text(largest), 0, ""},
        {"", "over.bmp", over, too_big, 255,
         "tivrano: over.bmp: 1000001 bytes, over the limit of 1000000\n"},
        {"", "-", over, too_big, 255,
         "tivrano: standard input: more than 1000000 bytes, the limit\n"},
        // PNG and GIF are decoded, and converted as the BMP of their pixels (an animated GIF
        // without --name gives its first frame); other formats are told apart by their first
        // bytes.
        {"", "two.gif", two_gif, one_pixel("", " 32,  48,  16"), 0,
         "tivrano: two.gif: an animated GIF of 2 frames: the first is converted; with --name, all "
         "of them are, as an animation\n"},
        {"", "in.png", png, "PNG file truncated!\n", 255,
         "tivrano: in.png: the file ends inside the PNG header\n"},
        {"",
         "in.gif",
         {'G', 'I', 'F', '8', '9', 'a'},
         "GIF file truncated!\n",
         255,
         "tivrano: in.gif: the file ends inside a block\n"},
        {"",
         "in.jpg",
         {0xff, 0xd8, 0xff, 0xe0},
         "BM header not found!\r\n",
         255,
         "tivrano: in.jpg: not a BMP file, which starts with \"BM\"; it starts like a JPEG "
         "image\n"},
        {"", "short.bmp", Bytes(plain.begin(), plain.end() - 2), "BMP file truncated!\n", 255,
         "tivrano: short.bmp: the file ends early: 5 x 3 pixels of 3 bytes need 101 bytes, the "
         "file has 100\n"},
        {"",
         "missing.bmp",
         {},
         "BMP file not found!\n",
         255,
         "tivrano: missing.bmp: cannot open: No such file or directory\n"},
        // Each channel through its own gamma, whatever the order; the brightness after it,
        // halves rounded up. Values worked out apart: v -> floor(255 (v / 255)^g + 0.5).
        {"--gamma=2.6,2.2,2.5 --order=bgr", "pixel.bmp", pixel,
         one_pixel("Gamma: red 2.6, green 2.2, blue 2.5\r\n", "139,  12,  42", "BGR"), 0, ""},
        {"--gamma=2.2,1,1", "pixel.bmp", pixel,
         one_pixel("Gamma: red 2.2, green 1, blue 1\r\n", " 64,  56, 200"), 0, ""},
        {"--gamma=1,2.2,1", "pixel.bmp", pixel,
         one_pixel("Gamma: red 1, green 2.2, blue 1\r\n", " 12, 128, 200"), 0, ""},
        {"--gamma=1,1,2.2", "pixel.bmp", pixel,
         one_pixel("Gamma: red 1, green 1, blue 2.2\r\n", " 64, 128, 149"), 0, ""},
        {"--gamma=2.8 --brightness=40", "pixel.bmp", pixel,
         one_pixel("Gamma: 2.8\r\nBrightness: 40 %\r\n", "  2,  15,  52"), 0, ""},
        {"--brightness=50", "halves.bmp", bmp_file(1, 1, {{255, 3, 1}}),
         one_pixel("Brightness: 50 %\r\n", "  2,   1, 128"), 0, ""},
        // 1024 LEDs, dark, draw 1024 mA by the model.
        {"--max-current=1023", "dark.bmp", bmp_file(32, 32, std::vector<Bgr>(1024)), not_met, 255,
         "tivrano: dark.bmp: 1024 LEDs draw 1024 mA even when dark, by the model, more than "
         "--max-current=1023 allows\n"},
        // Red 128, green 64, blue 200: (16 << 11) | (16 << 5) | 25, its low byte first; its
        // brightness (299 * 128 + 587 * 64 + 114 * 200 + 500) / 1000 is 99.
        {"--format=rgb565 --binary", "pixel.bmp", pixel, "\x19\x82", 0, ""},
        {"--format=mono --threshold=99 --binary", "pixel.bmp", pixel, "\x80", 0, ""},
        {"--format=mono --threshold=100 --binary", "pixel.bmp", pixel, std::string(1, '\0'), 0, ""},
        {"--format=rgb565 --order=grb",
         "x.bmp",
         {},
         usage,
         255,
         "tivrano: --order=grb: rgb565 values take the order rgb (the default) or bgr; see "
         "tivrano --help\n"},
        {"--name=x --pack --format=mono",
         "x.bmp",
         {},
         usage,
         255,
         "tivrano: --format=mono: a packed animation holds grb values alone; see tivrano --help\n"},
        {"--threshold=100",
         "x.bmp",
         {},
         usage,
         255,
         "tivrano: --threshold=100: it is for mono, and the format is grb (the default); see "
         "tivrano --help\n"},
        {"--name=INT8_MAX",
         "x.bmp",
         {},
         usage,
         255,
         "tivrano: --name=INT8_MAX: a name that <stdint.h> or <stddef.h> defines, which the text "
         "includes; see tivrano --help\n"},
    };
}

} // namespace test
