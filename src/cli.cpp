// tivrano [OPTION]... FILE: writes the C source text for one BMP image to standard output, or
// with -o to a file.
//
// Standard output and the exit status are what scripts and builds rely on: the text, or on any
// failure one message line in its place and status 255. Standard error is for people: the
// reason for a refusal, and warnings about a file that is not what it is read as.
#include <charconv>
#include <cstdint>
#include <string_view>

#include <getopt.h>

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
constexpr std::string_view NOT_STRICT = "BMP file refused by --strict!\n";

constexpr std::string_view VERSION = "tivrano " TIVRANO_VERSION "\n";
// Followed by where to read more, and " tells more, and how to make a plain 24-bit BMP.".
constexpr std::string_view HELP =
    "Usage: tivrano [OPTION]... FILE.bmp > FILE.c\n"
    "       tivrano [OPTION]... - < FILE.bmp > FILE.c\n"
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
    "BMP go to standard error. A file named like an option is reached as ./--help.\n"
    "\n"
    "Options:\n"
    "  -o, --output=FILE   write the text to FILE, which is replaced only by a whole\n"
    "                      text; refusals still go to standard output\n"
    "      --order=ORDER   the values of a pixel in this order: grb (the default),\n"
    "                      rgb, brg, bgr, rbg or gbr\n"
    "      --start=CORNER  the first LED: top-left (the default), top-right,\n"
    "                      bottom-left or bottom-right\n"
    "      --columns       the LED strip runs along columns instead of rows\n"
    "      --serpentine    every second row (or column) runs the other way\n"
    "      --name=NAME     name the array NAME, and make the text a source file that\n"
    "                      defines NAME, NAME_size, NAME_width and NAME_height\n"
    "      --progmem       on an AVR, put the array in flash memory (PROGMEM)\n"
    "      --strict        refuse a file that would get a warning\n"
    "      --help          show this help\n"
    "      --version       show the version\n"
    "\n"
    "A plain 24-bit BMP: magick in.png -type TrueColor BMP3:out.bmp (ImageMagick 7;\n"
    "with ImageMagick 6, convert instead of magick).\n"
    "\n";
constexpr std::string_view HELP_END = " tells more.";

// Followed by where to read more, and " has more ways".
constexpr std::string_view HINT =
    "tivrano: hint: magick in.png -type TrueColor BMP3:out.bmp (or convert, in ImageMagick 6) "
    "makes a plain 24-bit BMP; ";
constexpr std::string_view HINT_END = " has more ways";
constexpr std::string_view EMPTY_ARRAY =
    "the array is empty; standard C and C++ have no zero-length array, -pedantic refuses it, and "
    "compilers that accept it give the frame 0 bytes";

// Where text goes: standard output, or the file of -o; and the error of its first failed write
// (0 while every write succeeded).
struct Output {
    platform::OutputFile* file = nullptr;
    int error = 0;
};

bool write_output(void* context, const char* bytes, std::size_t size) {
    auto& output = *static_cast<Output*>(context);
    if (output.error != 0) {
        return false;
    }
    return output.file != nullptr ? platform::write_file(*output.file, bytes, size, output.error)
                                  : platform::write_output(bytes, size, output.error);
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
        Line line = about(name, Kind::warning);
        add(line, "the header says ");
        add_bits(line, *header.bits_per_pixel);
        add(line, " per pixel, but pixels are read as 24-bit, 3 bytes each");
        send(line);
        hint = true;
    }
    if (says_compression(header)) {
        Line line = about(name, Kind::warning);
        add(line, "the header says ");
        add_compression(line, *header.compression);
        add(line, ", but pixels are read as uncompressed");
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

// Why a file was refused, or what was assumed about one that was converted.
void explain(std::string_view name, std::span<const std::uint8_t> bytes, const BmpHeader& header,
             bool strict) {
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
    } else if (strict && header.verdict == Verdict::accepted && !is_plain(header)) {
        Line line = about(name);
        add(line, "refused by --strict, for the reasons below");
        send(line);
    }
    // A file too short to hold its dimensions is not worth a closer look.
    if (header.width) {
        warn_about_header(name, header);
    }
}

// What the command line asks for.
struct Request {
    TextOptions text;
    const char* output_path = nullptr; // -o; nullptr for standard output
    bool strict = false;
};

// Standard output, and the file of -o while it is written.
struct Outputs {
    Output standard;
    Output file;
    const char* file_name = nullptr;
};

int convert_file(const char* path, std::string_view name, const Request& request,
                 Outputs& outputs) {
    const Sink standard{write_output, &outputs.standard};
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
        const int refused = refuse(standard, message);
        send(line);
        return refused;
    }
    // A file that is refused gets its message on standard output, never in the output file;
    // so does one --strict refuses.
    const BmpHeader header = read_bmp_header(input.bytes);
    int result = FAILED;
    if (header.verdict == Verdict::accepted && request.strict && !is_plain(header)) {
        result = refuse(standard, NOT_STRICT);
    } else if (header.verdict != Verdict::accepted || request.output_path == nullptr) {
        result = convert_bmp(input.bytes, standard, request.text);
    } else {
        platform::OutputFile file;
        outputs.file_name = request.output_path;
        if (platform::create_file(request.output_path, file, outputs.file.error)) {
            outputs.file.file = &file;
            result = convert_bmp(input.bytes, {write_output, &outputs.file}, request.text);
            if (outputs.file.error == 0) {
                platform::commit_file(file, outputs.file.error);
            }
            platform::discard_file(file);
            outputs.file.file = nullptr;
        }
    }
    explain(name, input.bytes, header, request.strict);
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

// The usage message for an option that is wrong, and a line on what is wrong with it; no
// problem stands for an option that does not exist.
int refuse_option(Sink sink, std::string_view option, const char* problem) {
    const int refused = refuse(sink, USAGE);
    Line line;
    add(line, "tivrano: ");
    add(line, option);
    add(line, ": ");
    if (problem != nullptr) {
        add(line, problem);
    } else {
        add(line, "no such option; a file of that name is ./");
        add(line, option);
    }
    add(line, "; see tivrano --help");
    send(line);
    return refused;
}

int print(Sink sink, std::string_view text) {
    return sink.write(sink.context, text.data(), text.size()) ? 0 : FAILED;
}

// The long options without a letter of their own.
enum LongOption : int {
    OPT_ORDER = 256,
    OPT_START,
    OPT_COLUMNS,
    OPT_SERPENTINE,
    OPT_NAME,
    OPT_PROGMEM,
    OPT_STRICT,
    OPT_HELP,
    OPT_VERSION,
};

// Takes one option, with its value if it has one, into the request; returns what is wrong with
// it, or nullptr.
const char* take_option(int option, const char* value, Request& request) {
    const char* const text = value != nullptr ? value : "";
    Layout& layout = request.text.layout;
    switch (option) {
    case 'o':
        request.output_path = text;
        return nullptr;
    case OPT_ORDER:
        return set_order(layout, text) ? nullptr
                                       : "the order is one of grb, rgb, brg, bgr, rbg and gbr";
    case OPT_START:
        return set_start(layout, text) ? nullptr
                                       : "the corner is one of top-left, top-right, "
                                         "bottom-left and bottom-right";
    case OPT_COLUMNS:
        layout.columns = true;
        return nullptr;
    case OPT_SERPENTINE:
        layout.serpentine = true;
        return nullptr;
    case OPT_NAME: {
        const char* const problem = name_problem(text);
        request.text.name = problem == nullptr ? text : "";
        return problem;
    }
    case OPT_PROGMEM:
        request.text.progmem = true;
        return nullptr;
    case OPT_STRICT:
        request.strict = true;
        return nullptr;
    case OPT_HELP:
    case OPT_VERSION:
        return "it stands alone, without a file";
    default: // ':', a value missing
        return "it needs a value";
    }
}

// The option as given, with its value: "--start=left" for "--start left" too. A short option
// is the argument as it stands.
Line as_given(const option* long_option, const char* argument) {
    Line given;
    if (long_option == nullptr) {
        add(given, argument);
        return given;
    }
    add(given, "--");
    add(given, long_option->name);
    if (optarg != nullptr) {
        add(given, "=");
        add(given, optarg);
    }
    return given;
}

int print_help(Sink sink) {
    Line more;
    add(more, platform::MORE_HELP);
    add(more, HELP_END);
    return print(sink, HELP) == 0 ? print(sink, finished(more)) : FAILED;
}

int dispatch(int argc, char** argv, Outputs& outputs) {
    const Sink standard{write_output, &outputs.standard};
    const std::string_view only = argc == 2 ? argv[1] : "";
    if (only == "--help" || platform::is_help_alias(only)) {
        return print_help(standard);
    }
    if (only == "--version") {
        return print(standard, VERSION);
    }
    static const option OPTIONS[] = {
        {"output", required_argument, nullptr, 'o'},
        {"order", required_argument, nullptr, OPT_ORDER},
        {"start", required_argument, nullptr, OPT_START},
        {"columns", no_argument, nullptr, OPT_COLUMNS},
        {"serpentine", no_argument, nullptr, OPT_SERPENTINE},
        {"name", required_argument, nullptr, OPT_NAME},
        {"progmem", no_argument, nullptr, OPT_PROGMEM},
        {"strict", no_argument, nullptr, OPT_STRICT},
        {"help", no_argument, nullptr, OPT_HELP},
        {"version", no_argument, nullptr, OPT_VERSION},
        {nullptr, 0, nullptr, 0},
    };
    Request request;
    opterr = 0; // every message here is the tool's own
    int index = -1;
    for (int got = 0; (got = getopt_long(argc, argv, ":o:", OPTIONS, &index)) != -1; index = -1) {
        if (got == '?') {
            // An unknown short option is one letter of its argument; a long one is all of it.
            const char letter[] = {'-', static_cast<char>(optopt), '\0'};
            return refuse_option(
                standard, optopt != 0 ? std::string_view(letter, 2) : argv[optind - 1], nullptr);
        }
        if (const char* problem = take_option(got, optarg, request); problem != nullptr) {
            Line given = as_given(index >= 0 ? &OPTIONS[index] : nullptr, argv[optind - 1]);
            return refuse_option(standard, {given.text, given.size}, problem);
        }
    }
    if (argc - optind != 1) {
        return refuse_arguments(standard, argc - optind);
    }
    const char* const path = argv[optind];
    if (std::string_view(path) == "-") {
        return convert_file(nullptr, "standard input", request, outputs);
    }
    return convert_file(path, path, request, outputs);
}

void report_failed_write(std::string_view what, int error) {
    Line line;
    add(line, "tivrano: cannot write ");
    add(line, what);
    add(line, ": ");
    add(line, platform::error_text(error));
    send(line);
}

} // namespace

int run(int argc, char** argv) {
    Outputs outputs;
    const int result = dispatch(argc, argv, outputs);
    if (outputs.file.error != 0) {
        report_failed_write(outputs.file_name, outputs.file.error);
    }
    if (outputs.standard.error != 0) {
        report_failed_write("standard output", outputs.standard.error);
    }
    return outputs.file.error != 0 || outputs.standard.error != 0 ? FAILED : result;
}

} // namespace tivrano
