// tivrano [OPTION]... FILE: writes the C source text for one BMP image to standard output, or
// with -o to a file.
//
// Standard output and the exit status are what scripts and builds rely on: the text, or on any
// failure one message line in its place and status 255. Standard error is for people: the
// reason for a refusal, and warnings about a file that is not what it is read as.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include <getopt.h>

#include "explain.hpp"
#include "names.hpp"
#include "platform.hpp"
#include "request.hpp"
#include "tivrano.hpp"

namespace tivrano {
namespace {

// The largest current limit taken, in milliamperes: far more than any supply, and small enough
// for the model's sums.
constexpr std::uint64_t MAX_CURRENT_LIMIT = 100000000;

constexpr std::string_view VERSION = "tivrano " TIVRANO_VERSION "\n";
// Followed by where to read more, and " tells more, and how to make a plain 24-bit BMP.".
constexpr std::string_view HELP =
    "Usage: tivrano [OPTION]... FILE.bmp > FILE.c\n"
    "       tivrano [OPTION]... - < FILE.bmp > FILE.c\n"
    "       tivrano --name=NAME [OPTION]... FRAME.bmp... > NAME.c\n"
    "       tivrano --help | --version\n"
    "\n"
    "Turns an uncompressed 24-bit BMP image into C source text: a comment with its\n"
    "width and height, and the array animationX holding every pixel as green, red,\n"
    "blue values, top row first, eight pixels to a line.\n"
    "\n"
    "FILE.bmp is read whole, at most 1000000 bytes; - reads standard input. The\n"
    "text goes to standard output, and the exit status is 0. On failure, standard\n"
    "output gets a one-line message instead, standard error says why, and the exit\n"
    "status is 255 (-1 on Windows). Warnings about a file that is not a plain 24-bit\n"
    "BMP go to standard error. A file named like an option is reached as ./--help.\n"
    "\n"
    "Options:\n"
    "  -o, --output=FILE   write the text to FILE, which is replaced only by a whole\n"
    "                      text; refusals still go to standard output\n"
    "      --order=ORDER   the values of a pixel in this order: grb (the default),\n"
    "                      rgb, brg, bgr, rbg or gbr\n"
    "      --start=CORNER  the first LED: top-left (the default), top-right,\n"
    "                      bottom-left or bottom-right\n"
    "      --columns       the LED strip runs along columns instead of rows\n"
    "      --serpentine    every second row (or column) runs the other way\n"
    "      --name=NAME     name the array NAME, and make the text a source file that\n"
    "                      defines NAME, NAME_size, NAME_width and NAME_height\n"
    "      --progmem       on an AVR, put the array in flash memory (PROGMEM)\n"
    "      --strict        refuse a file that would get a warning\n"
    "      --max-bytes=N   refuse frames that would store more than N bytes\n"
    "      --gamma=G       correct each value for the eye, v -> 255 (v / 255)^G: one\n"
    "                      gamma, or three for red, green and blue (2.6,2.2,2.5),\n"
    "                      from 0.1 to 5.0; 2.8 gives the common gamma8 table\n"
    "      --brightness=P  then scale every value to P percent, 1 to 100\n"
    "      --max-current=MA  then scale all values by one factor, so that the LEDs\n"
    "                      draw at most MA milliamperes by a simple model\n"
    "      --led-current=R,G,B,IDLE  the model: milliamperes at full red, green and\n"
    "                      blue, and for an LED when dark (16,11,15,1)\n"
    "\n"
    "With --name, several files are the frames of one animation, in the order given,\n"
    "each frame shown for 100 ms unless said otherwise; frames alike are stored once:\n"
    "      --delay-ms=MS   every frame's delay, or one for each: 80 or 80,80,200\n"
    "      --pack          store the frames packed, for tivrano_player.h, which plays\n"
    "                      them on any chip (on an AVR from flash); one file may be\n"
    "                      an animation of one frame\n"
    "      --header=FILE   also write a header declaring what the text defines\n"
    "\n"
    "  -h, --help          show this help\n"
    "      --version       show the version\n"
    "\n"
    "A plain 24-bit BMP: magick in.png -type TrueColor BMP3:out.bmp (ImageMagick 7;\n"
    "with ImageMagick 6, convert instead of magick).\n"
    "\n";
constexpr std::string_view HELP_END = " tells more.";

int convert_file(const char* path, std::string_view name, const Request& request,
                 Outputs& outputs) {
    const Sink standard{write_to, &outputs.standard};
    Line cut_short;
    platform::Input input;
    if (load_input(path, name, standard, cut_short, input) != 0) {
        return FAILED;
    }
    // A file that is refused gets its message on standard output, never in the output file;
    // so does one --strict refuses, and one over --max-bytes.
    const BmpHeader header = read_bmp_header(input.bytes);
    const bool accepted = header.verdict == Verdict::accepted;
    const std::uint64_t stored = 3 * pixel_count(header);
    int result = FAILED;
    if (accepted && request.strict && !is_plain_bmp(header)) {
        result = refuse(standard, NOT_STRICT);
    } else if (accepted && request.max_bytes && stored > *request.max_bytes) {
        result = refuse(standard, OVER_MAX_BYTES);
        Line line = about(name);
        add_number(line, stored);
        add(line, " bytes stored, more than --max-bytes=");
        add_number(line, *request.max_bytes);
        add(line, " allows; --name with --pack may store fewer");
        send(line);
    } else if (!accepted || !within_reach(pixel_count(header), request.text.colour)) {
        result = convert_bmp(header, input.bytes, standard, request.text);
    } else {
        result = deliver(standard, request.output_path, outputs.file, [&](Sink sink) {
            return convert_bmp(header, input.bytes, sink, request.text);
        });
    }
    explain(name, input.bytes, header, request.strict, request.text.colour);
    platform::release(input);
    return result;
}

int refuse_arguments(Sink sink, int count) {
    const int refused = refuse(sink, USAGE);
    Line line;
    if (count <= 0) {
        add(line, "tivrano: no file named; ");
    } else {
        add(line, "tivrano: ");
        add_number(line, count);
        add(line, " arguments, but one file is converted per call (quote a name with blanks); ");
    }
    add(line, "call it as: tivrano FILE.bmp > FILE.c, or see tivrano --help");
    send(line);
    return refused;
}

} // namespace

bool write_to(void* context, const char* bytes, std::size_t size) {
    auto& output = *static_cast<Output*>(context);
    if (output.error != 0) {
        return false;
    }
    return output.file != nullptr ? platform::write_file(*output.file, bytes, size, output.error)
                                  : platform::write_stdout(bytes, size, output.error);
}

int refuse(Sink sink, std::string_view message) {
    sink.write(sink.context, message.data(), message.size());
    return FAILED;
}

int load_input(const char* path, std::string_view name, Sink standard, Line& cut_short,
               platform::Input& input) {
    cut_short = about(name);
    add(cut_short, "the file was cut short by another program while it was converted");
    const platform::Loaded loaded = platform::load(path, {READ_FAILED, finished(cut_short)}, input);
    if (loaded == platform::Loaded::bytes) {
        return 0;
    }
    Line reason;
    const int refused = refuse(standard, load_failure(name, loaded, input, reason));
    send(reason);
    return refused;
}

int refuse_option(Sink sink, std::string_view option, std::string_view problem) {
    const int refused = refuse(sink, USAGE);
    Line line;
    add(line, "tivrano: ");
    add(line, option);
    add(line, ": ");
    if (!problem.empty()) {
        add(line, problem);
    } else {
        add(line, "no such option; a file of that name is ./");
        add(line, option);
    }
    add(line, "; see tivrano --help");
    send(line);
    return refused;
}

namespace {

int print(Sink sink, std::string_view text) {
    return sink.write(sink.context, text.data(), text.size()) ? 0 : FAILED;
}

// The long options without a letter of their own.
enum LongOption : int {
    OPT_ORDER = 256,
    OPT_START,
    OPT_COLUMNS,
    OPT_SERPENTINE,
    OPT_NAME,
    OPT_PROGMEM,
    OPT_STRICT,
    OPT_VERSION,
    OPT_GAMMA,
    OPT_BRIGHTNESS,
    OPT_MAX_CURRENT,
    OPT_LED_CURRENT,
    OPT_DELAY_MS,
    OPT_PACK,
    OPT_MAX_BYTES,
    OPT_HEADER,
};

// The values a number may take, both included.
struct Range {
    std::uint64_t least;
    std::uint64_t most;
};

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
    constexpr Range GAMMA = {100, 5000};
    std::uint64_t values[4] = {};
    switch (option) {
    case OPT_GAMMA:
        if (thousandths(text, GAMMA, {values, 1})) {
            values[1] = values[2] = values[0];
        } else if (!thousandths(text, GAMMA, {values, 3})) {
            return "the gamma is a number from 0.1 to 5.0, or three of them for red, green and "
                   "blue, such as 2.8 or 2.6,2.2,2.5";
        }
        std::copy(values, values + 3, colour.gamma_milli);
        return nullptr;
    case OPT_BRIGHTNESS:
        if (text.ends_with('%')) {
            text.remove_suffix(1);
        }
        if (const auto percent = decimal(text, {1, 100}, 0)) {
            colour.brightness = static_cast<std::uint32_t>(*percent);
            return nullptr;
        }
        return "the brightness is a whole percent from 1 to 100";
    case OPT_MAX_CURRENT:
        if (const auto limit = decimal(text, {1, MAX_CURRENT_LIMIT}, 0)) {
            colour.max_current_ma = *limit;
            return nullptr;
        }
        return "the limit is a whole number of milliamperes, 1 or more";
    default: // OPT_LED_CURRENT
        if (!thousandths(text, {0, 10000000}, values)) {
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
        const auto delay = decimal(text.substr(0, comma), {0, 65535}, 0);
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

// Takes one option, with its value if it has one, into the request; returns what is wrong with
// it, or nullptr.
const char* take_option(int option, const char* value, Request& request) {
    const char* const text = value != nullptr ? value : "";
    Layout& layout = request.text.layout;
    switch (option) {
    case 'o':
        request.output_path = text;
        return nullptr;
    case OPT_ORDER:
        return set_order(layout, text) ? nullptr
                                       : "the order is one of grb, rgb, brg, bgr, rbg and gbr";
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
    case OPT_NAME: {
        const char* const problem = name_problem(text);
        request.text.name = problem == nullptr ? text : "";
        return problem;
    }
    case OPT_PROGMEM:
        request.text.progmem = true;
        return nullptr;
    case OPT_STRICT:
        request.strict = true;
        return nullptr;
    case OPT_GAMMA:
    case OPT_BRIGHTNESS:
    case OPT_MAX_CURRENT:
    case OPT_LED_CURRENT:
        return take_colour(option, text, request.text.colour);
    case OPT_DELAY_MS:
        request.delay_given = text;
        return parse_delays(text, request);
    case OPT_PACK:
        request.pack = true;
        return nullptr;
    case OPT_MAX_BYTES:
        request.max_bytes = decimal(text, {1, std::uint64_t{1} << 62U}, 0);
        return request.max_bytes ? nullptr : "the budget is a whole number of bytes, 1 or more";
    case OPT_HEADER:
        request.header_path = text;
        return nullptr;
    case 'h':
    case OPT_VERSION:
        return "it stands alone, without a file";
    default: // ':', a value missing
        return "it needs a value";
    }
}

// The option as given, with its value: "--start=left" for "--start left" too. A short option
// is the argument as it stands.
Line as_given(const option* long_option, const char* argument) {
    Line given;
    if (long_option == nullptr) {
        add(given, argument);
        return given;
    }
    add(given, "--");
    add(given, long_option->name);
    if (optarg != nullptr) {
        add(given, "=");
        add(given, optarg);
    }
    return given;
}

int print_help(Sink sink) {
    Line more;
    add(more, platform::MORE_HELP);
    add(more, HELP_END);
    return print(sink, HELP) == 0 ? print(sink, finished(more)) : FAILED;
}

// Takes the options into `request`; a wrong one gets the usage message on standard output and
// what is wrong on standard error, and FAILED is returned. Leaves optind at the first file.
int take_options(int argc, char** argv, Sink standard, Request& request) {
    static const option OPTIONS[] = {
        {"output", required_argument, nullptr, 'o'},
        {"order", required_argument, nullptr, OPT_ORDER},
        {"start", required_argument, nullptr, OPT_START},
        {"columns", no_argument, nullptr, OPT_COLUMNS},
        {"serpentine", no_argument, nullptr, OPT_SERPENTINE},
        {"name", required_argument, nullptr, OPT_NAME},
        {"progmem", no_argument, nullptr, OPT_PROGMEM},
        {"strict", no_argument, nullptr, OPT_STRICT},
        {"gamma", required_argument, nullptr, OPT_GAMMA},
        {"brightness", required_argument, nullptr, OPT_BRIGHTNESS},
        {"max-current", required_argument, nullptr, OPT_MAX_CURRENT},
        {"led-current", required_argument, nullptr, OPT_LED_CURRENT},
        {"delay-ms", required_argument, nullptr, OPT_DELAY_MS},
        {"pack", no_argument, nullptr, OPT_PACK},
        {"max-bytes", required_argument, nullptr, OPT_MAX_BYTES},
        {"header", required_argument, nullptr, OPT_HEADER},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, OPT_VERSION},
        {nullptr, 0, nullptr, 0},
    };
    opterr = 0; // every message here is the tool's own
    optind = 1; // from the start, should the tool run more than once in a process (the page)
    int index = -1;
    for (int got = 0; (got = getopt_long(argc, argv, ":o:h", OPTIONS, &index)) != -1; index = -1) {
        if (got == '?') {
            // An unknown short option is one letter of its argument; a long one is all of it.
            const char letter[] = {'-', static_cast<char>(optopt), '\0'};
            return refuse_option(standard,
                                 optopt != 0 ? std::string_view(letter, 2) : argv[optind - 1], {});
        }
        if (const char* problem = take_option(got, optarg, request); problem != nullptr) {
            Line given = as_given(index >= 0 ? &OPTIONS[index] : nullptr, argv[optind - 1]);
            return refuse_option(standard, {given.text, given.size}, problem);
        }
    }
    return 0;
}

int dispatch(int argc, char** argv, Outputs& outputs) {
    const Sink standard{write_to, &outputs.standard};
    const std::string_view only = argc == 2 ? argv[1] : "";
    if (only == "--help" || only == "-h" || platform::is_help_alias(only)) {
        return print_help(standard);
    }
    if (only == "--version") {
        return print(standard, VERSION);
    }
    Request request;
    if (take_options(argc, argv, standard, request) != 0) {
        return FAILED;
    }
    // Several files with a name, or one with --pack, are the frames of an animation.
    const int files = argc - optind;
    const bool animation = !request.text.name.empty() && (files > 1 || request.pack);
    if (files < 1 || (files > 1 && !animation)) {
        return refuse_arguments(standard, files);
    }
    if (request.pack && request.text.name.empty()) {
        return refuse_option(standard, "--pack", "it needs --name, the animation's name");
    }
    if (!animation && (request.delay_given != nullptr || request.header_path != nullptr)) {
        Line given;
        add(given, request.delay_given != nullptr ? "--delay-ms=" : "--header=");
        add(given, request.delay_given != nullptr ? request.delay_given : request.header_path);
        return refuse_option(standard, {given.text, given.size},
                             "it is for an animation: --name with two or more files, or --pack");
    }
    if (animation) {
        return convert_animation({argv + optind, static_cast<std::size_t>(files)}, request,
                                 outputs);
    }
    const char* const path = argv[optind];
    if (std::string_view(path) == "-") {
        return convert_file(nullptr, "standard input", request, outputs);
    }
    return convert_file(path, path, request, outputs);
}

void report_failed_write(std::string_view what, int error) {
    Line line;
    add(line, "tivrano: cannot write ");
    add(line, what);
    add(line, ": ");
    add(line, platform::error_text(error));
    send(line);
}

} // namespace

int run(int argc, char** argv) {
    Outputs outputs;
    const int result = dispatch(argc, argv, outputs);
    bool failed = false;
    for (const Output* output : {&outputs.header, &outputs.file, &outputs.standard}) {
        if (output->error != 0) {
            report_failed_write(output->name != nullptr ? output->name : "standard output",
                                output->error);
            failed = true;
        }
    }
    return failed ? FAILED : result;
}

} // namespace tivrano
