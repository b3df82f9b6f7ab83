#include "explain.hpp"

#include "numbers.hpp"

namespace tivrano {
namespace {

constexpr std::string_view NOT_FOUND = "BMP file not found!\n";
constexpr std::string_view TOO_BIG = "BMP file too big (>1MB)!\n";
constexpr std::string_view NO_MEMORY = "Not enough memory for the BMP file!\n";

constexpr const char* EMPTY_ARRAY =
    "the array is empty; standard C and C++ have no zero-length array, -pedantic refuses it, and "
    "compilers that accept it give the frame 0 bytes";

// What a file that does not start with "BM" seems to be, by the bytes other formats start with.
Phrase what_it_is(std::span<const std::uint8_t> bytes) {
    const std::string_view start(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    struct Magic {
        std::string_view bytes;
        const char* what;
    };
    static constexpr Magic MAGIC[] = {
        {"\xff\xd8\xff", "it starts like a JPEG image"},
        {{"II*\0", 4}, "it starts like a TIFF image"},
        {{"MM\0*", 4}, "it starts like a TIFF image"},
        {{"\0\0\1\0", 4}, "it starts like a Windows icon"},
        {"/*\r\nBreite: ", "it is text written by tivrano"},
    };
    for (const Magic& magic : MAGIC) {
        if (start.starts_with(magic.bytes)) {
            return phrase("%s", magic.what);
        }
    }
    if (start.starts_with("RIFF") && start.size() >= 12 &&
        std::string_view(start.data() + 8, 4) == "WEBP") {
        return phrase("it starts like a WebP image");
    }
    char hex[8 * 3 + 1] = {};
    std::size_t size = 0;
    constexpr std::string_view HEX_DIGITS = "0123456789abcdef";
    for (const std::uint8_t byte : bytes.first(bytes.size() < 8 ? bytes.size() : 8)) {
        hex[size++] = ' ';
        hex[size++] = HEX_DIGITS[byte >> 4U];
        hex[size++] = HEX_DIGITS[byte & 15U];
    }
    return phrase("it starts with the bytes%s", hex);
}

const char* compression_name(std::uint32_t compression) {
    static constexpr const char* NAMES[] = {"RGB",  "RLE8", "RLE4",          "BITFIELDS",
                                            "JPEG", "PNG",  "ALPHABITFIELDS"};
    return compression < std::size(NAMES) ? NAMES[compression] : "unknown";
}

bool says_other_bits(const BmpHeader& header) {
    return header.bits_per_pixel && *header.bits_per_pixel != READ_BITS_PER_PIXEL;
}

bool says_compression(const BmpHeader& header) {
    return header.compression && *header.compression != READ_COMPRESSION;
}

Phrase bits_phrase(std::uint16_t bits) {
    return phrase("%u %s per pixel", unsigned{bits}, bits == 1 ? "bit" : "bits");
}

Phrase compression_phrase(std::uint32_t compression) {
    return phrase("compression %lu (%s)", static_cast<unsigned long>(compression),
                  compression_name(compression));
}

// One warning for each header field that says the file is not what the conversion reads it
// as, and a hint on making one that is.
void warn_about_header(const char* name, const BmpHeader& header) {
    bool hint = false;
    if (says_other_bits(header)) {
        say("tivrano: warning: %s: the header says %s, but pixels are read as 24-bit, 3 bytes "
            "each",
            name, bits_phrase(*header.bits_per_pixel).text);
        hint = true;
    }
    if (says_compression(header)) {
        say("tivrano: warning: %s: the header says %s, but pixels are read as uncompressed", name,
            compression_phrase(*header.compression).text);
        hint = true;
    }
    if (header.pixel_data_offset && *header.pixel_data_offset != PIXEL_DATA_OFFSET) {
        say("tivrano: warning: %s: the header puts the pixels at byte %lu, but they are read "
            "from byte %lu",
            name, static_cast<unsigned long>(*header.pixel_data_offset),
            static_cast<unsigned long>(PIXEL_DATA_OFFSET));
        hint = true;
    }
    if (header.height && *header.height < 0) {
        say("tivrano: warning: %s: the height is %ld, rows stored top-down, which are not read: "
            "%s",
            name, static_cast<long>(*header.height), EMPTY_ARRAY);
        hint = true;
    }
    if (header.width && (*header.width <= 0 || *header.height == 0)) {
        say("tivrano: warning: %s: no pixels (width %ld, height %ld): %s", name,
            static_cast<long>(*header.width), static_cast<long>(*header.height), EMPTY_ARRAY);
    }
    if (hint) {
        say("tivrano: hint: an image saved as PNG is read as it is, whatever its kind; %.*s "
            "has more",
            static_cast<int>(platform::MORE_HELP.size()), platform::MORE_HELP.data());
    }
}

// Why a file with dimensions was refused as short. A file of fewer bits a pixel, or compressed,
// is short for what it is read as: that is the cause to name first.
void explain_short_file(const char* name, const BmpHeader& header) {
    const bool other_bits = says_other_bits(header);
    const bool compressed = says_compression(header);
    const auto width = static_cast<long>(*header.width);
    const auto height = static_cast<long>(*header.height);
    const auto needed = static_cast<unsigned long long>(header.bytes_needed);
    const auto size = static_cast<unsigned long long>(header.file_size);
    if (!other_bits && !compressed) {
        say("tivrano: %s: the file ends early: %ld x %ld pixels of 3 bytes need %llu bytes, the "
            "file has %llu",
            name, width, height, needed, size);
        return;
    }
    say("tivrano: %s: the header says %s%s%s; read as %s24-bit, %ld x %ld pixels need %llu bytes, "
        "the file has %llu",
        name, other_bits ? bits_phrase(*header.bits_per_pixel).text : "",
        other_bits && compressed ? " and " : "",
        compressed ? compression_phrase(*header.compression).text : "",
        compressed ? "uncompressed " : "", width, height, needed, size);
}

} // namespace

std::string_view load_failure(const char* name, platform::Loaded loaded,
                              const platform::Input& input, Line& line) {
    const auto limit = static_cast<unsigned long long>(MAX_FILE_SIZE);
    switch (loaded) {
    case platform::Loaded::cannot_open:
        line = line_of("tivrano: %s: cannot open: %s", name, platform::error_text(input.error));
        return NOT_FOUND;
    case platform::Loaded::too_big:
        if (input.is_terminal) {
            line = line_of("tivrano: %s: a terminal, not an image: name a file, or pipe one into "
                           "tivrano -",
                           name);
        } else if (input.is_device) {
            line = line_of("tivrano: %s: a serial port or other device, not an image: name a file",
                           name);
        } else if (input.size == 0) {
            line = line_of("tivrano: %s: more than %llu bytes, the limit", name, limit);
        } else {
            line = line_of("tivrano: %s: %llu bytes, over the limit of %llu", name,
                           static_cast<unsigned long long>(input.size), limit);
        }
        return TOO_BIG;
    case platform::Loaded::no_memory:
        line = line_of("tivrano: %s: cannot hold the file in memory: %s", name,
                       platform::error_text(input.error));
        return NO_MEMORY;
    case platform::Loaded::read_failed:
    case platform::Loaded::bytes:
        break;
    }
    line = line_of("tivrano: %s: cannot read: %s", name, platform::error_text(input.error));
    return READ_FAILED;
}

std::string_view decode_failure(const char* name, const Taken& taken) {
    const bool png = taken.format == ImageFormat::png;
    say("tivrano: %s: %s", name, taken.decoded.reason.c_str());
    switch (taken.decoded.status) {
    case DecodeStatus::cut_short:
        return png ? "PNG file truncated!\n" : "GIF file truncated!\n";
    case DecodeStatus::too_large:
        return png ? "PNG image too large!\n" : "GIF image too large!\n";
    default:
        return png ? "PNG file broken!\n" : "GIF file broken!\n";
    }
}

void explain_frame(const char* name, FrameProblem problem, const Taken& taken,
                   const Frames& frames) {
    const auto width = static_cast<long>(taken.width());
    const auto height = static_cast<long>(taken.height());
    switch (problem) {
    case FrameProblem::no_pixels:
        say("tivrano: %s: %ld x %ld pixels: no pixels, which a frame of an animation needs", name,
            width, height);
        break;
    case FrameProblem::too_many_leds:
        say("tivrano: %s: %ld x %ld pixels, more LEDs than the %llu a frame of an animation holds",
            name, width, height, static_cast<unsigned long long>(MAX_FRAME_LEDS));
        break;
    case FrameProblem::other_size:
        say("tivrano: %s: %ld x %ld pixels, the frames before it %ld x %ld; every frame needs the "
            "same size",
            name, width, height, static_cast<long>(frames.image_width),
            static_cast<long>(frames.image_height));
        break;
    case FrameProblem::too_many_frames:
        say("tivrano: %s: a frame past the %llu an animation holds", name,
            static_cast<unsigned long long>(MAX_FRAMES));
        break;
    case FrameProblem::too_many_values:
        say("tivrano: %s: %ld x %ld pixels; with the frames before it, more than the %llu bytes of "
            "values an animation holds",
            name, width, height, static_cast<unsigned long long>(MAX_ANIMATION_VALUES));
        break;
    case FrameProblem::none:
        break;
    }
}

void explain_current(const char* name, std::uint64_t leds, const Colour& colour) {
    say("tivrano: %s: %llu LEDs draw %s mA even when dark, by the model, more than "
        "--max-current=%llu allows",
        name, static_cast<unsigned long long>(leds),
        thousandths_text(leds * colour.led_current_ua[3]).text,
        static_cast<unsigned long long>(colour.max_current_ma));
}

void explain(const char* name, std::span<const std::uint8_t> bytes, const BmpHeader& header,
             bool strict, const Colour& colour, std::uint64_t leds) {
    if (header.verdict == Verdict::no_signature) {
        say("tivrano: %s: not a BMP file, which starts with \"BM\"; %s", name,
            what_it_is(bytes).text);
        return;
    }
    if (header.verdict == Verdict::truncated) {
        if (header.file_size == 0) {
            say("tivrano: %s: empty, no BMP file", name);
        } else if (!header.width) {
            say("tivrano: %s: only %llu bytes, too short for a BMP header: its width and height "
                "end at byte 26",
                name, static_cast<unsigned long long>(header.file_size));
        } else {
            explain_short_file(name, header);
        }
    } else if (strict && !is_plain_bmp(header)) {
        say("tivrano: %s: refused by --strict, for the reasons below", name);
    } else if (!within_reach(leds, colour)) {
        explain_current(name, leds, colour);
    }
    // A file too short to hold its dimensions is not worth a closer look.
    if (header.width) {
        warn_about_header(name, header);
    }
}

} // namespace tivrano
