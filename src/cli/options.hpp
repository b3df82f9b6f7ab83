// The options, one row each: the one place that says what the tool takes. The command line
// parses with it, --help is written from it, the page draws its controls from it, and the
// CMake functions hand their keywords to the tool's --check, which words its reasons with it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "request.hpp"
#include "shell.hpp"

namespace tivrano {

// What getopt_long returns for each option: its letter, or a number past every character.
enum OptionId : int {
    OPT_OUTPUT = 'o',
    OPT_HELP = 'h',
    OPT_ORDER = 256,
    OPT_START,
    OPT_COLUMNS,
    OPT_SERPENTINE,
    OPT_MAP,
    OPT_TILES,
    OPT_TILE_START,
    OPT_TILE_COLUMNS,
    OPT_TILE_SERPENTINE,
    OPT_WRITE_MAP,
    OPT_NAME,
    OPT_PROGMEM,
    OPT_STRICT,
    OPT_GAMMA,
    OPT_BRIGHTNESS,
    OPT_MAX_CURRENT,
    OPT_LED_CURRENT,
    OPT_DELAY_MS,
    OPT_PACK,
    OPT_MAX_BYTES,
    OPT_HEADER,
    OPT_CHECK,
    OPT_BACKGROUND,
    OPT_FIRST_FRAME,
    OPT_FORMAT,
    OPT_SWAP_BYTES,
    OPT_THRESHOLD,
    OPT_BINARY,
    OPT_SEND,
    OPT_PROTOCOL,
    OPT_LOOP,
    OPT_BAUD,
    OPT_VERSION,
};

// Where an option stands in --help: for every conversion, for animations, for frames sent to
// LEDs, or alone.
enum class Group : std::uint8_t { conversion, animation, send, alone };

struct OptionInfo {
    std::string_view name;  // the long option, without "--"
    std::string_view label; // a few words for it, which the page shows beside its name
    int id;                 // OptionId
    Group group;
    std::string_view value;   // what its value is called in --help ("ORDER"); empty: a flag
    std::string_view help;    // its lines in --help, parted by "\n"
    std::string_view keyword; // the CMake functions' keyword for it; empty: none
    std::string_view choices; // the values it takes, parted by "|", for a choice
    std::string_view unset;   // what the tool does without it, in the value's own words
};

// The values a number may take, both included.
struct Range {
    std::uint64_t least;
    std::uint64_t most;
};

// The whole numbers of --brightness and --threshold, which the page's number fields take too.
inline constexpr Range BRIGHTNESS_RANGE = {1, 100};
inline constexpr Range THRESHOLD_RANGE = {1, 255};

// Every option, in the order --help lists them.
std::span<const OptionInfo> option_table();

// An option's help as --help words it, with its `unset` in place, its lines parted by "\n".
std::string option_help(const OptionInfo& option);

// Takes the options into `request`; a wrong one gets the usage message on standard output and
// what is wrong on standard error, or with --check only the latter, worded with the CMake
// keyword; FAILED is returned. Leaves optind at the first file.
int take_options(int argc, char** argv, Sink standard, Request& request);

// The help, written from the table.
int print_help(Sink sink);

} // namespace tivrano
