// What the command line's ways (one image, an animation, the options) share: where text goes,
// loading a file, and refusing with a message. Everything here calls down, into the platform
// and the words for people, never back up into them.
#pragma once

#include <cstddef>
#include <string_view>

#include "messages.hpp"
#include "platform.hpp"
#include "request.hpp"
#include "tivrano.hpp"

namespace tivrano {

// Where text goes: standard output, or a file; and the error of its first failed write (0
// while every write succeeded).
struct Output {
    platform::OutputFile* file = nullptr;
    const char* name = nullptr; // the file's, for messages
    int error = 0;
};

// Standard output, the file of -o and that of --header.
struct Outputs {
    Output standard;
    Output file;
    Output header;
};

bool write_to(void* context, const char* bytes, std::size_t size);

inline Sink sink_of(Output& output) {
    return {write_to, &output};
}

// Writes the message to `sink` and returns FAILED.
int refuse(Sink sink, std::string_view message);

// The usage message for an option that is wrong, and a line on what is wrong with it; no
// problem stands for an option that does not exist.
int refuse_option(Sink sink, std::string_view option, std::string_view problem);

// Loads the file at `path` (standard input for none), called `name` in messages, into `input`;
// if it cannot be, writes the message to `standard` and the reasons to standard error, and
// returns FAILED. `cut_short` gets the line for a file cut short later, while it is converted,
// and must live until `input` is released.
int load_input(const char* path, Sink standard, const char* name, Line& cut_short,
               platform::Input& input);

// Has `write` write a text into standard output, or, for a path, whole into that file, which
// is replaced only if `write` returns 0 and every write succeeded.
template <typename Write>
int deliver(Sink standard, const char* path, Output& output, Write write) {
    if (path == nullptr) {
        return write(standard);
    }
    platform::OutputFile file;
    output.name = path;
    if (!platform::create_file(path, file, output.error)) {
        return FAILED;
    }
    output.file = &file;
    int result = write(Sink{write_to, &output});
    if (result == 0 && output.error == 0) {
        platform::commit_file(file, output.error);
    }
    platform::discard_file(file);
    output.file = nullptr;
    return output.error != 0 ? FAILED : result;
}

} // namespace tivrano
