// Animations packed by the tool and played by tivrano_player.h give back every frame as the
// unpacked text holds it: on the host, as C and as C++, in order, twice round and backwards;
// and on an AVR, in simavr, from flash, against the frames' own pixels.
#include <iomanip>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "process.hpp"

namespace {

using test::Bgr;

// A program that plays `packed` and checks each frame against `plain`, the same frames
// unpacked, and says "ok" or what differs.
const std::string CHECK = R"(#include <stdio.h>
#include <string.h>
#include "packed.h"
#include "plain.h"
int main(void) {
    static uint8_t leds[3 * 65535];
    const size_t size = (size_t)plain_width * (size_t)plain_height * 3;
    struct tivrano_player player;
    int bad = tivrano_count(&packed) != plain_count || tivrano_width(&packed) != plain_width ||
              tivrano_height(&packed) != plain_height;
    tivrano_player_start(&player, &packed);
    for (size_t k = 0; k < 2 * plain_count; ++k) {
        const size_t i = k % plain_count;
        const uint16_t ms = tivrano_player_next(&player, leds);
        if (memcmp(leds, plain[i], size) != 0 || ms != plain_delay_ms[i] ||
            tivrano_delay_ms(&packed, (uint16_t)i) != ms) {
            printf("frame %u differs as played\n", (unsigned)i);
            bad = 1;
        }
    }
    for (size_t i = plain_count; i-- > 0;) {
        memset(leds, 0xAA, size);
        tivrano_frame(&packed, (uint16_t)i, leds);
        if (memcmp(leds, plain[i], size) != 0) {
            printf("frame %u differs on its own\n", (unsigned)i);
            bad = 1;
        }
    }
    puts(bad ? "FAILED" : "ok");
    return bad;
}
)";

struct Animation {
    std::string name;
    int width;
    int height;
    std::vector<std::vector<Bgr>> frames;
};

// Frames of `colours` colours, a block of one moving over a background of another, with a
// pattern of the rest; `noise` frames of random pixels.
std::vector<std::vector<Bgr>> frames_of(int width, int height, int colours, int count,
                                        bool noise = false) {
    std::mt19937 random(static_cast<unsigned>(width * 1000 + colours));
    const auto colour = [](int k) {
        return Bgr{static_cast<std::uint8_t>(k * 37), static_cast<std::uint8_t>(k * 11),
                   static_cast<std::uint8_t>(k / 2)};
    };
    std::vector<std::vector<Bgr>> frames;
    for (int f = 0; f < count; ++f) {
        std::vector<Bgr> pixels;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                if (noise) {
                    pixels.push_back({static_cast<std::uint8_t>(random()),
                                      static_cast<std::uint8_t>(random()),
                                      static_cast<std::uint8_t>(random())});
                } else if (x >= f && x < f + 3 && y >= 1 && y < 3) {
                    pixels.push_back(colour(1));
                } else if (colours > 2 && (x * 7 + y * 3) % 5 == 0) {
                    pixels.push_back(colour(2 + (x + y * width) % (colours - 2)));
                } else {
                    pixels.push_back(colour(0));
                }
            }
        }
        frames.push_back(pixels);
    }
    return frames;
}

// The bytes stored, as the text's comment gives them.
std::uint64_t stored(const std::string& text) {
    const std::size_t at = text.find(" bytes stored");
    const std::size_t from = text.rfind(", ", at) + 2;
    return std::stoull(text.substr(from, at - from));
}

TEST(Player, GivesBackEveryFrameOfEveryForm) {
    std::vector<Animation> animations = {
        {"one-bit", 9, 4, frames_of(9, 4, 2, 6)},
        {"two-bits", 7, 5, frames_of(7, 5, 4, 5)},
        {"four-bits", 8, 6, frames_of(8, 6, 12, 4)},
        {"eight-bits", 20, 15, frames_of(20, 15, 300, 3)},
        {"as-they-are", 6, 5, frames_of(6, 5, 0, 3, true)},
        {"long-commands", 40, 20, frames_of(40, 20, 3, 4)},
    };
    // Frames that come again: alone (A B A) and after the same frame (B C B C).
    Animation again{"again", 8, 6, {}};
    const auto abc = frames_of(8, 6, 5, 3);
    again.frames = {abc[0], abc[1], abc[0], abc[2], abc[1], abc[2], abc[1], abc[2]};
    animations.push_back(again);
    const std::string dir = "cd " + test::quote(test::scratch()) + " && ";
    test::write_file("check.c", {CHECK.begin(), CHECK.end()});
    const std::string include = " -I" + test::quote(std::string(TIVRANO_SOURCE_DIR) + "/include");
    for (const Animation& animation : animations) {
        for (const std::string options : {"", " --serpentine --start=bottom-right --order=rgb"}) {
            SCOPED_TRACE(animation.name + options);
            std::string files;
            for (std::size_t k = 0; k < animation.frames.size(); ++k) {
                const std::string file = animation.name + std::to_string(k) + ".bmp";
                test::write_file(
                    file, test::bmp_file(animation.width, animation.height, animation.frames[k]));
                files += " " + file;
            }
            const test::Run made = test::run_shell(
                dir + test::TOOL + options + " --name=plain --header=plain.h -o plain.c" + files +
                " && " + test::TOOL + options +
                " --name=packed --pack --header=packed.h -o packed.c" + files);
            ASSERT_EQ(made.status, 0) << made.err;
            // Packing never stores more than a byte a frame beyond the frames as they are, and
            // stores frames of few colours in a small part of that.
            const std::uint64_t plain = stored(test::read_file(test::scratch() / "plain.c"));
            const std::uint64_t packed = stored(test::read_file(test::scratch() / "packed.c"));
            EXPECT_LE(packed, plain + animation.frames.size());
            if (animation.name != "as-they-are" && animation.name != "eight-bits") {
                EXPECT_LT(packed * 4, plain) << packed << " of " << plain;
            }
            for (const std::string& compiler :
                 {std::string(C_COMPILER) + " -x c -std=c99 -Wconversion",
                  std::string(CXX_COMPILER) + " -x c++ -std=c++11"}) {
                const test::Run built =
                    test::run_shell(dir + compiler + " -Wall -Wextra -Werror" + include +
                                    " check.c plain.c packed.c -o check");
                ASSERT_EQ(built.status, 0) << built.err;
                const test::Run played =
                    test::run_shell(test::target_program(test::scratch() / "check"));
                EXPECT_EQ(played.out, "ok\n");
            }
        }
    }
}

// On an ATmega328P at 16 MHz, in simavr: the firmware plays the frames from flash, and the
// checksum of what it wrote is that of the frames' own pixels. An array over the 32767 bytes an
// AVR holds stops the build with the reason.
TEST(Player, PlaysOnAnAvrFromFlash) {
    if (!test::has_program("avr-gcc") || !test::has_program("simavr")) {
        GTEST_SKIP() << "avr-gcc or simavr is missing (gcc-avr, avr-libc, simavr)";
    }
    const auto frames = frames_of(16, 16, 6, 12);
    std::string files;
    std::uint32_t hash = 2166136261U;
    for (std::size_t k = 0; k < frames.size(); ++k) {
        test::write_file("avr" + std::to_string(k) + ".bmp", test::bmp_file(16, 16, frames[k]));
        files += " avr" + std::to_string(k) + ".bmp";
        for (const Bgr& pixel : frames[k]) {
            for (const std::uint8_t value : {pixel.g, pixel.r, pixel.b}) {
                hash = (hash ^ value) * 16777619U;
            }
        }
    }
    const std::string include = " -I" + test::quote(std::string(TIVRANO_SOURCE_DIR) + "/include");
    const std::string avr_gcc =
        "avr-gcc -mmcu=atmega328p -Os -std=c99 -Wall -Wextra -Werror -I." + include;
    const test::Run built = test::run_shell(
        "cd " + test::quote(test::scratch()) + " && " + test::TOOL +
        " --name=animation --pack --header=animation.h -o animation.c" + files + " && " + avr_gcc +
        " -DLEDS=256 " + test::quote(std::string(TIVRANO_SOURCE_DIR) + "/tests/support/avr_player.c") +
        " animation.c -o player.elf && avr-nm player.elf | grep ' animation$'");
    ASSERT_EQ(built.status, 0) << built.err;
    EXPECT_LT(std::stoul(built.out.substr(0, 8), nullptr, 16), 0x800000U) << "not in flash";
    const test::Run played = test::run_shell(
        "simavr -m atmega328p -f 16000000 " + test::quote(test::scratch() / "player.elf"), 60);
    std::ostringstream expected;
    expected << "frames 12 fnv1a " << std::hex << std::setw(8) << std::setfill('0') << hash;
    EXPECT_NE((played.out + played.err).find(expected.str()), std::string::npos)
        << played.out << played.err;

    test::write_file("big.bmp", test::bmp_file(110, 100, frames_of(110, 100, 0, 1, true)[0]));
    const test::Run refused =
        test::run_shell("cd " + test::quote(test::scratch()) + " && " + test::TOOL +
                        " --name=big --pack -o big.c big.bmp && " + avr_gcc + " -c big.c -o big.o");
    EXPECT_NE(refused.status, 0);
    EXPECT_NE(refused.err.find("big: an array of 33001 bytes, and an AVR holds no object over "
                               "32767 bytes"),
              std::string::npos)
        << refused.err;
}

} // namespace
