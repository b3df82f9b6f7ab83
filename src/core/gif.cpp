// GIF87a and GIF89a, decoded into whole frames as browsers show them. The file is read twice:
// once over its blocks, which finds every frame, its colours and where its LZW data lies, so
// that the limits are checked before any pixel is allocated; then once more to decode each
// frame's LZW data onto one canvas. The rules where files and browsers differ:
// - The screen grows to hold the first frame, as Chromium and Pillow make it; later frames are
//   clipped to the screen. A screen that is still 0 pixels wide or high is broken.
// - A file that ends between blocks, without the trailer, holds the frames before; one that ends
//   inside a block is cut short. A byte that starts no block ends the file, as the trailer does.
// - LZW data that ends before the frame is full leaves the rest of the frame undrawn; codes after
//   it is full are ignored. A code past the table, or a first code that is not a colour, is
//   broken.
// - A colour index past the colour table (or with no table at all) draws opaque black, as
//   Chromium draws it (tried in Chromium 156, through its ImageDecoder).
// - Disposal 2 clears the frame's rectangle to transparent, 3 restores what was under it, and so
//   does 4, which some encoders write for it (Chromium and Firefox take it so); others (0, 1,
//   and the unassigned 5 to 7) leave the frame in place.
#include <algorithm>
#include <array>
#include <vector>

#include "gif_lzw.hpp"

namespace tivrano {

namespace {

using gif::Canvas;
using gif::FrameRecord;
using gif::Outcome;

constexpr std::size_t SCREEN_DESCRIPTOR_END = 13; // the signature and the screen descriptor
constexpr std::size_t SCREEN_WIDTH_OFFSET = 6;
constexpr std::size_t SCREEN_HEIGHT_OFFSET = 8;
constexpr std::size_t SCREEN_FLAGS_OFFSET = 10;
constexpr std::size_t IMAGE_DESCRIPTOR_SIZE = 9; // after the image separator
constexpr std::size_t GRAPHIC_CONTROL_SIZE = 4;
constexpr std::uint8_t EXTENSION_INTRODUCER = 0x21;
constexpr std::uint8_t IMAGE_SEPARATOR = 0x2C;
constexpr std::uint8_t GRAPHIC_CONTROL_LABEL = 0xF9;
constexpr std::uint8_t COLOUR_TABLE_FLAG = 0x80;
constexpr std::uint8_t COLOUR_TABLE_SIZE_BITS = 0x07;
constexpr std::uint8_t INTERLACE_FLAG = 0x40;
constexpr std::uint8_t TRANSPARENCY_FLAG = 0x01;
constexpr unsigned DISPOSAL_SHIFT = 2;
constexpr unsigned DISPOSAL_BITS = 0x07;
constexpr unsigned DISPOSE_TO_TRANSPARENT = 2;
constexpr unsigned DISPOSE_TO_PREVIOUS = 3;
constexpr unsigned DISPOSE_TO_PREVIOUS_TOO = 4; // taken as 3
constexpr std::uint32_t MS_PER_CENTISECOND = 10;
constexpr unsigned LEAST_MIN_CODE_SIZE = 1; // two colours; GIF89a asks for 2, Chromium takes 1
constexpr unsigned MOST_MIN_CODE_SIZE = 8;

constexpr Outcome CUT_SHORT = {DecodeStatus::cut_short, "the file ends inside a block"};

struct Survey {
    std::uint64_t width = 0, height = 0;
    std::vector<FrameRecord> frames;
};

std::uint16_t le16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8U);
}

bool fits(std::span<const std::uint8_t> bytes, std::size_t at, std::uint64_t count) {
    return at <= bytes.size() && count <= bytes.size() - at;
}

// Steps over a chain of sub-blocks from `at` to just past its terminator; false if the file ends
// first.
bool skip_sub_blocks(std::span<const std::uint8_t> bytes, std::size_t& at) {
    while (fits(bytes, at, 1)) {
        const std::size_t size = bytes[at++];
        if (size == 0) {
            return true;
        }
        if (!fits(bytes, at, size)) {
            return false;
        }
        at += size;
    }
    return false;
}

// A colour table after a block whose flags announce it; false if the file ends first.
bool read_colour_table(std::span<const std::uint8_t> bytes, std::size_t& at, std::uint8_t flags,
                       std::span<const std::uint8_t>& table) {
    if ((flags & COLOUR_TABLE_FLAG) == 0) {
        return true;
    }
    const std::size_t size = std::size_t{3} << ((flags & COLOUR_TABLE_SIZE_BITS) + 1U);
    if (!fits(bytes, at, size)) {
        return false;
    }
    table = bytes.subspan(at, size);
    at += size;
    return true;
}

// An extension from its label on; a Graphic Control Extension sets what the next frame takes.
Outcome read_extension(std::span<const std::uint8_t> bytes, std::size_t& at, FrameRecord& next) {
    if (!fits(bytes, at, 1)) {
        return CUT_SHORT;
    }
    const std::uint8_t label = bytes[at++];
    if (label == GRAPHIC_CONTROL_LABEL && fits(bytes, at, 1 + GRAPHIC_CONTROL_SIZE) &&
        bytes[at] >= GRAPHIC_CONTROL_SIZE) {
        const std::uint8_t flags = bytes[at + 1];
        next.disposal = (flags >> DISPOSAL_SHIFT) & DISPOSAL_BITS;
        if (next.disposal == DISPOSE_TO_PREVIOUS_TOO) {
            next.disposal = DISPOSE_TO_PREVIOUS;
        }
        next.delay_ms = MS_PER_CENTISECOND * le16(bytes, at + 2);
        next.transparent = (flags & TRANSPARENCY_FLAG) != 0 ? bytes[at + 4] : -1;
    }
    return skip_sub_blocks(bytes, at) ? Outcome{} : CUT_SHORT;
}

// An image descriptor from just past its separator to past its LZW data.
Outcome read_image(std::span<const std::uint8_t> bytes, std::size_t& at,
                   std::span<const std::uint8_t> global, FrameRecord& frame) {
    if (!fits(bytes, at, IMAGE_DESCRIPTOR_SIZE)) {
        return CUT_SHORT;
    }
    frame.left = le16(bytes, at);
    frame.top = le16(bytes, at + 2);
    frame.width = le16(bytes, at + 4);
    frame.height = le16(bytes, at + 6);
    const std::uint8_t flags = bytes[at + 8];
    frame.interlaced = (flags & INTERLACE_FLAG) != 0;
    at += IMAGE_DESCRIPTOR_SIZE;
    frame.colours = global;
    if (!read_colour_table(bytes, at, flags, frame.colours) || !fits(bytes, at, 1)) {
        return CUT_SHORT;
    }
    frame.min_code_size = bytes[at++];
    if (frame.min_code_size < LEAST_MIN_CODE_SIZE || frame.min_code_size > MOST_MIN_CODE_SIZE) {
        return {DecodeStatus::broken, "the LZW minimum code size is not 1 to 8"};
    }
    frame.data = at;
    return skip_sub_blocks(bytes, at) ? Outcome{} : CUT_SHORT;
}

// Every block after the screen descriptor and the global colour table, from `at`.
Outcome read_blocks(std::span<const std::uint8_t> bytes, std::size_t at,
                    std::span<const std::uint8_t> global, const DecodeLimits& limits,
                    std::vector<FrameRecord>& frames) {
    FrameRecord next;
    while (fits(bytes, at, 1)) {
        const std::uint8_t introducer = bytes[at++];
        Outcome outcome;
        if (introducer == EXTENSION_INTRODUCER) {
            outcome = read_extension(bytes, at, next);
        } else if (introducer == IMAGE_SEPARATOR) {
            if (frames.size() >= limits.max_frames) {
                return {DecodeStatus::too_large, "the GIF has more frames than the limit"};
            }
            outcome = read_image(bytes, at, global, next);
            frames.push_back(next);
            next = FrameRecord{};
        } else {
            return {}; // the trailer, 0x3B, or a byte that starts no block
        }
        if (!outcome.ok()) {
            return outcome;
        }
    }
    // The file ends with no trailer: the frames before are taken, as browsers show them; with
    // none, the file ends before its first image.
    return frames.empty() ? Outcome{DecodeStatus::cut_short, "the file ends before its first image"}
                          : Outcome{};
}

Outcome survey(std::span<const std::uint8_t> bytes, const DecodeLimits& limits, Survey& found) {
    if (image_format(bytes) != ImageFormat::gif) {
        return {DecodeStatus::broken, "the file does not start as a GIF"};
    }
    if (!fits(bytes, 0, SCREEN_DESCRIPTOR_END)) {
        return CUT_SHORT;
    }
    std::size_t at = SCREEN_DESCRIPTOR_END;
    std::span<const std::uint8_t> global;
    if (!read_colour_table(bytes, at, bytes[SCREEN_FLAGS_OFFSET], global)) {
        return CUT_SHORT;
    }
    const Outcome outcome = read_blocks(bytes, at, global, limits, found.frames);
    if (!outcome.ok()) {
        return outcome;
    }
    if (found.frames.empty()) {
        return {DecodeStatus::broken, "the GIF holds no frames"};
    }
    const FrameRecord& first = found.frames.front();
    found.width =
        std::max<std::uint64_t>(le16(bytes, SCREEN_WIDTH_OFFSET), first.left + first.width);
    found.height =
        std::max<std::uint64_t>(le16(bytes, SCREEN_HEIGHT_OFFSET), first.top + first.height);
    if (found.width == 0 || found.height == 0) {
        return {DecodeStatus::broken, "the image has no pixels"};
    }
    return {};
}

Outcome check_limits(const Survey& found, const DecodeLimits& limits) {
    if (found.width > limits.max_side || found.height > limits.max_side) {
        return {DecodeStatus::too_large, "the image is wider or higher than the limit"};
    }
    const std::uint64_t pixels = found.width * found.height;
    if (pixels > limits.max_frame_pixels) {
        return {DecodeStatus::too_large, "a frame has more pixels than the limit"};
    }
    if (found.frames.size() > limits.max_total_bytes / (3 * pixels)) {
        return {DecodeStatus::too_large, "the frames together hold more bytes than the limit"};
    }
    return {};
}

// After the frame is shown: 2 clears its rectangle to transparent, that is to the background,
// 3 puts back what was under it; the others leave it.
void dispose(const FrameRecord& frame, const Canvas& before, std::span<const std::uint8_t> laid,
             Canvas& canvas) {
    if (frame.disposal != DISPOSE_TO_TRANSPARENT && frame.disposal != DISPOSE_TO_PREVIOUS) {
        return;
    }
    const std::uint64_t right = std::min(canvas.width, frame.left + frame.width);
    const std::uint64_t bottom = std::min(canvas.height, frame.top + frame.height);
    for (std::uint64_t y = frame.top; y < bottom; ++y) {
        for (std::uint64_t x = frame.left; x < right; ++x) {
            const auto at = static_cast<std::size_t>(3 * (y * canvas.width + x));
            const auto from =
                frame.disposal == DISPOSE_TO_PREVIOUS ? std::span(before.rgb).subspan(at, 3) : laid;
            std::copy(from.begin(), from.end(),
                      canvas.rgb.begin() + static_cast<std::ptrdiff_t>(at));
        }
    }
}

Outcome decode_frames(std::span<const std::uint8_t> bytes, const Survey& found, Rgb background,
                      std::vector<ImageFrame>& frames) {
    // over() lays a transparent pixel, alpha 0, on the background as the background itself.
    const std::array<std::uint8_t, 3> laid = {
        over(0, 0, static_cast<std::uint8_t>(background >> 16U)),
        over(0, 0, static_cast<std::uint8_t>(background >> 8U)),
        over(0, 0, static_cast<std::uint8_t>(background))};
    Canvas canvas{found.width, found.height, {}};
    const auto pixels = static_cast<std::size_t>(found.width * found.height);
    canvas.rgb.reserve(3 * pixels);
    for (std::size_t k = 0; k < pixels; ++k) {
        canvas.rgb.insert(canvas.rgb.end(), laid.begin(), laid.end());
    }
    Canvas before;
    // On the heap, once: 24 KiB is much for a stack (Emscripten's is 64 KiB). <memory> is not
    // used, for libstdc++ 12's will not compile with the headers limited to POSIX.
    std::vector<gif::LzwTable> table(1);
    frames.reserve(found.frames.size());
    for (const FrameRecord& frame : found.frames) {
        if (frame.disposal == DISPOSE_TO_PREVIOUS) {
            before.rgb = canvas.rgb;
        }
        const Outcome outcome = gif::draw_frame(bytes, frame, table.front(), canvas);
        if (!outcome.ok()) {
            return outcome;
        }
        frames.push_back({canvas.rgb, frame.delay_ms});
        dispose(frame, before, laid, canvas);
    }
    return {};
}

} // namespace

DecodedImage decode_gif(std::span<const std::uint8_t> bytes, Rgb background,
                        const DecodeLimits& limits) {
    DecodedImage image;
    Survey found;
    Outcome outcome = survey(bytes, limits, found);
    if (outcome.ok()) {
        outcome = check_limits(found, limits);
    }
    if (outcome.ok()) {
        outcome = decode_frames(bytes, found, background, image.frames);
    }
    if (!outcome.ok()) {
        image.status = outcome.status;
        image.reason = outcome.reason;
        image.frames.clear();
        return image;
    }
    image.status = DecodeStatus::decoded;
    image.timed = true;
    image.width = static_cast<std::int32_t>(found.width);
    image.height = static_cast<std::int32_t>(found.height);
    return image;
}

} // namespace tivrano
