#include <array>
#include <charconv>
#include <cstring>
#include <string_view>

#include "tivrano.hpp"

namespace tivrano {
namespace {

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

constexpr std::string_view NO_SIGNATURE = "BM header not found!\r\n";
constexpr std::string_view TRUNCATED = "BMP file truncated!\n";

constexpr std::string_view COMMENT_WIDTH = "/*\r\nBreite: ";
constexpr std::string_view COMMENT_HEIGHT = ", Hoehe: ";
constexpr std::string_view COMMENT_END =
    "\r\n3 bytes / pixel, GRB Reihenfolge\r\nBeschreibung: hier eintragen\r\n*/\r\n";
constexpr std::string_view ARRAY_OPENING = "const uint8_t animationX[] = {\r\n    ";
constexpr std::string_view LINE_BREAK = "\r\n    ";
constexpr std::string_view ARRAY_CLOSING = "};\n\r";

// Every byte value as "%3d, " in a slot of eight bytes, so that a value is stored with one
// fixed-size copy; the three bytes beyond its text are overwritten by whatever comes next.
constexpr std::size_t VALUE_TEXT_SIZE = 5;
constexpr std::size_t VALUE_SLOT_SIZE = 8;
using ValueSlot = std::array<char, VALUE_SLOT_SIZE>;

constexpr std::array<ValueSlot, 256> make_value_text() {
    std::array<ValueSlot, 256> table{};
    for (std::size_t value = 0; value < table.size(); ++value) {
        ValueSlot& slot = table[value];
        slot[0] = value >= 100 ? static_cast<char>('0' + value / 100) : ' ';
        slot[1] = value >= 10 ? static_cast<char>('0' + value / 10 % 10) : ' ';
        slot[2] = static_cast<char>('0' + value % 10);
        slot[3] = ',';
        slot[4] = ' ';
    }
    return table;
}

constexpr std::array<ValueSlot, 256> VALUE_TEXT = make_value_text();

// Buffer room one pixel may take: its triple, a line break after it, and the overhang of the
// last slot copy, which the line break covers.
constexpr std::size_t TRIPLE_TEXT_SIZE = 3 * VALUE_TEXT_SIZE;
constexpr std::ptrdiff_t PIXEL_ROOM = TRIPLE_TEXT_SIZE + LINE_BREAK.size();
static_assert(LINE_BREAK.size() >= VALUE_SLOT_SIZE - VALUE_TEXT_SIZE);

struct TextWriter {
    Sink sink;
    bool failed = false;
    std::size_t used = 0;
    char buffer[OUTPUT_BUFFER_SIZE];
};

// One conversion's state: the file, the dimensions from its header, and `j`, the triples written
// since the last line break, counted across rows.
struct Conversion {
    std::span<const std::uint8_t> bmpdata;
    std::int32_t width = 0;
    std::int32_t height = 0;
    int j = 0;
    TextWriter out;
};

void flush(TextWriter& out) {
    if (out.used != 0 && !out.failed) {
        out.failed = !out.sink.write(out.sink.context, out.buffer, out.used);
    }
    out.used = 0;
}

// Every fixed text is far shorter than the buffer.
void put(TextWriter& out, std::string_view text) {
    if (OUTPUT_BUFFER_SIZE - out.used < text.size()) {
        flush(out);
    }
    std::memcpy(out.buffer + out.used, text.data(), text.size());
    out.used += text.size();
}

void put_number(TextWriter& out, std::int32_t value) {
    char digits[16];
    const auto result = std::to_chars(std::begin(digits), std::end(digits), value);
    put(out, std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
}

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

// Accepts the file only if it carries the signature and holds every byte the conversion will
// read; then takes the dimensions and writes the description comment. Otherwise writes one
// message and nothing else.
int check_bmp_header(Conversion& c) {
    const BmpHeader header = read_bmp_header(c.bmpdata);
    if (header.verdict != Verdict::accepted) {
        put(c.out, header.verdict == Verdict::no_signature ? NO_SIGNATURE : TRUNCATED);
        return -1;
    }
    c.width = *header.width;
    c.height = *header.height;

    put(c.out, COMMENT_WIDTH);
    put_number(c.out, c.width);
    put(c.out, COMMENT_HEIGHT);
    put_number(c.out, c.height);
    put(c.out, COMMENT_END);
    return 0;
}

// Writes the pixels of the stored row at `data` as green, red, blue triples, with a line break
// after every PIXEL_PER_LINE-th triple. The row's fill bytes are not read.
void convert_line(Conversion& c, const std::uint8_t* data) {
    TextWriter& out = c.out;
    const std::int32_t width = c.width;
    char* const end = out.buffer + OUTPUT_BUFFER_SIZE;
    char* pos = out.buffer + out.used;
    int j = c.j;
    for (std::int32_t i = 0; i < width; ++i, data += BYTES_PER_PIXEL) {
        if (end - pos < PIXEL_ROOM) {
            out.used = static_cast<std::size_t>(pos - out.buffer);
            flush(out);
            pos = out.buffer;
        }
        const std::uint8_t b = data[0];
        const std::uint8_t g = data[1];
        const std::uint8_t r = data[2];
        std::memcpy(pos, VALUE_TEXT[g].data(), VALUE_SLOT_SIZE);
        std::memcpy(pos + VALUE_TEXT_SIZE, VALUE_TEXT[r].data(), VALUE_SLOT_SIZE);
        std::memcpy(pos + 2 * VALUE_TEXT_SIZE, VALUE_TEXT[b].data(), VALUE_SLOT_SIZE);
        pos += TRIPLE_TEXT_SIZE;
        if (++j == PIXEL_PER_LINE) {
            j = 0;
            std::memcpy(pos, LINE_BREAK.data(), LINE_BREAK.size());
            pos += LINE_BREAK.size();
        }
    }
    out.used = static_cast<std::size_t>(pos - out.buffer);
    c.j = j;
}

} // namespace

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

std::uint64_t line_size(std::int32_t width) {
    if (width <= 0) {
        return 0;
    }
    return (BYTES_PER_PIXEL * static_cast<std::uint64_t>(width) + 3) & ~std::uint64_t{3};
}

int convert_bmp(std::span<const std::uint8_t> bmpdata, Sink sink) {
    Conversion c; // the output buffer is left uninitialised: it is written before it is read
    c.bmpdata = bmpdata;
    c.out.sink = sink;
    const int status = check_bmp_header(c);
    if (status == 0) {
        put(c.out, ARRAY_OPENING);
        // With no pixels in a row there is nothing to walk, however many rows there are.
        if (c.width > 0 && c.height > 0) {
            const std::uint64_t stride = line_size(c.width);
            // Rows are stored bottom-up: the top row of the image comes last in the file.
            for (std::int32_t row = c.height - 1; row >= 0 && !c.out.failed; --row) {
                const std::uint64_t offset =
                    PIXEL_DATA_OFFSET + stride * static_cast<std::uint64_t>(row);
                convert_line(c, bmpdata.data() + offset);
            }
        }
        put(c.out, ARRAY_CLOSING);
    }
    flush(c.out);
    return c.out.failed ? -1 : status;
}

} // namespace tivrano
