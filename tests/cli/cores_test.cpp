// The player on the cores makers buy now, under QEMU: a Cortex-M0+ (code for ARMv6-M, on the
// micro:bit's nRF51, a Cortex-M0), a Cortex-M3 (the MPS2 AN385) and an RV32IMC core (the
// ESP32-C3's instruction set, in user mode). The firmware of tests/support/cores plays every
// frame of packed animations and prints each frame's checksum, which must be that of the
// frames' own pixels.
#include <iomanip>
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
};

struct Core {
    std::string what;
    std::vector<std::string> programs; // what it needs, and the packages they come in
    std::string packages;
    std::string build; // compiler and flags, to which the sources and -o firmware.elf are added
    std::string run;   // the emulator, before the firmware
};

// FNV-1a of `bytes`, from `hash`.
std::uint32_t fnv1a(std::uint32_t hash, const std::vector<std::uint8_t>& bytes) {
    for (const std::uint8_t value : bytes) {
        hash = (hash ^ value) * 16777619U;
    }
    return hash;
}

// What the firmware must print: each frame's checksum of its LED bytes, in the tool's default
// order (G, R, B), then that of them all.
std::string expected_lines(const std::vector<std::vector<Bgr>>& frames) {
    std::ostringstream lines;
    std::uint32_t all = 2166136261U;
    lines << std::hex << std::setfill('0');
    for (std::size_t i = 0; i < frames.size(); ++i) {
        std::vector<std::uint8_t> leds;
        for (const Bgr& pixel : frames[i]) {
            leds.insert(leds.end(), {pixel.g, pixel.r, pixel.b});
        }
        all = fnv1a(all, leds);
        lines << "frame " << std::dec << i << std::hex << " fnv1a " << std::setw(8)
              << fnv1a(2166136261U, leds) << "\n";
    }
    lines << "frames " << std::dec << frames.size() << std::hex << " fnv1a " << std::setw(8) << all
          << "\n";
    return lines.str();
}

// Makes the animation's text in its folder, with the frames as BMP files.
void make_text(const Animation& animation) {
    const std::filesystem::path folder = test::scratch() / "cores" / animation.name;
    std::string files;
    for (std::size_t k = 0; k < animation.frames.size(); ++k) {
        const std::string file = std::to_string(k) + ".bmp";
        test::write_file(folder / file,
                         test::bmp_file(animation.width, animation.height, animation.frames[k]));
        files += " " + file;
    }
    const test::Run made =
        test::run_shell("cd " + test::quote(folder) + " && " + test::TOOL +
                        " --name=animation --pack --header=animation.h -o animation.c" + files);
    ASSERT_EQ(made.status, 0) << made.err;
}

// Builds the core's firmware for the animation, runs it and checks what it printed.
void check_core(const Core& core, const Animation& animation) {
    const std::string source = std::string(TIVRANO_SOURCE_DIR);
    const std::string cores = source + "/tests/support/cores";
    const std::string flags = " -Os -std=c99 -pedantic -Wall -Wextra -Werror -ffreestanding "
                              "-nostdlib -I. -I" +
                              test::quote(source + "/include") + " -I" + test::quote(cores);
    const std::string folder = test::quote(test::scratch() / "cores" / animation.name);
    const test::Run built =
        test::run_shell("cd " + folder + " && " + core.build + flags + " " +
                        test::quote(cores + "/play.c") + " animation.c -o firmware.elf");
    ASSERT_EQ(built.status, 0) << built.err;
    const test::Run played =
        test::run_shell("cd " + folder + " && " + core.run + " firmware.elf", 20);
    EXPECT_EQ(played.status, 0) << played.out << played.err;
    EXPECT_NE((played.out + played.err).find(expected_lines(animation.frames)), std::string::npos)
        << played.out << played.err;
}

TEST(PlayerCores, PlaysEveryFrameOnCortexMAndRiscV) {
    const std::string cores = test::quote(std::string(TIVRANO_SOURCE_DIR) + "/tests/support/cores");
    const std::string arm =
        "arm-none-eabi-gcc -mthumb -T " + cores + "/cortex_m.ld " + cores + "/cortex_m.c";
    const auto machine = [](const std::string& name) {
        return "qemu-system-arm -M " + name +
               " -display none -monitor none -serial none "
               "-semihosting-config enable=on,target=native -kernel";
    };
    const std::vector<Core> table = {
        {"Cortex-M0+ (ARMv6-M) on the micro:bit's Cortex-M0",
         {"arm-none-eabi-gcc", "qemu-system-arm"},
         "gcc-arm-none-eabi, qemu-system-arm",
         arm + " -mcpu=cortex-m0plus",
         machine("microbit")},
        {"Cortex-M3 on the MPS2 AN385",
         {"arm-none-eabi-gcc", "qemu-system-arm"},
         "gcc-arm-none-eabi, qemu-system-arm",
         arm + " -mcpu=cortex-m3",
         machine("mps2-an385")},
        {"RV32IMC in user mode",
         {"clang", "ld.lld", "qemu-riscv32"},
         "clang, lld, qemu-user",
         "clang --target=riscv32-unknown-elf -march=rv32imc -mabi=ilp32 -fuse-ld=lld -static " +
             cores + "/rv32.c",
         "qemu-riscv32"},
    };
    // Indices of 4 bits (6 colours, a block moving); of 8 bits, every LED of another of 200
    // colours in each frame; and noise, more colours than a palette holds, stored as it is.
    std::vector<Animation> animations = {
        {"block", 16, 16, frames_of(16, 16, 6, 12)},
        {"spread", 16, 16, frames_of(16, 16, 200, 5, test::Pattern::spread)},
        {"noise", 20, 20, frames_of(20, 20, 0, 2, test::Pattern::noise)},
    };
    for (const Animation& animation : animations) {
        make_text(animation);
    }
    std::string missing;
    for (const Core& core : table) {
        bool has = true;
        for (const std::string& program : core.programs) {
            has = has && test::has_program(program);
        }
        if (!has) {
            missing += "; " + core.what + " (needs " + core.packages + ")";
            continue;
        }
        for (const Animation& animation : animations) {
            SCOPED_TRACE(core.what + ", " + animation.name);
            check_core(core, animation);
        }
    }
    if (!missing.empty()) {
        GTEST_SKIP() << "these did not run, for a program is missing" << missing;
    }
}

} // namespace
