// Words for people: the lines of standard error that say why an input was refused, or what was
// assumed about one that was converted. Each line starts with "tivrano: ".
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <span>
#include <string_view>

#include "messages.hpp"
#include "platform.hpp"
#include "tivrano.hpp"

namespace tivrano {

// Standard output's message for a file that could not be read whole.
inline constexpr std::string_view READ_FAILED = "BMP file could not be read!\n";

void add(Line& line, std::string_view part);

template <typename Number> void add_number(Line& line, Number number) {
    char digits[24];
    const auto result = std::to_chars(std::begin(digits), std::end(digits), number);
    add(line, std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
}

// The line with its line feed, as a complete text.
std::string_view finished(Line& line);

// Writes the finished line to standard error.
void send(Line& line);

// A line about one file: "tivrano: NAME: ", or for a warning "tivrano: warning: NAME: ".
enum class LineKind { reason, warning };
Line about(std::string_view name, LineKind kind = LineKind::reason);

// The message standard output gets for an input that could not be loaded; `line` becomes the
// line that says why.
std::string_view load_failure(std::string_view name, platform::Loaded loaded,
                              const platform::Input& input, Line& line);

// Says that `leds` LEDs draw more than the limit even when dark, by the model.
void explain_current(std::string_view name, std::uint64_t leds, const Colour& colour);

// Says why a loaded file was refused, by its header, by --strict or by a current limit it cannot
// meet, and warns about each header field that says the file is not what it is read as.
void explain(std::string_view name, std::span<const std::uint8_t> bytes, const BmpHeader& header,
             bool strict, const Colour& colour);

} // namespace tivrano
