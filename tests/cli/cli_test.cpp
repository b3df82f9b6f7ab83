// The built tool, run as a user runs it: exact standard output, standard error and exit status.
// Every path the tool writes to lies in the test's scratch folder.
#include <algorithm>
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

#include "cases.hpp"
#include "names.hpp"
#include "process.hpp"

namespace {

using test::Bytes;
using test::NO_SIGNATURE;
using test::NOT_FOUND;
using test::run_tool;
using test::TOO_BIG;
using test::TRUNCATED;
using test::USAGE;

constexpr int FAILED = 255;

// A file of these bytes in the scratch folder, as a word for the shell.
std::string file_of(const std::string& name, const Bytes& bytes) {
    return test::quote(test::write_file(name, bytes));
}

Bytes sized(Bytes bytes, std::size_t size) {
    bytes.resize(size, 0);
    return bytes;
}

// Whether the tool can be run under strace (Linux, with ptrace allowed); the rows that need it
// say so once where it cannot.
bool can_trace() {
    static const bool can = [] {
        const bool here =
            !test::emulated() && test::run_shell("strace true 2>/dev/null").status == 0;
        if (!here) {
            std::cout << "skipped the strace rows: strace is missing, cannot trace here, or "
                         "would trace a wrapper or emulator\n";
        }
        return here;
    }();
    return can;
}

// A stream is read to its end, and converted as a file of its bytes would be, up to the limit.
TEST(Cli, StreamsAreReadToTheirEnd) {
    const Bytes largest = test::largest_file();
    const std::string file = file_of("largest.bmp", largest);
    const std::string text = test::convert(largest).text;
    const std::string over_file = file_of("over.bmp", sized(largest, tivrano::MAX_FILE_SIZE + 1));
    const auto fifo = test::scratch() / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string& tool = test::TOOL;
    struct Case {
        std::string command;
        std::string out;
        int status;
    };
    const std::vector<Case> cases = {
        {tool + " " + file, text, 0},
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
        if (c.command.starts_with("script ") &&
            test::run_shell("script --version | grep util-linux").status != 0) {
            std::cout << "skipped the terminal row: it needs util-linux's script\n";
            continue;
        }
        const test::Run run = test::run_shell(c.command, 20);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.out, c.out);
    }
}

// Every call of the shared cases, through sh, in the scratch folder: exact standard output,
// status and standard error. Beside them, calls that only a POSIX shell makes: an empty
// argument, a folder, and a file of 4 GiB and 10 bytes, whose size read as 32 bits would look
// like 10 bytes.
TEST(Cli, SharedCases) {
    std::vector<test::ToolCase> cases = test::tool_cases();
    const std::string call = "call it as: tivrano FILE.bmp > FILE.c, or see tivrano --help\n";
    cases.push_back({{}, {}, USAGE, FAILED, "tivrano: no file named; " + call});
    cases.push_back({{"a", "b"},
                     {},
                     USAGE,
                     FAILED,
                     "tivrano: 2 arguments, but one file is converted per call (quote a name with "
                     "blanks), or several as the frames of an animation that --name names; " +
                         call});
    cases.push_back(
        {{""}, {}, NOT_FOUND, FAILED, "tivrano: : cannot open: No such file or directory\n"});
    cases.push_back({{"."}, {}, NOT_FOUND, FAILED, "tivrano: .: cannot open: Is a directory\n"});
    const std::string dir = test::quote(test::scratch());
    for (const test::ToolCase& c : cases) {
        std::string command = "cd " + dir + " && " + test::TOOL;
        for (const std::string& arg : c.args) {
            command.append(" ").append(test::quote(arg));
        }
        SCOPED_TRACE(command);
        for (const test::File& file : c.files) {
            test::write_file(file.name, file.bytes);
        }
        if (!c.input.empty()) {
            test::write_file("stdin.bin", c.input);
            command += " <stdin.bin";
        }
        const test::Run run = test::run_shell(command, 20);
        EXPECT_TRUE(run.out == c.out) << run.out.substr(0, 2000);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.err, c.err);
    }
    const auto huge = test::write_file("huge.bmp", test::bmp_header(1, 1));
    std::filesystem::resize_file(huge, (1ULL << 32) + 10);
    const test::Run run = run_tool(test::quote(huge));
    EXPECT_EQ(run.out, TOO_BIG);
    EXPECT_EQ(run.err,
              "tivrano: " + huge.string() + ": 4294967306 bytes, over the limit of 1000000\n");
    std::filesystem::remove(huge);
}

// Bytes never go to a terminal, standard output or -o's; a packed file, which stores no name,
// needs none.
TEST(Cli, BytesNeverGoToATerminal) {
    const std::string image = file_of("pixel.bmp", test::bmp_file(2, 1, {{1, 2, 3}, {4, 5, 6}}));
    const std::string packed = run_tool("--name=two --binary --pack " + image + " " + image).out;
    EXPECT_TRUE(packed.starts_with("TIVP") && packed.substr(10, 2) == std::string("\2\0", 2));
    EXPECT_EQ(run_tool("--binary --pack " + image + " " + image).out, packed);
    if (test::run_shell("script --version | grep util-linux").status != 0) {
        std::cout << "skipped the terminal rows: they need util-linux's script\n";
        return;
    }
    const std::string usage =
        "Ungueltige Anzahl der Parameter\r\nNutzung:  tivrano bmpfile >csoure\r\n";
    for (const auto& [output, reason] :
         {std::pair<std::string, std::string>{"", "standard output is a terminal, and the values "
                                                  "are bytes: redirect it into a file, or give "
                                                  "-o FILE"},
          // The terminal through a link in the scratch folder, which a regression would replace.
          {"-o terminal.bin ", "the output file is a terminal, and the values are bytes"}}) {
        SCOPED_TRACE(output);
        const test::Run terminal =
            test::run_shell("cd " + test::quote(test::scratch()) + " && script -qec " +
                                test::quote("ln -sf \"$(tty)\" terminal.bin && " + test::TOOL +
                                            " --binary " + output + image) +
                                " /dev/null",
                            20);
        EXPECT_EQ(terminal.out,
                  usage + "tivrano: --binary: " + reason + "; see tivrano --help\r\n");
        EXPECT_EQ(terminal.status, FAILED);
    }
}

// A name is checked at the edges of the rules for characters, reserved beginnings and length,
// and of the lists of reserved names, kept in names.cpp: a keyword of either language, a name
// of either header, and the same in another case. The CMake functions ask the tool
// (tivrano --check --name=...), which answers as a conversion does.
TEST(Cli, NamesAreChecked) {
    const std::vector<std::pair<std::string, bool>> names = {
        {"Heart", true},
        {"Anim", true},
        {"_1x", true},
        {"_a1", true},
        {"_abc", true},
        {"3x", false},
        {"a-b", false},
        {"a^b", false},
        {"a[b", false},
        {"_Abc", false},
        {"_A1", false},
        {"__x", false},
        {"main", false},
        {"Main", true},
        {"restrict", false},
        {"co_await", false},
        {"and", false},
        {"NULL", false},
        {"null", true},
        {"INT8_MAX", false},
        {"int8_max", true},
        {"size_tt", true},
        {"uint8_t", false},
        {std::string(200, 'n'), true},
        {std::string(201, 'n'), false},
    };
    const auto image = file_of("named.bmp", test::bmp_file(1, 1, {{1, 2, 3}}));
    for (const auto& [name, accepted] : names) {
        SCOPED_TRACE(name);
        EXPECT_EQ(tivrano::name_problem(name) == nullptr, accepted);
        const test::Run run = run_tool("--name=" + test::quote(name) + " " + image);
        EXPECT_EQ(run.status, accepted ? 0 : FAILED) << run.err;
        const test::Run check = run_tool("--check --name=" + test::quote(name));
        EXPECT_EQ(check.status, accepted ? 0 : FAILED) << check.err;
        EXPECT_EQ(check.err.starts_with("tivrano: NAME " + name + ": "), !accepted) << check.err;
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
        // Open to all, so that the tool run as nobody reaches it.
        std::filesystem::permissions(folder, std::filesystem::perms::all |
                                                 std::filesystem::perms::sticky_bit);
        as_nobody =
            "setpriv --reuid=65534 --regid=65534 --clear-groups env TMPDIR=" + test::quote(folder) +
            " ";
        std::filesystem::copy_file(test::TOOL_PATH, folder / "tivrano");
    }
    const auto locked = folder / "locked.bmp";
    test::write_file("locked.bmp", test::bmp_file(1, 1, {{1, 2, 3}}));
    std::filesystem::copy_file(test::scratch() / "locked.bmp", locked,
                               std::filesystem::copy_options::overwrite_existing);
    ASSERT_EQ(chmod(locked.c_str(), 0), 0);
    const std::string tool = geteuid() == 0 ? test::target_program(folder / "tivrano") : test::TOOL;
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
    // A terminal of 80 columns shows each line whole.
    for (std::size_t at = 0, end = 0; at < help.out.size(); at = end + 1) {
        end = help.out.find('\n', at);
        EXPECT_LE(end - at, 80U) << help.out.substr(at, end - at);
    }
    for (const test::Run& run : {version, help, run_tool("-h")}) {
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, "");
    }
    EXPECT_EQ(run_tool("-h").out, help.out);
    // A file of such a name is reached by its path.
    const Bytes image = test::bmp_file(1, 1, {{1, 2, 3}});
    file_of("--help", image);
    const test::Run file =
        test::run_shell("cd " + test::quote(test::scratch()) + " && " + test::TOOL + " ./--help");
    EXPECT_EQ(file.out, test::convert(image).text);
}

// -o replaces the file only with a whole text, and only a file: a device or FIFO, named or
// linked to, gets the text as it comes, even one put there while the text was written. A
// refusal's message still goes to standard output.
TEST(Cli, OutputFile) {
    const Bytes image = test::bmp_file(2, 2, test::counting_pixels(4));
    const std::string text = test::convert(image).text;
    test::write_file("good.bmp", image);
    test::write_file("bad.bmp", {'B', 'M'});
    test::write_file("dark.bmp", test::bmp_file(32, 32, std::vector<test::Bgr>(1024)));
    const std::string old = "what the file held before, longer than the text that replaces it" +
                            std::string(text.size(), '.') + "\n";
    const std::string cut_short =
        "tivrano: good.bmp: the file was cut short by another program while it was converted\n";
    // Traced: the first write, into the new file, is held up for a second, while out.c becomes
    // a FIFO with a reader; or it raises SIGBUS, as a mapped input cut short does. (The leak
    // checker of a sanitizer build cannot run under a tracer.)
    const std::string strace = "ASAN_OPTIONS=detect_leaks=0 strace -o strace.log -e trace=write "
                               "-e inject=write:";
    const std::string swap =
        "tool=$!; until ls out.c.tivrano-*.tmp >/dev/null 2>&1; do sleep 0.01; "
        "done; rm out.c && mkfifo out.c && { cat out.c >from-fifo & }; "
        "wait $tool";
    const std::string bind =
        "unshare -rm sh -c 'mount --bind good.bmp out.c && exec \"$0\" \"$@\"' ";
    struct Case {
        std::string command; // run in the scratch folder; TOOL stands for the tool
        std::string out;
        int status;
        std::string err;
        std::string file;       // what out.c holds afterwards, or the FIFO's reader got
        std::string needs = {}; // strace or unshare
    };
    const std::vector<Case> cases = {
        {"TOOL -o out.c good.bmp", "", 0, "", text},
        {"TOOL --output=out.c bad.bmp", TRUNCATED, FAILED,
         "tivrano: bad.bmp: only 2 bytes, too short for a BMP header: its width and height end at "
         "byte 26\n",
         old},
        {"TOOL -o out.c missing.bmp", NOT_FOUND, FAILED,
         "tivrano: missing.bmp: cannot open: No such file or directory\n", old},
        {"TOOL --name=w -o out.c good.bmp bad.bmp", TRUNCATED, FAILED,
         "tivrano: bad.bmp: only 2 bytes, too short for a BMP header: its width and height end at "
         "byte 26\n",
         old},
        {"TOOL --brightness=0 -o out.c good.bmp", USAGE, FAILED,
         "tivrano: --brightness=0: the brightness is a whole percent from 1 to 100; see tivrano "
         "--help\n",
         old},
        // 1024 LEDs draw 1024 mA when dark: a limit just below it.
        {"TOOL --max-current=1023 -o out.c dark.bmp", "BMP file refused by --max-current!\n",
         FAILED,
         "tivrano: dark.bmp: 1024 LEDs draw 1024 mA even when dark, by the model, more than "
         "--max-current=1023 allows\n",
         old},
        {"TOOL -o no/out.c good.bmp", "", FAILED,
         "tivrano: cannot write no/out.c: No such file or directory\n", old},
        // A link is followed, and the file it names replaced whole, its tail too.
        {"TOOL -o link.c good.bmp", "", 0, "", text},
        {"{ cat fifo >from-fifo & } && TOOL -o fifo good.bmp", "", 0, "", text},
        {"{ cat fifo >from-fifo & } && TOOL -o fifo-link good.bmp", "", 0, "", text},
        {strace + "delay_enter=1000000:when=1 TOOL -o out.c good.bmp & " + swap, "", 0, "", text,
         "strace"},
        {strace + "signal=SIGBUS:when=1 TOOL -o out.c good.bmp", "BMP file could not be read!\n",
         FAILED, cut_short, old, "strace"},
        // A rename that fails: out.c is a mount point, in a namespace of its own.
        {bind + "TOOL -o out.c good.bmp", "", FAILED,
         "tivrano: cannot write out.c: Device or resource busy\n", old, "unshare"},
    };
    const auto& dir = test::scratch();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        if ((c.needs == "strace" && !can_trace()) ||
            (c.needs == "unshare" &&
             (test::emulated() || test::run_shell("unshare -rm true").status != 0))) {
            if (c.needs == "unshare") {
                std::cout << "skipped a row: it needs unshare -rm, a mount namespace of its own\n";
            }
            continue;
        }
        test::write_file("out.c", {old.begin(), old.end()});
        for (const char* name : {"link.c", "fifo", "fifo-link", "from-fifo"}) {
            std::filesystem::remove(dir / name);
        }
        std::filesystem::create_symlink("out.c", dir / "link.c");
        ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
        std::filesystem::create_symlink("fifo", dir / "fifo-link");
        std::string command = c.command;
        command.replace(command.find("TOOL"), 4, test::TOOL);
        const test::Run run =
            test::run_shell("cd " + test::quote(dir) + " || exit\n" + command, 20);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.err, c.err);
        const bool into_fifo = c.command.find("fifo") != std::string::npos;
        EXPECT_EQ(test::read_file(dir / (into_fifo ? "from-fifo" : "out.c")), c.file);
        EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.c"));
        EXPECT_EQ(std::filesystem::is_fifo(dir / "fifo"), true);
        if (c.command.find("mkfifo out.c") != std::string::npos) {
            EXPECT_TRUE(std::filesystem::is_fifo(dir / "out.c"));
            std::filesystem::remove(dir / "out.c");
        }
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
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

// A failed write to standard output fails the run and says so. The shell opens /dev/full, a
// device on which every write fails as on a full disk; the tool only writes to it.
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
    const bool full_device = std::filesystem::exists("/dev/full");
    if (!full_device) {
        std::cout << "skipped the full-disk rows: there is no /dev/full\n";
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        if (c.arguments.find("/dev/full") != std::string::npos && !full_device) {
            continue;
        }
        const test::Run run = run_tool(c.arguments);
        EXPECT_EQ(run.status, FAILED);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, c.err);
    }
}

// Once the first byte of text arrives, the file is cut short; the tool cannot have finished,
// since it blocks on the pipe long before its 5 MB of text are read. The run must end as a
// failed read, not a crash.
TEST(Cli, FileCutShortWhileConvertingIsAReadFailure) {
    const std::string file = test::write_file("shrinking.bmp", test::largest_file()).string();
    const test::Run run =
        test::run_shell("{ " + test::TOOL + " " + test::quote(file) +
                            "; echo \"status $?\"; } | { dd bs=1 count=1 2>/dev/null; : >" +
                            test::quote(file) + "; cat; }",
                        20);
    const std::string end = "BMP file could not be read!\nstatus 255\n";
    ASSERT_GT(run.out.size(), end.size());
    EXPECT_TRUE(run.out.starts_with(test::comment(577, 577))) << run.out.substr(0, 100);
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
// or cannot start at all, as `--version` cannot then either (the loader ends it with status
// 127, or the kernel a static build with SIGSEGV); it never crashes or writes half a text.
TEST(Cli, TooLittleMemory) {
#ifdef ADDRESS_SANITIZER
    GTEST_SKIP() << "built with AddressSanitizer";
#endif
    if (test::emulated()) {
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
        const auto limited = [&](const std::string& arguments) {
            return test::run_shell("(ulimit -v " + limit + "; exec " +
                                   test::quote(test::TOOL_PATH) + " " + arguments + ")");
        };
        const test::Run run = limited(file);
        if (run.status == 0) {
            EXPECT_EQ(run.out, text);
        } else if (run.status == FAILED) {
            EXPECT_EQ(run.out, "Not enough memory for the BMP file!\n");
            ++refusals;
        } else {
            EXPECT_EQ(run.status, limited("--version").status);
            EXPECT_NE(run.status, 0);
            EXPECT_EQ(run.out, "");
        }
    }
    EXPECT_GT(refusals, 0);
}

} // namespace

// A layout written out as a grid map and read back in orders the LEDs as its options did, and
// a map's definitions count its LEDs as one row.
TEST(Cli, WrittenMapsOrderTheLedsAsTheirOptions) {
    test::write_file("a.bmp", test::bmp_file(4, 2, test::counting_pixels(8)));
    test::write_file("ring.csv", {'1', ',', '0', '\n', '0', ',', '1', '\n', '-', '1', ',', '0'});
    const std::string in = "cd " + test::quote(test::scratch().string()) + " && " + test::TOOL;
    const auto values = [](const std::string& text) {
        const std::size_t array = text.find("m[] = {");
        return text.substr(array, text.find("};", array) - array);
    };
    for (const std::string options :
         {"--serpentine --start=bottom-right", "--map=ring.csv",
          "--tiles=2x2 --columns --tile-serpentine --tile-start=top-right"}) {
        SCOPED_TRACE(options);
        const test::Run laid =
            test::run_shell(in + " --write-map=laid.json --name=m a.bmp " + options);
        const test::Run mapped = test::run_shell(in + " --map=laid.json --name=m a.bmp");
        ASSERT_EQ(laid.status + mapped.status, 0) << laid.err << mapped.err;
        EXPECT_EQ(values(mapped.out), values(laid.out))
            << test::read_file(test::scratch() / "laid.json");
        const std::string leds = options.starts_with("--map") ? "3" : "8";
        EXPECT_NE(mapped.out.find("m_width = " + leds + ";\r\nconst int32_t m_height = 1;"),
                  std::string::npos);
    }
    // --max-bytes takes a text that stores exactly as many bytes, and refuses one that stores
    // more, of an image (3 bytes an LED) and of an animation (as its comment counts them); the
    // map is written with a text taken, and none with a text refused.
    const test::Run packed = test::run_shell(in + " --name=m --pack a.bmp");
    const std::size_t end = packed.out.find(" bytes stored");
    ASSERT_NE(end, std::string::npos) << packed.out;
    const int stored = std::stoi(packed.out.substr(packed.out.rfind(' ', end - 1) + 1));
    const std::vector<std::pair<std::string, int>> texts = {{"", 24}, {"--name=m --pack", stored}};
    for (const auto& [options, bytes] : texts) {
        for (const int allowed : {bytes, bytes - 1}) {
            SCOPED_TRACE(options + " --max-bytes=" + std::to_string(allowed));
            std::filesystem::remove(test::scratch() / "limited.json");
            const test::Run run =
                test::run_shell(in + " --write-map=limited.json a.bmp " + options +
                                " --max-bytes=" + std::to_string(allowed));
            EXPECT_EQ(run.status == 0, allowed == bytes);
            EXPECT_EQ(std::filesystem::exists(test::scratch() / "limited.json"), allowed == bytes);
        }
    }
}
