// LED layouts that are not one rectangle wired in lines: an LED map read from a file (a grid
// map, as WLED's ledmap.json, or the positions of the LEDs, as JSON or CSV), and panels tiled
// into a larger matrix. Each gives the pixel of every LED, in strip order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tivrano.hpp"

namespace tivrano {

// The LEDs a map may hold: the player counts a frame's LEDs in 16 bits.
inline constexpr std::size_t MAX_MAP_LEDS = 65535;

enum class MapForm : std::uint8_t { grid, json_positions, csv_positions };

// A map file as read, before it meets an image.
struct LedMap {
    MapForm form = MapForm::grid;
    // A grid map: the LED of each cell, row-major, top row first, -1 where there is none; the
    // width and height it gives, if it does.
    std::vector<std::int32_t> cells;
    std::optional<std::int64_t> width;
    std::optional<std::int64_t> height;
    // Positions: x and y of each LED in strip order, y growing downward.
    std::vector<double> x;
    std::vector<double> y;

    std::size_t leds() const;
};

// What the form is called in the comment and in messages: "grid map", "JSON positions", ...
std::string_view map_form_name(MapForm form);

// Reads a map file, its form by its content: a JSON object is a grid map, a JSON array holds
// positions, anything else is CSV. Returns why it is refused, or an empty text.
std::string read_map(std::span<const std::uint8_t> bytes, LedMap& map);

// The pixel (y * width + x) of each LED of the map on an image of these dimensions, in strip
// order; or why the map does not fit the image. Positions are placed by their bounding box:
// column floor((x - xmin) * (width - 1) / (xmax - xmin) + 0.5), in doubles in that order, or
// (width - 1) / 2 where all x are equal; rows likewise.
std::string place_map(const LedMap& map, std::int32_t width, std::int32_t height,
                      std::vector<std::uint32_t>& pixels);

// Panels tiled into the image: `columns` x `rows` of them, chained along the panel grid as LEDs
// are chained along a panel (`chain`'s start, columns and serpentine), the LEDs of each following
// the layout's own wiring.
struct Tiles {
    std::int32_t columns = 0; // 0: no tiles
    std::int32_t rows = 0;
    Layout chain;
};

// The pixel of each LED of the tiled panels, in strip order; or why the image does not part
// into them.
std::string place_tiles(const Layout& layout, const Tiles& tiles, std::int32_t width,
                        std::int32_t height, std::vector<std::uint32_t>& pixels);

// The pixel of each LED of any layout on an image of positive dimensions, in strip order.
std::vector<std::uint32_t> led_pixels(const Layout& layout, std::int32_t width,
                                      std::int32_t height);

// The layout as a grid map, {"width": W, "height": H, "map": [...]}, one row of cells a line;
// or why it cannot be one (two LEDs on one pixel), with `json` left empty.
std::string grid_map(const Layout& layout, std::int32_t width, std::int32_t height,
                     std::string& json);

} // namespace tivrano
