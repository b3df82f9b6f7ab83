// The built tool, run as a user runs it: exact standard output, standard error and exit status.
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

// Standard output and the status; what standard error says is checked on its own below.
void check(const Expected& expected) {
    SCOPED_TRACE("tivrano " + expected.arguments);
    const test::Run run = run_tool(expected.arguments);
    EXPECT_EQ(run.out, expected.out);
    EXPECT_EQ(run.status, expected.status);
}

// A file of these bytes in the scratch folder, as a word for the shell.
std::string file_of(const std::string& name, const Bytes& bytes) {
    return test::quote(test::write_file(name, bytes));
}

// Whether /dev/full, a device on which every write fails as on a full disk, is here (Linux);
// the rows that need it say so once where it is not.
bool full_device() {
    static const bool here = [] {
        const bool exists = std::filesystem::exists("/dev/full");
        if (!exists) {
            std::cout << "skipped the full-disk rows: there is no /dev/full\n";
        }
        return exists;
    }();
    return here;
}

Bytes sized(Bytes bytes, std::size_t size) {
    bytes.resize(size, 0);
    return bytes;
}

TEST(Cli, WrongArgumentCount) {
    const std::string file = file_of("one.bmp", test::bmp_file(1, 1, {{1, 2, 3}}));
    check({"", USAGE, FAILED});
    check({file + " " + file, USAGE, FAILED});
    check({"a b c", USAGE, FAILED});
}

TEST(Cli, FilesThatCannotBeRead) {
    check({test::quote(test::scratch() / "missing.bmp"), NOT_FOUND, FAILED});
    check({"''", NOT_FOUND, FAILED});
    check({test::quote(test::scratch()), NOT_FOUND, FAILED});
    check({"/", NOT_FOUND, FAILED});
}

// A stream is read to its end, and converted as a file of its bytes would be, up to the limit.
TEST(Cli, StreamsAreReadToTheirEnd) {
    const Bytes largest = test::largest_file();
    const std::string file = file_of("largest.bmp", largest);
    const std::string text = test::convert(largest).text;
    Bytes over = largest;
    over.push_back(0);
    const std::string over_file = file_of("over.bmp", over);
    const auto fifo = test::scratch() / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string tool = "timeout 20 " + test::TOOL;
    struct Case {
        std::string command;
        std::string out;
        int status;
    };
    const std::vector<Case> cases = {
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
        if (c.command.starts_with("script ") && !test::has_program("script")) {
            std::cout << "skipped the terminal row: script (util-linux) is missing\n";
            continue;
        }
        const test::Run run = test::run_shell(c.command);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.out, c.out);
    }
}

TEST(Cli, SizeLimit) {
    const Bytes largest = test::largest_file();
    const test::Converted expected = test::convert(largest);
    ASSERT_EQ(expected.status, 0);
    check({file_of("largest.bmp", largest), expected.text, 0});

    Bytes over = largest;
    over.push_back(0);
    check({file_of("over.bmp", over), TOO_BIG, FAILED});

    // 4 GiB + 10 bytes, sparse: read as a 32-bit size it would look like 10 bytes.
    const auto huge = test::write_file("huge.bmp", test::bmp_header(1, 1));
    ASSERT_EQ(truncate(huge.c_str(), (off_t{1} << 32) + 10), 0);
    check({test::quote(huge), TOO_BIG, FAILED});
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

// Standard error says why a file was refused, and what was assumed about one that is not a plain
// 24-bit BMP; standard output and the status stay what they are without it.
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
    Bytes over = test::largest_file();
    over.push_back(0);
    const std::string hint = "tivrano: hint: magick in.png -type TrueColor BMP3:out.bmp (or "
                             "convert, in ImageMagick 6) makes a plain 24-bit BMP; man tivrano "
                             "has more ways\n";
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
    };
    std::vector<Case> cases = {
        {"", "", {}, USAGE, FAILED, "tivrano: no file named; " + call},
        {"a b",
         "",
         {},
         USAGE,
         FAILED,
         "tivrano: 2 arguments, but one file is converted per call (quote a name with blanks); " +
             call},
        {"missing.bmp",
         "",
         {},
         NOT_FOUND,
         FAILED,
         "tivrano: missing.bmp: cannot open: No such file or directory\n"},
        {".", "", {}, NOT_FOUND, FAILED, "tivrano: .: cannot open: Is a directory\n"},
        {"-x",
         "",
         {},
         USAGE,
         FAILED,
         "tivrano: -x: no such option; a file of that name is ./-x; see tivrano --help\n"},
        {"--order=bgrx x.bmp",
         "",
         {},
         USAGE,
         FAILED,
         "tivrano: --order=bgrx: the order is one of grb, rgb, brg, bgr, rbg and gbr; see tivrano "
         "--help\n"},
        {"--start left x.bmp",
         "",
         {},
         USAGE,
         FAILED,
         "tivrano: --start=left: the corner is one of top-left, top-right, bottom-left and "
         "bottom-right; see tivrano --help\n"},
        {"--name=__x x.bmp",
         "",
         {},
         USAGE,
         FAILED,
         "tivrano: --name=__x: reserved for the compiler and its library (it starts with __ or _ "
         "and a capital); see tivrano --help\n"},
        {"-o", "", {}, USAGE, FAILED, "tivrano: -o: it needs a value; see tivrano --help\n"},
        {"--version x.bmp",
         "",
         {},
         USAGE,
         FAILED,
         "tivrano: --version: it stands alone, without a file; see tivrano --help\n"},
        {"over.bmp", "over.bmp", over, TOO_BIG, FAILED,
         "tivrano: over.bmp: 1000001 bytes, over the limit of 1000000\n"},
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
             {"\x89PNG\r\n\x1a\n", "a PNG image"},
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
    const std::string dir = test::quote(test::scratch());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        if (!c.file.empty()) {
            test::write_file(c.file, c.bytes);
        }
        const test::Run run =
            test::run_shell("cd " + dir + " && timeout 20 " + test::TOOL + " " + c.arguments);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.err, c.err);
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
        std::filesystem::copy_file(TIVRANO_PATH, folder / "tivrano");
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
    for (const test::Run& run : {version, help}) {
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, "");
    }
    // A file of such a name is reached by its path.
    const Bytes image = test::bmp_file(1, 1, {{1, 2, 3}});
    file_of("--help", image);
    const test::Run file =
        test::run_shell("cd " + test::quote(test::scratch()) + " && " + test::TOOL + " ./--help");
    EXPECT_EQ(file.out, test::convert(image).text);
}

// -o replaces the file only with a whole text; a refusal's message still goes to standard output.
TEST(Cli, OutputFile) {
    const Bytes image = test::bmp_file(2, 2, test::counting_pixels(4));
    const std::string text = test::convert(image).text;
    test::write_file("good.bmp", image);
    test::write_file("bad.bmp", {'B', 'M'});
    const std::string old = "what the file held before\n";
    struct Case {
        std::string arguments;
        std::string out;
        int status;
        std::string err;
        std::string file; // what out.c holds afterwards
    };
    const std::vector<Case> cases = {
        {"-o out.c good.bmp", "", 0, "", text},
        {"--output=out.c bad.bmp", TRUNCATED, FAILED,
         "tivrano: bad.bmp: only 2 bytes, too short for a BMP header: its width and height end at "
         "byte 26\n",
         old},
        {"-o out.c missing.bmp", NOT_FOUND, FAILED,
         "tivrano: missing.bmp: cannot open: No such file or directory\n", old},
        {"-o no/out.c good.bmp", "", FAILED,
         "tivrano: cannot write no/out.c: No such file or directory\n", old},
        {"-o /dev/full good.bmp", "", FAILED,
         "tivrano: cannot write /dev/full: No space left on device\n", old},
        // A device gets the text; a link is followed, and the file it names replaced.
        {"-o /dev/stdout good.bmp", text, 0, "", old},
        {"-o link.c good.bmp", "", 0, "", text},
    };
    const std::string dir = test::quote(test::scratch());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        if (c.arguments.find("/dev/full") != std::string::npos && !full_device()) {
            continue;
        }
        test::write_file("out.c", {old.begin(), old.end()});
        std::filesystem::remove(test::scratch() / "link.c");
        std::filesystem::create_symlink("out.c", test::scratch() / "link.c");
        const test::Run run =
            test::run_shell("cd " + dir + " && " + test::TOOL + " " + c.arguments);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(test::read_file(test::scratch() / "out.c"), c.file);
        EXPECT_TRUE(std::filesystem::is_symlink(test::scratch() / "link.c"));
        for (const auto& entry : std::filesystem::directory_iterator(test::scratch())) {
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
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        if (c.arguments.find("/dev/full") != std::string::npos && !full_device()) {
            continue;
        }
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
    const std::string file = test::write_file("shrinking.bmp", test::largest_file()).string();
    const test::Run run = test::run_shell(
        "{ timeout 20 " + test::TOOL + " " + test::quote(file) +
        "; echo \"status $?\"; } | { head -c 1; truncate -s 100 " + test::quote(file) + "; cat; }");
    const std::string end = "BMP file could not be read!\nstatus 255\n";
    ASSERT_GT(run.out.size(), end.size());
    EXPECT_EQ(run.out.substr(0, 12), "/*\r\nBreite: ");
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
// or cannot start at all (status 127, from the loader); it never crashes or writes half a text.
TEST(Cli, TooLittleMemory) {
#ifdef ADDRESS_SANITIZER
    GTEST_SKIP() << "built with AddressSanitizer";
#endif
    if (std::getenv("TIVRANO_WRAPPER") != nullptr || !test::EMULATOR.empty()) {
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
        std::string command = "(ulimit -v ";
        command.append(limit).append("; exec ").append(test::quote(std::string(TIVRANO_PATH)));
        const test::Run run = test::run_shell(command.append(" ").append(file).append(")"));
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
