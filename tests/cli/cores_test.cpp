// The player on the chips makers buy, as firmware plays it, in one table: an ATmega328P and an
// ATmega2560 in simavr, a Cortex-M0+ (code for ARMv6-M, on the micro:bit's nRF51, a Cortex-M0) and
// a Cortex-M3 (the MPS2 AN385) under QEMU, and an RV32IMC core (the ESP32-C3's instruction set,
// in user mode). The firmware of tests/support/cores plays each animation from flash, or its
// packed file through the stream player, and prints each frame's checksum, which must be that of
// the frames' own pixels, and the bytes of the player's state.
#include <iomanip>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "frames_builder.hpp"
#include "process.hpp"

namespace {

using test::Bgr;
using test::frames_of;

struct Animation {
    std::string name; // its folder in the scratch folder
    int width;
    int height;
    std::vector<std::vector<Bgr>> frames;
    bool small = false; // packed small, and played with TIVRANO_SMALL
    int bytes = 3;      // of a value: 2, rgb565, and 1, mono, played with TIVRANO_VALUE_BYTES
};

// The --format of values of `bytes`.
std::string format_of(int bytes) {
    return bytes == 3 ? "" : bytes == 2 ? " --format=rgb565" : " --format=mono";
}

struct Core {
    std::string what;
    std::vector<std::string> programs; // what it needs, and the packages they come in
    std::string packages;
    std::string build; // compiler, flags and startup, to which the sources and -o are added
    std::string run;   // the emulator, before the firmware
    unsigned state;    // the most bytes the stream player's state may take
};

enum class From { flash, file };

// FNV-1a of `bytes`, from `hash`.
std::uint32_t fnv1a(std::uint32_t hash, const std::vector<std::uint8_t>& bytes) {
    for (const std::uint8_t value : bytes) {
        hash = (hash ^ value) * 16777619U;
    }
    return hash;
}

// The delay of frame i, each another.
unsigned delay_ms(std::size_t i) {
    return static_cast<unsigned>(10 * i + 7);
}

// What the firmware must print: each frame's checksum of its LED bytes, and its delay, then the
// checksum of them all.
std::string expected_lines(const std::vector<std::vector<std::uint8_t>>& frames) {
    std::ostringstream lines;
    std::uint32_t all = 2166136261U;
    lines << std::hex << std::setfill('0');
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const std::vector<std::uint8_t>& leds = frames[i];
        all = fnv1a(all, leds);
        lines << "frame " << std::dec << i << std::hex << " fnv1a " << std::setw(8)
              << fnv1a(2166136261U, leds) << " ms " << std::dec << delay_ms(i) << "\n";
    }
    lines << "frames " << std::dec << frames.size() << std::hex << " fnv1a " << std::setw(8) << all
          << "\nmost ";
    return lines.str();
}

// An animation's frames as its LEDs' bytes: of 3-byte values in the tool's default order (G, R,
// B), or else as the tool's unpacked frames of the animation's format, frames.bin, hold them.
std::vector<std::vector<std::uint8_t>> leds_of(const Animation& animation,
                                               const std::filesystem::path& folder) {
    std::vector<std::vector<std::uint8_t>> frames;
    if (animation.bytes != 3) {
        const std::string all = test::read_file(folder / "frames.bin");
        const std::size_t size = all.size() / animation.frames.size();
        for (std::size_t at = 0; at + size <= all.size(); at += size) {
            frames.emplace_back(all.begin() + static_cast<std::ptrdiff_t>(at),
                                all.begin() + static_cast<std::ptrdiff_t>(at + size));
        }
        return frames;
    }
    for (const auto& frame : animation.frames) {
        std::vector<std::uint8_t>& leds = frames.emplace_back();
        for (const Bgr& pixel : frame) {
            leds.insert(leds.end(), {pixel.g, pixel.r, pixel.b});
        }
    }
    return frames;
}

// Makes the animation's text and packed file in its folder, from the frames as BMP files.
void make_animation(const Animation& animation) {
    const std::filesystem::path folder = test::scratch() / "cores" / animation.name;
    std::string files;
    std::string delays;
    for (std::size_t k = 0; k < animation.frames.size(); ++k) {
        const std::string file = std::to_string(k) + ".bmp";
        test::write_file(folder / file,
                         test::bmp_file(animation.width, animation.height, animation.frames[k]));
        files += " " + file;
        delays += (k == 0 ? "" : ",") + std::to_string(delay_ms(k));
    }
    const std::string format = format_of(animation.bytes);
    const std::string pack = test::TOOL + " --name=animation --pack" +
                             (animation.small ? "=small" : "") + format + " --delay-ms=" + delays;
    const test::Run made = test::run_shell(
        "cd " + test::quote(folder) + " && " + pack + " --header=animation.h -o animation.c" +
        files + " && " + pack + " --binary -o animation.bin" + files + " && " + test::TOOL +
        " --name=frames --binary" + format + " -o frames.bin" + files);
    ASSERT_EQ(made.status, 0) << made.err;
}

// The values of a frame: LEDs, or for mono bytes of 8 LEDs across a line.
int values_of(const Animation& animation) {
    return animation.bytes == 1 ? (animation.width + 7) / 8 * animation.height
                                : animation.width * animation.height;
}

// Builds the core's firmware for the animation, from flash or from its file, runs it and checks
// what it printed, which simavr writes in colour, each newline as a dot.
void check_row(const Core& core, const Animation& animation, From from) {
    const std::string cores = std::string(TIVRANO_SOURCE_DIR) + "/tests/support/cores";
    const std::string flags = " -Os -std=c99 -pedantic -Wall -Wextra -Werror -I. -I" +
                              test::quote(std::string(TIVRANO_SOURCE_DIR) + "/include") + " -I" +
                              test::quote(cores) + " " + test::quote(cores + "/play.c");
    const std::string sources =
        (from == From::flash ? " animation.c"
                             : " -DSTREAM -DLEDS=" + std::to_string(values_of(animation))) +
        (animation.small ? " -DTIVRANO_SMALL" : "") +
        (animation.bytes != 3 ? " -DTIVRANO_VALUE_BYTES=" + std::to_string(animation.bytes) : "");
    const std::string folder = test::quote(test::scratch() / "cores" / animation.name);
    const test::Run built = test::run_shell("cd " + folder + " && " + core.build + flags + sources +
                                            " -o firmware.elf");
    ASSERT_EQ(built.status, 0) << built.err;
    const test::Run played =
        test::run_shell("cd " + folder + " && " + core.run + " firmware.elf", 60);
    const std::string said =
        std::regex_replace(played.out + played.err, std::regex("\x1b\\[[0-9;]*m|\\.(?=\n)"), "");
    EXPECT_EQ(played.status, 0) << said;
    EXPECT_NE(
        said.find(expected_lines(leds_of(animation, test::scratch() / "cores" / animation.name))),
        std::string::npos)
        << said;
    const std::size_t state = said.find(" state ");
    ASSERT_NE(state, std::string::npos) << said;
    EXPECT_EQ(said.substr(said.find(' ', state + 7), 9), " error 0\n") << said;
    if (from == From::file) {
        EXPECT_LE(std::stoul(said.substr(state + 7)), core.state) << said;
    }
}

// Built with the sanitizers, which the firmware is not.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool SANITIZED = true;
#elif defined(__has_feature)
constexpr bool SANITIZED = __has_feature(address_sanitizer);
#else
constexpr bool SANITIZED = false;
#endif

TEST(PlayerCores, PlaysEveryFrameFromFlashAndFromAFile) {
    if (SANITIZED || !std::string(TIVRANO_EMULATOR).empty()) {
        GTEST_SKIP() << "the chips run this machine's compilers and simulators on text the tool "
                        "writes alike everywhere (Cli.SharedCases shows it): once, in the native "
                        "build";
    }
    const std::string cores = test::quote(std::string(TIVRANO_SOURCE_DIR) + "/tests/support/cores");
    const auto avr = [&](const std::string& mcu) {
        return Core{
            "an " + mcu + " in simavr",          {"avr-gcc", "simavr"},
            "gcc-avr, avr-libc, simavr",         "avr-gcc -mmcu=" + mcu + " " + cores + "/avr.c",
            "simavr -m " + mcu + " -f 16000000", 22};
    };
    const std::string bare = " -ffreestanding -nostdlib ";
    const std::string arm =
        "arm-none-eabi-gcc -mthumb -T " + cores + "/cortex_m.ld " + cores + "/cortex_m.c" + bare;
    const auto machine = [](const std::string& name) {
        return "qemu-system-arm -M " + name +
               " -display none -monitor none -serial none "
               "-semihosting-config enable=on,target=native -kernel";
    };
    const std::vector<Core> table = {
        avr("atmega328p"),
        avr("atmega2560"),
        {"Cortex-M0+ (ARMv6-M) on the micro:bit's Cortex-M0",
         {"arm-none-eabi-gcc", "qemu-system-arm"},
         "gcc-arm-none-eabi, qemu-system-arm",
         arm + "-mcpu=cortex-m0plus",
         machine("microbit"),
         64},
        {"Cortex-M3 on the MPS2 AN385",
         {"arm-none-eabi-gcc", "qemu-system-arm"},
         "gcc-arm-none-eabi, qemu-system-arm",
         arm + "-mcpu=cortex-m3",
         machine("mps2-an385"),
         64},
        {"RV32IMC in user mode",
         {"clang", "ld.lld", "qemu-riscv32"},
         "clang, lld, qemu-user",
         "clang --target=riscv32-unknown-elf -march=rv32imc -mabi=ilp32 -fuse-ld=lld -static " +
             cores + "/rv32.c" + bare,
         "qemu-riscv32",
         64},
    };
    // Indices of 4 bits (6 colours, a block moving); of 8 bits, every LED of another of 200
    // colours in each frame; noise, more colours than a palette holds, stored as it is; and 32 x
    // 32 frames of 40 colours, more than the stream player holds, which it reads a colour at a
    // time (on the ATmega2560, whose RAM holds their LEDs); and the block packed small, after a
    // frame of slanting stripes, which it stores with an offset, and before a frame of every LED
    // changed, which it stores as a fast record; and packed small on the ATmega328P, whose flash
    // player walks its records in the AVR's own instructions, as the stream player does, a block
    // moving over a background of 200 colours (indices of 8 bits) and of 300 (each new LED its 24
    // bits), and of 200 as values of rgb565 and as mono.
    auto mixed = frames_of(16, 16, 6, 1, test::Pattern::slant);
    for (auto& frame : frames_of(16, 16, 6, 12)) {
        mixed.push_back(frame);
    }
    mixed.push_back(frames_of(16, 16, 6, 1, test::Pattern::spread)[0]);
    const auto over = [](int colours, int count) {
        auto frames = frames_of(16, 16, 2, count);
        const auto background = frames_of(16, 16, colours, 1, test::Pattern::spread)[0];
        for (auto& frame : frames) {
            for (std::size_t k = 0; k < frame.size(); ++k) {
                frame[k] = frame[k].g == 0 ? background[k] : frame[k]; // colour 0, not the block's
            }
        }
        return frames;
    };
    const std::vector<Animation> animations = {
        {"block", 16, 16, frames_of(16, 16, 6, 12)},
        {"spread", 16, 16, frames_of(16, 16, 200, 5, test::Pattern::spread)},
        {"noise", 20, 20, frames_of(20, 20, 0, 2, test::Pattern::noise)},
        {"spread32", 32, 32, frames_of(32, 32, 40, 6, test::Pattern::spread)},
        {"block-small", 16, 16, mixed, true},
        {"over200-small", 16, 16, over(200, 8), true},
        {"over300-small", 16, 16, over(300, 6), true},
        {"over200-rgb565", 16, 16, over(200, 8), true, 2},
        {"over200-mono", 16, 16, over(200, 8), true, 1},
    };
    struct Row {
        std::size_t core;
        std::size_t animation;
        From from;
    };
    const std::vector<Row> rows = {
        {0, 0, From::flash}, {0, 0, From::file},  {1, 3, From::file},  {2, 0, From::flash},
        {2, 1, From::flash}, {2, 2, From::flash}, {2, 0, From::file},  {3, 0, From::flash},
        {3, 1, From::flash}, {3, 2, From::flash}, {4, 0, From::flash}, {4, 1, From::flash},
        {4, 2, From::flash}, {0, 4, From::flash}, {0, 4, From::file},  {2, 4, From::flash},
        {3, 4, From::flash}, {4, 4, From::flash}, {0, 5, From::flash}, {0, 6, From::flash},
        {0, 7, From::flash}, {0, 8, From::flash}, {0, 5, From::file},  {0, 6, From::file},
        {0, 7, From::file},  {0, 8, From::file},
    };
    for (const Animation& animation : animations) {
        make_animation(animation);
    }
    std::string missing;
    std::vector<bool> runs;
    for (const Core& core : table) {
        runs.push_back(true);
        for (const std::string& program : core.programs) {
            runs.back() = runs.back() && test::has_program(program);
        }
        if (!runs.back()) {
            missing += "; " + core.what + " (needs " + core.packages + ")";
        }
    }
    for (const Row& row : rows) {
        if (runs[row.core]) {
            SCOPED_TRACE(table[row.core].what + ", " + animations[row.animation].name +
                         (row.from == From::flash ? " from flash" : " from its file"));
            check_row(table[row.core], animations[row.animation], row.from);
        }
    }
    if (!missing.empty()) {
        GTEST_SKIP() << "these did not run, for a program is missing" << missing;
    }
}

} // namespace
