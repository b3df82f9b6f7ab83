#include <algorithm>
#include <numeric>

#include "tivrano.hpp"

namespace tivrano {
namespace {

// The stored channel of red, green and blue: a pixel holds blue, green, red.
constexpr std::size_t STORED[3] = {2, 1, 0};

// ln 2 in two parts, the first with its low bits zero, so that k * LN2_HI is exact.
constexpr double LN2_HI = 6.93147180369123816490e-01;
constexpr double LN2_LO = 1.90821492927058770002e-10;
constexpr double SQRT_HALF = 0.70710678118654752440;

// The gamma is raised to without the maths library, which the tool would otherwise load at every
// start for std::pow alone: x^gamma = e^(gamma ln x), each within a few units in the last place.
// No value of any gamma the options take comes within 1e-8 of a half, so every table is the one
// std::pow gives (a test compares them all).

// ln x for x in (0, 1]: k ln 2 + 2 atanh(s), s = (f - 1) / (f + 1) for f in [sqrt(1/2), 1], so
// |s| < 0.18.
double log_of(double x) {
    int k = 0;
    while (x < SQRT_HALF) {
        x *= 2;
        --k;
    }
    const double s = (x - 1) / (x + 1);
    double atanh_series = 1.0 / 27;
    for (int n = 25; n >= 1; n -= 2) {
        atanh_series = atanh_series * s * s + 1.0 / n;
    }
    return k * LN2_HI + (2 * s * atanh_series + k * LN2_LO);
}

// e^t for t <= 0: 2^j e^r, |r| <= ln 2 / 2.
double exp_of(double t) {
    int j = static_cast<int>(t / (LN2_HI + LN2_LO) - 0.5); // rounded to the nearest
    const double r = (t - j * LN2_HI) - j * LN2_LO;
    double power = 1;
    for (int n = 18; n >= 1; --n) {
        power = 1 + power * r / n;
    }
    for (; j < 0; ++j) {
        power /= 2;
    }
    return power;
}

// The nearest whole number, halves up, to a value that is not negative.
std::uint32_t nearest(double value) {
    const auto whole = static_cast<std::uint32_t>(value);
    return value - whole < 0.5 ? whole : whole + 1;
}

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
            const double x = static_cast<double>(value) / 255.0;
            const std::uint32_t v = value == 0 ? 0 : nearest(255.0 * exp_of(gamma * log_of(x)));
            plan.table[STORED[name]][value] =
                static_cast<std::uint8_t>((v * colour.brightness + 50) / 100);
        }
    }
    if (colour.max_current_ma == 0) {
        for (const Histogram& frame : images) {
            plan.most = std::max(plan.most, draw(frame, plan, colour, FULL_SCALE));
        }
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
