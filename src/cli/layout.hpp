// The LED layout a request gives beyond the rectangle's wiring: --map's file read once, then,
// for each image's dimensions, the pixel of every LED (a map's, or tiled panels'), and with
// --write-map the layout written out as a grid map.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "request.hpp"

namespace tivrano {

// What standard output gets in place of a text for a layout that cannot be used.
inline constexpr std::string_view LAYOUT_REFUSED = "LED layout refused!\n";

// Reads --map's file into the request: a map that cannot be read or used gets LAYOUT_REFUSED on
// standard output (with --check, only the reason, naming the CMake keyword) and the reason on
// standard error, and FAILED is returned.
int load_map(Request& request, Sink standard);

// The array's options with the layout placed on an image: the request's own, with its LEDs'
// places for a map or tiles. Holds the places, so it is neither copied nor moved.
struct Placed {
    ArrayOptions array;
    std::vector<std::uint32_t> pixels;
    std::string wiring;
    std::string grid_map; // --write-map's file, made when the layout is placed

    Placed() = default;
    Placed(const Placed&) = delete;
    Placed& operator=(const Placed&) = delete;
};

// Places the request's layout on an image of these dimensions, and with --write-map makes its
// grid map; a layout that does not fit, or that a grid map cannot say, gets LAYOUT_REFUSED on
// standard output and the reason on standard error, and FAILED is returned.
int place_layout(const Request& request, std::int32_t width, std::int32_t height, Sink standard,
                 Placed& placed);

// Writes --write-map's file, once the text it goes with is written: a text refused leaves none.
// A file that cannot be written is named on standard error, and FAILED returned.
int write_map(const Request& request, const Placed& placed, Sink standard);

} // namespace tivrano
