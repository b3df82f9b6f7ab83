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
        const test::Run run = test::run_shell(test::quote(program));
        ASSERT_EQ(run.status, 0);
        EXPECT_EQ(run.out, expected);
    }
}

} // namespace
