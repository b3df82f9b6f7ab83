// Runs the built tool, and other programs, through the shell, each under a time limit of the
// helper's own: no program beyond POSIX sh is needed.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include "bmp_builder.hpp"

extern char** environ;

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

// Whether the tool runs under an emulator, to which limits and tracers would apply.
inline bool emulated() {
    return !EMULATOR.empty();
}

// The tool the tests run, and the command that runs it.
inline const std::string TOOL_PATH = TIVRANO_PATH;
inline const std::string TOOL = target_program(TOOL_PATH);

struct Run {
    int status; // exit status; 128 + the signal that ended sh; 124 if the time limit ended it
    std::string out;
    std::string err;
};

// Runs `command` with sh in a process group of its own, capturing standard output and standard
// error. Should it still run after `limit` seconds, the group is killed, the status is 124 and
// standard error ends with a line that says so.
inline Run run_shell(const std::string& command, int limit = 60) {
    Run run{-1, {}, {}};
    int out[2];
    int err[2];
    if (pipe(out) != 0 || pipe(err) != 0) {
        run.err = "cannot make pipes";
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    for (const int fd : {out[0], out[1], err[0], err[1]}) {
        posix_spawn_file_actions_addclose(&actions, fd);
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    const char* argv[] = {"sh", "-c", command.c_str(), nullptr};
    pid_t pid = -1;
    const int spawned =
        posix_spawn(&pid, "/bin/sh", &actions, &attributes, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(out[1]);
    close(err[1]);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limit);
    bool late = spawned != 0;
    pollfd ends[] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* const texts[] = {&run.out, &run.err};
    while (!late && (ends[0].fd >= 0 || ends[1].fd >= 0)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            late = true;
            break;
        }
        if (poll(ends, 2, static_cast<int>(left.count())) < 0) {
            continue;
        }
        for (std::size_t k = 0; k < 2; ++k) {
            if (ends[k].fd >= 0 && ends[k].revents != 0) {
                char chunk[65536];
                const ssize_t got = read(ends[k].fd, chunk, sizeof chunk);
                if (got > 0) {
                    texts[k]->append(chunk, static_cast<std::size_t>(got));
                } else {
                    close(ends[k].fd);
                    ends[k].fd = -1;
                }
            }
        }
    }
    for (const pollfd& end : ends) {
        if (end.fd >= 0) {
            close(end.fd);
        }
    }
    if (spawned != 0) {
        run.err = "cannot start sh";
        return run;
    }
    if (late) {
        kill(-pid, SIGKILL);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (late) {
        run.status = 124;
        run.err += "[stopped after " + std::to_string(limit) + " s: " + command + "]\n";
    }
    return run;
}

inline bool has_program(const std::string& name) {
    return run_shell("command -v " + quote(name) + " >/dev/null").status == 0;
}

// Runs the tool with these shell words as its arguments and redirections, for at most 20
// seconds.
inline Run run_tool(const std::string& arguments) {
    return run_shell(TOOL + " " + arguments, 20);
}

} // namespace test
