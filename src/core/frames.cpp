#include "frames.hpp"

#include <utility>

#include "formats.hpp"

namespace tivrano {

std::size_t Frames::frame_size() const {
    return encoded_size != 0
               ? encoded_size
               : 3 * static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
}

std::size_t Frames::count() const {
    return frame_size() == 0 ? 0 : values.size() / frame_size();
}

std::span<const std::uint8_t> Frames::frame(std::size_t k) const {
    return std::span(values).subspan(k * frame_size(), frame_size());
}

void append_values(const Pixels& pixels, const Layout& layout, std::vector<std::uint8_t>& values) {
    const StripShape shape = strip_shape(layout, pixels.width, pixels.height);
    const std::size_t start = values.size();
    values.resize(start + 3 * static_cast<std::size_t>(shape.lines) *
                              static_cast<std::size_t>(shape.length));
    std::uint8_t* out = values.data() + start;
    const std::uint8_t at[3] = {pixels.at[layout.channel[0]], pixels.at[layout.channel[1]],
                                pixels.at[layout.channel[2]]};
    const auto take = [&](std::int64_t offset) {
        const std::uint8_t* const pixel = pixels.bytes.data() + offset;
        out[0] = pixel[at[0]];
        out[1] = pixel[at[1]];
        out[2] = pixel[at[2]];
        out += 3;
    };
    if (layout.places.empty()) {
        walk_strip(plan_strip(layout, pixels), take);
    } else {
        walk_places(pixels, layout.places, take);
    }
}

FrameProblem frame_problem(const Frames& frames, const Layout& layout, std::int32_t width,
                           std::int32_t height) {
    const bool positive = width > 0 && height > 0;
    const std::uint64_t leds = !positive               ? 0
                               : layout.places.empty() ? static_cast<std::uint64_t>(width) *
                                                             static_cast<std::uint64_t>(height)
                                                       : layout.places.pixel.size();
    if (leds == 0) {
        return FrameProblem::no_pixels;
    }
    if (leds > MAX_FRAME_LEDS) {
        return FrameProblem::too_many_leds;
    }
    if (frames.count() > 0 && (width != frames.image_width || height != frames.image_height)) {
        return FrameProblem::other_size;
    }
    if (frames.count() >= MAX_FRAMES) {
        return FrameProblem::too_many_frames;
    }
    if (frames.values.size() + 3 * leds > MAX_ANIMATION_VALUES) {
        return FrameProblem::too_many_values;
    }
    return FrameProblem::none;
}

void add_frame(const Pixels& pixels, std::uint16_t delay_ms, const Layout& layout, Frames& frames) {
    const Size size = defined_size(layout, pixels.width, pixels.height);
    frames.width = size.width;
    frames.height = size.height;
    frames.image_width = pixels.width;
    frames.image_height = pixels.height;
    append_values(pixels, layout, frames.values);
    frames.delay_ms.push_back(delay_ms);
}

void encode_frames(const ArrayOptions& options, Frames& frames) {
    if (options.format == Format::grb || frames.count() == 0) {
        return;
    }
    // Every frame's values lie along the strip already: its lines follow one another.
    const StripShape shape = strip_shape(options.layout, frames.width, frames.height);
    const auto length = static_cast<std::size_t>(shape.length);
    const auto bytes_a_line = static_cast<std::size_t>(line_bytes(options.format, length));
    const Encoder encoder = make_encoder(options);
    std::vector<std::uint8_t> encoded(frames.count() * static_cast<std::size_t>(shape.lines) *
                                      bytes_a_line);
    std::uint8_t* out = encoded.data();
    for (std::size_t line = 0; line < encoded.size() / bytes_a_line; ++line) {
        encode(encoder, frames.values.data() + 3 * length * line, length, out);
        out += bytes_a_line;
    }
    frames.encoded_size = static_cast<std::size_t>(shape.lines) * bytes_a_line;
    frames.encoded_grid = options.format == Format::rgb565
                              ? Grid{2, frames.width, frames.height}
                              : Grid{1, static_cast<std::int32_t>(bytes_a_line), shape.lines};
    frames.values = std::move(encoded);
}

bool assign_delays(std::span<const std::uint16_t> given, Frames& frames) {
    if (given.size() > 1) {
        frames.delay_ms.assign(given.begin(), given.end());
    } else if (given.size() == 1) {
        frames.delay_ms.assign(frames.count(), given[0]);
    } else {
        frames.delay_ms.resize(frames.count(), DEFAULT_DELAY_MS); // each frame's own, if it has one
    }
    return frames.delay_ms.size() == frames.count();
}

ColourPlan colour_frames(const Colour& colour, const Layout& layout, Frames& frames) {
    std::vector<Histogram> counts(frames.count());
    for (std::size_t k = 0; k < frames.count(); ++k) {
        const auto frame = frames.frame(k);
        for (std::size_t at = 0; at < frame.size(); ++at) {
            ++counts[k][layout.channel[at % 3]][frame[at]];
        }
    }
    ColourPlan plan = plan_colour(colour, counts);
    if (plan.met) {
        for (std::size_t at = 0; at < frames.values.size(); ++at) {
            frames.values[at] = plan.table[layout.channel[at % 3]][frames.values[at]];
        }
    }
    return plan;
}

} // namespace tivrano
