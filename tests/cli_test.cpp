// The built tool, run as a user runs it: exact standard output, standard error and exit status.
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "shell.hpp"

namespace {

using test::Bytes;
using test::run_tool;

const std::string USAGE = "Ungueltige Anzahl der Parameter\nNutzung:  tivrano bmpfile >csoure\n";
const std::string NOT_FOUND = "BMP file not found!\n";
const std::string TOO_BIG = "BMP file too big (>1MB)!\n";
const std::string NO_SIGNATURE = "BM header not found!\r\n";
const std::string TRUNCATED = "BMP file truncated!\n";
constexpr int FAILED = 255;

struct Expected {
    std::string arguments;
    std::string out;
    int status;
};

void check(const Expected& expected) {
    SCOPED_TRACE("tivrano " + expected.arguments);
    const test::Run run = run_tool(expected.arguments);
    EXPECT_EQ(run.out, expected.out);
    EXPECT_EQ(run.status, expected.status);
    EXPECT_EQ(run.err, "");
}

std::string file_of(const std::string& name, const Bytes& bytes) {
    return test::write_file(name, bytes).string();
}

Bytes sized(Bytes bytes, std::size_t size) {
    bytes.resize(size, 0);
    return bytes;
}

// The largest file accepted: 577 x 577 pixels take 999,418 bytes; the rest is never read.
Bytes largest_file() {
    return sized(test::bmp_file(577, 577, std::vector<test::Bgr>(577 * 577, {7, 8, 9})), 1000000);
}

TEST(Cli, WrongArgumentCount) {
    const std::string file = file_of("one.bmp", test::bmp_file(1, 1, {{1, 2, 3}}));
    check({"", USAGE, FAILED});
    check({file + " " + file, USAGE, FAILED});
    check({"a b c", USAGE, FAILED});
}

TEST(Cli, FilesThatCannotBeRead) {
    const std::string fifo = (test::scratch() / "fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    check({(test::scratch() / "missing.bmp").string(), NOT_FOUND, FAILED});
    check({"''", NOT_FOUND, FAILED});
    check({test::scratch().string(), NOT_FOUND, FAILED});
    check({"/", NOT_FOUND, FAILED});
    // Devices report a size of 0 and pipes none: they are refused, never read or waited for.
    check({"/dev/zero", TRUNCATED, FAILED});
    check({"/dev/null", TRUNCATED, FAILED});
    check({fifo, TOO_BIG, FAILED});
    const test::Run piped = test::run_shell("printf BM | timeout 20 " + test::TOOL + " /dev/stdin");
    EXPECT_EQ(piped.out, TOO_BIG);
    EXPECT_EQ(piped.status, FAILED);
}

TEST(Cli, SizeLimit) {
    const Bytes largest = largest_file();
    const test::Converted expected = test::convert(largest);
    ASSERT_EQ(expected.status, 0);
    check({file_of("largest.bmp", largest), expected.text, 0});

    Bytes over = largest;
    over.push_back(0);
    check({file_of("over.bmp", over), TOO_BIG, FAILED});

    // 4 GiB + 10 bytes, sparse: read as a 32-bit size it would look like 10 bytes.
    const std::string huge = file_of("huge.bmp", test::bmp_header(1, 1));
    ASSERT_EQ(truncate(huge.c_str(), (off_t{1} << 32) + 10), 0);
    check({huge, TOO_BIG, FAILED});
}

TEST(Cli, ShortFilesAtEachBoundary) {
    const std::string empty_array =
        "/*\r\nBreite: 0, Hoehe: 0\r\n3 bytes / pixel, GRB Reihenfolge\r\n"
        "Beschreibung: hier eintragen\r\n*/\r\n"
        "const uint8_t animationX[] = {\r\n    };\n\r";
    const Bytes one_by_one = test::bmp_file(1, 1, {{1, 2, 3}});
    const std::string one_pixel = test::convert(one_by_one).text;
    check({file_of("empty.bmp", {}), TRUNCATED, FAILED});
    check({file_of("b.bmp", {'B'}), TRUNCATED, FAILED});
    check({file_of("x.bmp", {'X'}), NO_SIGNATURE, FAILED});
    check({file_of("25.bmp", sized({'B', 'M'}, 25)), TRUNCATED, FAILED});
    check({file_of("26.bmp", sized({'B', 'M'}, 26)), empty_array, 0});
    check({file_of("56.bmp", sized(one_by_one, 56)), TRUNCATED, FAILED});
    check({file_of("57.bmp", sized(one_by_one, 57)), one_pixel, 0});
    check({file_of("58.bmp", one_by_one), one_pixel, 0});
}

TEST(Cli, FailedWritesAreReportedOnStandardError) {
    const std::string file = file_of("frame.bmp", test::bmp_file(2, 2, test::counting_pixels(4)));
    struct Case {
        std::string arguments;
        std::string err;
    };
    const std::vector<Case> cases = {
        {file + " >/dev/full", "tivrano: cannot write standard output: No space left on device\n"},
        {">/dev/full", "tivrano: cannot write standard output: No space left on device\n"},
        {file + " >&-", "tivrano: cannot write standard output: Bad file descriptor\n"},
        {"missing.bmp >&-", "tivrano: cannot write standard output: Bad file descriptor\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const test::Run run = run_tool(c.arguments);
        EXPECT_EQ(run.status, FAILED);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, c.err);
    }
}

} // namespace

namespace {

// Once the first byte of text arrives, the file is cut short; the tool cannot have finished,
// since it blocks on the pipe long before its 5 MB of text are read. The run must end as a
// failed read, not a crash.
TEST(Cli, FileCutShortWhileConvertingIsAReadFailure) {
    const std::string file = file_of("shrinking.bmp", largest_file());
    const test::Run run = test::run_shell(
        "{ timeout 20 " + test::TOOL + " " + file +
        "; echo \"status $?\"; } | { head -c 1; truncate -s 100 " + file + "; cat; }");
    const std::string end = "BMP file could not be read!\nstatus 255\n";
    ASSERT_GT(run.out.size(), end.size());
    EXPECT_EQ(run.out.substr(0, 12), "/*\r\nBreite: ");
    EXPECT_EQ(run.out.substr(run.out.size() - end.size()), end);
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
// or cannot start at all (status 127, from the loader); it never crashes or writes half a text.
TEST(Cli, TooLittleMemory) {
#ifdef ADDRESS_SANITIZER
    GTEST_SKIP() << "built with AddressSanitizer";
#endif
    if (std::getenv("TIVRANO_WRAPPER") != nullptr) {
        GTEST_SKIP() << "the limit would apply to the wrapper";
    }
    const Bytes largest = largest_file();
    const std::string file = file_of("largest.bmp", largest);
    const std::string text = test::convert(largest).text;
    int refusals = 0;
    for (int kib = 1024; kib <= 8192; kib += 128) {
        SCOPED_TRACE(std::to_string(kib) + " KiB");
        const test::Run run = test::run_shell("(ulimit -v " + std::to_string(kib) + "; exec " +
                                              std::string(TIVRANO_PATH) + " " + file + ")");
        if (run.status == 0) {
            EXPECT_EQ(run.out, text);
        } else if (run.status == FAILED) {
            EXPECT_EQ(run.out, "Not enough memory for the BMP file!\n");
            ++refusals;
        } else {
            EXPECT_EQ(run.status, 127);
            EXPECT_EQ(run.out, "");
        }
    }
    EXPECT_GT(refusals, 0);
}

} // namespace
