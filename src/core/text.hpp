// The pieces of the generated text: values from a table into a buffer of fixed size, handed to
// the sink in chunks, and the comment, declarations and definitions around them.
#pragma once

#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <span>
#include <string_view>

#include "tivrano.hpp"

namespace tivrano::text {

constexpr std::string_view ARRAY_TYPE = "const uint8_t ";
constexpr std::string_view WIDE_ARRAY_TYPE = "const uint16_t ";

// The type of the array's elements for the format: ARRAY_TYPE, or WIDE_ARRAY_TYPE for rgb565.
constexpr std::string_view array_type(Format format) {
    return format == Format::rgb565 ? WIDE_ARRAY_TYPE : ARRAY_TYPE;
}
constexpr std::string_view DEFAULT_NAME = "animationX";
constexpr std::string_view ARRAY_OPENING = "[] = {\r\n    ";
constexpr std::string_view PROGMEM_ARRAY_OPENING = "[] PROGMEM = {\r\n    ";
// PROGMEM is avr-libc's; other cores either define it themselves or need nothing.
constexpr std::string_view PROGMEM_PROLOGUE = "#ifdef __AVR__\r\n"
                                              "#include <avr/pgmspace.h>\r\n"
                                              "#endif\r\n"
                                              "#ifndef PROGMEM\r\n"
                                              "#define PROGMEM\r\n"
                                              "#endif\r\n";
constexpr std::string_view LINE_BREAK = "\r\n    ";
// Kept byte for byte, the line feed before the carriage return: texts already made end so.
constexpr std::string_view ARRAY_CLOSING = "};\n\r";
constexpr std::string_view NAMED_ARRAY_CLOSING = "};\r\n";
constexpr std::string_view C_LINKAGE = "#ifdef __cplusplus\r\nextern \"C\" {\r\n#endif\r\n";
constexpr std::string_view C_LINKAGE_END = "#ifdef __cplusplus\r\n}\r\n#endif\r\n";

// Every byte value as "%3d, " in a slot of eight bytes, so that a value is stored with one
// fixed-size copy; the three bytes beyond its text are overwritten by whatever comes next.
constexpr std::size_t VALUE_TEXT_SIZE = 5;
constexpr std::size_t VALUE_SLOT_SIZE = 8;
using ValueSlot = std::array<char, VALUE_SLOT_SIZE>;

constexpr std::array<ValueSlot, 256> make_value_text() {
    std::array<ValueSlot, 256> table{};
    for (std::size_t value = 0; value < table.size(); ++value) {
        ValueSlot& slot = table[value];
        slot[0] = value >= 100 ? static_cast<char>('0' + value / 100) : ' ';
        slot[1] = value >= 10 ? static_cast<char>('0' + value / 10 % 10) : ' ';
        slot[2] = static_cast<char>('0' + value % 10);
        slot[3] = ',';
        slot[4] = ' ';
    }
    return table;
}

inline constexpr std::array<ValueSlot, 256> VALUE_TEXT = make_value_text();

// Every byte value as two upper-case hex digits.
constexpr std::array<std::array<char, 2>, 256> make_hex_text() {
    std::array<std::array<char, 2>, 256> table{};
    constexpr std::string_view DIGITS = "0123456789ABCDEF";
    for (std::size_t value = 0; value < table.size(); ++value) {
        table[value] = {DIGITS[value / 16], DIGITS[value % 16]};
    }
    return table;
}

inline constexpr std::array<std::array<char, 2>, 256> HEX_TEXT = make_hex_text();

// Buffer room one pixel may take: its triple, a line break after it, and the overhang of the
// last slot copy, which the line break covers.
constexpr std::size_t TRIPLE_TEXT_SIZE = 3 * VALUE_TEXT_SIZE;
constexpr std::ptrdiff_t PIXEL_ROOM = TRIPLE_TEXT_SIZE + LINE_BREAK.size();
static_assert(LINE_BREAK.size() >= VALUE_SLOT_SIZE - VALUE_TEXT_SIZE);

struct Writer {
    Sink sink;
    bool failed = false;
    std::size_t used = 0;
    char buffer[OUTPUT_BUFFER_SIZE];
};

void flush(Writer& out);

// Every fixed text is far shorter than the buffer, and so is a name (see name_problem).
inline void put(Writer& out, std::string_view part) {
    if (part.empty()) {
        return; // an empty view may hold no pointer, which memcpy does not take
    }
    if (OUTPUT_BUFFER_SIZE - out.used < part.size()) {
        flush(out);
    }
    std::memcpy(out.buffer + out.used, part.data(), part.size());
    out.used += part.size();
}

template <typename Integer> void put_number(Writer& out, Integer value) {
    char digits[24];
    const auto result = std::to_chars(std::begin(digits), std::end(digits), value);
    put(out, std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
}

// A number of thousandths with the digits it needs: 2800 is "2.8", 2000 is "2".
void put_thousandths(Writer& out, std::uint64_t value);

// The description comment: the dimensions, the channel order, any wiring but the plain one,
// what the colour options did (with a plan), and `more` lines.
void put_comment(Writer& out, std::int32_t width, std::int32_t height, const ArrayOptions& options,
                 const ColourPlan* plan, std::string_view more = {});

// The declarations of a frame's four names, ahead of their definitions, so that they get
// external linkage, with C linkage when compiled as C++, as a header declaring them expects.
void put_frame_declarations(Writer& out, std::string_view name, Format format);
void put_frame_definitions(Writer& out, std::string_view name, std::int32_t width,
                           std::int32_t height);

// Bytes as the values of an array, PIXEL_PER_LINE triples a line, each line after the opening
// started by LINE_BREAK; `j` counts the triples since the last line break.
void put_values(Writer& out, std::span<const std::uint8_t> bytes, int& j);

// Values of rgb565 or mono from the bytes `encode` makes: rgb565 as 16-bit values in hex
// ("0xF800, "), PIXEL_PER_LINE a line; mono as bytes in hex ("0x3C, "), each strip line of
// `line_bytes` bytes starting a line of its own, at most MONO_BYTES_PER_LINE a line. A line
// break comes between two lines, after the opening's first; `count` counts the values of the
// array written so far.
inline constexpr std::uint64_t MONO_BYTES_PER_LINE = 16;
void put_encoded(Writer& out, Format format, std::span<const std::uint8_t> bytes,
                 std::uint64_t line_bytes, std::uint64_t& count);

// The bytes themselves, for --binary.
void put_bytes(Writer& out, std::span<const std::uint8_t> bytes);

} // namespace tivrano::text
