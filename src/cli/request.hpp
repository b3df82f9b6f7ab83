// What the command line asks for, and the messages standard output gets in place of a text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "image.hpp"
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

struct Request {
    ArrayOptions array;
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

// Whether `files` files make one animation before any is read: several with a name, or one
// with --pack, --delay-ms or --header, an animation of one frame. Bytes need no name: with
// --binary, --pack makes an animation too.
inline bool makes_animation(const Request& request, std::size_t files) {
    const bool named = !request.array.name.empty() || (request.array.binary && request.pack);
    const bool animated =
        request.pack || request.delay_given != nullptr || request.header_path != nullptr;
    return named && (files > 1 || animated);
}

// Whether one file of `frames` frames, read, is an animation: a GIF of several, with a name,
// unless --first-frame takes its first alone.
inline bool animated_file(const Request& request, std::size_t frames) {
    return frames > 1 && !request.array.name.empty() && !request.first_frame;
}

} // namespace tivrano
