// The Windows build, run as a user runs it: tivrano.exe in a process of its own, its standard
// output a file (so that any text-mode translation would show), its arguments UTF-16.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>

#include <gtest/gtest.h>

#include "bmp_builder.hpp"
#include "cases.hpp"

namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::NOT_FOUND;
using test::read_file;
using test::scratch;
using test::TOO_BIG;
using test::write_file;

constexpr DWORD FAILED = static_cast<DWORD>(-1);

fs::path from_utf8(const std::string& text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}

enum class Output { file, closed, full };

struct Result {
    DWORD status = 0;
    std::string out;
    std::string err;
};

HANDLE inheritable_file(const fs::path& path, DWORD access, DWORD creation) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, creation,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Whether Z:\dev\full opens: Linux's /dev/full under Wine, a device on which every write fails
// as on a full disk. Windows itself has none.
bool has_full_device() {
    const HANDLE full =
        CreateFileW(L"Z:\\dev\\full", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (full == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(full);
    return true;
}

// Runs tivrano.exe, which the test runs beside, in the scratch folder, with these arguments;
// `input`, when given, is written into a pipe that is its standard input.
Result run_tool(const std::vector<std::wstring>& arguments, const Bytes* input, Output output) {
    const fs::path out_path = scratch() / "stdout";
    const fs::path err_path = scratch() / "stderr";
    const fs::path tool = fs::current_path() / "tivrano.exe";
    HANDLE out = INVALID_HANDLE_VALUE;
    if (output == Output::file) {
        out = inheritable_file(out_path, GENERIC_WRITE, CREATE_ALWAYS);
    } else if (output == Output::full) {
        out = inheritable_file(L"Z:\\dev\\full", GENERIC_WRITE, OPEN_EXISTING);
    }
    const HANDLE err = inheritable_file(err_path, GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE in_read = nullptr;
    HANDLE in_write = nullptr;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    if (input != nullptr) {
        CreatePipe(&in_read, &in_write, &inherit, 0);
        SetHandleInformation(in_write, HANDLE_FLAG_INHERIT, 0);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in_read;
    startup.hStdOutput = out;
    startup.hStdError = err;
    std::wstring command = L"\"" + tool.wstring() + L"\"";
    for (const std::wstring& argument : arguments) {
        command += L" \"" + argument + L"\"";
    }
    PROCESS_INFORMATION process{};
    Result run;
    // Wine on a loaded machine now and then fails to start a process that starts when asked
    // again; a tool that cannot start at all still fails here.
    BOOL started = FALSE;
    DWORD error = 0;
    for (int attempt = 0; attempt < 3 && started == FALSE; ++attempt) {
        if (attempt > 0) {
            Sleep(250);
        }
        started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                 scratch().c_str(), &startup, &process);
        error = started != FALSE ? 0 : GetLastError();
    }
    EXPECT_TRUE(started) << "cannot start " << tool << ": error " << error;
    std::thread feeder;
    if (input != nullptr) {
        CloseHandle(in_read);
        feeder = std::thread([&] {
            DWORD written = 0;
            WriteFile(in_write, input->data(), static_cast<DWORD>(input->size()), &written,
                      nullptr);
            CloseHandle(in_write);
        });
    }
    if (started) {
        WaitForSingleObject(process.hProcess, 60000);
        GetExitCodeProcess(process.hProcess, &run.status);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    if (feeder.joinable()) {
        feeder.join();
    }
    CloseHandle(err);
    if (out != INVALID_HANDLE_VALUE) {
        CloseHandle(out);
    }
    run.out = output == Output::file ? read_file(out_path) : "";
    run.err = read_file(err_path);
    return run;
}

// Equal bytes; otherwise where they first differ, and a little of each around there.
testing::AssertionResult same_bytes(const std::string& actual, const std::string& expected) {
    if (actual == expected) {
        return testing::AssertionSuccess();
    }
    std::size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) {
        ++at;
    }
    const std::size_t from = at < 20 ? 0 : at - 20;
    return testing::AssertionFailure()
           << "first difference at byte " << at << " of " << actual.size() << " (expected "
           << expected.size() << "): " << testing::PrintToString(actual.substr(from, 40))
           << " instead of " << testing::PrintToString(expected.substr(from, 40));
}

std::string utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

// Every call of the shared cases gives the bytes, messages and statuses it gives on every other
// platform; beside them, what only Windows has: paths past MAX_PATH, serial ports, a file
// another program holds open, /? and -?.
TEST(Windows, SharedCasesAndWhatWindowsHas) {
    const Bytes plain = test::bmp_file(5, 3, test::counting_pixels(15));
    const fs::path folder = scratch() / L"Bilder";
    const fs::path spring = write_file(folder / L"Fr\u00fchling \u2740.bmp", plain);
    const fs::path locked = write_file(scratch() / "locked.bmp", plain);
    // Past the 260 characters of MAX_PATH; made through the \\?\ form, which has no limit.
    const fs::path deep =
        scratch() / std::string(100, 'a') / std::string(100, 'b') / (std::string(80, 'c') + ".bmp");
    write_file(L"\\\\?\\" + fs::absolute(deep).wstring(), plain);
    const HANDLE lock = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    const std::string text = test::convert(plain).text;
    const auto about = [](const fs::path& path, const std::string& reason) {
        return "tivrano: " + utf8(path) + ": " + reason + "\n";
    };
    struct Case {
        test::ToolCase call;
        Output output = Output::file;
    };
    std::vector<Case> cases = {
        {{{utf8(folder / L"fehlt.bmp")},
          {},
          NOT_FOUND,
          255,
          about(folder / L"fehlt.bmp", "cannot open: No such file or directory")}},
        {{{utf8(folder)}, {}, NOT_FOUND, 255, about(folder, "cannot open: Is a directory")}},
        {{{utf8(deep)}, {}, text, 0, ""}},
        // A serial port, whatever the extension, is refused at once, never waited on.
        {{{"COM1"},
          {},
          TOO_BIG,
          255,
          "tivrano: COM1: a serial port or other device, not an image: name a file\n"}},
        {{{"com1.bmp"},
          {},
          TOO_BIG,
          255,
          "tivrano: com1.bmp: a serial port or other device, not an image: name a file\n"}},
        {{{utf8(locked)},
          {},
          NOT_FOUND,
          255,
          about(locked, "cannot open: The file is in use by another program")}},
        {{{utf8(spring)},
          {},
          "",
          255,
          "tivrano: cannot write standard output: Bad file descriptor\n"},
         Output::closed},
        {{{utf8(spring)},
          {},
          "",
          255,
          "tivrano: cannot write standard output: No space left on device\n"},
         Output::full},
    };
    for (const test::ToolCase& call : test::tool_cases()) {
        cases.push_back({call});
    }
    for (const Case& c : cases) {
        std::vector<std::wstring> arguments;
        std::string shown;
        for (const std::string& argument : c.call.args) {
            arguments.push_back(from_utf8(argument).wstring());
            shown += " " + argument;
        }
        SCOPED_TRACE(shown);
        if (c.output == Output::full && !has_full_device()) {
            std::cout
                << "skipped the full-disk row: Z:\\dev\\full is Linux's /dev/full under Wine, "
                   "and Windows has no such device\n";
            continue;
        }
        for (const test::File& file : c.call.files) {
            write_file(from_utf8(file.name), file.bytes);
        }
        const Result run =
            run_tool(arguments, c.call.input.empty() ? nullptr : &c.call.input, c.output);
        EXPECT_TRUE(same_bytes(run.out, c.call.out));
        EXPECT_EQ(run.status, c.call.status == 0 ? 0 : FAILED);
        EXPECT_EQ(run.err, c.call.err);
    }
    CloseHandle(lock);

    // /? and -? are --help, as Windows users type it.
    for (const wchar_t* help : {L"/?", L"-?"}) {
        const Result asked = run_tool({help}, nullptr, Output::file);
        EXPECT_EQ(asked.status, 0U);
        EXPECT_EQ(asked.out.rfind("Usage: tivrano", 0), 0U) << asked.out;
        EXPECT_NE(asked.out.find("README-Windows.txt"), std::string::npos);
    }

    // -o writes the same bytes, to a file in any language, replacing what it held.
    const fs::path written = write_file(folder / L"Fr\u00fchling.c", {'o', 'l', 'd'});
    const Result run =
        run_tool({L"-o", written.wstring(), spring.wstring()}, nullptr, Output::file);
    EXPECT_EQ(run.status, 0U);
    EXPECT_EQ(run.out + run.err, "");
    EXPECT_TRUE(same_bytes(read_file(written), text));
    // A folder is not replaced, and is named as on other systems.
    fs::create_directory(folder / L"out");
    const Result refused =
        run_tool({L"-o", (folder / L"out").wstring(), spring.wstring()}, nullptr, Output::file);
    EXPECT_EQ(refused.status, FAILED);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err, "tivrano: cannot write " + utf8(folder / L"out") + ": Is a directory\n");
}

} // namespace
