// What the page needs of the tool beyond the tool itself, which it runs as the command line
// runs it (main, in the POSIX layer, on files in memory): where each LED of the strip lies,
// from the same plan the conversion walks, for the preview.
#include <cstdint>

#include <emscripten.h>

#include "tivrano.hpp"

// The place of LED `led` on a width x height panel, as y * width + x counted from the top left,
// with the corner (0 top-left, 1 top-right, 2 bottom-left, 3 bottom-right), columns and
// serpentine of the layout.
extern "C" EMSCRIPTEN_KEEPALIVE std::int32_t
tivrano_led_place(std::int32_t width, std::int32_t height, std::int32_t corner,
                  std::int32_t columns, std::int32_t serpentine, std::int32_t led) {
    tivrano::Layout layout;
    layout.start = static_cast<tivrano::Corner>(corner & 3);
    layout.columns = columns != 0;
    layout.serpentine = serpentine != 0;
    const tivrano::StripPlan plan = tivrano::plan_strip(layout, width, height);
    const std::int32_t line = led / plan.length;
    std::int32_t along = led % plan.length;
    if (plan.serpentine && line % 2 == 1) {
        along = plan.length - 1 - along;
    }
    // The pixel's offset in a file of these dimensions, back to its place in the picture.
    const std::int64_t offset = plan.first + std::int64_t{line} * plan.across +
                                std::int64_t{along} * plan.along - tivrano::PIXEL_DATA_OFFSET;
    const auto stride = static_cast<std::int64_t>(tivrano::line_size(width));
    const auto stored_row = static_cast<std::int32_t>(offset / stride);
    const auto x = static_cast<std::int32_t>(offset % stride / 3);
    return (height - 1 - stored_row) * width + x;
}
