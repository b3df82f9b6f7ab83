// tivrano FILE: writes the C source text for one BMP image to standard output.
//
// Standard output and the exit status are what scripts and builds rely on: the text, or on any
// failure one message line in its place and status 255. Standard error is for people: the
// reason for a refusal, and warnings about a file that is not what it is read as.
#include <charconv>
#include <cstdint>
#include <string_view>

#include "platform.hpp"
#include "tivrano.hpp"

namespace tivrano {
namespace {

// Returned after any failure: status 255 in the shell.
constexpr int FAILED = -1;

constexpr std::string_view USAGE =
    "Ungueltige Anzahl der Parameter\nNutzung:  tivrano bmpfile >csoure\n";
constexpr std::string_view NOT_FOUND = "BMP file not found!\n";
constexpr std::string_view TOO_BIG = "BMP file too big (>1MB)!\n";
constexpr std::string_view NO_MEMORY = "Not enough memory for the BMP file!\n";
constexpr std::string_view READ_FAILED = "BMP file could not be read!\n";

constexpr std::string_view VERSION = "tivrano " TIVRANO_VERSION "\n";
constexpr std::string_view HELP =
    "Usage: tivrano FILE.bmp > FILE.c\n"
    "       tivrano - < FILE.bmp > FILE.c\n"
    "       tivrano --help | --version\n"
    "\n"
    "Turns an uncompressed 24-bit BMP image into C source text: a comment with its\n"
    "width and height, and the array animationX holding every pixel as green, red,\n"
    "blue values, top row first, eight pixels to a line.\n"
    "\n"
    "FILE.bmp is read whole, at most 1000000 bytes; - reads standard input. The\n"
    "text goes to standard output, and the exit status is 0. On failure, standard\n"
    "output gets a one-line message instead, standard error says why, and the exit\n"
    "status is 255 (-1 on Windows). Warnings about a file that is not a plain 24-bit\n"
    "BMP go to standard error. A file named --help or --version is reached as\n"
    "./--help.\n"
    "\n"
    "man tivrano tells more, and how to make a plain 24-bit BMP.\n";

constexpr std::string_view HINT =
    "tivrano: hint: convert in.png -type TrueColor BMP3:out.bmp makes "
    "a plain 24-bit BMP; man tivrano has more ways\n";
constexpr std::string_view EMPTY_ARRAY = "the array is empty, and C and C++ refuse an empty array";

// Standard output, and the error of its first failed write (0 while every write succeeded).
struct Output {
    int error = 0;
};

bool write_output(void* context, const char* bytes, std::size_t size) {
    auto& output = *static_cast<Output*>(context);
    return output.error == 0 && platform::write_output(bytes, size, output.error);
}

int refuse(Sink sink, std::string_view message) {
    sink.write(sink.context, message.data(), message.size());
    return FAILED;
}

// One line for standard error, built in a buffer of fixed size; whatever would pass its end
// (a very long path) is cut off, and the line still ends in a line feed.
struct Line {
    static constexpr std::size_t CAPACITY = 4096;
    char text[CAPACITY];
    std::size_t size = 0;
};

void add(Line& line, std::string_view part) {
    for (const char c : part) {
        if (line.size + 1 < Line::CAPACITY) {
            line.text[line.size++] = c;
        }
    }
}

template <typename Number> void add_number(Line& line, Number number) {
    char digits[24];
    const auto result = std::to_chars(std::begin(digits), std::end(digits), number);
    add(line, std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
}

// The line with its line feed, as a complete text.
std::string_view finished(Line& line) {
    line.text[line.size] = '\n';
    return {line.text, line.size + 1};
}

void send(Line& line) {
    platform::write_error(finished(line));
}

// A line about one file: "tivrano: NAME: ", or for a warning "tivrano: warning: NAME: ".
enum class Kind { reason, warning };

Line about(std::string_view name, Kind kind = Kind::reason) {
    Line line;
    add(line, kind == Kind::warning ? "tivrano: warning: " : "tivrano: ");
    add(line, name);
    add(line, ": ");
    return line;
}

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

// One warning for each header field that says the file is not what the conversion reads it
// as, and a hint on making one that is.
void warn_about_header(std::string_view name, const BmpHeader& header) {
    bool hint = false;
    if (header.bits_per_pixel && *header.bits_per_pixel != READ_BITS_PER_PIXEL) {
        Line line = about(name, Kind::warning);
        add(line, "the header says ");
        add_number(line, *header.bits_per_pixel);
        add(line, *header.bits_per_pixel == 1 ? " bit" : " bits");
        add(line, " per pixel, but pixels are read as 24-bit, 3 bytes each");
        send(line);
        hint = true;
    }
    if (header.compression && *header.compression != READ_COMPRESSION) {
        Line line = about(name, Kind::warning);
        add(line, "the header says compression ");
        add_number(line, *header.compression);
        add(line, " (");
        add(line, compression_name(*header.compression));
        add(line, "), but pixels are read as uncompressed");
        send(line);
        hint = true;
    }
    if (header.pixel_data_offset && *header.pixel_data_offset != PIXEL_DATA_OFFSET) {
        Line line = about(name, Kind::warning);
        add(line, "the header puts the pixels at byte ");
        add_number(line, *header.pixel_data_offset);
        add(line, ", but they are read from byte 54");
        send(line);
        hint = true;
    }
    if (header.height && *header.height < 0) {
        Line line = about(name, Kind::warning);
        add(line, "the height is ");
        add_number(line, *header.height);
        add(line, ", rows stored top-down, which are not read: ");
        add(line, EMPTY_ARRAY);
        send(line);
        hint = true;
    }
    if (header.width && (*header.width <= 0 || *header.height == 0)) {
        Line line = about(name, Kind::warning);
        add(line, "no pixels (width ");
        add_number(line, *header.width);
        add(line, ", height ");
        add_number(line, *header.height);
        add(line, "): ");
        add(line, EMPTY_ARRAY);
        send(line);
    }
    if (hint) {
        platform::write_error(HINT);
    }
}

// Why a file was refused, or what was assumed about one that was converted.
void explain(std::string_view name, std::span<const std::uint8_t> bytes) {
    const BmpHeader header = read_bmp_header(bytes);
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
            add(line, "the file ends early: ");
            add_number(line, *header.width);
            add(line, " x ");
            add_number(line, *header.height);
            add(line, " pixels of 3 bytes need ");
            add_number(line, header.bytes_needed);
            add(line, " bytes, the file has ");
            add_number(line, header.file_size);
        }
        send(line);
    }
    // A file too short to hold its dimensions is not worth a closer look.
    if (header.width) {
        warn_about_header(name, header);
    }
}

int convert_file(const char* path, std::string_view name, Sink sink) {
    Line cut_short = about(name);
    add(cut_short, "the file was cut short by another program while it was converted");
    platform::Input input;
    const platform::Loaded loaded = platform::load(path, {READ_FAILED, finished(cut_short)}, input);
    if (loaded != platform::Loaded::bytes) {
        Line line = about(name);
        std::string_view message = READ_FAILED;
        switch (loaded) {
        case platform::Loaded::cannot_open:
            message = NOT_FOUND;
            add(line, "cannot open: ");
            add(line, platform::error_text(input.error));
            if (name.size() > 1 && name.starts_with('-')) {
                add(line, "; the options are --help and --version, and ./");
                add(line, name);
                add(line, " names a file");
            }
            break;
        case platform::Loaded::too_big:
            message = TOO_BIG;
            if (input.is_terminal) {
                add(line, "a terminal, not an image: name a file, or pipe one into tivrano -");
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
        const int refused = refuse(sink, message);
        send(line);
        return refused;
    }
    const int result = convert_bmp(input.bytes, sink);
    explain(name, input.bytes);
    platform::release(input);
    return result;
}

int refuse_arguments(Sink sink, int count) {
    const int refused = refuse(sink, USAGE);
    Line line;
    if (count <= 0) {
        add(line, "tivrano: no file named; ");
    } else {
        add(line, "tivrano: ");
        add_number(line, count);
        add(line, " arguments, but one file is converted per call (quote a name with blanks); ");
    }
    add(line, "call it as: tivrano FILE.bmp > FILE.c, or see tivrano --help");
    send(line);
    return refused;
}

int print(Sink sink, std::string_view text) {
    return sink.write(sink.context, text.data(), text.size()) ? 0 : FAILED;
}

int dispatch(int argc, char** argv, Sink sink) {
    if (argc != 2) {
        return refuse_arguments(sink, argc - 1);
    }
    const std::string_view argument = argv[1];
    if (argument == "--help") {
        return print(sink, HELP);
    }
    if (argument == "--version") {
        return print(sink, VERSION);
    }
    if (argument == "-") {
        return convert_file(nullptr, "standard input", sink);
    }
    return convert_file(argv[1], argument, sink);
}

} // namespace

int run(int argc, char** argv) {
    Output output;
    const int result = dispatch(argc, argv, {write_output, &output});
    if (output.error != 0) {
        Line line;
        add(line, "tivrano: cannot write standard output: ");
        add(line, platform::error_text(output.error));
        send(line);
        return FAILED;
    }
    return result;
}

} // namespace tivrano
