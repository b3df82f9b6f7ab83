// tivrano turns an uncompressed 24-bit BMP image into C source text: a comment with the image's
// width and height, then `const uint8_t animationX[]` holding every pixel as green, red, blue,
// rows from the top, eight pixels to a line.
//
// The conversion works on the whole file held in memory and writes its text to a sink, so that
// it can run any number of times in one process, without files.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace tivrano {

// Largest input file accepted, in bytes. The message calls it 1MB: a decimal megabyte.
inline constexpr std::uint64_t MAX_FILE_SIZE = 1000000;

// Pixel triples per line of text.
inline constexpr int PIXEL_PER_LINE = 8;

// The conversion buffers its text and hands it over in chunks of at most this many bytes.
inline constexpr std::size_t OUTPUT_BUFFER_SIZE = std::size_t{64} * 1024;

// What the conversion takes for granted about every file: pixels of three bytes (24 bits),
// uncompressed, in rows from this byte on.
inline constexpr std::uint16_t READ_BITS_PER_PIXEL = 24;
inline constexpr std::uint32_t READ_COMPRESSION = 0;
inline constexpr std::uint32_t PIXEL_DATA_OFFSET = 54;

// Which LED of the strip each value of the array is for. The array runs along the strip; the
// strip covers the image in lines (rows, or columns), the first starting in one corner. The
// default is the plain layout: rows from the top, each left to right.
enum class Corner { top_left, top_right, bottom_left, bottom_right };

// LEDs that lie elsewhere than along the lines of one rectangle: an LED map, or tiled panels
// (see ledmap.hpp). The pixel of each LED, y * width + x, in strip order; the strip's lines, of
// `line` LEDs each (mono pads each to whole bytes); with `map`, the LEDs of a map, which the
// definitions count as one row of LEDs; and the comment's words on the wiring.
struct Places {
    std::span<const std::uint32_t> pixel;
    std::int32_t line = 0;
    bool map = false;
    std::string_view wiring;

    constexpr bool empty() const { return pixel.empty(); }
};

struct Layout {
    // Offsets of the written values within a stored pixel (blue 0, green 1, red 2), in the
    // order they are written, and that order's name for the comment.
    std::uint8_t channel[3] = {1, 2, 0};
    char order_name[4] = "GRB";
    Corner start = Corner::top_left;
    bool columns = false;    // the strip runs along columns instead of rows
    bool serpentine = false; // every second line, counted from the first, runs the other way
    Places places;           // none: the rectangle, wired as above
};

// The channel orders an LED chip may take, by name in any case ("grb", "rgb", ...); false for
// any other name, leaving `layout` as it was.
bool set_order(Layout& layout, const char* name);

// The name of a corner: top-left, top-right, bottom-left or bottom-right.
std::string_view corner_name(Corner corner);

// The corner of the first LED by name: top-left, top-right, bottom-left or bottom-right; false
// for any other, leaving `layout` as it was.
bool set_start(Layout& layout, std::string_view corner);

// How the values are changed before they are written: each of red, green and blue through its
// gamma, v -> floor(255 (v / 255)^gamma + 0.5), then the brightness, v -> (v P + 50) / 100; then,
// with a current limit, all by one factor (rounding down), the largest at which the LEDs draw
// no more than the limit by the model: each LED its dark current, and each channel its full
// current times value / 255.
struct Colour {
    std::uint32_t gamma_milli[3] = {1000, 1000, 1000}; // red, green, blue, in thousandths
    std::uint32_t brightness = 100;                    // percent, 1 to 100
    std::uint64_t max_current_ma = 0;                  // 0: no limit
    // The model: microamperes at full red, green and blue, and for an LED when dark.
    std::uint32_t led_current_ua[4] = {16000, 11000, 15000, 1000};
};

bool is_neutral(const Colour& colour);

// What standard output gets instead of the text when a limit cannot be met.
inline constexpr std::string_view CURRENT_NOT_MET = "BMP file refused by --max-current!\n";

// Whether a limit can be met for `leds` LEDs at all: they draw their dark current whatever the
// values.
bool within_reach(std::uint64_t leds, const Colour& colour);

// How often each value of each channel (blue, green, red, as stored) occurs in one image.
using Histogram = std::array<std::array<std::uint64_t, 256>, 3>;

// The factor of a current limit that leaves the values as they are, in 65536ths.
inline constexpr std::uint32_t FULL_SCALE = 65536;

// What a Colour comes to for some images: the value each stored value becomes, by stored
// channel (blue, green, red), and with a limit, the factor and what the brightest image draws.
struct ColourPlan {
    std::array<std::array<std::uint8_t, 256>, 3> table{};
    std::uint32_t scale = FULL_SCALE; // the factor, in 65536ths
    std::uint64_t most = 0; // the most one image draws with it, in 255ths of a microampere
    bool met = true;        // false: the LEDs draw more than the limit even when dark
};

// The plan for images of these histograms, which share one factor.
ColourPlan plan_colour(const Colour& colour, std::span<const Histogram> images);

// What the array holds for each LED, its values taken after the layout and colour options:
// grb, the three values in the layout's order; rgb565, the 16-bit value
// ((R >> 3) << 11) | ((G >> 2) << 5) | (B >> 3), with the layout's order (rgb or bgr) from the
// top bits down; mono, one bit, set when the LED's brightness (299 R + 587 G + 114 B + 500) / 1000
// reaches the threshold, the bits of each strip line from the top bit of its first byte on,
// the line padded to whole bytes.
enum class Format : std::uint8_t { grb, rgb565, mono };

// What the array holds and how it is written: as C source text, or with `binary` its bytes, as
// they lie in memory on a little-endian chip. With a name, the text is a source file of its own:
// it includes what it needs and defines NAME, NAME_size, NAME_width and NAME_height with C
// linkage. With `progmem` the array goes to flash memory on an AVR, and stays a plain array
// elsewhere.
struct ArrayOptions {
    Layout layout;
    Colour colour;
    std::string_view name; // empty: the array is animationX, for an #include; see name_problem
    bool progmem = false;
    Format format = Format::grb;
    bool swap_bytes = false;      // rgb565: the two bytes of each value change places
    std::uint8_t threshold = 128; // mono: the brightness, 1 to 255, from which an LED is lit
    bool binary = false;          // the array's bytes instead of its text
};

// Where the text goes. `write` takes one chunk and returns false if it could not be written;
// after that, the conversion sends nothing more and fails.
struct Sink {
    bool (*write)(void* context, const char* bytes, std::size_t size);
    void* context;
};

// Length of one stored pixel row in bytes: three bytes a pixel, padded to a multiple of four.
// Zero for a width of zero or less.
std::uint64_t line_size(std::int32_t width);

enum class Verdict {
    accepted,     // converted
    no_signature, // refused: the file does not start with "BM"
    truncated,    // refused: the file ends before a byte the conversion reads
};

// A file's header, read once. Fields the file is too short to hold are absent. The conversion
// uses only the signature and the dimensions; the other fields tell what the file really holds.
struct BmpHeader {
    Verdict verdict = Verdict::truncated;
    std::uint64_t file_size = 0;
    // The bytes the conversion reads: the 26 that end with the dimensions, or for a file with
    // pixels the end of the top row's last pixel. A truncated file has fewer.
    std::uint64_t bytes_needed = 0;
    std::optional<std::int32_t> width;
    std::optional<std::int32_t> height;
    std::optional<std::uint32_t> pixel_data_offset;
    std::optional<std::uint16_t> bits_per_pixel;
    std::optional<std::uint32_t> compression;
};

BmpHeader read_bmp_header(std::span<const std::uint8_t> bmpdata);

// The pixels of an accepted file: width times height, or 0 when either is 0 or less.
std::uint64_t pixel_count(const BmpHeader& header);

// Whether the header says the file is what the conversion reads: 24 bits a pixel, uncompressed,
// pixels from byte 54, rows bottom-up, at least one pixel. Anything else converts with a
// warning, or is refused with --strict.
bool is_plain_bmp(const BmpHeader& header);

// The strip over an image of these dimensions: `lines` lines (rows, or columns) of `length`
// LEDs each.
struct StripShape {
    std::int32_t lines;
    std::int32_t length;
};

constexpr StripShape strip_shape(const Layout& layout, std::int32_t width, std::int32_t height) {
    if (!layout.places.empty()) {
        const auto leds = static_cast<std::int32_t>(layout.places.pixel.size());
        return {leds / layout.places.line, layout.places.line};
    }
    return layout.columns ? StripShape{width, height} : StripShape{height, width};
}

// The width and height the definitions give for an image of these dimensions: a map's LEDs as
// one row, so that width times height counts the LEDs; otherwise the image's.
struct Size {
    std::int32_t width;
    std::int32_t height;
};

constexpr Size defined_size(const Layout& layout, std::int32_t width, std::int32_t height) {
    if (layout.places.map) {
        return {static_cast<std::int32_t>(layout.places.pixel.size()), 1};
    }
    return {width, height};
}

// Where an image's pixels lie, for an image of positive dimensions: 3 bytes a pixel, the top
// row's first at byte `top` of `bytes`, each row `row_step` bytes after the one above it
// (negative for a BMP's rows, which are stored bottom-up), and blue, green and red at bytes
// at[0], at[1] and at[2] of a pixel. Every pixel byte lies in `bytes`.
struct Pixels {
    std::span<const std::uint8_t> bytes;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int64_t top = 0;
    std::int64_t row_step = 0;
    std::uint8_t at[3] = {0, 1, 2};
};

// The pixels of an accepted BMP of positive dimensions, where they lie in the file.
Pixels bmp_pixels(const BmpHeader& header, std::span<const std::uint8_t> bmpdata);

// Pixels of red, green and blue, 3 bytes each, top row first, as the decoders give them.
Pixels rgb_pixels(std::int32_t width, std::int32_t height, std::span<const std::uint8_t> rgb);

// Where the strip's pixels lie in `pixels.bytes`: `lines` strip lines of `length` pixels. Line
// k starts at byte first + k * across, and each next pixel of it lies `along` bytes on; with
// `serpentine`, every odd line starts at the far end and runs back.
struct StripPlan {
    std::int64_t first;
    std::int64_t along;
    std::int64_t across;
    std::int32_t lines;
    std::int32_t length;
    bool serpentine;
};

StripPlan plan_strip(const Layout& layout, const Pixels& pixels);

// The walk along the strip, one line at a time: visit(first, step) for each strip line in
// order, with the byte offset of its first LED's pixel and the step to the next one's, until
// `visit` returns false. Every walk of the strip goes through here, the conversion's included.
template <typename Visit> void walk_strip_lines(const StripPlan& plan, Visit visit) {
    const std::int64_t back = (plan.length - std::int64_t{1}) * plan.along;
    std::int64_t start = plan.first;
    for (std::int32_t k = 0; k < plan.lines; ++k, start += plan.across) {
        const bool reversed = plan.serpentine && k % 2 == 1;
        if (!visit(reversed ? start + back : start, reversed ? -plan.along : plan.along)) {
            return;
        }
    }
}

// The same, one LED at a time: visit(offset) with the byte offset of each LED's pixel, from the
// strip's first LED to its last.
template <typename Visit> void walk_strip(const StripPlan& plan, Visit visit) {
    walk_strip_lines(plan, [&](std::int64_t first, std::int64_t step) {
        for (std::int32_t i = 0; i < plan.length; ++i, first += step) {
            visit(first);
        }
        return true;
    });
}

// Whether places fit an image of these dimensions: whole lines, every pixel on the image.
bool places_fit(const Places& places, std::int32_t width, std::int32_t height);

// The walk along LEDs at places: visit(offset) with the byte offset of each LED's pixel, from
// the strip's first LED to its last. The places must fit the pixels.
template <typename Visit>
void walk_places(const Pixels& pixels, const Places& places, Visit visit) {
    const auto width = static_cast<std::uint32_t>(pixels.width);
    for (const std::uint32_t at : places.pixel) {
        visit(pixels.top + static_cast<std::int64_t>(at / width) * pixels.row_step +
              3 * static_cast<std::int64_t>(at % width));
    }
}

// Converts a whole BMP file. Writes to `sink` either the complete text or, for a file it
// refuses, exactly one message line and nothing else. Returns 0 after a conversion, -1 if the
// file was refused or the sink failed; -1 without a word for a name that name_problem refuses.
int convert_bmp(std::span<const std::uint8_t> bmpdata, Sink sink, const ArrayOptions& options = {});
// The same, for a file whose header has been read already.
int convert_bmp(const BmpHeader& header, std::span<const std::uint8_t> bmpdata, Sink sink,
                const ArrayOptions& options);

// Converts the pixels of one decoded image, as convert_bmp converts a BMP of those pixels.
int convert_image(const Pixels& pixels, Sink sink, const ArrayOptions& options);

} // namespace tivrano
