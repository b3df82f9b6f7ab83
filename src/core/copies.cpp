// Finds, for each LED of a frame, the longest copy that the player can make there:
// with the frame before it and the frame itself one after the other, the LED at i of the frame
// reads the one d places earlier, for every d the forms allow.
#include "copies.hpp"

#include <algorithm>

namespace tivrano {
namespace {

// No LED has this colour: its 24 bits are never all of a value.
constexpr std::uint32_t UNKNOWN = 0xFF000000U;

std::uint32_t colour_of(std::span<const std::uint8_t> frame, std::size_t led) {
    return std::uint32_t{frame[3 * led]} << 16U | std::uint32_t{frame[3 * led + 1]} << 8U |
           frame[3 * led + 2];
}

} // namespace

FrameCopies find_copies(const Frames& frames, std::size_t k) {
    const std::size_t leds = frames.frame_size() / 3;
    // The previous frame's LEDs (unknown to a frame that stands alone), then the frame's own.
    std::vector<std::uint32_t> seen(2 * leds, UNKNOWN);
    for (std::size_t led = 0; led < leds; ++led) {
        seen[leds + led] = colour_of(frames.frame(k), led);
        if (k > 0) {
            seen[led] = colour_of(frames.frame(k - 1), led);
        }
    }
    FrameCopies copies{Copies(leds), Copies(leds)};
    const std::uint32_t* to = seen.data() + leds;
    for (std::size_t d = 1; d < leds; ++d) {
        const std::uint32_t* from = to - d;
        // From LED d on, the copy reads LEDs this frame has written.
        std::uint16_t run = 0;
        for (std::size_t led = leds; led-- > d;) {
            run = to[led] == from[led]
                      ? static_cast<std::uint16_t>(std::min<std::size_t>(run + 1U, LONG_COUNT))
                      : 0;
            if (run > copies.changes[led].count) {
                copies.changes[led] = {run, static_cast<std::uint16_t>(d)};
            }
            if (run > copies.alone[led].count) {
                copies.alone[led] = {run, static_cast<std::uint16_t>(d)};
            }
        }
        // Before it, the previous frame's, and a copy stops at its last LED.
        run = 0;
        for (std::size_t led = d; k > 0 && led-- > 0;) {
            run = to[led] == from[led]
                      ? static_cast<std::uint16_t>(std::min<std::size_t>(run + 1U, LONG_COUNT))
                      : 0;
            if (run > copies.changes[led].count) {
                copies.changes[led] = {run, static_cast<std::uint16_t>(d)};
            }
        }
    }
    return copies;
}

} // namespace tivrano
