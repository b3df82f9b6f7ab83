// libFuzzer harness: any bytes as an LED map file. A map that is read is placed on images of
// several sizes, written back as a grid map where it can be, and converted; beyond the
// sanitizers' checks it aborts when a placed LED lies off the image, or when a grid map written
// from a layout reads back to other places. The first two bytes also part a 16 x 16 image into
// panels.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "ledmap.hpp"
#include "tivrano.hpp"

namespace {

void require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

bool discard(void* /*context*/, const char* /*bytes*/, std::size_t /*size*/) {
    return true;
}

// Converts an image of these dimensions with the LEDs at `pixels`, and checks the written grid
// map, if there is one, against them.
void use(const std::vector<std::uint32_t>& pixels, std::int32_t line, bool map, std::int32_t width,
         std::int32_t height) {
    const auto count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    for (const std::uint32_t at : pixels) {
        require(at < count);
    }
    std::vector<std::uint8_t> rgb(3 * count, 0x5A);
    tivrano::ArrayOptions options;
    options.layout.places = {pixels, line, map, "fuzzed"};
    for (const tivrano::Format format : {tivrano::Format::grb, tivrano::Format::mono}) {
        options.format = format;
        require(tivrano::convert_image(tivrano::rgb_pixels(width, height, rgb), {discard, nullptr},
                                       options) == 0);
    }
    std::string json;
    if (tivrano::grid_map(options.layout, width, height, json).empty()) {
        tivrano::LedMap back;
        std::vector<std::uint32_t> placed;
        require(tivrano::read_map({reinterpret_cast<const std::uint8_t*>(json.data()), json.size()},
                                  back)
                    .empty());
        require(tivrano::place_map(back, width, height, placed).empty() && placed == pixels);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    tivrano::LedMap map;
    if (tivrano::read_map(bytes, map).empty()) {
        require(map.leds() >= 1 && map.leds() <= tivrano::MAX_MAP_LEDS);
        for (const auto& [width, height] :
             {std::pair{1, 1}, {3, 2}, {16, 16}, {1000, 3}, {map.width.value_or(5), 1}}) {
            std::vector<std::uint32_t> pixels;
            const auto w = static_cast<std::int32_t>(std::min<std::int64_t>(width, 4000));
            if (tivrano::place_map(map, w, height, pixels).empty()) {
                require(pixels.size() == map.leds());
                use(pixels, static_cast<std::int32_t>(pixels.size()), true, w, height);
            }
        }
    }
    if (size >= 2) {
        tivrano::Tiles tiles;
        tiles.columns = data[0] % 20;
        tiles.rows = data[1] % 20;
        tiles.chain.serpentine = (data[0] & 0x80U) != 0;
        tiles.chain.columns = (data[1] & 0x80U) != 0;
        tivrano::Layout layout;
        layout.serpentine = (data[0] & 0x40U) != 0;
        std::vector<std::uint32_t> pixels;
        if (tivrano::place_tiles(layout, tiles, 16, 16, pixels).empty()) {
            require(pixels.size() == 256);
            use(pixels, 16 / tiles.columns, false, 16, 16);
        }
    }
    return 0;
}
