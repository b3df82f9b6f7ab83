// What the page needs of the tool beyond the tool itself, which it runs as the command line
// runs it (main, in the POSIX layer, on files in memory): the options, from the table the
// command line parses with, for the page's controls; and for the preview, where each LED lies
// and what values it gets, from the same walk along the strip and the same colour options as
// the conversion. PNG and GIF files are decoded here, by the tool's own decoders, as the command
// line decodes them.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include <emscripten.h>
#include <getopt.h>

#include "frames.hpp"
#include "image.hpp"
#include "options.hpp"
#include "request.hpp"
#include "tivrano.hpp"

namespace tivrano {
namespace {

// The page offers the options that shape the text, as form controls. It leaves out those that
// stand alone (--help, --version), those that name a file to write (the page offers its texts
// to download instead), and --check, which converts nothing.
bool offered(const OptionInfo& option) {
    return option.group != Group::alone && option.value != "FILE" && option.id != OPT_CHECK;
}

void add_string(std::string& json, std::string_view text) {
    json += '"';
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (c == '\n') {
            json += ' '; // a line break of --help; the page flows its text
        } else {
            json += c;
        }
    }
    json += '"';
}

std::string options_json() {
    std::string json = "[";
    for (const OptionInfo& option : option_table()) {
        if (!offered(option)) {
            continue;
        }
        json += json.size() > 1 ? ",{\"name\":" : "{\"name\":";
        add_string(json, option.name);
        json += ",\"value\":";
        add_string(json, option.value);
        json += ",\"group\":";
        add_string(json, option.group == Group::animation ? "animation" : "conversion");
        json += ",\"help\":";
        add_string(json, option_help(option));
        json += ",\"choices\":[";
        for (std::string_view rest = option.choices; !rest.empty();) {
            const std::size_t bar = rest.find('|');
            add_string(json, rest.substr(0, bar));
            rest.remove_prefix(bar == std::string_view::npos ? rest.size() : bar + 1);
            json += rest.empty() ? "" : ",";
        }
        json += "],\"unset\":";
        add_string(json, option.unset);
        json += '}';
    }
    return json + "]";
}

// A whole file of the page's, at most one byte past the largest the tool reads.
bool read_file(const char* path, std::vector<std::uint8_t>& bytes) {
    std::FILE* const file = std::fopen(path, "rb");
    if (file == nullptr) {
        return false;
    }
    bytes.resize(MAX_FILE_SIZE + 1);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    const bool read = std::ferror(file) == 0 && bytes.size() <= MAX_FILE_SIZE;
    std::fclose(file);
    return read;
}

bool discard(void*, const char*, std::size_t) {
    return true;
}

// The preview of the files of `argv` under its options, as the page reads it from memory: the
// dimensions, the frames' count, and where the LEDs, values and delays lie.
struct Preview {
    std::int32_t width;
    std::int32_t height;
    std::int32_t frames;
    std::uint32_t places; // an int32 a LED: where LED k lies, y * width + x from the top left
    std::uint32_t values; // each frame's values, three a LED in strip order, as the text has them
    std::uint32_t delays; // a uint16 a frame, in milliseconds
    char order[4];        // the values' order: "GRB", ...
};

struct Shown {
    Frames frames;
    std::vector<std::int32_t> places;
    Preview preview{};
};

// Adds a BMP's values to the frames, shown for `delay_ms`; false for one that is refused, or does
// not match the frames before it.
bool add_frame(std::span<const std::uint8_t> bmp, std::uint16_t delay_ms, const Layout& layout,
               Frames& frames) {
    const BmpHeader header = read_bmp_header(bmp);
    const bool first = frames.values.empty();
    if (header.verdict != Verdict::accepted || pixel_count(header) == 0 ||
        (!first && (*header.width != frames.width || *header.height != frames.height))) {
        return false;
    }
    frames.width = *header.width;
    frames.height = *header.height;
    append_values(header, bmp, layout, frames.values);
    frames.delay_ms.push_back(delay_ms);
    return true;
}

// A PNG's or GIF's frames, decoded as the command line decodes them: every frame of an animation,
// with its own delay, or the first alone when the request names no animation.
bool add_decoded(std::span<const std::uint8_t> bytes, ImageFormat format, const Request& request,
                 Frames& frames) {
    const DecodedImage image = format == ImageFormat::png ? decode_png(bytes, request.background)
                                                          : decode_gif(bytes, request.background);
    if (image.status != DecodeStatus::decoded) {
        return false;
    }
    const bool animated = image.frames.size() > 1 && !request.text.name.empty();
    const std::size_t count = animated ? image.frames.size() : 1;
    for (std::size_t k = 0; k < count; ++k) {
        if (!add_frame(bmp_of(image.width, image.height, image.frames[k].rgb),
                       delay_of(image, image.frames[k]), request.text.layout, frames)) {
            return false;
        }
    }
    return true;
}

// Loads the files as the frames; false for one that is refused, or does not match the frames
// before it.
bool load_frames(std::span<char* const> paths, const Request& request, Frames& frames) {
    std::vector<std::uint8_t> bytes;
    for (const char* path : paths) {
        if (!read_file(path, bytes)) {
            return false;
        }
        const ImageFormat format = image_format(bytes);
        if (format == ImageFormat::png || format == ImageFormat::gif
                ? !add_decoded(bytes, format, request, frames)
                : !add_frame(bytes, DEFAULT_DELAY_MS, request.text.layout, frames)) {
            return false;
        }
    }
    return !frames.values.empty();
}

// Where each LED lies, y * width + x from the top left: its pixel's offset in a file of these
// dimensions, from the strip's walk, back to its place in the picture.
std::vector<std::int32_t> led_places(const Layout& layout, std::int32_t width,
                                     std::int32_t height) {
    std::vector<std::int32_t> places;
    const auto stride = static_cast<std::int64_t>(line_size(width));
    walk_strip(plan_strip(layout, width, height), [&](std::int64_t offset) {
        const std::int64_t at = offset - PIXEL_DATA_OFFSET;
        const std::int64_t y = height - 1 - at / stride;
        places.push_back(static_cast<std::int32_t>(y * width + at % stride / 3));
    });
    return places;
}

std::uint32_t address(const void* data) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(data));
}

} // namespace
} // namespace tivrano

using namespace tivrano;

// The options the page offers, from the tool's table, as JSON: an array of {name, value (its
// name in --help; empty for a flag), group ("conversion" or "animation"), help, choices (an
// array, empty but for a choice), unset (what the tool does without it)}.
extern "C" EMSCRIPTEN_KEEPALIVE const char* tivrano_options() {
    static const std::string json = options_json();
    return json.c_str();
}

// The preview of a conversion: `arguments` are those the page gives the tool, options then
// files, each ended by a zero byte, `size` bytes in all. The files are read as the frames of an
// animation, their values laid along the strip and coloured as the tool colours them. Returns
// the Preview, which lives until the next call, or 0 for what the tool would refuse.
extern "C" EMSCRIPTEN_KEEPALIVE const Preview* tivrano_preview(const char* arguments,
                                                               std::int32_t size) {
    static Shown shown;
    shown = {};
    std::vector<std::string> words{"tivrano", ""};
    for (std::int32_t k = 0; k < size; ++k) {
        if (arguments[k] == '\0') {
            words.emplace_back();
        } else {
            words.back() += arguments[k];
        }
    }
    words.pop_back(); // after the last zero byte
    std::vector<char*> argv(words.size() + 1);
    std::transform(words.begin(), words.end(), argv.begin(),
                   [](std::string& word) { return word.data(); });
    Request request;
    const int argc = static_cast<int>(words.size());
    if (take_options(argc, argv.data(), Sink{discard, nullptr}, request) != 0) {
        return nullptr;
    }
    const Layout& layout = request.text.layout;
    Frames& frames = shown.frames;
    if (!load_frames({argv.data() + optind, static_cast<std::size_t>(argc - optind)}, request,
                     frames) ||
        !assign_delays(request.delay_ms, frames)) {
        return nullptr;
    }
    if (!is_neutral(request.text.colour) &&
        !colour_frames(request.text.colour, layout, frames).met) {
        return nullptr;
    }
    shown.places = led_places(layout, frames.width, frames.height);
    Preview& preview = shown.preview;
    preview.width = frames.width;
    preview.height = frames.height;
    preview.frames = static_cast<std::int32_t>(frames.count());
    preview.places = address(shown.places.data());
    preview.values = address(frames.values.data());
    preview.delays = address(frames.delay_ms.data());
    std::copy(layout.order_name, layout.order_name + 4, preview.order);
    return &preview;
}
