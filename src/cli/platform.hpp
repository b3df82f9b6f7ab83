// What the tool needs of the operating system: the input's bytes in memory, standard output
// and standard error as byte streams, and the text of a system error. One implementation per
// platform, each in its own file: platform_posix.cpp and platform_windows.cpp. Each also holds
// the program's entry point, which hands the arguments, as UTF-8, to `tivrano::run`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace tivrano {

// The tool itself, on arguments in UTF-8; returns the exit status.
int run(int argc, char** argv);

namespace platform {

enum class Loaded {
    bytes,       // `Input::bytes` holds the whole input
    cannot_open, // the path cannot be opened, or is a directory
    too_big,     // over the limit, or a terminal, which is never waited on
    no_memory,
    read_failed,
};

struct Input {
    std::span<const std::uint8_t> bytes;
    // The size that was over the limit; 0 for a stream, which is read only to one byte past it.
    std::uint64_t size = 0;
    bool is_terminal = false;
    bool is_device = false; // a serial port or another device that is not a file or a stream
    int error = 0;          // the system's error code, for `error_text`
    bool mapped = false;    // the bytes are the file's pages, not a block of their own
};

// What to write should the input change under the conversion (a mapped file cut short by
// another program): `out` to standard output, `err` to standard error, then the run ends with
// status 255. Both must stay valid until `release`.
struct LateFailure {
    std::string_view out;
    std::string_view err;
};

// Loads the file at `path`, or standard input for nullptr, into memory whole. A file over
// MAX_FILE_SIZE bytes is refused by its size; a stream (a pipe, a FIFO, a character device) is
// read to its end, and refused once it passes MAX_FILE_SIZE.
Loaded load(const char* path, const LateFailure& late, Input& input);
void release(Input& input);

// Writes all of `bytes` to standard output, unchanged, waiting while a non-blocking output is
// full; false if it could not, with the system's error code in `error`.
bool write_stdout(const char* bytes, std::size_t size, int& error);

// A file that gets the text whole or not at all: the text is written to a new file beside it,
// which replaces it only once complete. Until then the file keeps what it held, if anything.
struct OutputFile {
    int fd = -1;                 // POSIX
    void* handle = nullptr;      // Windows
    char* temporary = nullptr;   // the new file's path, while it exists
    char* resolved = nullptr;    // the file a link names (POSIX)
    const char* path = nullptr;  // the file replaced: the path given, or the file a link names
    const char* given = nullptr; // the path given
};

// Creates the new file beside `path`; false if it could not, with the system's error code in
// `error`.
bool create_file(const char* path, OutputFile& file, int& error);
bool write_file(const OutputFile& file, const char* bytes, std::size_t size, int& error);
// Puts the new file in place of the old one; or, should the path have become a device or FIFO
// meanwhile, writes the text into that (POSIX: Windows has no such files in a folder).
bool commit_file(OutputFile& file, int& error);
// Removes the new file if it was not put in place, and frees what the file holds.
void discard_file(OutputFile& file);

// Whether the file at `path`, or standard output for nullptr, is a terminal, which takes text.
bool is_terminal(const char* path);

// Writes one line of text for people to standard error; failures are ignored.
void write_error(std::string_view line);

// The system's text for an error code, such as "No such file or directory", in UTF-8.
const char* error_text(int error);

// What stands for --help besides it: /? and -? on Windows, where ? is never in a file's name.
bool is_help_alias(std::string_view argument);

// Where a user of this system reads more: the man page, or the documents beside the exe.
extern const std::string_view MORE_HELP;

// Where a refused option's user finds what the options take: "see tivrano --help", or on the
// page, where each control shows its option's help.
extern const std::string_view SEE_HELP;

} // namespace platform
} // namespace tivrano
