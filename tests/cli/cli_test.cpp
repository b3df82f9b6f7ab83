// The built tool, run as a user runs it: exact standard output, standard error and exit status.
// Every path the tool writes to lies in the test's scratch folder.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "names.hpp"
#include "process.hpp"
#include "tool_cases.hpp"

namespace {

using test::Bytes;
using test::run_tool;

const std::string USAGE = "Ungueltige Anzahl der Parameter\nNutzung:  tivrano bmpfile >csoure\n";
const std::string NOT_FOUND = "BMP file not found!\n";
const std::string TOO_BIG = "BMP file too big (>1MB)!\n";
const std::string NO_SIGNATURE = "BM header not found!\r\n";
const std::string TRUNCATED = "BMP file truncated!\n";
constexpr int FAILED = 255;

// A file of these bytes in the scratch folder, as a word for the shell.
std::string file_of(const std::string& name, const Bytes& bytes) {
    return test::quote(test::write_file(name, bytes));
}

Bytes sized(Bytes bytes, std::size_t size) {
    bytes.resize(size, 0);
    return bytes;
}

// Whether the tool can be run under strace (Linux, with ptrace allowed); the rows that need it
// say so once where it cannot.
bool can_trace() {
    static const bool can = [] {
        const bool here =
            !test::wrapped_or_emulated() && test::run_shell("strace true 2>/dev/null").status == 0;
        if (!here) {
            std::cout << "skipped the strace rows: strace is missing, cannot trace here, or "
                         "would trace a wrapper or emulator\n";
        }
        return here;
    }();
    return can;
}

// A stream is read to its end, and converted as a file of its bytes would be, up to the limit.
TEST(Cli, StreamsAreReadToTheirEnd) {
    const Bytes largest = test::largest_file();
    const std::string file = file_of("largest.bmp", largest);
    const std::string text = test::convert(largest).text;
    const std::string over_file = file_of("over.bmp", sized(largest, tivrano::MAX_FILE_SIZE + 1));
    const auto fifo = test::scratch() / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string& tool = test::TOOL;
    struct Case {
        std::string command;
        std::string out;
        int status;
    };
    const std::vector<Case> cases = {
        {tool + " " + file, text, 0},
        {"cat " + file + " | " + tool + " -", text, 0},
        {"cat " + file + " | " + tool + " /dev/stdin", text, 0},
        {tool + " - <" + file, text, 0},
        {"cat " + over_file + " | " + tool + " -", TOO_BIG, FAILED},
        {"printf BM | " + tool + " /dev/stdin", TRUNCATED, FAILED},
        {tool + " /dev/null", TRUNCATED, FAILED},
        {tool + " /dev/zero", TOO_BIG, FAILED},
        // A FIFO without a writer is an empty stream, never waited for.
        {tool + " " + test::quote(fifo), TRUNCATED, FAILED},
        {tool + " - <&-", NOT_FOUND, FAILED},
        // A terminal is refused, never waited on; both streams reach the terminal's output.
        {"script -qec " + test::quote(tool + " -") + " /dev/null",
         "BMP file too big (>1MB)!\r\ntivrano: standard "
         "input: a terminal, not an image: name a file, or pipe one into tivrano -\r\n",
         FAILED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        if (c.command.starts_with("script ") &&
            test::run_shell("script --version | grep util-linux").status != 0) {
            std::cout << "skipped the terminal row: it needs util-linux's script\n";
            continue;
        }
        const test::Run run = test::run_shell(c.command, 20);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.out, c.out);
    }
}

TEST(Cli, StandardErrorSaysWhy) {
    const auto with = [](Bytes bytes, std::size_t offset, std::uint32_t value) {
        test::put_le32(bytes, offset, value);
        return bytes;
    };
    const Bytes plain = test::bmp_file(2, 2, test::counting_pixels(4));
    // As ImageMagick writes a 32-bit image: bit fields, and the pixels after a 124-byte header.
    const Bytes bitfields = with(with(with(plain, 28, 32), 30, 3), 10, 138);
    // A 1-bit 16 x 16 image: two bytes of pixels a row, after two palette entries.
    const Bytes one_bit = sized(with(with(test::bmp_header(16, 16), 28, 1), 10, 62), 126);
    // An 8-bit RLE header with no pixels, cut at each end of a field the explanations read.
    const Bytes rle8 = with(with(with(test::bmp_header(0, 0), 28, 8), 30, 1), 10, 1078);
    const std::string hint = "tivrano: hint: an image saved as PNG is read as it is, whatever "
                             "its kind; man tivrano has more\n";
    const std::string call = "call it as: tivrano FILE.bmp > FILE.c, or see tivrano --help\n";
    const std::string empty_array = "the array is empty; standard C and C++ have no zero-length "
                                    "array, -pedantic refuses it, and compilers that accept it "
                                    "give the frame 0 bytes\n";
    const auto warning = [](const std::string& file, const std::string& text) {
        return "tivrano: warning: " + file + ": " + text + "\n";
    };
    const auto bits = [&](const std::string& file, const std::string& count) {
        return warning(file, "the header says " + count +
                                 " per pixel, but pixels are read as "
                                 "24-bit, 3 bytes each");
    };
    const auto at_byte = [&](const std::string& file, const std::string& offset) {
        return warning(file, "the header puts the pixels at byte " + offset +
                                 ", but they are read from byte 54");
    };
    const auto compressed = [&](const std::string& file, const std::string& compression) {
        return warning(file, "the header says compression " + compression +
                                 ", but pixels are read as uncompressed");
    };
    struct Case {
        std::string arguments; // run in the scratch folder, which holds `file` with `bytes`
        std::string file;
        Bytes bytes;
        std::string out;
        int status;
        std::string err;
        std::uintmax_t sparse_size = 0; // the file grown to this size without writing it
    };
    // Refused before any file is read: the usage message, or the message for a missing file.
    const auto refused = [](std::string arguments, const std::string& out, std::string err) {
        return Case{std::move(arguments), "", {}, out, FAILED, std::move(err)};
    };
    const std::string no_such = "no such option; a file of that name is ./";
    const std::string gamma = "the gamma is a number from 0.1 to 5.0, or three of them for red, "
                              "green and blue, such as 2.8 or 2.6,2.2,2.5";
    const std::string percent = "the brightness is a whole percent from 1 to 100";
    const std::string delay = "the delay is a whole number of milliseconds from 0 to 65535, or "
                              "one for each frame, parted by commas" +
                              std::string("; see tivrano --help\n");
    const std::string FRAMES = "BMP frames refused!\n";
    test::write_file("a.bmp", test::bmp_file(2, 2, test::counting_pixels(4)));
    test::write_file("b.bmp", test::bmp_file(2, 2, std::vector<test::Bgr>(4, {1, 2, 3})));
    test::write_file("c.bmp", test::bmp_file(3, 1, test::counting_pixels(3)));
    test::write_file("big.bmp", test::bmp_file(256, 256, std::vector<test::Bgr>(65536, {1, 2, 3})));
    const std::string see_help = "; see tivrano --help\n";
    std::vector<Case> cases = {
        refused("", USAGE, "tivrano: no file named; " + call),
        refused("a b", USAGE,
                "tivrano: 2 arguments, but one file is converted per call (quote a name with "
                "blanks); " +
                    call),
        refused("''", NOT_FOUND, "tivrano: : cannot open: No such file or directory\n"),
        refused(".", NOT_FOUND, "tivrano: .: cannot open: Is a directory\n"),
        refused("-x", USAGE, "tivrano: -x: " + no_such + "-x" + see_help),
        refused("--bogus", USAGE, "tivrano: --bogus: " + no_such + "--bogus" + see_help),
        refused("--bogus x.bmp", USAGE, "tivrano: --bogus: " + no_such + "--bogus" + see_help),
        refused("-h x.bmp", USAGE, "tivrano: -h: it stands alone, without a file" + see_help),
        refused("--order=bgrx x.bmp", USAGE,
                "tivrano: --order=bgrx: the order is one of grb, rgb, brg, bgr, rbg and gbr" +
                    see_help),
        refused("--start left x.bmp", USAGE,
                "tivrano: --start=left: the corner is one of top-left, top-right, bottom-left "
                "and bottom-right" +
                    see_help),
        refused("--name=__x x.bmp", USAGE,
                "tivrano: --name=__x: reserved for the compiler and its library (it starts with "
                "__ or _ and a capital)" +
                    see_help),
        refused("-o", USAGE, "tivrano: -o: it needs a value" + see_help),
        refused("--version x.bmp", USAGE,
                "tivrano: --version: it stands alone, without a file" + see_help),
        refused("--gamma=0 x.bmp", USAGE, "tivrano: --gamma=0: " + gamma + see_help),
        refused("--gamma=-1 x.bmp", USAGE, "tivrano: --gamma=-1: " + gamma + see_help),
        refused("--gamma=abc x.bmp", USAGE, "tivrano: --gamma=abc: " + gamma + see_help),
        refused("--gamma=2.2,2.8 x.bmp", USAGE, "tivrano: --gamma=2.2,2.8: " + gamma + see_help),
        refused("--gamma=5.01 x.bmp", USAGE, "tivrano: --gamma=5.01: " + gamma + see_help),
        refused("--gamma= x.bmp", USAGE, "tivrano: --gamma=: " + gamma + see_help),
        refused("--brightness=101 x.bmp", USAGE,
                "tivrano: --brightness=101: " + percent + see_help),
        refused("--brightness=50%x x.bmp", USAGE,
                "tivrano: --brightness=50%x: " + percent + see_help),
        refused("--max-current=99999999999999999999 x.bmp", USAGE,
                "tivrano: --max-current=99999999999999999999: the limit is a whole number of "
                "milliamperes, 1 or more" +
                    see_help),
        refused("--led-current=16,11,15 x.bmp", USAGE,
                "tivrano: --led-current=16,11,15: the currents are four numbers of milliamperes, "
                "up to 10000: red, green and blue at full, and an LED when dark, such as "
                "16,11,15,1" +
                    see_help),
        // The frames of an animation: every one as the first, and the options that go with
        // them. (a.bmp and b.bmp are 2 x 2, c.bmp 3 x 1, big.bmp 256 x 256.)
        refused("--name=w a.bmp c.bmp", FRAMES,
                "tivrano: c.bmp: 3 x 1 pixels, the frames before it 2 x 2; every frame needs the "
                "same size\n"),
        refused("--name=w a.bmp big.bmp", FRAMES,
                "tivrano: big.bmp: 256 x 256 pixels, more LEDs than the 65535 a frame of an "
                "animation holds\n"),
        refused("--name=w a.bmp missing.bmp", NOT_FOUND,
                "tivrano: missing.bmp: cannot open: No such file or directory\n"),
        refused("--name=w --delay-ms=1,2,3 a.bmp b.bmp", USAGE,
                "tivrano: --delay-ms=1,2,3: 3 delays for 2 frames; give one for all, or one for "
                "each" +
                    see_help),
        // One file with --delay-ms is an animation of one frame.
        refused("--name=w --delay-ms=1,2 a.bmp", USAGE,
                "tivrano: --delay-ms=1,2: 2 delays for 1 frames; give one for all, or one for "
                "each" +
                    see_help),
        refused("--name=w --delay-ms=70000 a.bmp b.bmp", USAGE,
                "tivrano: --delay-ms=70000: " + delay),
        refused("--name=w --delay-ms=1,x a.bmp b.bmp", USAGE, "tivrano: --delay-ms=1,x: " + delay),
        refused("--name=w --max-bytes=10 a.bmp b.bmp", "BMP data refused by --max-bytes!\n",
                "tivrano: w: 62 bytes stored, more than --max-bytes=10 allows (it counts what the "
                "text stores, not an "
                "LED buffer's RAM); as triples the "
                "frames take 24, stored once each 258 % of that; --pack may store fewer\n"),
        // --pack is for three bytes an LED: no hint to it in another format.
        refused("--name=w --format=rgb565 --max-bytes=10 a.bmp b.bmp",
                "BMP data refused by --max-bytes!\n",
                "tivrano: w: 54 bytes stored, more than --max-bytes=10 allows (it counts what the "
                "text stores, not an "
                "LED buffer's RAM); as 16-bit values "
                "the frames take 16, stored once each 337 % of that\n"),
        refused("--name=w --pack --max-bytes=10 a.bmp b.bmp", "BMP data refused by --max-bytes!\n",
                "tivrano: w: 41 bytes stored, more than --max-bytes=10 allows (it counts what the "
                "text stores, not an "
                "LED buffer's RAM); as triples the "
                "frames take 24, packed 170 % of that\n"),
        refused(
            "--max-bytes=10 a.bmp", "BMP data refused by --max-bytes!\n",
            "tivrano: a.bmp: 12 bytes stored, more than --max-bytes=10 allows (it counts what the "
            "array stores, not an LED buffer's RAM); --name with --pack may store fewer\n"),
        refused("--pack a.bmp", USAGE,
                "tivrano: --pack: it needs --name, the animation's name" + see_help),
        refused("--delay-ms=5 a.bmp", USAGE,
                "tivrano: --delay-ms=5: it is for an animation, which --name names" + see_help),
        {"--max-current=3 plain.bmp", "plain.bmp", plain, "BMP file refused by --max-current!\n",
         FAILED,
         "tivrano: plain.bmp: 4 LEDs draw 4 mA even when dark, by the model, more than "
         "--max-current=3 allows\n"},
        // Read as a 32-bit size, 4 GiB and 10 bytes would look like 10 bytes.
        {"huge.bmp", "huge.bmp", test::bmp_header(1, 1), TOO_BIG, FAILED,
         "tivrano: huge.bmp: 4294967306 bytes, over the limit of 1000000\n", (1ULL << 32) + 10},
        {"xy.bmp",
         "xy.bmp",
         {'X', 'Y', 0xff},
         NO_SIGNATURE,
         FAILED,
         "tivrano: xy.bmp: not a BMP file, which starts with \"BM\"; it starts with the bytes "
         "58 59 ff\n"},
        {"empty.bmp",
         "empty.bmp",
         {},
         TRUNCATED,
         FAILED,
         "tivrano: empty.bmp: empty, no BMP file\n"},
        {"1bit.bmp", "1bit.bmp", one_bit, TRUNCATED, FAILED,
         "tivrano: 1bit.bmp: the header says 1 bit per pixel; read as 24-bit, 16 x 16 pixels "
         "need 822 bytes, the file has 126\n" +
             bits("1bit.bmp", "1 bit") + at_byte("1bit.bmp", "62") + hint},
        {"rle.bmp", "rle.bmp", sized(with(with(rle8, 18, 16), 22, 16), 330), TRUNCATED, FAILED,
         "tivrano: rle.bmp: the header says 8 bits per pixel and compression 1 (RLE8); read as "
         "uncompressed 24-bit, 16 x 16 pixels need 822 bytes, the file has 330\n" +
             bits("rle.bmp", "8 bits") + compressed("rle.bmp", "1 (RLE8)") +
             at_byte("rle.bmp", "1078") + hint},
        {"plain.bmp", "plain.bmp", plain, test::convert(plain).text, 0, ""},
        {"row.bmp", "row.bmp", test::bmp_file(3, 1, test::counting_pixels(3)),
         test::convert(test::bmp_file(3, 1, test::counting_pixels(3))).text, 0, ""},
        {"32bit.bmp", "32bit.bmp", bitfields, test::convert(bitfields).text, 0,
         bits("32bit.bmp", "32 bits") + compressed("32bit.bmp", "3 (BITFIELDS)") +
             at_byte("32bit.bmp", "138") + hint},
        {"--strict 32bit.bmp", "32bit.bmp", bitfields, "BMP file refused by --strict!\n", FAILED,
         "tivrano: 32bit.bmp: refused by --strict, for the reasons below\n" +
             bits("32bit.bmp", "32 bits") + compressed("32bit.bmp", "3 (BITFIELDS)") +
             at_byte("32bit.bmp", "138") + hint},
        {"--strict plain.bmp", "plain.bmp", plain, test::convert(plain).text, 0, ""},
        {"top-down.bmp", "top-down.bmp", test::bmp_header(2, -2),
         test::convert(test::bmp_header(2, -2)).text, 0,
         warning("top-down.bmp", "the height is -2, rows stored top-down, which are not read: " +
                                     empty_array.substr(0, empty_array.size() - 1)) +
             hint},
        {"no-pixels.bmp", "no-pixels.bmp", test::bmp_header(0, 5),
         test::convert(test::bmp_header(0, 5)).text, 0,
         "tivrano: warning: no-pixels.bmp: no pixels (width 0, height 5): " + empty_array},
        {"--strict no-pixels.bmp", "no-pixels.bmp", test::bmp_header(0, 5),
         "BMP file refused by --strict!\n", FAILED,
         "tivrano: no-pixels.bmp: refused by --strict, for the reasons below\n"
         "tivrano: warning: no-pixels.bmp: no pixels (width 0, height 5): " +
             empty_array},
    };
    // The compressions at the end of the table of names, and past it.
    for (const auto& [value, name] : std::vector<std::pair<std::uint32_t, std::string>>{
             {6, "6 (ALPHABITFIELDS)"}, {7, "7 (unknown)"}, {4294967295, "4294967295 (unknown)"}}) {
        const Bytes file = with(plain, 30, value);
        cases.push_back({"c.bmp", "c.bmp", file, test::convert(file).text, 0,
                         compressed("c.bmp", name) + hint});
    }
    // Other formats, by their first bytes.
    for (const auto& [start, what] : std::vector<std::pair<std::string, std::string>>{
             {std::string("II*\0", 4), "a TIFF image"},
             {std::string("MM\0*", 4), "a TIFF image"},
             {std::string("RIFF\x10\0\0\0WEBPVP8 ", 16), "a WebP image"},
             {std::string("\0\0\1\0\1\0", 6), "a Windows icon"}}) {
        cases.push_back({"f.img", "f.img", Bytes(start.begin(), start.end()), NO_SIGNATURE, FAILED,
                         "tivrano: f.img: not a BMP file, which starts with \"BM\"; it starts "
                         "like " +
                             what + "\n"});
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
                                    empty_array.substr(0, empty_array.size() - 1)) +
                  hint;
        }
        cases.push_back({file, file, bytes, size < 26 ? TRUNCATED : test::convert(bytes).text,
                         size < 26 ? FAILED : 0, err});
    }
    // The runs every platform makes; standard input is redirected from a file.
    for (const test::ToolCase& t : test::tool_cases()) {
        const bool piped = t.file == "-";
        cases.push_back({t.options + " " + (piped ? "- <stdin.bin" : test::quote(t.file)),
                         piped             ? "stdin.bin"
                         : t.bytes.empty() ? ""
                                           : t.file,
                         t.bytes, t.out, t.status, t.err});
    }
    const std::string dir = test::quote(test::scratch());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        if (!c.file.empty()) {
            const auto path = test::write_file(c.file, c.bytes);
            if (c.sparse_size != 0) {
                std::filesystem::resize_file(path, c.sparse_size);
            }
        }
        const test::Run run =
            test::run_shell("cd " + dir + " && " + test::TOOL + " " + c.arguments, 20);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.err, c.err);
    }
}

// The array runs along the LED strip, from its first LED, whatever the wiring: each LED's
// pixel, written out by hand for a 3 x 2 image, through the options as a user gives them.
TEST(Cli, LayoutOptionsPutEachPixelOnItsLed) {
    // Pixel n, numbered 1 2 3 along the top row and 4 5 6 below, is red 10n + 1, green 10n + 2
    // and blue 10n + 3.
    std::vector<test::Bgr> pixels;
    for (int n = 1; n <= 6; ++n) {
        pixels.push_back({static_cast<std::uint8_t>(10 * n + 3),
                          static_cast<std::uint8_t>(10 * n + 2),
                          static_cast<std::uint8_t>(10 * n + 1)});
    }
    const std::string image = file_of("3x2.bmp", test::bmp_file(3, 2, pixels));
    struct Case {
        std::string options;
        std::string wiring; // the comment's wiring line, or nothing
        std::vector<int> leds;
        std::string order = "GRB";
    };
    const std::vector<Case> cases = {
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
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        std::string values;
        for (const int n : c.leds) {
            for (const char channel : c.order) {
                const int offset = channel == 'R' ? 1 : channel == 'G' ? 2 : 3;
                values.append(" ").append(std::to_string(10 * n + offset)).append(", ");
            }
        }
        const std::string wiring = c.wiring.empty() ? "" : "Wiring: first LED " + c.wiring + "\r\n";
        const test::Run run = run_tool(c.options + " " + image);
        EXPECT_EQ(run.out, test::comment(3, 2, wiring, c.order) + "    " + values + "};\n\r");
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, "");
    }
}

// Each format's values, worked out by hand from its formula for a 3 x 2 image: rgb565 is
// ((R >> 3) << 11) | ((G >> 2) << 5) | (B >> 3); mono lights an LED when
// (299 R + 587 G + 114 B + 500) / 1000 >= T, the first LED of each strip line in the top bit.
// --binary writes the same values' bytes, as a little-endian chip holds the array.
TEST(Cli, FormatsWriteEachLedAsTheFormulaSays) {
    // Top row red, green and blue (brightness 76, 150 and 29); below it red 200, green 100,
    // blue 0 (119, from exactly 118.5), grey 128 (128) and white (255).
    const std::string image = file_of("formats.bmp", test::bmp_file(3, 2,
                                                                    {{0, 0, 255},
                                                                     {0, 255, 0},
                                                                     {255, 0, 0},
                                                                     {0, 100, 200},
                                                                     {128, 128, 128},
                                                                     {255, 255, 255}}));
    struct Case {
        std::string options;
        std::string lines; // the comment's format line, and what other options add
        std::string values;
    };
    const std::string rgb565 = "2 bytes / pixel, RGB565 Reihenfolge\r\n";
    const std::string swapped = "2 bytes / pixel, RGB565 Reihenfolge, bytes swapped\r\n";
    const std::string columns = "Wiring: first LED top-left, along columns\r\n";
    const std::string mono = "1 bit / pixel, mono, lit from brightness ";
    const std::vector<Case> cases = {
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
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        const bool wide = c.options.find("rgb565") != std::string::npos ||
                          c.options.find("RGB565") != std::string::npos;
        const test::Run run = run_tool(c.options + " " + image);
        EXPECT_EQ(run.out, "/*\r\nBreite: 3, Hoehe: 2\r\n" + c.lines +
                               "Beschreibung: hier eintragen\r\n*/\r\nconst " +
                               (wide ? "uint16_t" : "uint8_t") + " animationX[] = {\r\n    " +
                               c.values + "};\n\r");
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, "");
        // The values' bytes, a 16-bit value's low byte first.
        std::string bytes;
        for (std::size_t at = c.values.find("0x"); at != std::string::npos;
             at = c.values.find("0x", at + 2)) {
            const unsigned long value =
                std::stoul(c.values.substr(at + 2, wide ? 4 : 2), nullptr, 16);
            bytes += static_cast<char>(value & 0xFFU);
            if (wide) {
                bytes += static_cast<char>(value >> 8U);
            }
        }
        const test::Run binary = run_tool("--binary " + c.options + " " + image);
        EXPECT_EQ(binary.out, bytes);
        EXPECT_EQ(binary.status, 0);
    }
    // An animation's bytes are its frames', one after another; packed, the packed file, which
    // starts with its magic number and counts the frames at byte 10.
    EXPECT_EQ(run_tool("--name=two --binary --format=mono " + image + " " + image).out,
              "\x40\x60\x40\x60");
    const std::string packed = run_tool("--name=two --binary --pack " + image + " " + image).out;
    EXPECT_TRUE(packed.starts_with("TIVP") && packed.substr(10, 2) == std::string("\2\0", 2));
    // Bytes never go to a terminal, standard output or -o's.
    if (test::run_shell("script --version | grep util-linux").status != 0) {
        std::cout << "skipped the terminal rows: they need util-linux's script\n";
        return;
    }
    const std::string usage =
        "Ungueltige Anzahl der Parameter\r\nNutzung:  tivrano bmpfile >csoure\r\n";
    for (const auto& [output, reason] :
         {std::pair<std::string, std::string>{"", "standard output is a terminal, and the values "
                                                  "are bytes: redirect it into a file, or give "
                                                  "-o FILE"},
          // The terminal through a link in the scratch folder, which a regression would replace.
          {"-o terminal.bin ", "the output file is a terminal, and the values are bytes"}}) {
        SCOPED_TRACE(output);
        const test::Run terminal =
            test::run_shell("script -qec " +
                                test::quote("ln -sf \"$(tty)\" terminal.bin && " + test::TOOL +
                                            " --binary " + output + image) +
                                " /dev/null",
                            20);
        EXPECT_EQ(terminal.out,
                  usage + "tivrano: --binary: " + reason + "; see tivrano --help\r\n");
        EXPECT_EQ(terminal.status, FAILED);
    }
}

// A name is checked at the edges of the rules for characters, reserved beginnings and length,
// and of the lists of reserved names, kept in names.cpp: a keyword of either language, a name
// of either header, and the same in another case. The CMake functions ask the tool
// (tivrano --check --name=...), which answers as a conversion does.
TEST(Cli, NamesAreChecked) {
    const std::vector<std::pair<std::string, bool>> names = {
        {"Heart", true},
        {"Anim", true},
        {"_1x", true},
        {"_a1", true},
        {"_abc", true},
        {"3x", false},
        {"a-b", false},
        {"a^b", false},
        {"a[b", false},
        {"_Abc", false},
        {"_A1", false},
        {"__x", false},
        {"main", false},
        {"Main", true},
        {"restrict", false},
        {"co_await", false},
        {"and", false},
        {"NULL", false},
        {"null", true},
        {"INT8_MAX", false},
        {"int8_max", true},
        {"size_tt", true},
        {"uint8_t", false},
        {std::string(200, 'n'), true},
        {std::string(201, 'n'), false},
    };
    const auto image = file_of("named.bmp", test::bmp_file(1, 1, {{1, 2, 3}}));
    for (const auto& [name, accepted] : names) {
        SCOPED_TRACE(name);
        EXPECT_EQ(tivrano::name_problem(name) == nullptr, accepted);
        const test::Run run = run_tool("--name=" + test::quote(name) + " " + image);
        EXPECT_EQ(run.status, accepted ? 0 : FAILED) << run.err;
        const test::Run check = run_tool("--check --name=" + test::quote(name));
        EXPECT_EQ(check.status, accepted ? 0 : FAILED) << check.err;
        EXPECT_EQ(check.err.starts_with("tivrano: NAME " + name + ": "), !accepted) << check.err;
    }
}

// A file that exists but cannot be read says so, not that it is missing. Run as root, the tool
// is run as user nobody, from a folder of its own open to that user, so that only the file's
// mode refuses it.
TEST(Cli, UnreadableFileIsNotMissing) {
    std::string as_nobody;
    std::filesystem::path folder = test::scratch();
    if (geteuid() == 0) {
        if (!test::has_program("setpriv")) {
            GTEST_SKIP() << "setpriv (util-linux) is missing, to run the tool as user nobody";
        }
        std::string name =
            (std::filesystem::temp_directory_path() / "tivrano-open-XXXXXX").string();
        ASSERT_NE(mkdtemp(name.data()), nullptr);
        folder = name;
        // Open to all, so that a wrapper (valgrind) run as nobody can keep its files there too.
        std::filesystem::permissions(folder, std::filesystem::perms::all |
                                                 std::filesystem::perms::sticky_bit);
        as_nobody =
            "setpriv --reuid=65534 --regid=65534 --clear-groups env TMPDIR=" + test::quote(folder) +
            " ";
        std::filesystem::copy_file(test::TOOL_PATH, folder / "tivrano");
    }
    const auto locked = folder / "locked.bmp";
    test::write_file("locked.bmp", test::bmp_file(1, 1, {{1, 2, 3}}));
    std::filesystem::copy_file(test::scratch() / "locked.bmp", locked,
                               std::filesystem::copy_options::overwrite_existing);
    ASSERT_EQ(chmod(locked.c_str(), 0), 0);
    const std::string tool = geteuid() == 0 ? test::wrapped(folder / "tivrano") : test::TOOL;
    const bool reachable =
        test::run_shell(as_nobody + "test -x " + test::quote(folder / "tivrano")).status == 0;
    const test::Run run = test::run_shell(as_nobody + tool + " " + test::quote(locked));
    if (folder != test::scratch()) {
        std::filesystem::remove_all(folder);
    }
    if (geteuid() == 0 && !reachable) {
        GTEST_SKIP() << "user nobody cannot reach " << folder << ": the temporary folder is closed";
    }
    EXPECT_EQ(run.out, NOT_FOUND);
    EXPECT_EQ(run.err, "tivrano: " + locked.string() + ": cannot open: Permission denied\n");
}

TEST(Cli, HelpAndVersion) {
    const test::Run version = run_tool("--version");
    EXPECT_EQ(version.out, "tivrano " TIVRANO_VERSION "\n");
    const test::Run help = run_tool("--help");
    EXPECT_TRUE(help.out.starts_with("Usage: tivrano [OPTION]... FILE.bmp > FILE.c\n")) << help.out;
    EXPECT_NE(help.out.find("man tivrano"), std::string::npos);
    // A terminal of 80 columns shows each line whole.
    for (std::size_t at = 0, end = 0; at < help.out.size(); at = end + 1) {
        end = help.out.find('\n', at);
        EXPECT_LE(end - at, 80U) << help.out.substr(at, end - at);
    }
    for (const test::Run& run : {version, help, run_tool("-h")}) {
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, "");
    }
    EXPECT_EQ(run_tool("-h").out, help.out);
    // A file of such a name is reached by its path.
    const Bytes image = test::bmp_file(1, 1, {{1, 2, 3}});
    file_of("--help", image);
    const test::Run file =
        test::run_shell("cd " + test::quote(test::scratch()) + " && " + test::TOOL + " ./--help");
    EXPECT_EQ(file.out, test::convert(image).text);
}

// -o replaces the file only with a whole text, and only a file: a device or FIFO, named or
// linked to, gets the text as it comes, even one put there while the text was written. A
// refusal's message still goes to standard output.
TEST(Cli, OutputFile) {
    const Bytes image = test::bmp_file(2, 2, test::counting_pixels(4));
    const std::string text = test::convert(image).text;
    test::write_file("good.bmp", image);
    test::write_file("bad.bmp", {'B', 'M'});
    test::write_file("dark.bmp", test::bmp_file(32, 32, std::vector<test::Bgr>(1024)));
    const std::string old = "what the file held before, longer than the text that replaces it" +
                            std::string(text.size(), '.') + "\n";
    const std::string cut_short =
        "tivrano: good.bmp: the file was cut short by another program while it was converted\n";
    // Traced: the first write, into the new file, is held up for a second, while out.c becomes
    // a FIFO with a reader; or it raises SIGBUS, as a mapped input cut short does. (The leak
    // checker of a sanitizer build cannot run under a tracer.)
    const std::string strace = "ASAN_OPTIONS=detect_leaks=0 strace -o strace.log -e trace=write "
                               "-e inject=write:";
    const std::string swap =
        "tool=$!; until ls out.c.tivrano-*.tmp >/dev/null 2>&1; do sleep 0.01; "
        "done; rm out.c && mkfifo out.c && { cat out.c >from-fifo & }; "
        "wait $tool";
    const std::string bind =
        "unshare -rm sh -c 'mount --bind good.bmp out.c && exec \"$0\" \"$@\"' ";
    struct Case {
        std::string command; // run in the scratch folder; TOOL stands for the tool
        std::string out;
        int status;
        std::string err;
        std::string file;       // what out.c holds afterwards, or the FIFO's reader got
        std::string needs = {}; // strace or unshare
    };
    const std::vector<Case> cases = {
        {"TOOL -o out.c good.bmp", "", 0, "", text},
        {"TOOL --output=out.c bad.bmp", TRUNCATED, FAILED,
         "tivrano: bad.bmp: only 2 bytes, too short for a BMP header: its width and height end at "
         "byte 26\n",
         old},
        {"TOOL -o out.c missing.bmp", NOT_FOUND, FAILED,
         "tivrano: missing.bmp: cannot open: No such file or directory\n", old},
        {"TOOL --name=w -o out.c good.bmp bad.bmp", TRUNCATED, FAILED,
         "tivrano: bad.bmp: only 2 bytes, too short for a BMP header: its width and height end at "
         "byte 26\n",
         old},
        {"TOOL --brightness=0 -o out.c good.bmp", USAGE, FAILED,
         "tivrano: --brightness=0: the brightness is a whole percent from 1 to 100; see tivrano "
         "--help\n",
         old},
        // 1024 LEDs draw 1024 mA when dark: a limit just below it.
        {"TOOL --max-current=1023 -o out.c dark.bmp", "BMP file refused by --max-current!\n",
         FAILED,
         "tivrano: dark.bmp: 1024 LEDs draw 1024 mA even when dark, by the model, more than "
         "--max-current=1023 allows\n",
         old},
        {"TOOL -o no/out.c good.bmp", "", FAILED,
         "tivrano: cannot write no/out.c: No such file or directory\n", old},
        // A link is followed, and the file it names replaced whole, its tail too.
        {"TOOL -o link.c good.bmp", "", 0, "", text},
        {"{ cat fifo >from-fifo & } && TOOL -o fifo good.bmp", "", 0, "", text},
        {"{ cat fifo >from-fifo & } && TOOL -o fifo-link good.bmp", "", 0, "", text},
        {strace + "delay_enter=1000000:when=1 TOOL -o out.c good.bmp & " + swap, "", 0, "", text,
         "strace"},
        {strace + "signal=SIGBUS:when=1 TOOL -o out.c good.bmp", "BMP file could not be read!\n",
         FAILED, cut_short, old, "strace"},
        // A rename that fails: out.c is a mount point, in a namespace of its own.
        {bind + "TOOL -o out.c good.bmp", "", FAILED,
         "tivrano: cannot write out.c: Device or resource busy\n", old, "unshare"},
    };
    const auto& dir = test::scratch();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        if ((c.needs == "strace" && !can_trace()) ||
            (c.needs == "unshare" &&
             (test::wrapped_or_emulated() || test::run_shell("unshare -rm true").status != 0))) {
            if (c.needs == "unshare") {
                std::cout << "skipped a row: it needs unshare -rm, a mount namespace of its own\n";
            }
            continue;
        }
        test::write_file("out.c", {old.begin(), old.end()});
        for (const char* name : {"link.c", "fifo", "fifo-link", "from-fifo"}) {
            std::filesystem::remove(dir / name);
        }
        std::filesystem::create_symlink("out.c", dir / "link.c");
        ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
        std::filesystem::create_symlink("fifo", dir / "fifo-link");
        std::string command = c.command;
        command.replace(command.find("TOOL"), 4, test::TOOL);
        const test::Run run =
            test::run_shell("cd " + test::quote(dir) + " || exit\n" + command, 20);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.err, c.err);
        const bool into_fifo = c.command.find("fifo") != std::string::npos;
        EXPECT_EQ(test::read_file(dir / (into_fifo ? "from-fifo" : "out.c")), c.file);
        EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.c"));
        EXPECT_EQ(std::filesystem::is_fifo(dir / "fifo"), true);
        if (c.command.find("mkfifo out.c") != std::string::npos) {
            EXPECT_TRUE(std::filesystem::is_fifo(dir / "out.c"));
            std::filesystem::remove(dir / "out.c");
        }
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
        }
    }
}

// A pipe that the parent left non-blocking is waited on, not taken for a failure: standard
// output drained by a slow reader, and standard input whose writer starts late.
TEST(Cli, NonBlockingPipesAreWaitedOn) {
    const Bytes largest = test::largest_file();
    const std::string text = test::convert(largest).text;
    const auto file = test::write_file("largest.bmp", largest);
    const auto start = [](const std::string& command, int in, int out) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in, STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
        const char* argv[] = {"sh", "-c", command.c_str(), nullptr};
        pid_t pid = -1;
        posix_spawn(&pid, "/bin/sh", &actions, nullptr, const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    };
    const auto status_of = [](pid_t pid) {
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };

    const auto pipe_closed_on_exec = [](int ends[2]) {
        return pipe(ends) == 0 && fcntl(ends[0], F_SETFD, FD_CLOEXEC) == 0 &&
               fcntl(ends[1], F_SETFD, FD_CLOEXEC) == 0;
    };
    int out[2];
    ASSERT_TRUE(pipe_closed_on_exec(out));
    ASSERT_EQ(fcntl(out[1], F_SETFL, O_NONBLOCK), 0);
    const pid_t writer =
        start("exec " + test::TOOL + " " + test::quote(file), STDIN_FILENO, out[1]);
    close(out[1]);
    std::string got;
    char chunk[16384];
    for (ssize_t size = 0; (size = read(out[0], chunk, sizeof chunk)) > 0;) {
        got.append(chunk, static_cast<std::size_t>(size));
        usleep(200);
    }
    close(out[0]);
    EXPECT_EQ(status_of(writer), 0);
    EXPECT_TRUE(got == text) << got.size() << " bytes of " << text.size();

    int in[2];
    ASSERT_TRUE(pipe_closed_on_exec(in));
    ASSERT_EQ(fcntl(in[0], F_SETFL, O_NONBLOCK), 0);
    const auto converted = test::scratch() / "from-stdin.c";
    const pid_t reader =
        start("exec " + test::TOOL + " -o " + test::quote(converted) + " -", in[0], STDOUT_FILENO);
    close(in[0]);
    // A reader that gave up fails the writes below, not the test; the tests after it, in the same
    // process, see SIGPIPE as before.
    struct IgnoredSigpipe {
        void (*previous)(int) = signal(SIGPIPE, SIG_IGN);
        ~IgnoredSigpipe() { signal(SIGPIPE, previous); }
    } const ignored_sigpipe;
    usleep(300000);
    for (std::size_t done = 0; done < largest.size();) {
        const ssize_t size = write(in[1], largest.data() + done, largest.size() - done);
        ASSERT_GT(size, 0);
        done += static_cast<std::size_t>(size);
    }
    close(in[1]);
    EXPECT_EQ(status_of(reader), 0);
    EXPECT_TRUE(test::read_file(converted) == text);
}

// A failed write to standard output fails the run and says so. The shell opens /dev/full, a
// device on which every write fails as on a full disk; the tool only writes to it.
TEST(Cli, FailedWritesAreReportedOnStandardError) {
    const std::string file = file_of("frame.bmp", test::bmp_file(2, 2, test::counting_pixels(4)));
    struct Case {
        std::string arguments;
        std::string err;
    };
    const std::vector<Case> cases = {
        {file + " >/dev/full", "tivrano: cannot write standard output: No space left on device\n"},
        {">/dev/full", "tivrano: no file named; call it as: tivrano FILE.bmp > FILE.c, or see "
                       "tivrano --help\n"
                       "tivrano: cannot write standard output: No space left on device\n"},
        {file + " >&-", "tivrano: cannot write standard output: Bad file descriptor\n"},
        {"missing.bmp >&-", "tivrano: missing.bmp: cannot open: No such file or directory\n"
                            "tivrano: cannot write standard output: Bad file descriptor\n"},
        {"--help >&-", "tivrano: cannot write standard output: Bad file descriptor\n"},
    };
    const bool full_device = std::filesystem::exists("/dev/full");
    if (!full_device) {
        std::cout << "skipped the full-disk rows: there is no /dev/full\n";
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        if (c.arguments.find("/dev/full") != std::string::npos && !full_device) {
            continue;
        }
        const test::Run run = run_tool(c.arguments);
        EXPECT_EQ(run.status, FAILED);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, c.err);
    }
}

// Once the first byte of text arrives, the file is cut short; the tool cannot have finished,
// since it blocks on the pipe long before its 5 MB of text are read. The run must end as a
// failed read, not a crash.
TEST(Cli, FileCutShortWhileConvertingIsAReadFailure) {
    const std::string file = test::write_file("shrinking.bmp", test::largest_file()).string();
    const test::Run run =
        test::run_shell("{ " + test::TOOL + " " + test::quote(file) +
                            "; echo \"status $?\"; } | { dd bs=1 count=1 2>/dev/null; : >" +
                            test::quote(file) + "; cat; }",
                        20);
    const std::string end = "BMP file could not be read!\nstatus 255\n";
    ASSERT_GT(run.out.size(), end.size());
    EXPECT_TRUE(run.out.starts_with(test::comment(577, 577))) << run.out.substr(0, 100);
    EXPECT_EQ(run.out.substr(run.out.size() - end.size()), end);
    EXPECT_EQ(run.err, "tivrano: " + file +
                           ": the file was cut short by another program while it was converted\n");
}

} // namespace

// AddressSanitizer reserves far more address space than any limit below leaves.
#if defined(__SANITIZE_ADDRESS__)
#define ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ADDRESS_SANITIZER 1
#endif
#endif

namespace {

// Under ever tighter limits on address space, the tool converts, or says that memory ran out,
// or cannot start at all, as `--version` cannot then either (the loader ends it with status
// 127, or the kernel a static build with SIGSEGV); it never crashes or writes half a text.
TEST(Cli, TooLittleMemory) {
#ifdef ADDRESS_SANITIZER
    GTEST_SKIP() << "built with AddressSanitizer";
#endif
    if (test::wrapped_or_emulated()) {
        GTEST_SKIP() << "the limit would apply to the wrapper or emulator";
    }
    if (test::run_shell("ulimit -v 100000").status != 0) {
        GTEST_SKIP() << "this shell cannot limit address space (ulimit -v)";
    }
    const Bytes largest = test::largest_file();
    const std::string file = file_of("largest.bmp", largest);
    const std::string text = test::convert(largest).text;
    int refusals = 0;
    for (int kib = 1024; kib <= 8192; kib += 128) {
        const std::string limit = std::to_string(kib);
        SCOPED_TRACE(limit + " KiB");
        const auto limited = [&](const std::string& arguments) {
            return test::run_shell("(ulimit -v " + limit + "; exec " +
                                   test::quote(test::TOOL_PATH) + " " + arguments + ")");
        };
        const test::Run run = limited(file);
        if (run.status == 0) {
            EXPECT_EQ(run.out, text);
        } else if (run.status == FAILED) {
            EXPECT_EQ(run.out, "Not enough memory for the BMP file!\n");
            ++refusals;
        } else {
            EXPECT_EQ(run.status, limited("--version").status);
            EXPECT_NE(run.status, 0);
            EXPECT_EQ(run.out, "");
        }
    }
    EXPECT_GT(refusals, 0);
}

} // namespace
