#include "options.hpp"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include <getopt.h>

#include "formats.hpp"
#include "frames.hpp"
#include "layout.hpp"
#include "messages.hpp"
#include "names.hpp"
#include "numbers.hpp"
#include "platform.hpp"

namespace tivrano {
namespace {

constexpr Range GAMMA_RANGE = {100, 5000};         // thousandths
constexpr Range LED_CURRENT_RANGE = {0, 10000000}; // thousandths of a milliampere
// Far more than any supply, and small enough for the model's sums.
constexpr Range MAX_CURRENT_RANGE = {1, 100000000};
constexpr Range DELAY_RANGE = {0, 65535};
constexpr Range MAX_BYTES_RANGE = {1, std::uint64_t{1} << 62U};
constexpr Range LOOP_RANGE = {0, 1000000};
constexpr Range BAUD_RANGE = {1, 100000000};
constexpr Range TILES_RANGE = {1, 65535};

// What the options' defaults are, in their own words, made from the numbers the core uses.
constexpr Colour DEFAULT_COLOUR{};
constexpr NumberText GAMMA_UNSET = thousandths_text(DEFAULT_COLOUR.gamma_milli[0]);
constexpr NumberText BRIGHTNESS_UNSET = whole_text(DEFAULT_COLOUR.brightness);
constexpr NumberText LED_CURRENT_UNSET =
    NumberText{}.thousandths(std::span<const std::uint32_t>(DEFAULT_COLOUR.led_current_ua));
constexpr NumberText DELAY_UNSET = whole_text(DEFAULT_DELAY_MS);
constexpr ArrayOptions DEFAULT_TEXT{};
constexpr NumberText THRESHOLD_UNSET = whole_text(DEFAULT_TEXT.threshold);

// In --help, "{unset}" in an option's help stands for the option's `unset`.
constexpr OptionInfo OPTIONS[] = {
    {"output", "Write to a file", OPT_OUTPUT, Group::conversion, "FILE",
     "write the text to FILE, which is replaced only by a whole\ntext; refusals still go to "
     "standard output",
     "", "", ""},
    {"order", "Colour order", OPT_ORDER, Group::conversion, "ORDER",
     "the values of a pixel in this order: {unset} (the default),\nrgb, brg, bgr, rbg or gbr",
     "ORDER", "grb|rgb|brg|bgr|rbg|gbr", "grb"},
    {"start", "First LED", OPT_START, Group::conversion, "CORNER",
     "the first LED: {unset} (the default), top-right,\nbottom-left or bottom-right", "START",
     "top-left|top-right|bottom-left|bottom-right", "top-left"},
    {"columns", "Strip along columns", OPT_COLUMNS, Group::conversion, "",
     "the LED strip runs along columns instead of rows", "COLUMNS", "", ""},
    {"serpentine", "Serpentine wiring", OPT_SERPENTINE, Group::conversion, "",
     "every second row (or column) runs the other way", "SERPENTINE", "", ""},
    {"map", "LED map file", OPT_MAP, Group::conversion, "FILE",
     "the LEDs where a map puts them: a grid map (WLED's\nledmap.json), or their positions as "
     "JSON or CSV",
     "MAP", "", ""},
    {"tiles", "Tiled panels", OPT_TILES, Group::conversion, "CxR",
     "the image is C x R panels, each wired as --start,\n--columns and --serpentine say, "
     "chained as the\n--tile- options say",
     "TILES", "", ""},
    {"tile-start", "First panel", OPT_TILE_START, Group::conversion, "CORNER",
     "with --tiles, the first panel: {unset} (the\ndefault), top-right, bottom-left or "
     "bottom-right",
     "TILE_START", "top-left|top-right|bottom-left|bottom-right", "top-left"},
    {"tile-columns", "Panels along columns", OPT_TILE_COLUMNS, Group::conversion, "",
     "with --tiles, the panels are chained along columns", "TILE_COLUMNS", "", ""},
    {"tile-serpentine", "Serpentine panels", OPT_TILE_SERPENTINE, Group::conversion, "",
     "with --tiles, every second row (or column) of panels\nruns the other way", "TILE_SERPENTINE",
     "", ""},
    {"write-map", "Write the layout", OPT_WRITE_MAP, Group::conversion, "FILE",
     "also write the layout, LED by LED, to FILE as a grid\nmap (JSON)", "", "", ""},
    {"format", "Values per LED", OPT_FORMAT, Group::conversion, "FORMAT",
     "what the array holds for an LED: {unset} (the default), its\nthree values; rgb565, a "
     "16-bit value (red or, with\n--order=bgr, blue in the top bits); mono, a bit",
     "FORMAT", "grb|rgb565|mono", "grb"},
    {"swap-bytes", "Swap RGB565 bytes", OPT_SWAP_BYTES, Group::conversion, "",
     "with rgb565, swap the two bytes of every value", "SWAP_BYTES", "", ""},
    {"threshold", "Lit from brightness", OPT_THRESHOLD, Group::conversion, "T",
     "with mono, light an LED whose brightness,\n(299 R + 587 G + 114 B + 500) / 1000, is T "
     "or more:\n1 to 255, {unset} by default",
     "THRESHOLD", "", THRESHOLD_UNSET.view()},
    {"binary", "Bytes, not C text", OPT_BINARY, Group::conversion, "",
     "write the array's bytes instead of C text, rgb565\nlittle-endian; with --pack, a packed "
     "file for the\nstream player",
     "BINARY", "", ""},
    {"name", "Array name", OPT_NAME, Group::conversion, "NAME",
     "name the array NAME, and make the text a source file that\ndefines NAME, NAME_size, "
     "NAME_width and NAME_height",
     "NAME", "", "animationX"},
    {"progmem", "In AVR flash", OPT_PROGMEM, Group::conversion, "",
     "on an AVR, put the array in flash memory (PROGMEM)", "PROGMEM", "", ""},
    {"strict", "Refuse files with warnings", OPT_STRICT, Group::conversion, "",
     "refuse a file that would get a warning", "", "", ""},
    {"max-bytes", "Most bytes stored", OPT_MAX_BYTES, Group::conversion, "N",
     "refuse frames that would store more than N bytes (what\nthe arrays take; an LED buffer's RAM "
     "is not counted)",
     "MAX_BYTES", "", ""},
    {"gamma", "Gamma", OPT_GAMMA, Group::conversion, "G",
     "correct each value for the eye, v -> 255 (v / 255)^G: one\ngamma, or three for red, "
     "green and blue (2.6,2.2,2.5),\nfrom 0.1 to 5.0; 2.8 gives the common gamma8 table",
     "GAMMA", "", GAMMA_UNSET.view()},
    {"brightness", "Brightness, %", OPT_BRIGHTNESS, Group::conversion, "P",
     "then scale every value to P percent, 1 to 100", "BRIGHTNESS", "", BRIGHTNESS_UNSET.view()},
    {"max-current", "Current limit, mA", OPT_MAX_CURRENT, Group::conversion, "MA",
     "then scale all values by one factor, so that the LEDs\ndraw at most MA milliamperes by "
     "a simple model",
     "MAX_CURRENT_MA", "", ""},
    {"led-current", "LED currents, mA", OPT_LED_CURRENT, Group::conversion, "R,G,B,IDLE",
     "the model: milliamperes at full red, green and\nblue, and for an LED when dark ({unset})",
     "LED_CURRENT", "", LED_CURRENT_UNSET.view()},
    {"background", "Background colour", OPT_BACKGROUND, Group::conversion, "RRGGBB",
     "lay a PNG's or GIF's transparency on this\ncolour, in hex: {unset} (black) by default",
     "BACKGROUND", "", "000000"},
    {"first-frame", "First GIF frame only", OPT_FIRST_FRAME, Group::conversion, "",
     "of an animated GIF, take the first frame alone,\nwith --name too", "", "", ""},
    {"check", "Check the options only", OPT_CHECK, Group::conversion, "",
     "check the options and convert nothing; a reason names\nthe CMake functions' keyword", "", "",
     ""},
    {"delay-ms", "Frame delay, ms", OPT_DELAY_MS, Group::animation, "MS",
     "every frame's delay, or one for each: 80 or 80,80,200;\nwith one file, an animation of one "
     "frame",
     "DELAY_MS", "", DELAY_UNSET.view()},
    {"pack", "Packed animation", OPT_PACK, Group::animation, "",
     "store the frames packed, for tivrano_player.h, which plays\nthem on any chip (on an AVR "
     "from flash): fast (the\ndefault); small, in fewer bytes, each frame in more\ncycles; or "
     "auto, the smaller of the two",
     "PACKED", "fast|small|auto", ""},
    {"header", "Header file", OPT_HEADER, Group::animation, "FILE",
     "also write a header declaring what the text defines", "HEADER", "", ""},
    {"send", "Send to a serial port", OPT_SEND, Group::send, "PORT",
     "play the frames on LEDs through the serial port PORT\n(/dev/ttyUSB0, COM3), each for its "
     "delay; no text is\nwritten",
     "", "", ""},
    {"protocol", "Protocol", OPT_PROTOCOL, Group::send, "PROTOCOL",
     "{unset} (the default), each LED red, green, blue;\nor tpm2, a frame's bytes as --binary "
     "writes them",
     "", "adalight|tpm2", "adalight"},
    {"loop", "Times played", OPT_LOOP, Group::send, "N",
     "play the frames N times, {unset} by default; 0: until\ninterrupted", "", "", "1"},
    {"baud", "Baud rate", OPT_BAUD, Group::send, "N", "the port's speed, {unset} baud by default",
     "", "", "115200"},
    {"help", "Help", OPT_HELP, Group::alone, "", "show this help", "", "", ""},
    {"version", "Version", OPT_VERSION, Group::alone, "", "show the version", "", "", ""},
};

const OptionInfo& info(int id) {
    return *std::find_if(std::begin(OPTIONS), std::end(OPTIONS),
                         [id](const OptionInfo& option) { return option.id == id; });
}

// A decimal number with at most `decimals` digits after its point, as a whole number of
// 10^-decimals; nothing for anything else, or for a number outside `range` in those units.
std::optional<std::uint64_t> decimal(std::string_view text, Range range, int decimals) {
    std::uint64_t value = 0;
    std::size_t k = 0;
    for (; k < text.size() && text[k] >= '0' && text[k] <= '9'; ++k) {
        value = value * 10 + static_cast<std::uint64_t>(text[k] - '0');
        if (value > range.most) {
            return std::nullopt;
        }
    }
    if (k == 0) {
        return std::nullopt;
    }
    int fraction = 0;
    if (k < text.size() && text[k] == '.') {
        for (++k; k < text.size() && text[k] >= '0' && text[k] <= '9'; ++k) {
            value = value * 10 + static_cast<std::uint64_t>(text[k] - '0');
            if (++fraction > decimals) {
                return std::nullopt;
            }
        }
        if (fraction == 0) {
            return std::nullopt;
        }
    }
    for (; fraction < decimals; ++fraction) {
        value *= 10;
    }
    const bool taken = k == text.size() && value >= range.least && value <= range.most;
    return taken ? std::optional(value) : std::nullopt;
}

// As many numbers of up to three decimals as `values` holds, parted by commas, as thousandths
// in `range`; false for anything else, leaving `values` as they were.
bool thousandths(std::string_view text, Range range, std::span<std::uint64_t> values) {
    std::uint64_t taken[4] = {};
    for (std::size_t k = 0; k < values.size(); ++k) {
        const std::size_t comma = k + 1 < values.size() ? text.find(',') : text.size();
        const auto value = decimal(text.substr(0, comma), range, 3);
        if (comma == std::string_view::npos || !value) {
            return false;
        }
        taken[k] = *value;
        text.remove_prefix(comma == text.size() ? comma : comma + 1);
    }
    std::copy(taken, taken + values.size(), values.begin());
    return true;
}

const char* take_colour(int option, std::string_view text, Colour& colour) {
    std::uint64_t values[4] = {};
    switch (option) {
    case OPT_GAMMA:
        if (thousandths(text, GAMMA_RANGE, {values, 1})) {
            values[1] = values[2] = values[0];
        } else if (!thousandths(text, GAMMA_RANGE, {values, 3})) {
            return "the gamma is a number from 0.1 to 5.0, or three of them for red, green and "
                   "blue, such as 2.8 or 2.6,2.2,2.5";
        }
        std::copy(values, values + 3, colour.gamma_milli);
        return nullptr;
    case OPT_BRIGHTNESS:
        if (text.ends_with('%')) {
            text.remove_suffix(1);
        }
        if (const auto percent = decimal(text, BRIGHTNESS_RANGE, 0)) {
            colour.brightness = static_cast<std::uint32_t>(*percent);
            return nullptr;
        }
        return "the brightness is a whole percent from 1 to 100";
    case OPT_MAX_CURRENT:
        if (const auto limit = decimal(text, MAX_CURRENT_RANGE, 0)) {
            colour.max_current_ma = *limit;
            return nullptr;
        }
        return "the limit is a whole number of milliamperes, 1 or more";
    default: // OPT_LED_CURRENT
        if (!thousandths(text, LED_CURRENT_RANGE, values)) {
            return "the currents are four numbers of milliamperes, up to 10000: red, green and "
                   "blue at full, and an LED when dark, such as 16,11,15,1";
        }
        std::copy(values, values + 4, colour.led_current_ua);
        return nullptr;
    }
}

// One delay for every frame, or one for each, parted by commas.
const char* parse_delays(std::string_view text, Request& request) {
    request.delay_ms.clear();
    for (;;) {
        const std::size_t comma = text.find(',');
        const auto delay = decimal(text.substr(0, comma), DELAY_RANGE, 0);
        if (!delay) {
            return "the delay is a whole number of milliseconds from 0 to 65535, or one for "
                   "each frame, parted by commas";
        }
        request.delay_ms.push_back(static_cast<std::uint16_t>(*delay));
        if (comma == std::string_view::npos) {
            return nullptr;
        }
        text.remove_prefix(comma + 1);
    }
}

// Six hex digits, red, green and blue, after an optional "#".
bool parse_colour(std::string_view text, Rgb& colour) {
    if (text.starts_with('#')) {
        text.remove_prefix(1);
    }
    if (text.size() != 6) {
        return false;
    }
    Rgb value = 0;
    for (const char c : text) {
        const auto digit = std::string_view("0123456789abcdef")
                               .find(static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c));
        if (digit == std::string_view::npos) {
            return false;
        }
        value = value << 4U | static_cast<Rgb>(digit);
    }
    colour = value;
    return true;
}

// C x R panels: two whole numbers from 1 to 65535, parted by an x.
const char* take_tiles(std::string_view text, Request& request) {
    request.tiles_given = text;
    const std::size_t x = text.find_first_of("xX");
    const auto columns = decimal(text.substr(0, x), TILES_RANGE, 0);
    const auto rows =
        x == std::string_view::npos ? std::nullopt : decimal(text.substr(x + 1), TILES_RANGE, 0);
    if (!columns || !rows) {
        return "the panels are two whole numbers, columns x rows, such as 4x2";
    }
    request.tiles.columns = static_cast<std::int32_t>(*columns);
    request.tiles.rows = static_cast<std::int32_t>(*rows);
    return nullptr;
}

// The LEDs placed by a map, or on tiled panels.
const char* take_layout(int option, const char* text, Request& request) {
    switch (option) {
    case OPT_MAP:
        request.map_path = text;
        return nullptr;
    case OPT_TILES:
        return take_tiles(text, request);
    case OPT_WRITE_MAP:
        request.write_map_path = text;
        return nullptr;
    default: // the --tile- options
        request.tile_option = request.tile_option != 0 ? request.tile_option : option;
        if (option == OPT_TILE_COLUMNS || option == OPT_TILE_SERPENTINE) {
            (option == OPT_TILE_COLUMNS ? request.tiles.chain.columns
                                        : request.tiles.chain.serpentine) = true;
            return nullptr;
        }
        return set_start(request.tiles.chain, text) ? nullptr
                                                    : "the corner is one of top-left, top-right, "
                                                      "bottom-left and bottom-right";
    }
}

// How frames are sent to LEDs: the protocol, the times they are played, the port's speed.
const char* take_sending(int option, std::string_view text, Request& request) {
    if (option == OPT_PROTOCOL) {
        return set_protocol(request.protocol, text) ? nullptr : "the protocol is adalight or tpm2";
    }
    const auto value = decimal(text, option == OPT_LOOP ? LOOP_RANGE : BAUD_RANGE, 0);
    if (!value) {
        return option == OPT_LOOP
                   ? "the times to play are a whole number from 0 (until interrupted) to 1000000"
                   : "the speed is a whole number of baud, such as 115200";
    }
    (option == OPT_LOOP ? request.loop : request.baud) = static_cast<std::uint32_t>(*value);
    return nullptr;
}

// How --pack packs: fast without a value.
Pack pack_of(const char* value) {
    const std::string_view how = value != nullptr ? value : "fast";
    return how == "fast"    ? Pack::fast
           : how == "small" ? Pack::small
           : how == "auto"  ? Pack::smallest
                            : Pack::none;
}

// Takes one option, with its value if it has one, into the request; returns what is wrong with
// it, or nullptr.
const char* take_option(int option, const char* value, Request& request) {
    const char* const text = value != nullptr ? value : "";
    Layout& layout = request.array.layout;
    switch (option) {
    case OPT_OUTPUT:
        request.output_path = text;
        return nullptr;
    case OPT_ORDER:
        request.order_given = text;
        return set_order(layout, text) ? nullptr
                                       : "the order is one of grb, rgb, brg, bgr, rbg and gbr";
    case OPT_FORMAT:
        return set_format(request.array.format, text) ? nullptr
                                                      : "the format is one of grb, rgb565 and mono";
    case OPT_SWAP_BYTES:
        request.array.swap_bytes = true;
        return nullptr;
    case OPT_THRESHOLD:
        request.threshold_given = text;
        if (const auto threshold = decimal(text, THRESHOLD_RANGE, 0)) {
            request.array.threshold = static_cast<std::uint8_t>(*threshold);
            return nullptr;
        }
        return "the threshold is a whole number from 1 to 255";
    case OPT_BINARY:
        request.array.binary = true;
        return nullptr;
    case OPT_START:
        return set_start(layout, text) ? nullptr
                                       : "the corner is one of top-left, top-right, "
                                         "bottom-left and bottom-right";
    case OPT_COLUMNS:
        layout.columns = true;
        return nullptr;
    case OPT_SERPENTINE:
        layout.serpentine = true;
        return nullptr;
    case OPT_MAP:
    case OPT_TILES:
    case OPT_TILE_START:
    case OPT_TILE_COLUMNS:
    case OPT_TILE_SERPENTINE:
    case OPT_WRITE_MAP:
        return take_layout(option, text, request);
    case OPT_NAME: {
        const char* const problem = name_problem(text);
        request.array.name = problem == nullptr ? text : "";
        return problem;
    }
    case OPT_PROGMEM:
        request.array.progmem = true;
        return nullptr;
    case OPT_STRICT:
        request.strict = true;
        return nullptr;
    case OPT_GAMMA:
    case OPT_BRIGHTNESS:
    case OPT_MAX_CURRENT:
    case OPT_LED_CURRENT:
        return take_colour(option, text, request.array.colour);
    case OPT_DELAY_MS:
        request.delay_given = text;
        return parse_delays(text, request);
    case OPT_PACK:
        request.pack = pack_of(value);
        return request.pack != Pack::none ? nullptr : "packed fast (the default), small or auto";
    case OPT_MAX_BYTES:
        request.max_bytes = decimal(text, MAX_BYTES_RANGE, 0);
        return request.max_bytes ? nullptr : "the budget is a whole number of bytes, 1 or more";
    case OPT_HEADER:
        request.header_path = text;
        return nullptr;
    case OPT_CHECK:
        request.check = true;
        return nullptr;
    case OPT_BACKGROUND:
        return parse_colour(text, request.background)
                   ? nullptr
                   : "the background is a colour of six hex digits, red, green and blue, such as "
                     "000000 or 1a2b3c";
    case OPT_FIRST_FRAME:
        request.first_frame = true;
        return nullptr;
    case OPT_SEND:
        request.send_port = text;
        return *text != '\0' ? nullptr : "it needs a port, such as /dev/ttyUSB0 or COM3";
    case OPT_PROTOCOL:
    case OPT_LOOP:
    case OPT_BAUD:
        if (request.send_option == 0) {
            request.send_option = option;
            request.send_value = text;
        }
        return take_sending(option, text, request);
    case OPT_HELP:
    case OPT_VERSION:
        return "it stands alone, without a file or another option";
    default: // ':', a value missing
        return "it needs a value";
    }
}

// Says what is wrong with an option as given, with its value or none: "--start=left" for
// "--start left" too, or with --check the CMake keyword, "START left". An option not in the
// table is named by the argument as it stands.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the value, then the argument it came in
int refuse_given(Sink standard, const Request& request, const OptionInfo* option, const char* value,
                 const char* argument, const char* problem) {
    if (option == nullptr) {
        return refuse_option(standard, argument, problem);
    }
    const char* const shown = value != nullptr ? value : "";
    if (request.check && !option->keyword.empty()) {
        say("tivrano: %.*s%s%s: %s", static_cast<int>(option->keyword.size()),
            option->keyword.data(), *shown != '\0' ? " " : "", shown, problem);
        return FAILED;
    }
    std::string given("--");
    given.append(option->name);
    if (value != nullptr) {
        given.append("=").append(value);
    }
    if (request.check) {
        say("tivrano: %s: %s", given.c_str(), problem);
        return FAILED;
    }
    return refuse_option(standard, given, problem);
}

// --send plays frames and writes no text: the options of a text do not go with it, nor those
// of sending without it. Adalight sends red, green and blue as they are.
int refuse_with_send(Sink standard, const Request& request) {
    const ArrayOptions& text = request.array;
    const auto refused = [&](int id, const char* value, const char* problem) {
        return refuse_given(standard, request, &info(id), value, nullptr, problem);
    };
    if (request.send_port == nullptr) {
        return request.send_option == 0
                   ? 0
                   : refused(request.send_option, request.send_value,
                             "it is for --send, which plays the frames on a serial port");
    }
    constexpr const char* NO_TEXT = "it is for a text, and --send plays the frames on LEDs";
    if (request.output_path != nullptr) {
        return refused(OPT_OUTPUT, request.output_path, NO_TEXT);
    }
    if (request.header_path != nullptr) {
        return refused(OPT_HEADER, request.header_path, NO_TEXT);
    }
    if (!text.name.empty()) {
        return refused(OPT_NAME, text.name.data(), NO_TEXT);
    }
    for (const auto& [given, id] : {std::pair{text.binary, OPT_BINARY},
                                    {request.pack != Pack::none, OPT_PACK},
                                    {text.progmem, OPT_PROGMEM},
                                    {request.max_bytes.has_value(), OPT_MAX_BYTES}}) {
        if (given) {
            return refused(id, nullptr, NO_TEXT);
        }
    }
    if (request.protocol == Protocol::adalight) {
        constexpr const char* RGB = "Adalight sends each LED red, green, blue; --protocol=tpm2 "
                                    "sends the values it makes";
        if (request.order_given != nullptr) {
            return refused(OPT_ORDER, request.order_given, RGB);
        }
        if (text.format != Format::grb) {
            return refused(OPT_FORMAT, format_name(text.format).data(), RGB);
        }
    }
    return 0;
}

// Options right on their own that do not go together are refused as the one that does not
// fit; rgb565 without an order takes rgb.
int take_together(Sink standard, Request& request) {
    ArrayOptions& text = request.array;
    const std::string_view order = text.layout.order_name;
    const char* const format = format_name(text.format).data(); // ends in a 0
    const char* const other_format = text.format == Format::grb ? "grb (the default)" : format;
    const auto refused = [&](int id, const char* value, const char* problem) {
        return refuse_given(standard, request, &info(id), value, nullptr, problem);
    };
    if (text.format == Format::rgb565 && request.order_given == nullptr) {
        set_order(text.layout, "rgb");
    } else if (text.format == Format::rgb565 && order != "RGB" && order != "BGR") {
        return refused(OPT_ORDER, request.order_given,
                       "rgb565 values take the order rgb (the default) or bgr");
    }
    if (text.format == Format::mono && request.order_given != nullptr) {
        return refused(OPT_ORDER, request.order_given,
                       "mono values are one bit an LED, which no order changes");
    }
    if (text.swap_bytes && text.format != Format::rgb565) {
        const Phrase problem =
            phrase("it swaps the two bytes of rgb565 values, and the format is %s", other_format);
        return refused(OPT_SWAP_BYTES, nullptr, problem.text);
    }
    if (request.threshold_given != nullptr && text.format != Format::mono) {
        const Phrase problem = phrase("it is for mono, and the format is %s", other_format);
        return refused(OPT_THRESHOLD, request.threshold_given, problem.text);
    }
    if (request.tiles.columns != 0 && request.map_path != nullptr) {
        return refused(OPT_TILES, request.tiles_given.c_str(),
                       "a map places every LED, so it and --map exclude each other");
    }
    if (request.tile_option != 0 && request.tiles.columns == 0) {
        const char* const corner = corner_name(request.tiles.chain.start).data();
        return refused(request.tile_option,
                       request.tile_option == OPT_TILE_START ? corner : nullptr,
                       "it is for --tiles, which parts the image into panels");
    }
    if (int problem = refuse_with_send(standard, request); problem != 0) {
        return problem;
    }
    if (text.binary && request.header_path != nullptr) {
        return refused(OPT_HEADER, request.header_path,
                       "binary output has no text for a header to declare");
    }
    if (text.binary && text.progmem) {
        return refused(OPT_PROGMEM, nullptr, "binary output has no array to put in flash memory");
    }
    return 0;
}

// The option's first column in --help: "  -o, --output=FILE", "      --columns".
std::string help_column(const OptionInfo& option) {
    std::string column(6, ' ');
    if (option.id < 256) {
        column.replace(2, 2, {'-', static_cast<char>(option.id)});
        column[4] = ',';
    }
    column.append("--").append(option.name);
    if (!option.value.empty()) {
        column.append("=").append(option.value);
    } else if (!option.choices.empty()) {
        column.append("[=KIND]");
    }
    return column;
}

// An option's lines in --help: its column, then its help, which starts in column 22 and goes
// on there, or two blanks after a longer column.
void add_help(std::string& help, const OptionInfo& option) {
    constexpr std::size_t HELP_COLUMN = 22;
    std::string column = help_column(option);
    column.append(column.size() + 2 <= HELP_COLUMN ? HELP_COLUMN - column.size() : 2, ' ');
    help += column;
    for (const char c : option_help(option)) {
        help += c;
        if (c == '\n') {
            help.append(HELP_COLUMN, ' ');
        }
    }
    help += '\n';
}

} // namespace

std::span<const OptionInfo> option_table() {
    return OPTIONS;
}

std::string option_help(const OptionInfo& option) {
    std::string text(option.help);
    if (const auto unset = text.find("{unset}"); unset != std::string::npos) {
        text.replace(unset, 7, option.unset);
    }
    return text;
}

int print_help(Sink sink) {
    std::string help = "Usage: tivrano [OPTION]... FILE.bmp > FILE.c\n"
                       "       tivrano [OPTION]... - < FILE.bmp > FILE.c\n"
                       "       tivrano --name=NAME [OPTION]... FRAME.bmp... > NAME.c\n"
                       "       tivrano --send=PORT [OPTION]... FRAME.bmp...\n"
                       "       tivrano --help | --version\n"
                       "\n"
                       "Turns an uncompressed 24-bit BMP image into C source text: a comment "
                       "with its\nwidth and height, and the array animationX holding every "
                       "pixel as green, red,\nblue values, top row first, eight pixels to a "
                       "line.\nA PNG or GIF is read as the BMP of its pixels; an animated GIF "
                       "with --name\nis an animation.\n\nFILE.bmp is read whole, at most ";
    help += std::to_string(MAX_FILE_SIZE);
    help += " bytes; - reads standard input. The\n"
            "text goes to standard output, and the exit status is 0. On failure, standard\n"
            "output gets a one-line message instead, standard error says why, and the exit\n"
            "status is 255 (-1 on Windows). Warnings about a file that is not a plain 24-bit\n"
            "BMP go to standard error. A file named like an option is reached as ./--help.\n"
            "\nOptions:\n";
    for (const Group group : {Group::conversion, Group::animation, Group::send, Group::alone}) {
        if (group == Group::send) {
            help.append("\nWith --send, the frames play on LEDs, a board showing what the port "
                        "brings:\n");
        } else if (group == Group::animation) {
            help.append("\nWith --name, several files are the frames of one animation, in the "
                        "order given,\neach frame shown for ")
                .append(info(OPT_DELAY_MS).unset)
                .append(" ms unless said otherwise; frames alike are stored once:\n");
        } else if (group == Group::alone) {
            help += '\n';
        }
        for (const OptionInfo& option : OPTIONS) {
            if (option.group == group) {
                add_help(help, option);
            }
        }
    }
    help += "\nPNG and GIF files are read as they are: save an image of another format as PNG.\n\n";
    help += platform::MORE_HELP;
    help += " tells more.\n";
    return sink.write(sink.context, help.data(), help.size()) ? 0 : FAILED;
}

namespace {

// Whether id is a long option's that takes no value.
bool takes_no_value(int id) {
    return std::any_of(std::begin(OPTIONS), std::end(OPTIONS), [id](const OptionInfo& option) {
        return option.id == id && option.value.empty() && option.choices.empty();
    });
}

// The long options that an abbreviation given as --START or --START=VALUE may be, as "--a, --b
// or --c", where there are more than one (getopt_long takes one); empty, where there are not.
std::string options_starting(std::string_view given) {
    std::string those;
    if (!given.starts_with("--") || given.size() == 2 || given[2] == '=') {
        return those;
    }
    const std::string_view start = given.substr(2, given.find('=') - 2);
    std::size_t last = 0;
    for (const OptionInfo& option : OPTIONS) {
        if (option.name.starts_with(start)) {
            last = those.size();
            those.append(those.empty() ? "--" : ", --").append(option.name);
        }
    }
    if (last == 0) {
        return {};
    }
    return those.replace(last, 1, " or");
}

// What getopt_long refused: an unknown option ('?'), or a long one given a value it takes none
// of ('?' from glibc, ':' from the BSDs and MinGW, its id in optopt). 0 for anything else, a
// missing value among them, which take_option names.
int refuse_unknown(int got, char** argv, Sink standard) {
    if ((got == '?' || got == ':') && takes_no_value(optopt)) {
        return refuse_option(standard, argv[optind - 1], "it takes no value");
    }
    if (got != '?') {
        return 0;
    }
    // An unknown short option is one letter of its argument; a long one is all of it.
    const char letter[] = {'-', static_cast<char>(optopt), '\0'};
    const std::string_view given = optopt != 0 ? letter : argv[optind - 1];
    if (const std::string those = options_starting(given); !those.empty()) {
        return refuse_option(standard, given, "it may be " + those);
    }
    return refuse_option(standard, given, {});
}

} // namespace

int take_options(int argc, char** argv, Sink standard, Request& request) {
    static const auto LONG_OPTIONS = [] {
        std::array<option, std::size(OPTIONS) + 1> table{};
        for (std::size_t k = 0; k < std::size(OPTIONS); ++k) {
            // A flag with choices may take one of them.
            const bool takes = !OPTIONS[k].value.empty();
            const bool may_take = !OPTIONS[k].choices.empty();
            table[k] = {OPTIONS[k].name.data(),
                        takes      ? required_argument
                        : may_take ? optional_argument
                                   : no_argument,
                        nullptr, OPTIONS[k].id};
        }
        return table;
    }();
    opterr = 0; // every message here is the tool's own
    optind = 0; // a full reset, should the tool run more than once in a process (the page)
    int index = -1;
    for (int got = 0; (got = getopt_long(argc, argv, ":o:h", LONG_OPTIONS.data(), &index)) != -1;
         index = -1) {
        if (const int refused = refuse_unknown(got, argv, standard); refused != 0) {
            return refused;
        }
        if (const char* problem = take_option(got, optarg, request); problem != nullptr) {
            // -h may lead a group of letters, whose argument getopt has not passed yet.
            return refuse_given(standard, request, index >= 0 ? &OPTIONS[index] : nullptr, optarg,
                                index < 0 && got == OPT_HELP ? "-h" : argv[optind - 1], problem);
        }
    }
    if (const int problem = take_together(standard, request); problem != 0) {
        return problem;
    }
    return load_map(request, standard);
}

} // namespace tivrano
