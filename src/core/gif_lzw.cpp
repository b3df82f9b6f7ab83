// A GIF frame's LZW data, decoded onto the canvas. Codes grow from the minimum code size plus
// one to 12 bits; a table that fills is kept, without new entries, until a clear code (the
// deferred clear). Data that ends before the frame is full leaves the rest undrawn, as browsers
// do; the codes after the last pixel that can land on the canvas are not read, so that the work
// is bounded by the canvas as well as by the data.
#include "gif_lzw.hpp"

#include <algorithm>

namespace tivrano::gif {

namespace {

constexpr std::size_t PALETTE_SIZE = 256;
constexpr std::uint8_t OPAQUE = 255;
constexpr std::uint32_t NO_CODE = TABLE_SIZE;
constexpr std::array<std::uint64_t, 4> PASS_START = {0, 4, 2, 1};
constexpr std::array<std::uint64_t, 4> PASS_STEP = {8, 8, 4, 2};

// The codes of the LZW data, read across its sub-blocks.
struct CodeReader {
    std::span<const std::uint8_t> bytes;
    std::size_t at = 0;
    std::size_t left = 0; // bytes left in the current sub-block
    bool ended = false;
    std::uint32_t buffer = 0;
    unsigned bits = 0;
};

bool open_sub_block(CodeReader& reader) {
    const std::span<const std::uint8_t> bytes = reader.bytes;
    const std::size_t at = reader.at;
    reader.ended =
        reader.ended || at >= bytes.size() || bytes[at] == 0 || bytes[at] > bytes.size() - at - 1;
    if (!reader.ended) {
        reader.left = bytes[reader.at++];
    }
    return !reader.ended;
}

// The next code of `size` bits; false at the end of the data.
bool next_code(CodeReader& reader, unsigned size, std::uint32_t& code) {
    while (reader.bits < size) {
        if (reader.left == 0 && !open_sub_block(reader)) {
            return false;
        }
        reader.buffer |= std::uint32_t{reader.bytes[reader.at++]} << reader.bits;
        reader.bits += 8;
        --reader.left;
    }
    code = reader.buffer & ((1U << size) - 1U);
    reader.buffer >>= size;
    reader.bits -= size;
    return true;
}

// Where the frame's next pixel lands, and the colour of each index: out of the colour table,
// opaque black, as Chromium draws it; the transparent index, nothing.
struct Painter {
    const FrameRecord& frame;
    Canvas& canvas;
    std::array<Rgba, PALETTE_SIZE> palette{};
    std::uint64_t column = 0, row = 0;
    std::size_t pass = 0;
    bool finished = false; // no more of the frame's pixels can land on the canvas
};

// Finished: the rows are done, or the rest lie right of the canvas or, in the last pass, below.
void check_finished(Painter& painter) {
    const FrameRecord& frame = painter.frame;
    const bool last_pass = !frame.interlaced || painter.pass + 1 == PASS_START.size();
    painter.finished = frame.width == 0 || frame.left >= painter.canvas.width ||
                       (last_pass && (painter.row >= frame.height ||
                                      frame.top + painter.row >= painter.canvas.height));
}

void prepare(Painter& painter) {
    const std::span<const std::uint8_t> colours = painter.frame.colours;
    for (std::size_t k = 0; k < PALETTE_SIZE; ++k) {
        painter.palette[k] = 3 * k < colours.size() ? Rgba{colours[3 * k], colours[3 * k + 1],
                                                           colours[3 * k + 2], OPAQUE}
                                                    : Rgba{0, 0, 0, OPAQUE};
    }
    if (painter.frame.transparent >= 0) {
        painter.palette[static_cast<std::size_t>(painter.frame.transparent)].a = 0;
    }
    check_finished(painter);
}

void next_row(Painter& painter) {
    painter.column = 0;
    if (!painter.frame.interlaced) {
        ++painter.row;
    } else {
        painter.row += PASS_STEP[painter.pass];
        while (painter.row >= painter.frame.height && painter.pass + 1 < PASS_START.size()) {
            painter.row = PASS_START[++painter.pass];
        }
    }
    check_finished(painter);
}

// Draws the indices along the rows, a row's span at a time: of each span, the part on the
// canvas.
void paint(Painter& painter, std::span<const std::uint8_t> indices) {
    const FrameRecord& frame = painter.frame;
    Canvas& canvas = painter.canvas;
    while (!indices.empty() && !painter.finished) {
        const std::size_t span = static_cast<std::size_t>(
            std::min<std::uint64_t>(indices.size(), frame.width - painter.column));
        const std::uint64_t x = frame.left + painter.column;
        const std::uint64_t y = frame.top + painter.row;
        if (y < canvas.height && x < canvas.width) {
            const auto visible =
                static_cast<std::size_t>(std::min<std::uint64_t>(span, canvas.width - x));
            const auto out =
                std::span(canvas.rgb)
                    .subspan(static_cast<std::size_t>(3 * (y * canvas.width + x)), 3 * visible);
            for (std::size_t k = 0; k < visible; ++k) {
                const Rgba colour = painter.palette[indices[k]];
                if (colour.a != 0) {
                    out[3 * k] = colour.r;
                    out[3 * k + 1] = colour.g;
                    out[3 * k + 2] = colour.b;
                }
            }
        }
        indices = indices.subspan(span);
        painter.column += span;
        if (painter.column == frame.width) {
            next_row(painter);
        }
    }
}

// The table's state between codes.
struct Lzw {
    std::uint32_t clear = 0;
    unsigned size = 0;
    std::uint32_t next = 0;
    std::uint32_t previous = NO_CODE; // none since the last clear
};

void clear_table(Lzw& lzw, unsigned min_code_size) {
    lzw.size = min_code_size + 1;
    lzw.next = lzw.clear + 2;
    lzw.previous = NO_CODE;
}

// A new entry: the previous string and the first index of this code's, which is the previous
// string's own first index when the code is the entry being made.
void add_entry(Lzw& lzw, std::uint32_t code, LzwTable& table) {
    if (lzw.previous == NO_CODE || lzw.next >= TABLE_SIZE) {
        return;
    }
    const std::uint32_t previous = lzw.previous;
    table.prefix[lzw.next] = static_cast<std::uint16_t>(previous);
    table.first[lzw.next] = table.first[previous];
    table.suffix[lzw.next] = code == lzw.next ? table.first[previous] : table.first[code];
    table.length[lzw.next] = static_cast<std::uint16_t>(table.length[previous] + 1);
    ++lzw.next;
}

// The code size grows once the next entry needs another bit: after an entry is made, or, with a
// minimum code size of 1, already after the first code (its first entry, 4, needs 3 bits).
void grow(Lzw& lzw) {
    if (lzw.next == (1U << lzw.size) && lzw.size < MAX_CODE_SIZE) {
        ++lzw.size;
    }
}

// The string of `code`, from its last index back to its first.
std::span<const std::uint8_t> string_of(std::uint32_t code, LzwTable& table) {
    const std::size_t length = table.length[code];
    for (std::size_t k = length; k > 0; --k) {
        table.string[k - 1] = table.suffix[code];
        code = table.prefix[code];
    }
    return std::span(table.string).first(length);
}

} // namespace

Outcome draw_frame(std::span<const std::uint8_t> bytes, const FrameRecord& frame, LzwTable& table,
                   Canvas& canvas) {
    Lzw lzw;
    lzw.clear = 1U << frame.min_code_size;
    for (std::uint32_t code = 0; code < lzw.clear; ++code) {
        table.suffix[code] = table.first[code] = static_cast<std::uint8_t>(code);
        table.length[code] = 1;
    }
    clear_table(lzw, frame.min_code_size);
    Painter painter{frame, canvas};
    prepare(painter);
    CodeReader reader{bytes, frame.data};
    std::uint32_t code = 0;
    while (!painter.finished && next_code(reader, lzw.size, code) && code != lzw.clear + 1) {
        if (code == lzw.clear) {
            clear_table(lzw, frame.min_code_size);
            continue;
        }
        if (code > lzw.next) {
            return {DecodeStatus::broken, "the LZW data holds a code past the table"};
        }
        if (lzw.previous == NO_CODE && code >= lzw.clear) {
            return {DecodeStatus::broken, "the LZW data starts with a code that is not a colour"};
        }
        add_entry(lzw, code, table);
        grow(lzw);
        paint(painter, string_of(code, table));
        lzw.previous = code;
    }
    return {};
}

} // namespace tivrano::gif
