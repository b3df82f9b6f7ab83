// What the shell's two ways share, one image and an animation: the request the command line
// makes, where text goes, and the messages standard output gets.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "image.hpp"
#include "messages.hpp"
#include "platform.hpp"
#include "tivrano.hpp"

namespace tivrano {

// Returned after any failure: status 255 in the shell.
inline constexpr int FAILED = -1;

// Kept byte for byte, "csoure" and all: scripts compare standard output with it.
inline constexpr std::string_view USAGE =
    "Ungueltige Anzahl der Parameter\nNutzung:  tivrano bmpfile >csoure\n";
inline constexpr std::string_view NOT_STRICT = "BMP file refused by --strict!\n";
inline constexpr std::string_view OVER_MAX_BYTES = "BMP data refused by --max-bytes!\n";
inline constexpr std::string_view FRAMES_REFUSED = "BMP frames refused!\n";

// What the command line asks for.
struct Request {
    TextOptions text;
    const char* output_path = nullptr; // -o; nullptr for standard output
    const char* header_path = nullptr; // --header
    bool strict = false;
    bool check = false; // --check: the options only, worded for the CMake functions
    bool pack = false;
    bool first_frame = false; // --first-frame: of an animated GIF, its first frame alone
    std::optional<std::uint64_t> max_bytes;
    std::vector<std::uint16_t> delay_ms;   // none: each frame's own; one: the same for each
    const char* delay_given = nullptr;     // --delay-ms's value as given
    const char* order_given = nullptr;     // --order's
    const char* threshold_given = nullptr; // --threshold's
    Rgb background = 0;                    // what a PNG's or GIF's transparency is laid on
};

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

// Writes the message to `sink` and returns FAILED.
int refuse(Sink sink, std::string_view message);

// Loads the file at `path` (standard input for none), called `name` in messages, into `input`;
// if it cannot be, writes the message to `standard` and the reasons to standard error, and
// returns FAILED. `cut_short` gets the line for a file cut short later, while it is converted,
// and must live until `input` is released.
int load_input(const char* path, Sink standard, const char* name, Line& cut_short,
               platform::Input& input);

// The usage message for an option that is wrong, and a line on what is wrong with it; no
// problem stands for an option that does not exist.
int refuse_option(Sink sink, std::string_view option, std::string_view problem);

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

// The frames of an animation, from these files, through to its text (animate.cpp).
int convert_animation(std::span<char* const> paths, const Request& request, Outputs& outputs);

// The frames of an animated GIF that was loaded and decoded already, through to its text.
int convert_animation(const char* name, const DecodedImage& image, const Request& request,
                      Outputs& outputs);

// Decodes a PNG or GIF; if it cannot be, writes the message to `standard` and the reason to
// standard error, and returns FAILED (decode.cpp).
int decode_input(const char* name, std::span<const std::uint8_t> bytes, ImageFormat format,
                 const Request& request, Sink standard, DecodedImage& image);

} // namespace tivrano
