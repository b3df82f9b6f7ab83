// The texts the tool writes for animations compile where firmware compiles them: packed, with
// tivrano_player.h, as C99, and as C++20 linked to a unit that reads them; refused, with the
// reason, by a player of another format, and on an AVR for an object over the 32767 bytes
// avr-gcc places; and on an AVR they take the bytes their comment says. They play on the chips
// of cores_test.cpp.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "frames_builder.hpp"
#include "process.hpp"

namespace {

using test::Bgr;
using test::frames_of;

// A unit that reads the packed text's count through the player: status 0 for the 8 frames of the
// rows' animation.
const std::string USE = R"(#include "animation.h"
int main(void) { return tivrano_count(&animation) == 8 ? 0 : 1; }
)";

// The bytes stored, as the text's comment gives them.
std::uint64_t stored(const std::string& text) {
    const std::size_t at = text.find(" bytes stored");
    const std::size_t from = text.rfind(", ", at) + 2;
    return std::stoull(text.substr(from, at - from));
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

enum class Then { nothing, run, size, refuse };

struct Case {
    std::string what;
    std::string options; // the tool's, besides the name and animation.c
    std::string files;
    std::string build; // run in the scratch folder
    Then then;
    bool avr = false;
    std::string refusal = {}; // what the build says, refused
};

// Makes the row's text, builds it, and checks what follows.
void check_row(const Case& row) {
    const std::string dir = "cd " + test::quote(test::scratch()) + " && ";
    const test::Run made = test::run_shell(dir + test::TOOL + " --name=animation " + row.options +
                                           " -o animation.c" + row.files);
    ASSERT_EQ(made.status, 0) << made.err;
    const test::Run built = test::run_shell(dir + row.build);
    if (row.then == Then::refuse) {
        EXPECT_NE(built.status, 0);
        EXPECT_NE(built.err.find(row.refusal), std::string::npos) << built.err;
        return;
    }
    ASSERT_EQ(built.status, 0) << built.err;
    if (row.then == Then::run) {
        EXPECT_EQ(test::run_shell(test::target_program(test::scratch() / "use")).status, 0);
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
    // A block that moves, and a frame of every LED changed, which packed small it stores as a
    // fast record.
    auto moving = frames_of(16, 16, 6, 7);
    moving.push_back(frames_of(16, 16, 6, 1, test::Pattern::spread)[0]);
    const std::string mixed = write_frames("mixed", 16, 16, moving);
    const std::string packed = "--pack --header=animation.h";
    const std::vector<Case> cases = {
        {"packed, C++20", packed, again, cxx20 + include + " use.c animation.c -o use", Then::run},
        {"packed, with a player of another format", "--pack", again,
         "mkdir -p other && sed 's/FORMAT 2$/FORMAT 3/' " + test::quote(header) +
             " >other/tivrano_player.h && " + c99 + " -Iother -c animation.c -o animation.o",
         Then::refuse, false,
         "#error \"animation: this text was made by tivrano for player format 2; use the "
         "tivrano_player.h of the same version\""},
        {"packed, with a player of 2-byte values", "--pack", again,
         c99 + include + " -DTIVRANO_VALUE_BYTES=2 -c animation.c -o animation.o", Then::refuse,
         false, "animation: this text was made by tivrano for a player of 3-byte values"},
        {"packed rgb565 small, after a player of 3-byte values", "--pack=small --format=rgb565",
         again,
         "printf '#include \"tivrano_player.h\"\\n#include \"animation.c\"\\n' >after.c && " + c99 +
             include + " -c after.c -o after.o",
         Then::refuse, false,
         "animation: this text was made by tivrano for a player of 2-byte values, packed small"},
        {"packed small with fast records, with a player of another format", "--pack=small", mixed,
         "mkdir -p other && sed 's/MIXED_FORMAT 7$/MIXED_FORMAT 8/' " + test::quote(header) +
             " >other/tivrano_player.h && " + c99 + " -Iother -c animation.c -o animation.o",
         Then::refuse, false,
         "animation: this text was made by tivrano for the small player, format 7"},
        {"packed mono, C99", "--pack --format=mono", again,
         c99 + include + " -c animation.c -o animation.o", Then::nothing},
        {"packed, an object of 33001 bytes, on the host", "--pack", big,
         c99 + include + " -c animation.c -o animation.o", Then::nothing},
        {"arrays, an object of 33000 bytes, on the host", "", big,
         c99 + " -c animation.c -o animation.o", Then::nothing},
        {"packed, an object over 32767 bytes, on an AVR", "--pack", big,
         avr + " -c animation.c -o animation.o", Then::refuse, true,
         "animation: an array of 33140 bytes, and an AVR holds no object over 32767 bytes"},
        {"packed, on an AVR", packed, again, avr + avr_size, Then::size, true},
        {"arrays with --progmem, on an AVR", "--progmem", again, avr + avr_size, Then::size, true},
        {"arrays, on an AVR", "", again, avr + avr_size, Then::size, true},
    };
    test::write_file("use.c", {USE.begin(), USE.end()});
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

} // namespace
