// What the page needs of the tool beyond the tool itself, which it runs as the command line
// runs it (main, in the POSIX layer, on files in memory): the options, from the table the
// command line parses with, for the page's controls; and for the preview, where each LED lies
// and what values it gets, from the same walk along the strip, the same colour options and the
// same encoding into the format as the conversion. PNG and GIF files are decoded here, by the
// tool's own decoders, as the command line decodes them.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <emscripten.h>
#include <getopt.h>

#include "formats.hpp"
#include "frames.hpp"
#include "intake.hpp"
#include "layout.hpp"
#include "ledmap.hpp"
#include "live.hpp"
#include "options.hpp"
#include "request.hpp"
#include "tivrano.hpp"

namespace tivrano {
namespace {

// The page offers the options that shape the text, as form controls. It leaves out those that
// stand alone (--help, --version), those that name a file to write (the page offers its texts
// to download instead), --check, which converts nothing, --binary, whose file the page offers
// to download beside the text, and --send, whose port the browser lets the user choose.
bool offered(const OptionInfo& option) {
    return option.group != Group::alone && option.value != "FILE" && option.id != OPT_CHECK &&
           option.id != OPT_BINARY && option.id != OPT_SEND;
}

// The options whose value is one whole number, which the page offers as number fields, with
// the range the tool takes.
struct NumberField {
    int id;
    Range range;
};
constexpr NumberField NUMBER_FIELDS[] = {{OPT_BRIGHTNESS, BRIGHTNESS_RANGE},
                                         {OPT_THRESHOLD, THRESHOLD_RANGE}};

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
        json += ",\"label\":";
        add_string(json, option.label);
        json += ",\"value\":";
        add_string(json, option.value);
        json += ",\"group\":";
        add_string(json, option.group == Group::animation ? "animation"
                         : option.group == Group::send    ? "send"
                                                          : "conversion");
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
        for (const NumberField& field : NUMBER_FIELDS) {
            if (field.id == option.id) {
                json += ",\"range\":[" + std::to_string(field.range.least) + "," +
                        std::to_string(field.range.most) + "]";
            }
        }
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

// The preview of the files of a call under its options: the frames, where each LED lies, each
// frame's LEDs in strip order as they light (red, green, blue each), and for rgb565 and mono
// what the array holds for each (a uint16: the value as the text writes it, or the bit).
struct Shown {
    Frames frames;
    std::unique_ptr<Placed> placed = std::make_unique<Placed>(); // the layout, on the images
    std::vector<std::uint32_t> places; // where LED k lies, y * width + x from the top left
    std::vector<std::uint8_t> shown;
    std::vector<std::uint16_t> held;
    Format format = Format::grb;
    std::int32_t frame_bytes = 0; // the bytes of a frame's array
    bool animation = false;       // the files make an animation, as the command line takes them
    char order[4] = "GRB";        // the order of grb's values, or of rgb565's from the top bits
    // With --send: each frame's message for the LEDs, one after another, and where each ends.
    std::vector<std::uint8_t> messages;
    std::vector<std::uint32_t> message_ends;
    std::uint32_t loop = 1;
    std::uint32_t baud = 0;
};

Shown shown;

// Takes the files in as the command line does, and adds their frames to `frames`: each file's
// first, or of an animation every frame (but with --first-frame); false for a file that is
// refused, or a frame that cannot join those before it. `animation` gets whether the files make
// one.
bool load_frames(std::span<char* const> paths, const Request& request, Frames& frames,
                 bool& animation, Placed& placed) {
    placed.array = request.array;
    std::vector<std::uint8_t> bytes;
    animation = makes_animation(request, paths.size());
    for (const char* path : paths) {
        if (!read_file(path, bytes)) {
            return false;
        }
        const Taken taken = take(bytes, request.background);
        if (!taken.taken() ||
            (!taken.is_decoded() && request.strict && !is_plain_bmp(taken.header))) {
            return false;
        }
        animation = animation || (paths.size() == 1 && animated_file(request, taken.frame_count()));
        // Frames sent to LEDs are every frame of every file, as an animation's are.
        const bool all = animation || request.send_port != nullptr;
        const std::size_t count = all && !request.first_frame ? taken.frame_count() : 1;
        if (frames.count() == 0 && place_layout(request, taken.width(), taken.height(),
                                                Sink{discard, nullptr}, placed) != 0) {
            return false;
        }
        for (std::size_t k = 0; k < count; ++k) {
            if (frame_problem(frames, placed.array.layout, taken.width(), taken.height()) !=
                FrameProblem::none) {
                return false;
            }
            add_frame(taken.pixels(k, bytes), taken.delay_ms(k), placed.array.layout, frames);
        }
    }
    return !frames.values.empty();
}

// A 5- or 6-bit field of an rgb565 value as the panel's 8 bits: its top bits repeated below it.
std::uint8_t widened(unsigned field, unsigned bits) {
    return static_cast<std::uint8_t>(field << (8U - bits) | field >> (2U * bits - 8U));
}

// Each LED of the frames, whose values are laid out and coloured, as it lights: its red, green
// and blue, and for rgb565 and mono what the array holds for it, from the tool's own encoding of
// the LED alone. A panel takes an rgb565 value with its bytes unswapped, its fields widened to
// 8 bits; a lit bit is white.
void light(const ArrayOptions& options, const Frames& frames, Shown& shown) {
    const Encoder encoder = make_encoder(options);
    Encoder unswapped = encoder;
    unswapped.swap_bytes = false;
    const std::uint8_t* const channel = options.layout.channel; // 0 blue, 1 green, 2 red
    const std::size_t leds = frames.values.size() / 3;
    shown.shown.resize(3 * leds);
    shown.held.resize(options.format == Format::grb ? 0 : leds);
    for (std::size_t led = 0; led < leds; ++led) {
        const std::uint8_t* const values = frames.values.data() + 3 * led;
        std::uint8_t* const rgb = shown.shown.data() + 3 * led;
        std::uint8_t held[3] = {};
        std::uint8_t panel[3] = {};
        encode(encoder, values, 1, held);
        encode(unswapped, values, 1, panel);
        if (options.format == Format::rgb565) {
            shown.held[led] = static_cast<std::uint16_t>(held[1] << 8U | held[0]); // little-endian
            const unsigned value = static_cast<unsigned>(panel[1]) << 8U | panel[0];
            const std::uint8_t fields[3] = {widened(value >> 11U, 5), widened(value >> 5U & 63U, 6),
                                            widened(value & 31U, 5)};
            for (std::size_t k = 0; k < 3; ++k) {
                rgb[2 - channel[k]] = fields[k];
            }
        } else if (options.format == Format::mono) {
            const bool lit = (held[0] & 0x80U) != 0; // the first LED takes the top bit
            shown.held[led] = lit ? 1 : 0;
            std::fill(rgb, rgb + 3, static_cast<std::uint8_t>(lit ? 255 : 0));
        } else {
            for (std::size_t k = 0; k < 3; ++k) {
                rgb[2 - channel[k]] = values[k];
            }
        }
    }
}

// With --send, the frames' messages for the LEDs, as the command line sends them: false for
// frames a tpm2 message cannot carry.
bool live_messages(const Request& request, Shown& made) {
    const ArrayOptions& array = made.placed->array;
    Frames encoded = made.frames;
    if (request.protocol == Protocol::tpm2) {
        encode_frames(array, encoded);
    }
    for (std::size_t k = 0; k < encoded.count(); ++k) {
        if (!append_message(request.protocol, array.layout, encoded.frame(k), made.messages)) {
            return false;
        }
        made.message_ends.push_back(static_cast<std::uint32_t>(made.messages.size()));
    }
    made.loop = request.loop;
    made.baud = request.baud;
    return true;
}

std::uint32_t address(const void* data) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(data));
}

} // namespace
} // namespace tivrano

using namespace tivrano;

// The options the page offers, from the tool's table, as JSON: an array of {name, label (a few
// words for it), value (its name in --help; empty for a flag), group ("conversion" or "animation"),
// help, choices (an array, empty but for a choice), unset (what the tool does without it)}.
extern "C" EMSCRIPTEN_KEEPALIVE const char* tivrano_options() {
    static const std::string json = options_json();
    return json.c_str();
}

// The preview of a conversion: `arguments` are those the page gives the tool, options then
// files, each ended by a zero byte, `size` bytes in all. The files are taken in as the command
// line takes them, their values laid along the strip, coloured and encoded as the tool does.
// Returns 1, the preview then read through tivrano_preview_value and tivrano_preview_order
// until the next call, or 0 for what the tool would refuse.
extern "C" EMSCRIPTEN_KEEPALIVE std::int32_t tivrano_preview(const char* arguments,
                                                             std::int32_t size) {
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
        return 0;
    }
    Frames& frames = shown.frames;
    if (!load_frames({argv.data() + optind, static_cast<std::size_t>(argc - optind)}, request,
                     frames, shown.animation, *shown.placed) ||
        !assign_delays(request.delay_ms, frames)) {
        return 0;
    }
    const ArrayOptions& array = shown.placed->array;
    const Layout& layout = array.layout;
    if (!is_neutral(array.colour) && !colour_frames(array.colour, layout, frames).met) {
        return 0;
    }
    if (request.send_port != nullptr && !live_messages(request, shown)) {
        return 0;
    }
    shown.places = led_pixels(layout, frames.image_width, frames.image_height);
    light(array, frames, shown);
    shown.format = array.format;
    shown.frame_bytes =
        static_cast<std::int32_t>(image_bytes(array, frames.image_width, frames.image_height));
    std::copy(layout.order_name, layout.order_name + 4, shown.order);
    return 1;
}

// A figure of the preview by its name: width and height (the images'), leds, map (1 for an LED
// map, whose LEDs need not fill the image), frames, animation (1 or 0), format (0 grb,
// 1 rgb565, 2 mono), frame_bytes, and with --send loop and baud; or where an array of it lies in
// memory: places (a uint32 a LED, y * width + x), shown (3 bytes a LED a frame), held (a uint16 a
// LED a frame), delays (a uint16 a frame, in milliseconds), and with --send messages (each frame's
// message for the LEDs, one after another) and message_ends (a uint32 a frame, where its message
// ends). 0 for any other name.
extern "C" EMSCRIPTEN_KEEPALIVE std::uint32_t tivrano_preview_value(const char* name) {
    const std::string_view field(name);
    const Frames& frames = shown.frames;
    const std::pair<std::string_view, std::uint32_t> values[] = {
        {"width", static_cast<std::uint32_t>(frames.image_width)},
        {"height", static_cast<std::uint32_t>(frames.image_height)},
        {"leds", static_cast<std::uint32_t>(shown.places.size())},
        {"map", shown.placed->array.layout.places.map ? 1U : 0U},
        {"frames", static_cast<std::uint32_t>(frames.count())},
        {"animation", shown.animation ? 1 : 0},
        {"format", static_cast<std::uint32_t>(shown.format)},
        {"frame_bytes", static_cast<std::uint32_t>(shown.frame_bytes)},
        {"places", address(shown.places.data())},
        {"shown", address(shown.shown.data())},
        {"held", address(shown.held.data())},
        {"delays", address(frames.delay_ms.data())},
        {"messages", address(shown.messages.data())},
        {"message_ends", address(shown.message_ends.data())},
        {"loop", shown.loop},
        {"baud", shown.baud},
    };
    for (const auto& [known, value] : values) {
        if (field == known) {
            return value;
        }
    }
    return 0;
}

// The order of grb's values, or of rgb565's from the top bits: "GRB", "RGB", ...
extern "C" EMSCRIPTEN_KEEPALIVE const char* tivrano_preview_order() {
    return shown.order;
}
