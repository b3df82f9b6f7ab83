// The generated text compiles as C and as C++, and the array holds the image's pixels.
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "shell.hpp"

namespace {

// The program: the tool's text after `#include <stdint.h>`, and a main that writes the array.
const std::string PROLOGUE = "#include <stdint.h>\n";
const std::string EPILOGUE = "\n#include <stdio.h>\n"
                             "int main(void) {\n"
                             "    fwrite(animationX, 1, sizeof animationX, stdout);\n"
                             "    return 0;\n"
                             "}\n";

TEST(RoundTrip, ArrayHoldsThePixelsInGreenRedBlueOrderTopRowFirst) {
    const std::int32_t width = 13;
    const std::int32_t height = 7;
    std::mt19937 random(2026);
    std::vector<test::Bgr> pixels;
    std::string expected; // green, red, blue; top row first
    for (int k = 0; k < width * height; ++k) {
        const auto next = [&] {
            const auto value = random() % 258; // 256 and 257 stand for the extremes 0 and 255
            return static_cast<std::uint8_t>(value == 256 ? 0 : value == 257 ? 255 : value);
        };
        const test::Bgr pixel{next(), next(), next()};
        pixels.push_back(pixel);
        expected +=
            {static_cast<char>(pixel.g), static_cast<char>(pixel.r), static_cast<char>(pixel.b)};
    }
    const auto image = test::write_file("round.bmp", test::bmp_file(width, height, pixels));
    const test::Run converted = test::run_tool(test::quote(image));
    ASSERT_EQ(converted.status, 0);

    const auto source = test::write_file("round.c", {});
    {
        std::ofstream out(source, std::ios::binary);
        out << PROLOGUE << converted.out << EPILOGUE;
    }
    const auto program = test::scratch() / "round";
    const std::vector<std::string> compilers = {
        std::string(C_COMPILER) + " -std=c99 -Wall -Wextra -Werror",
        std::string(CXX_COMPILER) + " -x c++ -std=c++17 -Wall -Wextra -Werror",
    };
    for (const std::string& compiler : compilers) {
        SCOPED_TRACE(compiler);
        const test::Run build =
            test::run_shell(compiler + " -o " + test::quote(program) + " " + test::quote(source));
        ASSERT_EQ(build.status, 0) << build.err;
        const test::Run run = test::run_shell(test::target_program(program));
        ASSERT_EQ(run.status, 0);
        EXPECT_EQ(run.out, expected);
    }
}

// A unit that uses a frame made with --name only through the four names, as a C or C++ file
// that includes a header declaring them would.
const std::string USER = "#include <stddef.h>\n"
                         "#include <stdint.h>\n"
                         "#include <stdio.h>\n"
                         "#ifdef __cplusplus\n"
                         "extern \"C\" {\n"
                         "#endif\n"
                         "extern const uint8_t frame[];\n"
                         "extern const size_t frame_size;\n"
                         "extern const int32_t frame_width, frame_height;\n"
                         "#ifdef __cplusplus\n"
                         "}\n"
                         "#endif\n"
                         "int main(void) {\n"
                         "    printf(\"%ld x %ld\\n\", (long)frame_width, (long)frame_height);\n"
                         "    fwrite(frame, 1, frame_size, stdout);\n"
                         "    return 0;\n"
                         "}\n";

// With --name the text is a source file of its own, which compiles alone, as C or as C++, with
// or without --progmem, and links with a unit in the other language.
TEST(RoundTrip, NamedFrameCompilesAloneAndLinks) {
    std::mt19937 random(7);
    std::vector<test::Bgr> pixels;
    std::string expected = "5 x 3\n"; // green, red, blue; top row first
    for (int k = 0; k < 15; ++k) {
        const test::Bgr pixel{static_cast<std::uint8_t>(random()),
                              static_cast<std::uint8_t>(random()),
                              static_cast<std::uint8_t>(random())};
        pixels.push_back(pixel);
        expected +=
            {static_cast<char>(pixel.g), static_cast<char>(pixel.r), static_cast<char>(pixel.b)};
    }
    const auto image = test::write_file("named.bmp", test::bmp_file(5, 3, pixels));
    test::write_file("user.c", {USER.begin(), USER.end()});
    const auto frame = test::scratch() / "frame.src";
    const auto program = test::scratch() / "named";
    const std::string c =
        std::string(C_COMPILER) + " -x c -std=c99 -pedantic -Wall -Wextra -Werror";
    const std::string cxx =
        std::string(CXX_COMPILER) + " -x c++ -std=c++17 -pedantic -Wall -Wextra -Werror";
    for (const std::string options : {"--name=frame", "--name=frame --progmem"}) {
        const test::Run converted =
            test::run_tool(options + " -o " + test::quote(frame) + " " + test::quote(image));
        ASSERT_EQ(converted.status, 0) << converted.err;
        for (const auto& [frame_compiler, user_compiler] :
             {std::pair{c, cxx}, std::pair{cxx, c}, std::pair{c, c}, std::pair{cxx, cxx}}) {
            SCOPED_TRACE(options + ": frame " + frame_compiler + ", user " + user_compiler);
            const test::Run build = test::run_shell(
                "cd " + test::quote(test::scratch()) + " && " + frame_compiler +
                " -c frame.src -o frame.o && " + user_compiler + " -c user.c -o user.o && " +
                CXX_COMPILER + " frame.o user.o -o " + test::quote(program));
            ASSERT_EQ(build.status, 0) << build.err;
            const test::Run run = test::run_shell(test::target_program(program));
            EXPECT_EQ(run.status, 0);
            EXPECT_TRUE(run.out == expected);
        }
    }
}

// On an AVR, --progmem keeps frames out of RAM: eight 16 x 16 frames, 6 KiB, link for an
// ATmega328P (2 KiB of RAM) and leave .data as it is without them.
TEST(RoundTrip, ProgmemFramesStayInFlashOnAnAvr) {
    if (std::system("command -v avr-gcc >/dev/null && command -v avr-size >/dev/null") != 0) {
        GTEST_SKIP() << "avr-gcc or avr-size is missing (gcc-avr, binutils-avr, avr-libc)";
    }
    const auto image =
        test::write_file("avr.bmp", test::bmp_file(16, 16, test::counting_pixels(256)));
    std::string reads;
    std::string objects;
    for (const std::string name : {"f0", "f1", "f2", "f3", "f4", "f5", "f6", "f7"}) {
        const test::Run converted =
            test::run_tool("--name=" + name + " --progmem -o " +
                           test::quote(test::scratch() / (name + ".c")) + " " + test::quote(image));
        ASSERT_EQ(converted.status, 0) << converted.err;
        reads.append("    extern const uint8_t ")
            .append(name)
            .append("[];\n    for (k = 0; k < 768; ++k) out += pgm_read_byte(&")
            .append(name)
            .append("[k]);\n");
        objects += " " + name + ".c";
    }
    const std::string main = "#include <avr/pgmspace.h>\n#include <stdint.h>\n"
                             "volatile uint8_t out;\n"
                             "int main(void) {\n    unsigned k;\n"
                             "#ifdef WITH_FRAMES\n" +
                             reads + "#endif\n    (void)k;\n    return 0;\n}\n";
    test::write_file("avr_main.c", {main.begin(), main.end()});
    const std::string compile = "cd " + test::quote(test::scratch()) +
                                " && avr-gcc -mmcu=atmega328p -Os -Wall -Wextra -Werror "
                                "-ffunction-sections -fdata-sections -Wl,--gc-sections ";
    const auto data_size = [&](const std::string& what) {
        const test::Run build = test::run_shell(compile + what +
                                                " -o avr.elf && avr-size -A avr.elf | awk "
                                                "'$1 == \".data\" { print $2 }'");
        EXPECT_EQ(build.status, 0) << build.err;
        return build.out;
    };
    const std::string without = data_size("avr_main.c");
    const std::string with = data_size("-DWITH_FRAMES avr_main.c" + objects);
    EXPECT_EQ(with, without);
    const test::Run text = test::run_shell("cd " + test::quote(test::scratch()) +
                                           " && avr-size -A avr.elf | awk '$1 == \".text\" "
                                           "{ print $2 }'");
    EXPECT_GT(std::stoi(text.out), 8 * 768);
}

} // namespace
