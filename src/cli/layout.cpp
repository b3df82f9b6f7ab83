#include "layout.hpp"

#include "explain.hpp"
#include "messages.hpp"
#include "platform.hpp"
#include "shell.hpp"

namespace tivrano {
namespace {

// What messages call the layout: the map's file, or --tiles.
std::string layout_name(const Request& request) {
    return request.map_path != nullptr ? request.map_path : "--tiles=" + request.tiles_given;
}

int refuse_layout(Sink standard, const Request& request, const std::string& problem) {
    const int refused = refuse(standard, LAYOUT_REFUSED);
    say("tivrano: %s: %s", layout_name(request).c_str(), problem.c_str());
    return refused;
}

void describe_wiring(std::string& text, const Layout& wiring, std::string_view first) {
    text.append(first).append(corner_name(wiring.start));
    text.append(wiring.columns ? ", along columns" : ", along rows");
    text.append(wiring.serpentine ? ", serpentine" : "");
}

std::string number(std::uint64_t value) {
    return std::to_string(value);
}

// The comment's words on the layout: "LED map ring.csv (CSV positions), 24 LEDs", or "2 x 1
// panels of 8 x 8 LEDs, 128 in all, first panel top-left, along rows; in each, first LED ...".
std::string wiring_words(const Request& request, Size image, std::size_t leds) {
    std::string text;
    if (request.map_path != nullptr) {
        text.append("LED map ").append(request.map_path).append(" (");
        text.append(map_form_name(request.map.form)).append("), ").append(number(leds));
        text.append(" LEDs");
        return text;
    }
    const Tiles& tiles = request.tiles;
    text.append(number(static_cast<std::uint64_t>(tiles.columns))).append(" x ");
    text.append(number(static_cast<std::uint64_t>(tiles.rows))).append(" panels of ");
    text.append(number(static_cast<std::uint64_t>(image.width / tiles.columns))).append(" x ");
    text.append(number(static_cast<std::uint64_t>(image.height / tiles.rows))).append(" LEDs, ");
    text.append(number(leds)).append(" in all, ");
    describe_wiring(text, tiles.chain, "first panel ");
    describe_wiring(text, request.array.layout, "; in each, first LED ");
    return text;
}

} // namespace

int load_map(Request& request, Sink standard) {
    if (request.map_path == nullptr) {
        return 0;
    }
    const char* const path = request.map_path;
    platform::Input input;
    const platform::Loaded loaded = platform::load(
        path, {LAYOUT_REFUSED, "tivrano: the map was cut short by another program while read\n"},
        input);
    std::string problem;
    if (loaded != platform::Loaded::bytes) {
        Line reason;
        load_failure(path, loaded, input, reason);
        problem.assign(reason.text, reason.size);
        // The reason names the file already: "tivrano: NAME: why".
        const std::string prefix = std::string("tivrano: ") + path + ": ";
        if (problem.starts_with(prefix)) {
            problem.erase(0, prefix.size());
        }
        while (!problem.empty() && problem.back() == '\n') {
            problem.pop_back();
        }
    } else {
        problem = read_map(input.bytes, request.map);
    }
    platform::release(input);
    if (problem.empty()) {
        return 0;
    }
    if (request.check) {
        say("tivrano: MAP %s: %s", path, problem.c_str());
        return FAILED;
    }
    return refuse_layout(standard, request, problem);
}

int place_layout(const Request& request, std::int32_t width, std::int32_t height, Sink standard,
                 Placed& placed) {
    placed.array = request.array;
    const bool tiled = request.tiles.columns != 0;
    if (request.map_path != nullptr || tiled) {
        const std::string problem =
            tiled ? place_tiles(request.array.layout, request.tiles, width, height, placed.pixels)
                  : place_map(request.map, width, height, placed.pixels);
        if (!problem.empty()) {
            return refuse_layout(standard, request, problem);
        }
        Places& places = placed.array.layout.places;
        placed.wiring = wiring_words(request, {width, height}, placed.pixels.size());
        places.pixel = placed.pixels;
        places.map = !tiled;
        places.line = tiled ? strip_shape(request.array.layout, width / request.tiles.columns,
                                          height / request.tiles.rows)
                                  .length
                            : static_cast<std::int32_t>(placed.pixels.size());
        places.wiring = placed.wiring;
    }
    if (request.write_map_path != nullptr && width > 0 && height > 0) {
        if (const std::string problem =
                grid_map(placed.array.layout, width, height, placed.grid_map);
            !problem.empty()) {
            const int refused = refuse(standard, LAYOUT_REFUSED);
            say("tivrano: --write-map=%s: %s", request.write_map_path, problem.c_str());
            return refused;
        }
    }
    return 0;
}

int write_map(const Request& request, const Placed& placed, Sink standard) {
    if (request.write_map_path == nullptr || placed.grid_map.empty()) {
        return 0;
    }
    Output output;
    const int written = deliver(standard, request.write_map_path, output, [&](Sink sink) {
        return sink.write(sink.context, placed.grid_map.data(), placed.grid_map.size()) ? 0
                                                                                        : FAILED;
    });
    if (output.error != 0) {
        say("tivrano: cannot write %s: %s", request.write_map_path,
            platform::error_text(output.error));
    }
    return written;
}

} // namespace tivrano
