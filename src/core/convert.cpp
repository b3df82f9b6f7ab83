#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <string_view>
#include <vector>

#include "formats.hpp"
#include "names.hpp"
#include "text.hpp"
#include "tivrano.hpp"

namespace tivrano {
namespace {

using text::put;
using text::put_number;
using text::VALUE_TEXT;
using text::ValueSlot;

// The only bitmap layout read: a 14-byte file header and a 40-byte information header, then the
// pixel rows, bottom row first, three bytes a pixel in the order blue, green, red. Of the header
// only the signature and the dimensions count; bits per pixel, compression and the pixel-data
// offset are taken for granted, and read only to say what a file really holds.
constexpr std::size_t PIXEL_DATA_OFFSET_FIELD = 10;
constexpr std::size_t WIDTH_OFFSET = 18;
constexpr std::size_t HEIGHT_OFFSET = 22;
constexpr std::size_t HEADER_FIELDS_END = 26;
constexpr std::size_t BITS_PER_PIXEL_OFFSET = 28;
constexpr std::size_t COMPRESSION_OFFSET = 30;
constexpr std::uint64_t BYTES_PER_PIXEL = 3;

// Each value as it is: the colour table of no colour options.
constexpr std::array<std::uint8_t, 256> make_identity() {
    std::array<std::uint8_t, 256> table{};
    for (std::size_t value = 0; value < table.size(); ++value) {
        table[value] = static_cast<std::uint8_t>(value);
    }
    return table;
}

constexpr std::array<std::uint8_t, 256> IDENTITY = make_identity();

constexpr std::string_view NO_SIGNATURE = "BM header not found!\r\n";
constexpr std::string_view TRUNCATED = "BMP file truncated!\n";

// One conversion's state: the pixels (none where a dimension is zero or less), the dimensions
// the comment gives, and `j`, the triples written since the last line break, counted across
// strip lines.
struct Conversion {
    Pixels pixels;
    const ArrayOptions* options = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    const ColourPlan* colour = nullptr; // without colour options, none
    // The text of each value of each stored channel: VALUE_TEXT itself, or through the colour
    // plan's tables.
    const ValueSlot* text[3] = {VALUE_TEXT.data(), VALUE_TEXT.data(), VALUE_TEXT.data()};
    std::array<ValueSlot, 256> coloured_text[3];
    int j = 0;
    // For LEDs at places: their pixels in strip order, and the options that walk them.
    std::vector<std::uint8_t> laid_out;
    ArrayOptions walked;
    text::Writer out;
};

std::uint32_t read_le32(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(bytes[offset]) |
           static_cast<std::uint32_t>(bytes[offset + 1]) << 8U |
           static_cast<std::uint32_t>(bytes[offset + 2]) << 16U |
           static_cast<std::uint32_t>(bytes[offset + 3]) << 24U;
}

std::uint16_t read_le16(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(bytes[offset] | bytes[offset + 1] << 8U);
}

// Offset just past the last pixel byte read, for positive dimensions: the end of the top row's
// pixels, the row stored last. Its fill bytes are never read, so a file may end right here.
// Cannot wrap: line_size stays below 2^33 and height - 1 below 2^31.
std::uint64_t pixel_data_end(std::int32_t width, std::int32_t height) {
    return PIXEL_DATA_OFFSET + line_size(width) * (static_cast<std::uint64_t>(height) - 1) +
           BYTES_PER_PIXEL * static_cast<std::uint64_t>(width);
}

// How often each value of each channel occurs among the image's pixels: none when a dimension
// is zero or negative, as then no pixel is read.
Histogram histogram(const Conversion& c) {
    Histogram counts{};
    const Pixels& pixels = c.pixels;
    std::int64_t row = pixels.top;
    for (std::int32_t y = 0; y < pixels.height; ++y, row += pixels.row_step) {
        const std::uint8_t* pixel = pixels.bytes.data() + row;
        for (std::int32_t x = 0; x < pixels.width; ++x, pixel += BYTES_PER_PIXEL) {
            ++counts[0][pixel[pixels.at[0]]];
            ++counts[1][pixel[pixels.at[1]]];
            ++counts[2][pixel[pixels.at[2]]];
        }
    }
    return counts;
}

// Accepts the file only if it carries the signature and holds every byte the conversion will
// read, and takes its dimensions and pixels; otherwise writes the one message for it.
int check_bmp_header(Conversion& c, const BmpHeader& header, std::span<const std::uint8_t> bmp) {
    if (header.verdict != Verdict::accepted) {
        put(c.out, header.verdict == Verdict::no_signature ? NO_SIGNATURE : TRUNCATED);
        return -1;
    }
    c.width = *header.width;
    c.height = *header.height;
    if (pixel_count(header) != 0) {
        c.pixels = bmp_pixels(header, bmp);
    }
    return 0;
}

// Asks the processor for the cache line of `at`, to be read soon.
void prefetch(const std::uint8_t* at) {
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(at);
#else
    (void)at;
#endif
}

// One line of the strip across the image: `count` pixels, the first at byte `first` of the
// file, each next one `step` bytes on (3 or -3 along a row, plus or minus the row length along
// a column). Offsets stay integers until they are known to lie inside the file.
struct StripLine {
    std::int64_t first;
    std::int64_t step;
    std::int32_t count;
    std::int64_t ahead; // where from each pixel to fetch bytes that come soon, in bytes
};

// Writes the pixels of one strip line as triples in the layout's channel order, with a line
// break after every PIXEL_PER_LINE-th triple. Kept out of line, as it was when the strip's
// walk called it from two places: inlined into convert_bmp, the benchmark ran 5 to 10 % slower.
[[gnu::noinline]] void convert_line(Conversion& c, const StripLine& line) {
    text::Writer& out = c.out;
    const std::uint8_t* const bytes = c.pixels.bytes.data();
    const std::uint8_t* const channel = c.options->layout.channel;
    const std::size_t first_value = c.pixels.at[channel[0]];
    const std::size_t second_value = c.pixels.at[channel[1]];
    const std::size_t third_value = c.pixels.at[channel[2]];
    const ValueSlot* const first_text = c.text[channel[0]];
    const ValueSlot* const second_text = c.text[channel[1]];
    const ValueSlot* const third_text = c.text[channel[2]];
    char* const end = out.buffer + OUTPUT_BUFFER_SIZE;
    char* pos = out.buffer + out.used;
    int j = c.j;
    // Locals, not the line's fields: the text written through `pos` may alias anything.
    const std::int64_t step = line.step;
    const std::int32_t count = line.count;
    const std::int64_t ahead = line.ahead;
    const auto last = static_cast<std::int64_t>(c.pixels.bytes.size()) - 1;
    std::int64_t offset = line.first;
    for (std::int32_t i = 0; i < count; ++i, offset += step) {
        if (end - pos < text::PIXEL_ROOM) {
            out.used = static_cast<std::size_t>(pos - out.buffer);
            text::flush(out);
            pos = out.buffer;
        }
        const std::uint8_t* const data = bytes + offset;
        // Kept inside the pixels' bytes, so that the address is one of them.
        prefetch(bytes + std::clamp<std::int64_t>(offset + ahead, 0, last));
        std::memcpy(pos, first_text[data[first_value]].data(), text::VALUE_SLOT_SIZE);
        std::memcpy(pos + text::VALUE_TEXT_SIZE, second_text[data[second_value]].data(),
                    text::VALUE_SLOT_SIZE);
        std::memcpy(pos + 2 * text::VALUE_TEXT_SIZE, third_text[data[third_value]].data(),
                    text::VALUE_SLOT_SIZE);
        pos += text::TRIPLE_TEXT_SIZE;
        if (++j == PIXEL_PER_LINE) {
            j = 0;
            std::memcpy(pos, text::LINE_BREAK.data(), text::LINE_BREAK.size());
            pos += text::LINE_BREAK.size();
        }
    }
    out.used = static_cast<std::size_t>(pos - out.buffer);
    c.j = j;
}

// Walks the strip over an image of positive dimensions.
void convert_grb(Conversion& c) {
    const StripPlan plan = plan_strip(c.options->layout, c.pixels);
    // Along a column every pixel lies in another row, far from the last: a file just mapped is
    // not yet in the cache, and the processor fetches ahead only along a row. Each pixel asks
    // for the bytes of the next columns in the same row, which the strip reads soon after.
    const std::int64_t ahead = c.options->layout.columns ? (plan.across > 0 ? 64 : -64) : 0;
    walk_strip_lines(plan, [&](std::int64_t first, std::int64_t step) {
        if (c.out.failed) {
            return false;
        }
        convert_line(c, {first, step, plan.length, ahead});
        return true;
    });
}

// Walks the strip over an image of positive dimensions, for a format other than grb's text: each
// strip line in pieces, as triples in the layout's order, coloured, then encoded, then written
// as values or, for --binary, as they are.
void convert_encoded(Conversion& c) {
    const ArrayOptions& options = *c.options;
    const StripPlan plan = plan_strip(options.layout, c.pixels);
    const Encoder encoder = make_encoder(options);
    const auto length = static_cast<std::uint64_t>(plan.length);
    const std::uint64_t bytes_a_line = line_bytes(options.format, length);
    const std::uint8_t* tables[3] = {};
    for (std::size_t k = 0; k < 3; ++k) {
        tables[k] = c.colour != nullptr ? c.colour->table[options.layout.channel[k]].data()
                                        : IDENTITY.data();
    }
    const std::uint8_t* const image = c.pixels.bytes.data();
    std::uint8_t at[3] = {};
    for (std::size_t k = 0; k < 3; ++k) {
        at[k] = c.pixels.at[options.layout.channel[k]];
    }
    std::uint64_t count = 0;
    walk_strip_lines(plan, [&](std::int64_t first, std::int64_t step) {
        std::uint8_t triples[3 * PIECE_LEDS];
        std::uint8_t bytes[3 * PIECE_LEDS];
        std::int64_t offset = first;
        for (std::uint64_t done = 0; done < length && !c.out.failed; done += PIECE_LEDS) {
            const auto leds =
                static_cast<std::size_t>(std::min<std::uint64_t>(PIECE_LEDS, length - done));
            for (std::size_t k = 0; k < leds; ++k, offset += step) {
                const std::uint8_t* const pixel = image + offset;
                triples[3 * k] = tables[0][pixel[at[0]]];
                triples[3 * k + 1] = tables[1][pixel[at[1]]];
                triples[3 * k + 2] = tables[2][pixel[at[2]]];
            }
            encode(encoder, triples, leds, bytes);
            const std::span<const std::uint8_t> piece(
                bytes, static_cast<std::size_t>(line_bytes(options.format, leds)));
            if (options.binary) {
                text::put_bytes(c.out, piece);
            } else {
                text::put_encoded(c.out, options.format, piece, bytes_a_line, count);
            }
        }
        return !c.out.failed;
    });
}

// The corners by name, in the order of Corner.
constexpr std::string_view CORNERS[] = {"top-left", "top-right", "bottom-left", "bottom-right"};

// Plans the colour options for the image's pixels, and has the values written through the
// plan; a current limit the plan cannot meet gets its message, and -1 is returned.
int plan_colours(Conversion& c, ColourPlan& plan) {
    const Histogram counts = histogram(c);
    plan = plan_colour(c.options->colour, {&counts, 1});
    c.colour = &plan;
    for (std::size_t channel = 0; channel < 3; ++channel) {
        for (std::size_t value = 0; value < 256; ++value) {
            c.coloured_text[channel][value] = VALUE_TEXT[plan.table[channel][value]];
        }
        c.text[channel] = c.coloured_text[channel].data();
    }
    if (!plan.met) {
        put(c.out, CURRENT_NOT_MET);
        return -1;
    }
    return 0;
}

// The text of an accepted file: the comment, the declarations a name brings, the array.
void put_text(Conversion& c) {
    const ArrayOptions& options = *c.options;
    text::put_comment(c.out, c.width, c.height, options, c.colour);
    const std::string_view name = options.name.empty() ? text::DEFAULT_NAME : options.name;
    if (!options.name.empty()) {
        put(c.out, "#include <stddef.h>\r\n#include <stdint.h>\r\n");
        put(c.out, text::C_LINKAGE);
        text::put_frame_declarations(c.out, name, options.format);
        put(c.out, text::C_LINKAGE_END);
    }
    if (options.progmem) {
        put(c.out, text::PROGMEM_PROLOGUE);
    }
    put(c.out, text::array_type(options.format));
    put(c.out, name);
    put(c.out, options.progmem ? text::PROGMEM_ARRAY_OPENING : text::ARRAY_OPENING);
    // With no pixels in a row there is nothing to walk, however many rows there are.
    if (c.width > 0 && c.height > 0) {
        if (options.format == Format::grb) {
            convert_grb(c);
        } else {
            convert_encoded(c);
        }
    }
    if (options.name.empty()) {
        put(c.out, text::ARRAY_CLOSING);
    } else {
        put(c.out, text::NAMED_ARRAY_CLOSING);
        const Size size = defined_size(options.layout, c.width, c.height);
        text::put_frame_definitions(c.out, name, size.width, size.height);
    }
}

// For LEDs at places: the image becomes the strip itself, one row a strip line, which the
// conversion's `walked` options walk row by row. -1 for places that do not fit the image.
int lay_out_places(Conversion& c) {
    ArrayOptions& walked = c.walked;
    std::vector<std::uint8_t>& rgb = c.laid_out;
    const Places& places = c.options->layout.places;
    if (!places_fit(places, c.width, c.height)) {
        return -1;
    }
    rgb.resize(3 * places.pixel.size());
    std::uint8_t* out = rgb.data();
    const std::uint8_t* const bytes = c.pixels.bytes.data();
    walk_places(c.pixels, places, [&](std::int64_t offset) {
        const std::uint8_t* const pixel = bytes + offset;
        out[0] = pixel[c.pixels.at[2]];
        out[1] = pixel[c.pixels.at[1]];
        out[2] = pixel[c.pixels.at[0]];
        out += 3;
    });
    const StripShape shape = strip_shape(c.options->layout, c.width, c.height);
    c.pixels = rgb_pixels(shape.length, shape.lines, rgb);
    walked = *c.options;
    walked.layout.start = Corner::top_left;
    walked.layout.columns = false;
    walked.layout.serpentine = false;
    c.options = &walked;
    return 0;
}

// The text, or the bytes, of a conversion whose header checks gave `status`; the colour
// options planned first.
int convert(Conversion& c, int status) {
    if (status == 0 && !c.options->layout.places.empty() && c.width > 0 && c.height > 0) {
        status = lay_out_places(c);
    }
    const ArrayOptions& options = *c.options;
    ColourPlan plan;
    // A named text's comment says what the LEDs draw, which the plan works out.
    const bool named = !options.name.empty() && !options.binary;
    if (status == 0 && (!is_neutral(options.colour) || named)) {
        status = plan_colours(c, plan);
    }
    if (status == 0 && options.binary) {
        // With no pixels there are no bytes.
        if (c.width > 0 && c.height > 0) {
            convert_encoded(c);
        }
    } else if (status == 0) {
        put_text(c);
    }
    text::flush(c.out);
    return c.out.failed ? -1 : status;
}

} // namespace

bool set_order(Layout& layout, const char* name) {
    // A stored pixel holds blue, green and red at offsets 0, 1 and 2.
    char upper[4] = {};
    std::uint8_t channel[3] = {};
    int seen = 0;
    for (int k = 0; k < 3; ++k) {
        const char ch = name[k];
        const char letter = ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 'a' + 'A') : ch;
        const int offset = letter == 'B' ? 0 : letter == 'G' ? 1 : letter == 'R' ? 2 : -1;
        if (offset < 0 || (seen & (1 << offset)) != 0) {
            return false;
        }
        seen |= 1 << offset;
        upper[k] = letter;
        channel[k] = static_cast<std::uint8_t>(offset);
    }
    if (name[3] != '\0') {
        return false;
    }
    std::memcpy(layout.order_name, upper, sizeof upper);
    std::memcpy(layout.channel, channel, sizeof channel);
    return true;
}

std::string_view corner_name(Corner corner) {
    return CORNERS[static_cast<std::size_t>(corner)];
}

bool set_start(Layout& layout, std::string_view corner) {
    for (std::size_t k = 0; k < std::size(CORNERS); ++k) {
        if (corner == CORNERS[k]) {
            layout.start = static_cast<Corner>(k);
            return true;
        }
    }
    return false;
}

bool is_plain_bmp(const BmpHeader& header) {
    const auto says = [](const auto& field, auto value) { return !field || *field == value; };
    return says(header.bits_per_pixel, READ_BITS_PER_PIXEL) &&
           says(header.compression, READ_COMPRESSION) &&
           says(header.pixel_data_offset, PIXEL_DATA_OFFSET) && header.width && *header.width > 0 &&
           *header.height > 0;
}

// The signature is judged on the bytes there are, so that a file too short for anything else
// but not starting with "BM" is still called what it is.
BmpHeader read_bmp_header(std::span<const std::uint8_t> bmp) {
    BmpHeader header;
    header.file_size = bmp.size();
    header.bytes_needed = HEADER_FIELDS_END;
    if (bmp.size() >= PIXEL_DATA_OFFSET_FIELD + 4) {
        header.pixel_data_offset = read_le32(bmp, PIXEL_DATA_OFFSET_FIELD);
    }
    if (bmp.size() >= HEADER_FIELDS_END) {
        const auto width = static_cast<std::int32_t>(read_le32(bmp, WIDTH_OFFSET));
        const auto height = static_cast<std::int32_t>(read_le32(bmp, HEIGHT_OFFSET));
        header.width = width;
        header.height = height;
        if (width > 0 && height > 0) {
            header.bytes_needed = pixel_data_end(width, height);
        }
    }
    if (bmp.size() >= BITS_PER_PIXEL_OFFSET + 2) {
        header.bits_per_pixel = read_le16(bmp, BITS_PER_PIXEL_OFFSET);
    }
    if (bmp.size() >= COMPRESSION_OFFSET + 4) {
        header.compression = read_le32(bmp, COMPRESSION_OFFSET);
    }
    if ((!bmp.empty() && bmp[0] != 'B') || (bmp.size() > 1 && bmp[1] != 'M')) {
        header.verdict = Verdict::no_signature;
    } else if (bmp.size() < header.bytes_needed) {
        header.verdict = Verdict::truncated;
    } else {
        header.verdict = Verdict::accepted;
    }
    return header;
}

std::uint64_t pixel_count(const BmpHeader& header) {
    if (!header.width || *header.width <= 0 || *header.height <= 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(*header.width) * static_cast<std::uint64_t>(*header.height);
}

std::uint64_t line_size(std::int32_t width) {
    if (width <= 0) {
        return 0;
    }
    return (BYTES_PER_PIXEL * static_cast<std::uint64_t>(width) + 3) & ~std::uint64_t{3};
}

Pixels bmp_pixels(const BmpHeader& header, std::span<const std::uint8_t> bmpdata) {
    Pixels pixels;
    pixels.bytes = bmpdata;
    pixels.width = *header.width;
    pixels.height = *header.height;
    // Image row y (from the top) is stored row height - 1 - y: going down is going back.
    const auto stride = static_cast<std::int64_t>(line_size(pixels.width));
    pixels.top = static_cast<std::int64_t>(PIXEL_DATA_OFFSET) + (pixels.height - 1) * stride;
    pixels.row_step = -stride;
    return pixels;
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): width, then height, as everywhere
Pixels rgb_pixels(std::int32_t width, std::int32_t height, std::span<const std::uint8_t> rgb) {
    Pixels pixels;
    pixels.bytes = rgb;
    pixels.width = width;
    pixels.height = height;
    pixels.row_step = static_cast<std::int64_t>(BYTES_PER_PIXEL) * width;
    pixels.at[0] = 2;
    pixels.at[2] = 0;
    return pixels;
}

bool places_fit(const Places& places, std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0 || places.line <= 0 ||
        places.pixel.size() % static_cast<std::size_t>(places.line) != 0) {
        return false;
    }
    const std::uint64_t pixels =
        static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    return std::all_of(places.pixel.begin(), places.pixel.end(),
                       [&](std::uint32_t at) { return at < pixels; });
}

StripPlan plan_strip(const Layout& layout, const Pixels& pixels) {
    const bool left = layout.start == Corner::top_left || layout.start == Corner::bottom_left;
    const bool top = layout.start == Corner::top_left || layout.start == Corner::top_right;
    const auto pixel = static_cast<std::int64_t>(BYTES_PER_PIXEL);
    const std::int64_t x = left ? 0 : pixels.width - std::int64_t{1};
    const std::int64_t y = top ? 0 : pixels.height - std::int64_t{1};
    const std::int64_t sideways = left ? pixel : -pixel;
    const std::int64_t downwards = top ? pixels.row_step : -pixels.row_step;
    StripPlan plan{};
    plan.first = pixels.top + y * pixels.row_step + pixel * x;
    plan.along = layout.columns ? downwards : sideways;
    plan.across = layout.columns ? sideways : downwards;
    const StripShape shape = strip_shape(layout, pixels.width, pixels.height);
    plan.lines = shape.lines;
    plan.length = shape.length;
    plan.serpentine = layout.serpentine;
    return plan;
}

int convert_bmp(std::span<const std::uint8_t> bmpdata, Sink sink, const ArrayOptions& options) {
    return convert_bmp(read_bmp_header(bmpdata), bmpdata, sink, options);
}

int convert_bmp(const BmpHeader& header, std::span<const std::uint8_t> bmpdata, Sink sink,
                const ArrayOptions& options) {
    // A name is written whole into the buffer: only one that passed the check fits for sure.
    if (!options.name.empty() && name_problem(options.name) != nullptr) {
        return -1;
    }
    Conversion c; // the output buffer is left uninitialised: it is written before it is read
    c.options = &options;
    c.out.sink = sink;
    return convert(c, check_bmp_header(c, header, bmpdata));
}

int convert_image(const Pixels& pixels, Sink sink, const ArrayOptions& options) {
    if (!options.name.empty() && name_problem(options.name) != nullptr) {
        return -1;
    }
    Conversion c;
    c.options = &options;
    c.out.sink = sink;
    c.pixels = pixels;
    c.width = pixels.width;
    c.height = pixels.height;
    return convert(c, 0);
}

} // namespace tivrano
