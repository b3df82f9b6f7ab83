#include <algorithm>
#include <cmath>
#include <numeric>

#include "tivrano.hpp"

namespace tivrano {
namespace {

// The stored channel of red, green and blue: a pixel holds blue, green, red.
constexpr std::size_t STORED[3] = {2, 1, 0};
constexpr std::uint32_t FULL_SCALE = 65536;

// What one frame draws by the model with the values scaled by `scale`, in 255ths of a
// microampere: each LED its dark current, and each channel its share of its full current.
std::uint64_t draw(const Histogram& frame, const ColourPlan& plan, const Colour& colour,
                   std::uint32_t scale) {
    const std::uint64_t leds = std::accumulate(frame[0].begin(), frame[0].end(), std::uint64_t{0});
    std::uint64_t total = leds * 255 * colour.led_current_ua[3];
    for (std::size_t name = 0; name < 3; ++name) {
        const std::size_t channel = STORED[name];
        std::uint64_t sum = 0;
        for (std::size_t value = 0; value < 256; ++value) {
            const std::uint64_t scaled =
                std::uint64_t{plan.table[channel][value]} * scale / FULL_SCALE;
            sum += scaled * frame[channel][value];
        }
        total += sum * colour.led_current_ua[name];
    }
    return total;
}

} // namespace

bool is_neutral(const Colour& colour) {
    return colour.gamma_milli[0] == 1000 && colour.gamma_milli[1] == 1000 &&
           colour.gamma_milli[2] == 1000 && colour.brightness == 100 && colour.max_current_ma == 0;
}

bool within_reach(std::uint64_t leds, const Colour& colour) {
    return colour.max_current_ma == 0 ||
           leds * colour.led_current_ua[3] <= colour.max_current_ma * 1000;
}

ColourPlan plan_colour(const Colour& colour, std::span<const Histogram> images) {
    ColourPlan plan;
    for (std::size_t name = 0; name < 3; ++name) {
        const double gamma = colour.gamma_milli[name] / 1000.0;
        for (std::size_t value = 0; value < 256; ++value) {
            const double corrected =
                std::floor(255.0 * std::pow(static_cast<double>(value) / 255.0, gamma) + 0.5);
            const auto v = static_cast<std::uint32_t>(corrected);
            plan.table[STORED[name]][value] =
                static_cast<std::uint8_t>((v * colour.brightness + 50) / 100);
        }
    }
    if (colour.max_current_ma == 0) {
        return plan;
    }
    // The largest scale at which no frame draws more than the limit; the draw grows with the
    // scale, and at 0 is the dark LEDs' alone.
    const std::uint64_t limit = colour.max_current_ma * 1000 * 255;
    const auto fits = [&](std::uint32_t scale) {
        return std::all_of(images.begin(), images.end(), [&](const Histogram& frame) {
            return draw(frame, plan, colour, scale) <= limit;
        });
    };
    if (!fits(0)) {
        plan.met = false;
        return plan;
    }
    std::uint32_t low = 0;
    std::uint32_t high = FULL_SCALE;
    if (fits(high)) {
        low = high;
    }
    while (high - low > 1) {
        const std::uint32_t middle = low + (high - low) / 2;
        (fits(middle) ? low : high) = middle;
    }
    plan.scale = low;
    for (const Histogram& frame : images) {
        plan.most = std::max(plan.most, draw(frame, plan, colour, low));
    }
    if (low < FULL_SCALE) {
        for (auto& channel : plan.table) {
            for (std::uint8_t& value : channel) {
                value = static_cast<std::uint8_t>(std::uint64_t{value} * low / FULL_SCALE);
            }
        }
    }
    return plan;
}

} // namespace tivrano
