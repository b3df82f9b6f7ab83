// Runs the built tool, and other programs, through the shell.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <stdlib.h>
#include <sys/wait.h>

#include "bmp_builder.hpp"

namespace test {

// A word for the shell that stands for `text` exactly, blanks, quotes and all.
inline std::string quote(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

inline std::string quote(const std::filesystem::path& path) {
    return quote(path.string());
}

// The emulator that runs the programs of a cross build (QEMU), or nothing.
inline const std::string EMULATOR = TIVRANO_EMULATOR;

// The command that runs a program built for the target, such as a test program compiled by the
// tests themselves.
inline std::string target_program(const std::string& program) {
    return (EMULATOR.empty() ? std::string() : EMULATOR + " ") + quote(program);
}

// The command that runs the built tool, or a copy of it, at `program`; TIVRANO_WRAPPER, when
// set, goes before it (a valgrind command, say).
inline std::string wrapped(const std::string& program) {
    const char* wrapper = std::getenv("TIVRANO_WRAPPER");
    return (wrapper != nullptr ? std::string(wrapper) + " " : std::string()) +
           target_program(program);
}

inline const std::string TOOL = wrapped(TIVRANO_PATH);

struct Run {
    int status; // exit status, or 128 + the signal that ended the shell's command
    std::string out;
    std::string err;
};

// A folder of its own for each test program, removed at exit.
inline const std::filesystem::path& scratch() {
    struct Folder {
        std::filesystem::path path;
        Folder() {
            std::string name = (std::filesystem::temp_directory_path() / "tivrano-XXXXXX").string();
            path = mkdtemp(name.data());
        }
        ~Folder() { std::filesystem::remove_all(path); }
    };
    static const Folder folder;
    return folder.path;
}

inline std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::filesystem::path write_file(const std::string& name, const Bytes& bytes) {
    const auto path = scratch() / name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return path;
}

// Runs `command` with sh, capturing standard output and standard error.
inline Run run_shell(const std::string& command) {
    const auto err_path = scratch() / "stderr";
    Run run{-1, {}, {}};
    FILE* pipe = popen(("{ " + command + " ; } 2>" + quote(err_path)).c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    char chunk[65536];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
        run.out.append(chunk, got);
    }
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = read_file(err_path);
    return run;
}

inline bool has_program(const std::string& name) {
    return run_shell("command -v " + quote(name) + " >/dev/null").status == 0;
}

// Runs the tool with these shell words as its arguments and redirections; a run that has not
// ended after 20 seconds is stopped and ends with status 124.
inline Run run_tool(const std::string& arguments) {
    return run_shell("timeout 20 " + TOOL + " " + arguments);
}

} // namespace test
