// The texts the tool writes for animations compile where firmware compiles them: packed, with
// tivrano_player.h, as C99 and as C++20, and played against the same frames unpacked; refused,
// with the reason, by a player of another format; on an AVR, where they take the bytes their
// comment says; and on an AVR, in simavr, the frames play from flash as the pixels were, from
// the text and from the packed file through the stream player.
#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "frames_builder.hpp"
#include "pack_file.hpp"
#include "process.hpp"

namespace {

using test::Bgr;
using test::frames_of;

// A program that plays `animation`, packed, and checks each frame against `plain`, the same frames
// unpacked, and says "ok" or which frame differs.
const std::string CHECK = R"(#include <stdio.h>
#include <string.h>
#include "animation.h"
#include "plain.h"
int main(void) {
    static uint8_t leds[3 * animation_leds];
    const size_t size = (size_t)plain_width * (size_t)plain_height * 3;
    struct tivrano_player player;
    size_t k;
    int bad = tivrano_count(&animation) != plain_count || tivrano_width(&animation) != plain_width ||
              tivrano_height(&animation) != plain_height || sizeof leds != size;
    tivrano_player_start(&player, &animation);
    for (k = 0; k < 2 * plain_count; ++k) {
        const size_t i = k % plain_count;
        const uint16_t ms = tivrano_player_next(&player, leds);
        if (memcmp(leds, plain[i], size) != 0 || ms != plain_delay_ms[i]) {
            printf("frame %u differs\n", (unsigned)i);
            bad = 1;
        }
    }
    puts(bad ? "FAILED" : "ok");
    return bad;
}
)";

// The bytes stored, as the text's comment gives them.
std::uint64_t stored(const std::string& text) {
    const std::size_t at = text.find(" bytes stored");
    const std::size_t from = text.rfind(", ", at) + 2;
    return std::stoull(text.substr(from, at - from));
}

// The FNV-1a checksum of the frames' LED bytes, in the tool's default order (G, R, B).
std::uint32_t checksum(const std::vector<std::vector<Bgr>>& frames) {
    std::uint32_t hash = 2166136261U;
    for (const auto& frame : frames) {
        for (const Bgr& pixel : frame) {
            for (const std::uint8_t value : {pixel.g, pixel.r, pixel.b}) {
                hash = (hash ^ value) * 16777619U;
            }
        }
    }
    return hash;
}

std::string hex(std::uint32_t value) {
    std::ostringstream text;
    text << std::hex << std::setw(8) << std::setfill('0') << value;
    return text.str();
}

// Writes the frames as BMP files and returns their names.
std::string write_frames(const std::string& name, int width, int height,
                         const std::vector<std::vector<Bgr>>& frames) {
    std::string files;
    for (std::size_t k = 0; k < frames.size(); ++k) {
        const std::string file = name + std::to_string(k) + ".bmp";
        test::write_file(file, test::bmp_file(width, height, frames[k]));
        files += " " + file;
    }
    return files;
}

enum class Then { nothing, play, size, refuse };

struct Case {
    std::string what;
    std::string options; // the tool's, besides the name and animation.c
    std::string files;
    std::string build; // run in the scratch folder
    Then then;
    bool avr = false;
};

// Makes the row's text, builds it, and checks what follows.
void check_row(const Case& row) {
    const std::string dir = "cd " + test::quote(test::scratch()) + " && ";
    // The text, and for a program that plays it the same frames unpacked, as "plain".
    std::string make =
        dir + test::TOOL + " --name=animation " + row.options + " -o animation.c" + row.files;
    if (row.then == Then::play) {
        make += " && " + test::TOOL + " --name=plain --header=plain.h -o plain.c" + row.files;
    }
    const test::Run made = test::run_shell(make);
    ASSERT_EQ(made.status, 0) << made.err;
    const test::Run built = test::run_shell(dir + row.build);
    if (row.then == Then::refuse) {
        EXPECT_NE(built.status, 0);
        EXPECT_NE(built.err.find("#error \"animation: this text was made by tivrano for player "
                                 "format 2; use the tivrano_player.h of the same version\""),
                  std::string::npos)
            << built.err;
        return;
    }
    ASSERT_EQ(built.status, 0) << built.err;
    if (row.then == Then::play) {
        EXPECT_EQ(test::run_shell(test::target_program(test::scratch() / "check")).out, "ok\n");
    } else if (row.then == Then::size) {
        const std::string text = test::read_file(test::scratch() / "animation.c");
        EXPECT_EQ(built.out, std::to_string(stored(text)) + "\n");
    }
}

TEST(PlayerBuild, AnimationsThatMustCompile) {
    const std::string header = std::string(TIVRANO_SOURCE_DIR) + "/include/tivrano_player.h";
    const std::string include = " -I" + test::quote(std::string(TIVRANO_SOURCE_DIR) + "/include");
    const std::string strict = " -pedantic -Wall -Wextra -Werror";
    const std::string c99 = std::string(C_COMPILER) + " -x c -std=c99" + strict;
    const std::string cxx20 = std::string(CXX_COMPILER) + " -x c++ -std=c++20" + strict;
    const std::string avr = "avr-gcc -mmcu=atmega328p -Os -std=c99" + strict + include;
    const std::string avr_size =
        " -c animation.c -o animation.o && avr-size animation.o | awk 'NR == 2 { print $4 }'";
    // Frames that come again, alone (A B A) and after the same frame (B C B C); and one of
    // 33,000 bytes, more than avr-gcc places in one object.
    const auto abc = frames_of(8, 6, 5, 3);
    const std::string again = write_frames(
        "again", 8, 6, {abc[0], abc[1], abc[0], abc[2], abc[1], abc[2], abc[1], abc[2]});
    const std::string big =
        write_frames("big", 110, 100, frames_of(110, 100, 0, 1, test::Pattern::noise));
    const std::string packed = "--pack --header=animation.h";
    const std::vector<Case> cases = {
        {"packed, C99", packed, again, c99 + include + " check.c animation.c plain.c -o check",
         Then::play},
        {"packed, C++20", packed, again, cxx20 + include + " check.c animation.c plain.c -o check",
         Then::play},
        {"packed, with a player of another format", "--pack", again,
         "mkdir -p other && sed 's/FORMAT 2$/FORMAT 3/' " + test::quote(header) +
             " >other/tivrano_player.h && " + c99 + " -Iother -c animation.c -o animation.o",
         Then::refuse},
        {"packed, an object of 33001 bytes, on the host", "--pack", big,
         c99 + include + " -c animation.c -o animation.o", Then::nothing},
        {"arrays, an object of 33000 bytes, on the host", "", big,
         c99 + " -c animation.c -o animation.o", Then::nothing},
        {"packed, on an AVR", packed, again, avr + avr_size, Then::size, true},
        {"arrays with --progmem, on an AVR", "--progmem", again, avr + avr_size, Then::size, true},
        {"arrays, on an AVR", "", again, avr + avr_size, Then::size, true},
    };
    test::write_file("check.c", {CHECK.begin(), CHECK.end()});
    const bool has_avr = test::has_program("avr-gcc") && test::has_program("avr-size");
    for (const Case& row : cases) {
        SCOPED_TRACE(row.what);
        if (!row.avr || has_avr) {
            check_row(row);
        }
    }
    if (!has_avr) {
        GTEST_SKIP() << "avr-gcc or avr-size is missing (gcc-avr, binutils-avr, avr-libc): the "
                        "rows on an AVR did not run";
    }
}

// On an ATmega328P at 16 MHz, in simavr: the firmware plays the frames from flash, and the
// checksum of what it wrote is that of the frames' own pixels. An array over the 32767 bytes an
// AVR holds stops the build with the reason.
TEST(PlayerBuild, PlaysOnAnAvrFromFlash) {
    if (!test::has_program("avr-gcc") || !test::has_program("simavr")) {
        GTEST_SKIP() << "avr-gcc or simavr is missing (gcc-avr, avr-libc, simavr)";
    }
    const auto frames = frames_of(16, 16, 6, 12);
    const std::string files = write_frames("avr", 16, 16, frames);
    const std::string include = " -I" + test::quote(std::string(TIVRANO_SOURCE_DIR) + "/include");
    const std::string avr_gcc =
        "avr-gcc -mmcu=atmega328p -Os -std=c99 -Wall -Wextra -Werror -I." + include;
    const test::Run built = test::run_shell(
        "cd " + test::quote(test::scratch()) + " && " + test::TOOL +
        " --name=animation --pack --header=animation.h -o animation.c" + files + " && " + avr_gcc +
        " " + test::quote(std::string(TIVRANO_SOURCE_DIR) + "/tests/support/avr_player.c") +
        " animation.c -o player.elf && avr-nm player.elf | grep ' animation$'");
    ASSERT_EQ(built.status, 0) << built.err;
    EXPECT_LT(std::stoul(built.out.substr(0, 8), nullptr, 16), 0x800000U) << "not in flash";
    const test::Run played = test::run_shell(
        "simavr -m atmega328p -f 16000000 " + test::quote(test::scratch() / "player.elf"), 60);
    EXPECT_NE((played.out + played.err).find("frames 12 fnv1a " + hex(checksum(frames))),
              std::string::npos)
        << played.out << played.err;

    const std::string big =
        write_frames("big", 110, 100, frames_of(110, 100, 0, 1, test::Pattern::noise));
    const test::Run refused = test::run_shell("cd " + test::quote(test::scratch()) + " && " +
                                              test::TOOL + " --name=big --pack -o big.c" + big +
                                              " && " + avr_gcc + " -c big.c -o big.o");
    EXPECT_NE(refused.status, 0);
    EXPECT_NE(refused.err.find("big: an array of 33140 bytes, and an AVR holds no object over "
                               "32767 bytes"),
              std::string::npos)
        << refused.err;
}

// In simavr, the packed file in flash, played by the stream player through the firmware's read
// function: 16 x 16 frames of a palette it holds on an ATmega328P, and 32 x 32 frames of one it
// reads a colour at a time on an ATmega2560, give back the frames' own pixels, in a state of at
// most 64 bytes.
TEST(PlayerBuild, PlaysAFileOnAnAvr) {
    if (!test::has_program("avr-gcc") || !test::has_program("simavr")) {
        GTEST_SKIP() << "avr-gcc or simavr is missing (gcc-avr, avr-libc, simavr)";
    }
    struct Row {
        std::string mcu;
        int width;
        int height;
        std::vector<std::vector<Bgr>> frames;
    };
    const std::vector<Row> rows = {
        {"atmega328p", 16, 16, frames_of(16, 16, 6, 12)},
        {"atmega2560", 32, 32, frames_of(32, 32, 40, 6, test::Pattern::spread)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.mcu);
        tivrano::Frames frames;
        frames.width = row.width;
        frames.height = row.height;
        for (const auto& frame : row.frames) {
            for (const Bgr& pixel : frame) {
                frames.values.insert(frames.values.end(), {pixel.g, pixel.r, pixel.b});
            }
        }
        frames.delay_ms.assign(row.frames.size(), 100);
        const auto file = tivrano::packed_file(frames, tivrano::pack(frames));
        test::write_file("stream/animation.bin", {file.begin(), file.end()});
        const test::Run built = test::run_shell(
            "cd " + test::quote(test::scratch() / "stream") + " && avr-gcc -mmcu=" + row.mcu +
            " -Os -std=c99 -Wall -Wextra -Werror -DSTREAM -DLEDS=" +
            std::to_string(row.width * row.height) + " -I" +
            test::quote(std::string(TIVRANO_SOURCE_DIR) + "/include") + " " +
            test::quote(std::string(TIVRANO_SOURCE_DIR) + "/tests/support/avr_player.c") +
            " -o stream.elf");
        ASSERT_EQ(built.status, 0) << built.err;
        const test::Run played =
            test::run_shell("simavr -m " + row.mcu + " -f 16000000 " +
                                test::quote(test::scratch() / "stream/stream.elf"),
                            60);
        const std::string said = played.out + played.err;
        EXPECT_NE(said.find("error 0 frames " + std::to_string(row.frames.size()) + " fnv1a " +
                            hex(checksum(row.frames))),
                  std::string::npos)
            << said;
        const std::size_t state = said.find(" state ");
        ASSERT_NE(state, std::string::npos) << said;
        EXPECT_LE(std::stoul(said.substr(state + 7)), 64U);
    }
}

} // namespace
