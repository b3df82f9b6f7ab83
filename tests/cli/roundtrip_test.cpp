// The generated text compiles as C and as C++, and the array holds the image's pixels, in
// every format as --binary writes them.
#include <bit>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "process.hpp"

namespace {

// The text without a name, after `#include <stdint.h>`, in a program that writes the array.
const std::string INCLUDED = "#include <stdint.h>\n"
                             "TEXT\n"
                             "#include <stdio.h>\n"
                             "int main(void) {\n"
                             "    printf(\"13 x 7\\n\");\n"
                             "    fwrite(animationX, 1, sizeof animationX, stdout);\n"
                             "    return 0;\n"
                             "}\n";

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

// The text of a 13 x 7 image, with the extremes 0 and 255 common, in each way it is used: after
// an #include, compiled as C and as C++; and with --name, with or without --progmem, as a
// source file of its own, compiled alone and linked with a unit in either language.
TEST(RoundTrip, TheTextCompilesAndHoldsThePixelsInGreenRedBlueOrderTopRowFirst) {
    std::mt19937 random(2026);
    std::vector<test::Bgr> pixels;
    std::string expected = "13 x 7\n"; // then green, red, blue; top row first
    for (int k = 0; k < 13 * 7; ++k) {
        const auto next = [&] {
            const auto value = random() % 258; // 256 and 257 stand for the extremes 0 and 255
            return static_cast<std::uint8_t>(value == 256 ? 0 : value == 257 ? 255 : value);
        };
        const test::Bgr pixel{next(), next(), next()};
        pixels.push_back(pixel);
        expected +=
            {static_cast<char>(pixel.g), static_cast<char>(pixel.r), static_cast<char>(pixel.b)};
    }
    const auto image = test::write_file("round.bmp", test::bmp_file(13, 7, pixels));
    test::write_file("user.src", {USER.begin(), USER.end()});
    const std::string c = std::string(C_COMPILER) + " -x c -std=c99 -Wall -Wextra -Werror";
    const std::string cxx = std::string(CXX_COMPILER) + " -x c++ -std=c++17 -Wall -Wextra -Werror";
    const std::string link = std::string(CXX_COMPILER) + " frame.o user.o -o round";
    const auto linked = [&](const std::string& frame, const std::string& user) {
        return frame + " -pedantic -c frame.src -o frame.o && " + user +
               " -pedantic -c user.src -o user.o && " + link;
    };
    struct Case {
        std::string options;
        std::string build; // run in the scratch folder, where frame.src holds the program's text
    };
    const std::vector<Case> cases = {
        {"", c + " frame.src -o round"},          {"", cxx + " frame.src -o round"},
        {"--name=frame", linked(c, cxx)},         {"--name=frame", linked(cxx, c)},
        {"--name=frame --progmem", linked(c, c)}, {"--name=frame --progmem", linked(cxx, cxx)},
    };
    const std::string dir = "cd " + test::quote(test::scratch()) + " && ";
    const auto run_case = [&](const Case& row, const std::string& held) {
        SCOPED_TRACE(row.options + ": " + row.build);
        const test::Run converted = test::run_tool(row.options + " " + test::quote(image));
        ASSERT_EQ(converted.status, 0) << converted.err;
        std::string program = converted.out;
        if (row.options.find("--name") == std::string::npos) {
            program = INCLUDED;
            program.replace(program.find("TEXT"), 4, converted.out);
        }
        test::write_file("frame.src", {program.begin(), program.end()});
        const test::Run build = test::run_shell(dir + row.build);
        ASSERT_EQ(build.status, 0) << build.err;
        const test::Run run = test::run_shell(test::target_program(test::scratch() / "round"));
        EXPECT_EQ(run.status, 0);
        EXPECT_TRUE(run.out == held);
    };
    for (const Case& row : cases) {
        run_case(row, expected);
    }
    // The other formats' arrays hold what --binary writes: the same bytes, but on a big-endian
    // machine each 16-bit value's the other way round.
    const std::vector<Case> formats = {
        {"--format=rgb565", c + " frame.src -o round"},
        {"--format=rgb565 --swap-bytes --columns --name=frame", linked(c, cxx)},
        {"--format=rgb565 --order=bgr --name=frame --progmem", linked(cxx, c)},
        {"--format=mono --threshold=100 --columns", cxx + " frame.src -o round"},
        {"--format=mono --serpentine --name=frame", linked(c, c)},
    };
    for (const Case& row : formats) {
        const bool wide = row.options.find("rgb565") != std::string::npos;
        std::string user = USER;
        if (wide) {
            user.replace(user.find("uint8_t frame[]"), 7, "uint16_t");
        }
        test::write_file("user.src", {user.begin(), user.end()});
        const test::Run binary =
            test::run_tool("--binary " + row.options.substr(0, row.options.find(" --name")) + " " +
                           test::quote(image));
        ASSERT_EQ(binary.status, 0) << binary.err;
        std::string held = binary.out;
        for (std::size_t at = 0;
             wide && std::endian::native == std::endian::big && at < held.size(); at += 2) {
            std::swap(held[at], held[at + 1]);
        }
        run_case(row, "13 x 7\n" + held);
    }
}

} // namespace
