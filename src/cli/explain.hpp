// Words for people: the lines of standard error that say why an input was refused, or what was
// assumed about one that was converted. Each line starts with "tivrano: ".
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "frames.hpp"
#include "intake.hpp"
#include "messages.hpp"
#include "platform.hpp"
#include "tivrano.hpp"

namespace tivrano {

// In every line below, a file is named by its path as given, or "standard input"; an
// animation by its name.

// Standard output's message for a file that could not be read whole.
inline constexpr std::string_view READ_FAILED = "BMP file could not be read!\n";

// The message standard output gets for an input that could not be loaded; `line` becomes the
// line that says why.
std::string_view load_failure(const char* name, platform::Loaded loaded,
                              const platform::Input& input, Line& line);

// Says why a PNG or GIF could not be decoded, and returns the message standard output gets.
std::string_view decode_failure(const char* name, const Taken& taken);

// Says why a frame cannot join an animation's frames before it.
void explain_frame(const char* name, FrameProblem problem, const Taken& taken,
                   const Frames& frames);

// Says that `leds` LEDs draw more than the limit even when dark, by the model.
void explain_current(const char* name, std::uint64_t leds, const Colour& colour);

// Says why a loaded file was refused, by its header, by --strict or by a current limit it cannot
// meet by `leds` LEDs, and warns about each header field that says the file is not what it is
// read as.
void explain(const char* name, std::span<const std::uint8_t> bytes, const BmpHeader& header,
             bool strict, const Colour& colour, std::uint64_t leds);

} // namespace tivrano
