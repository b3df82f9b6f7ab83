// What the command line asks for, and the messages standard output gets in place of a text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "image.hpp"
#include "ledmap.hpp"
#include "live.hpp"
#include "pack.hpp"
#include "tivrano.hpp"

namespace tivrano {

// Returned after any failure: status 255 in the shell.
inline constexpr int FAILED = -1;

// Kept byte for byte, "csoure" and all: scripts compare standard output with it.
inline constexpr std::string_view USAGE =
    "Ungueltige Anzahl der Parameter\nNutzung:  tivrano bmpfile >csoure\n";

// What standard output gets for an input that an option or a limit refuses, which names the
// kind of file: "BMP file refused by --strict!", "GIF data refused by --max-bytes!", ...
enum class Refusal { strict, max_bytes, frames, current };

constexpr std::string_view refusal(ImageFormat kind, Refusal what) {
    constexpr std::string_view LINES[][4] = {
        {"BMP file refused by --strict!\n", "BMP data refused by --max-bytes!\n",
         "BMP frames refused!\n", "BMP file refused by --max-current!\n"},
        {"PNG file refused by --strict!\n", "PNG data refused by --max-bytes!\n",
         "PNG frames refused!\n", "PNG file refused by --max-current!\n"},
        {"GIF file refused by --strict!\n", "GIF data refused by --max-bytes!\n",
         "GIF frames refused!\n", "GIF file refused by --max-current!\n"},
    };
    const std::size_t row = kind == ImageFormat::png ? 1 : kind == ImageFormat::gif ? 2 : 0;
    return LINES[row][static_cast<std::size_t>(what)];
}

struct Request {
    ArrayOptions array;
    const char* output_path = nullptr; // -o; nullptr for standard output
    const char* header_path = nullptr; // --header
    bool strict = false;
    bool check = false;       // --check: the options only, worded for the CMake functions
    Pack pack = Pack::none;   // --pack, and how
    bool first_frame = false; // --first-frame: of an animated GIF, its first frame alone
    std::optional<std::uint64_t> max_bytes;
    std::vector<std::uint16_t> delay_ms;   // none: each frame's own; one: the same for each
    const char* delay_given = nullptr;     // --delay-ms's value as given
    const char* order_given = nullptr;     // --order's
    const char* threshold_given = nullptr; // --threshold's
    Rgb background = 0;                    // what a PNG's or GIF's transparency is laid on
    const char* send_port = nullptr;       // --send: the serial port the frames are played on
    Protocol protocol = Protocol::adalight;
    std::uint32_t loop = 1; // times the frames are played; 0: until interrupted
    std::uint32_t baud = 115200;
    int send_option = 0;                  // --protocol, --loop or --baud, the first given
    const char* send_value = nullptr;     // its value as given
    const char* map_path = nullptr;       // --map
    LedMap map;                           // its file, read
    Tiles tiles;                          // --tiles and the --tile- options; no columns: none
    std::string tiles_given;              // --tiles's value as given
    int tile_option = 0;                  // the first --tile- option given
    const char* write_map_path = nullptr; // --write-map
};

// Whether `files` files make one animation before any is read: several with a name, or one
// with --pack, --delay-ms or --header, an animation of one frame. Bytes need no name: with
// --binary, --pack makes an animation too.
inline bool makes_animation(const Request& request, std::size_t files) {
    const bool named =
        !request.array.name.empty() || (request.array.binary && request.pack != Pack::none);
    const bool animated = request.pack != Pack::none || request.delay_given != nullptr ||
                          request.header_path != nullptr;
    return named && (files > 1 || animated);
}

// Whether one file of `frames` frames, read, is an animation: a GIF of several, with a name,
// unless --first-frame takes its first alone.
inline bool animated_file(const Request& request, std::size_t frames) {
    return frames > 1 && !request.array.name.empty() && !request.first_frame;
}

} // namespace tivrano
