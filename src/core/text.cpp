#include "text.hpp"

#include <algorithm>

#include "formats.hpp"
#include "numbers.hpp"

namespace tivrano::text {
namespace {

// Kept byte for byte, German words and all: scripts and firmware read the comment as it is.
constexpr std::string_view COMMENT_WIDTH = "/*\r\nBreite: ";
constexpr std::string_view COMMENT_HEIGHT = ", Hoehe: ";
constexpr std::string_view COMMENT_ORDER = "\r\n3 bytes / pixel, ";
constexpr std::string_view COMMENT_ORDER_END = " Reihenfolge\r\n";
constexpr std::string_view COMMENT_WIRING = "Wiring: first LED ";
constexpr std::string_view COMMENT_END = "Beschreibung: hier eintragen\r\n*/\r\n";

// The line that says what the array holds for each LED, "3 bytes / pixel, GRB Reihenfolge"
// for grb.
void put_format(Writer& out, const ArrayOptions& options) {
    if (options.format == Format::mono) {
        put(out, "\r\n1 bit / pixel, mono, lit from brightness ");
        put_number(out, unsigned{options.threshold});
        put(out, "\r\n");
        return;
    }
    const bool wide = options.format == Format::rgb565;
    put(out, wide ? "\r\n2 bytes / pixel, " : COMMENT_ORDER);
    put(out, options.layout.order_name);
    put(out, wide ? "565" : "");
    put(out, wide && options.swap_bytes ? " Reihenfolge, bytes swapped\r\n" : COMMENT_ORDER_END);
}

bool is_default_wiring(const Layout& layout) {
    return layout.places.empty() && layout.start == Corner::top_left && !layout.columns &&
           !layout.serpentine;
}

void put_wiring(Writer& out, const Layout& layout) {
    if (!layout.places.empty()) {
        put(out, "Wiring: ");
        put(out, layout.places.wiring);
        put(out, "\r\n");
        return;
    }
    put(out, COMMENT_WIRING);
    put(out, corner_name(layout.start));
    put(out, layout.columns ? ", along columns" : ", along rows");
    put(out, layout.serpentine ? ", serpentine\r\n" : "\r\n");
}

} // namespace

void put_thousandths(Writer& out, std::uint64_t value) {
    put(out, thousandths_text(value).view());
}

namespace {

// What the LEDs draw at most, by the model: with a limit, what the factor did.
void put_current(Writer& out, const Colour& colour, const ColourPlan& plan) {
    // The plan counts in 255ths of a microampere.
    constexpr std::uint64_t MILLIAMPERE = std::uint64_t{255} * 1000;
    put(out, "Current: at most ");
    put_number(out, (plan.most + MILLIAMPERE - 1) / MILLIAMPERE);
    if (colour.max_current_ma == 0) {
        put(out, " mA, with no limit (--max-current sets one)");
    } else if (plan.scale == FULL_SCALE) {
        put(out, " mA (limit ");
        put_number(out, colour.max_current_ma);
        put(out, " mA, not scaled)");
    } else {
        put(out, " mA (limit ");
        put_number(out, colour.max_current_ma);
        put(out, " mA, scaled to ");
        // Rounded down, as the factor rounds the values; below 10 % in tenths, so that a factor
        // that leaves LEDs lit never reads 0 %.
        const std::uint64_t tenths = std::uint64_t{plan.scale} * 1000 / FULL_SCALE;
        if (tenths < 100) {
            put_thousandths(out, tenths * 100);
        } else {
            put_number(out, tenths / 10);
        }
        put(out, " %)");
    }
    put(out, "\r\nCurrent model: red ");
    put_thousandths(out, colour.led_current_ua[0]);
    put(out, " mA, green ");
    put_thousandths(out, colour.led_current_ua[1]);
    put(out, " mA, blue ");
    put_thousandths(out, colour.led_current_ua[2]);
    put(out, " mA at full, ");
    put_thousandths(out, colour.led_current_ua[3]);
    put(out, " mA an LED when dark\r\n");
}

// The comment's lines on what the colour options did.
void put_colour(Writer& out, const Colour& colour, const ColourPlan& plan) {
    const std::uint32_t* const gamma = colour.gamma_milli;
    if (gamma[0] != 1000 || gamma[1] != 1000 || gamma[2] != 1000) {
        put(out, "Gamma: ");
        if (gamma[0] == gamma[1] && gamma[1] == gamma[2]) {
            put_thousandths(out, gamma[0]);
        } else {
            constexpr std::string_view NAMES[] = {"red ", ", green ", ", blue "};
            for (std::size_t k = 0; k < 3; ++k) {
                put(out, NAMES[k]);
                put_thousandths(out, gamma[k]);
            }
        }
        put(out, "\r\n");
    }
    if (colour.brightness != 100) {
        put(out, "Brightness: ");
        put_number(out, colour.brightness);
        put(out, " %\r\n");
    }
    if (colour.max_current_ma != 0) {
        put_current(out, colour, plan);
    }
}

// The RAM a buffer of one frame takes, which the firmware keeps for its LEDs (the player writes
// each frame into one), and whether it fits the RAM of the board most often used.
void put_buffer(Writer& out, const ArrayOptions& options, std::int32_t width, std::int32_t height) {
    constexpr std::uint64_t NANO_RAM = 2048; // an ATmega328P's
    const std::uint64_t bytes = width > 0 && height > 0 ? image_bytes(options, width, height) : 0;
    put(out, "LED buffer: ");
    put_number(out, bytes);
    put(out, bytes < NANO_RAM
                 ? " bytes of RAM for a frame\r\n"
                 : " bytes of RAM for a frame, too much for an Arduino Nano (2048 in all)\r\n");
}

} // namespace

void flush(Writer& out) {
    if (out.used != 0 && !out.failed) {
        out.failed = !out.sink.write(out.sink.context, out.buffer, out.used);
    }
    out.used = 0;
}

void put_comment(Writer& out, std::int32_t width, std::int32_t height, const ArrayOptions& options,
                 const ColourPlan* plan, std::string_view more) {
    put(out, COMMENT_WIDTH);
    put_number(out, width);
    put(out, COMMENT_HEIGHT);
    put_number(out, height);
    put_format(out, options);
    if (!is_default_wiring(options.layout)) {
        put_wiring(out, options.layout);
    }
    if (plan != nullptr) {
        put_colour(out, options.colour, *plan);
    }
    // A text with a name is a source file for firmware: it says what its frames need, and for
    // LEDs of three colours what they draw by the model.
    const bool named = !options.name.empty();
    if (named && plan != nullptr && options.colour.max_current_ma == 0 &&
        options.format == Format::grb) {
        put_current(out, options.colour, *plan);
    }
    put(out, more);
    if (named) {
        put_buffer(out, options, width, height);
    }
    put(out, COMMENT_END);
}

void put_frame_declarations(Writer& out, std::string_view name, Format format) {
    put(out, "extern ");
    put(out, array_type(format));
    put(out, name);
    put(out, "[];\r\nextern const size_t ");
    put(out, name);
    put(out, "_size;\r\nextern const int32_t ");
    put(out, name);
    put(out, "_width, ");
    put(out, name);
    put(out, "_height;\r\n");
}

void put_frame_definitions(Writer& out, std::string_view name, std::int32_t width,
                           std::int32_t height) {
    put(out, "const size_t ");
    put(out, name);
    put(out, "_size = sizeof ");
    put(out, name);
    put(out, ";\r\nconst int32_t ");
    put(out, name);
    put(out, "_width = ");
    put_number(out, width);
    put(out, ";\r\nconst int32_t ");
    put(out, name);
    put(out, "_height = ");
    put_number(out, height);
    put(out, ";\r\n");
}

void put_values(Writer& out, std::span<const std::uint8_t> bytes, int& j) {
    std::size_t in_triple = 0;
    for (const std::uint8_t value : bytes) {
        if (OUTPUT_BUFFER_SIZE - out.used < VALUE_SLOT_SIZE + LINE_BREAK.size()) {
            flush(out);
        }
        std::memcpy(out.buffer + out.used, VALUE_TEXT[value].data(), VALUE_SLOT_SIZE);
        out.used += VALUE_TEXT_SIZE;
        if (++in_triple == 3) {
            in_triple = 0;
            if (++j == PIXEL_PER_LINE) {
                j = 0;
                std::memcpy(out.buffer + out.used, LINE_BREAK.data(), LINE_BREAK.size());
                out.used += LINE_BREAK.size();
            }
        }
    }
}

void put_encoded(Writer& out, Format format, std::span<const std::uint8_t> bytes,
                 std::uint64_t line_bytes, std::uint64_t& count) {
    constexpr std::size_t ROOM = 8 + LINE_BREAK.size(); // "0xF800, " and a line break
    const bool wide = format == Format::rgb565;
    const std::size_t step = wide ? 2 : 1;
    for (std::size_t at = 0; at + step <= bytes.size(); at += step, ++count) {
        if (OUTPUT_BUFFER_SIZE - out.used < ROOM) {
            flush(out);
        }
        const bool starts_line =
            wide ? count % PIXEL_PER_LINE == 0 : count % line_bytes % MONO_BYTES_PER_LINE == 0;
        if (count != 0 && starts_line) {
            std::memcpy(out.buffer + out.used, LINE_BREAK.data(), LINE_BREAK.size());
            out.used += LINE_BREAK.size();
        }
        char* const pos = out.buffer + out.used;
        pos[0] = '0';
        pos[1] = 'x';
        // A value's high byte first: the second of its bytes in memory.
        const std::array<char, 2>& first = HEX_TEXT[bytes[wide ? at + 1 : at]];
        std::memcpy(pos + 2, first.data(), 2);
        if (wide) {
            std::memcpy(pos + 4, HEX_TEXT[bytes[at]].data(), 2);
        }
        const std::size_t digits = wide ? 4 : 2;
        pos[2 + digits] = ',';
        pos[3 + digits] = ' ';
        out.used += 4 + digits;
    }
}

void put_bytes(Writer& out, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        if (out.used == OUTPUT_BUFFER_SIZE) {
            flush(out);
        }
        const std::size_t size = std::min(bytes.size(), OUTPUT_BUFFER_SIZE - out.used);
        std::memcpy(out.buffer + out.used, bytes.data(), size);
        out.used += size;
        bytes = bytes.subspan(size);
    }
}

} // namespace tivrano::text
