#include "explain.hpp"

namespace tivrano {
namespace {

constexpr std::string_view NOT_FOUND = "BMP file not found!\n";
constexpr std::string_view TOO_BIG = "BMP file too big (>1MB)!\n";
constexpr std::string_view NO_MEMORY = "Not enough memory for the BMP file!\n";

// Followed by where to read more, and " has more ways".
constexpr std::string_view HINT =
    "tivrano: hint: magick in.png -type TrueColor BMP3:out.bmp (or convert, in ImageMagick 6) "
    "makes a plain 24-bit BMP; ";
constexpr std::string_view HINT_END = " has more ways";
constexpr std::string_view EMPTY_ARRAY =
    "the array is empty; standard C and C++ have no zero-length array, -pedantic refuses it, and "
    "compilers that accept it give the frame 0 bytes";

// What a file that does not start with "BM" seems to be, by the bytes other formats start with.
void add_what_it_is(Line& line, std::span<const std::uint8_t> bytes) {
    const std::string_view start(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    struct Magic {
        std::string_view bytes;
        std::string_view what;
    };
    static constexpr Magic MAGIC[] = {
        {"\x89PNG\r\n\x1a\n", "it starts like a PNG image"},
        {"GIF87a", "it starts like a GIF image"},
        {"GIF89a", "it starts like a GIF image"},
        {"\xff\xd8\xff", "it starts like a JPEG image"},
        {{"II*\0", 4}, "it starts like a TIFF image"},
        {{"MM\0*", 4}, "it starts like a TIFF image"},
        {{"\0\0\1\0", 4}, "it starts like a Windows icon"},
        {"/*\r\nBreite: ", "it is text written by tivrano"},
    };
    for (const Magic& magic : MAGIC) {
        if (start.starts_with(magic.bytes)) {
            add(line, magic.what);
            return;
        }
    }
    if (start.starts_with("RIFF") && start.size() >= 12 &&
        std::string_view(start.data() + 8, 4) == "WEBP") {
        add(line, "it starts like a WebP image");
        return;
    }
    add(line, "it starts with the bytes");
    constexpr std::string_view HEX_DIGITS = "0123456789abcdef";
    for (const std::uint8_t byte : bytes.first(bytes.size() < 8 ? bytes.size() : 8)) {
        const char hex[] = {' ', HEX_DIGITS[byte >> 4U], HEX_DIGITS[byte & 15U]};
        add(line, {hex, sizeof hex});
    }
}

std::string_view compression_name(std::uint32_t compression) {
    static constexpr std::string_view NAMES[] = {"RGB",  "RLE8", "RLE4",          "BITFIELDS",
                                                 "JPEG", "PNG",  "ALPHABITFIELDS"};
    return compression < std::size(NAMES) ? NAMES[compression] : "unknown";
}

bool says_other_bits(const BmpHeader& header) {
    return header.bits_per_pixel && *header.bits_per_pixel != READ_BITS_PER_PIXEL;
}

bool says_compression(const BmpHeader& header) {
    return header.compression && *header.compression != READ_COMPRESSION;
}

void add_bits(Line& line, std::uint16_t bits) {
    add_number(line, bits);
    add(line, bits == 1 ? " bit" : " bits");
}

void add_compression(Line& line, std::uint32_t compression) {
    add(line, "compression ");
    add_number(line, compression);
    add(line, " (");
    add(line, compression_name(compression));
    add(line, ")");
}

// One warning for each header field that says the file is not what the conversion reads it
// as, and a hint on making one that is.
void warn_about_header(std::string_view name, const BmpHeader& header) {
    bool hint = false;
    if (says_other_bits(header)) {
        Line line = about(name, LineKind::warning);
        add(line, "the header says ");
        add_bits(line, *header.bits_per_pixel);
        add(line, " per pixel, but pixels are read as 24-bit, 3 bytes each");
        send(line);
        hint = true;
    }
    if (says_compression(header)) {
        Line line = about(name, LineKind::warning);
        add(line, "the header says ");
        add_compression(line, *header.compression);
        add(line, ", but pixels are read as uncompressed");
        send(line);
        hint = true;
    }
    if (header.pixel_data_offset && *header.pixel_data_offset != PIXEL_DATA_OFFSET) {
        Line line = about(name, LineKind::warning);
        add(line, "the header puts the pixels at byte ");
        add_number(line, *header.pixel_data_offset);
        add(line, ", but they are read from byte 54");
        send(line);
        hint = true;
    }
    if (header.height && *header.height < 0) {
        Line line = about(name, LineKind::warning);
        add(line, "the height is ");
        add_number(line, *header.height);
        add(line, ", rows stored top-down, which are not read: ");
        add(line, EMPTY_ARRAY);
        send(line);
        hint = true;
    }
    if (header.width && (*header.width <= 0 || *header.height == 0)) {
        Line line = about(name, LineKind::warning);
        add(line, "no pixels (width ");
        add_number(line, *header.width);
        add(line, ", height ");
        add_number(line, *header.height);
        add(line, "): ");
        add(line, EMPTY_ARRAY);
        send(line);
    }
    if (hint) {
        Line line;
        add(line, HINT);
        add(line, platform::MORE_HELP);
        add(line, HINT_END);
        send(line);
    }
}

// Why a file with dimensions was refused as short. A file of fewer bits a pixel, or compressed,
// is short for what it is read as: that is the cause to name first.
void add_short_file_reason(Line& line, const BmpHeader& header) {
    const bool other_bits = says_other_bits(header);
    const bool compressed = says_compression(header);
    if (other_bits || compressed) {
        add(line, "the header says ");
    } else {
        add(line, "the file ends early: ");
    }
    if (other_bits) {
        add_bits(line, *header.bits_per_pixel);
        add(line, compressed ? " per pixel and " : " per pixel");
    }
    if (compressed) {
        add_compression(line, *header.compression);
    }
    if (other_bits || compressed) {
        add(line, compressed ? "; read as uncompressed 24-bit, " : "; read as 24-bit, ");
    }
    add_number(line, *header.width);
    add(line, " x ");
    add_number(line, *header.height);
    add(line, other_bits || compressed ? " pixels need " : " pixels of 3 bytes need ");
    add_number(line, header.bytes_needed);
    add(line, " bytes, the file has ");
    add_number(line, header.file_size);
}

// A number of thousandths with the digits it needs: 2800 is 2.8.
void add_thousandths(Line& line, std::uint64_t value) {
    add_number(line, value / 1000);
    if (value % 1000 != 0) {
        char digits[5];
        const auto end = std::to_chars(std::begin(digits), std::end(digits), 1000 + value % 1000);
        std::string_view fraction(digits + 1, static_cast<std::size_t>(end.ptr - digits - 1));
        while (fraction.ends_with('0')) {
            fraction.remove_suffix(1);
        }
        add(line, ".");
        add(line, fraction);
    }
}

} // namespace

void add(Line& line, std::string_view part) {
    for (const char c : part) {
        if (line.size + 1 < Line::CAPACITY) {
            line.text[line.size++] = c;
        }
    }
}

std::string_view finished(Line& line) {
    line.text[line.size] = '\n';
    return {line.text, line.size + 1};
}

void send(Line& line) {
    platform::write_error(finished(line));
}

Line about(std::string_view name, LineKind kind) {
    Line line;
    add(line, kind == LineKind::warning ? "tivrano: warning: " : "tivrano: ");
    add(line, name);
    add(line, ": ");
    return line;
}

std::string_view load_failure(std::string_view name, platform::Loaded loaded,
                              const platform::Input& input, Line& line) {
    line = about(name);
    std::string_view message = READ_FAILED;
    switch (loaded) {
    case platform::Loaded::cannot_open:
        message = NOT_FOUND;
        add(line, "cannot open: ");
        add(line, platform::error_text(input.error));
        break;
    case platform::Loaded::too_big:
        message = TOO_BIG;
        if (input.is_terminal) {
            add(line, "a terminal, not an image: name a file, or pipe one into tivrano -");
        } else if (input.is_device) {
            add(line, "a serial port or other device, not an image: name a file");
        } else if (input.size == 0) {
            add(line, "more than ");
            add_number(line, MAX_FILE_SIZE);
            add(line, " bytes, the limit");
        } else {
            add_number(line, input.size);
            add(line, " bytes, over the limit of ");
            add_number(line, MAX_FILE_SIZE);
        }
        break;
    case platform::Loaded::no_memory:
        message = NO_MEMORY;
        add(line, "cannot hold the file in memory: ");
        add(line, platform::error_text(input.error));
        break;
    case platform::Loaded::read_failed:
    case platform::Loaded::bytes:
        add(line, "cannot read: ");
        add(line, platform::error_text(input.error));
        break;
    }
    return message;
}

void explain_current(std::string_view name, std::uint64_t leds, const Colour& colour) {
    Line line = about(name);
    add_number(line, leds);
    add(line, " LEDs draw ");
    add_thousandths(line, leds * colour.led_current_ua[3]);
    add(line, " mA even when dark, by the model, more than --max-current=");
    add_number(line, colour.max_current_ma);
    add(line, " allows");
    send(line);
}

void explain(std::string_view name, std::span<const std::uint8_t> bytes, const BmpHeader& header,
             bool strict, const Colour& colour) {
    if (header.verdict == Verdict::no_signature) {
        Line line = about(name);
        add(line, "not a BMP file, which starts with \"BM\"; ");
        add_what_it_is(line, bytes);
        send(line);
        return;
    }
    if (header.verdict == Verdict::truncated) {
        Line line = about(name);
        if (header.file_size == 0) {
            add(line, "empty, no BMP file");
        } else if (!header.width) {
            add(line, "only ");
            add_number(line, header.file_size);
            add(line, " bytes, too short for a BMP header: its width and height end at byte 26");
        } else {
            add_short_file_reason(line, header);
        }
        send(line);
    } else if (strict && !is_plain_bmp(header)) {
        Line line = about(name);
        add(line, "refused by --strict, for the reasons below");
        send(line);
    } else if (!within_reach(pixel_count(header), colour)) {
        explain_current(name, pixel_count(header), colour);
    }
    // A file too short to hold its dimensions is not worth a closer look.
    if (header.width) {
        warn_about_header(name, header);
    }
}

} // namespace tivrano
