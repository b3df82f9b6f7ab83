// libFuzzer harness: any bytes, as a whole file, through the conversion, in the default layout
// and in another. Beyond the sanitizers' checks it aborts when the text breaks what the format
// promises.
#include <cstdlib>
#include <string>
#include <string_view>

#include "formats.hpp"
#include "tivrano.hpp"

namespace {

constexpr std::string_view COMMENT_START = "/*\r\nBreite: ";
constexpr std::string_view CLOSING = "};\n\r";
// Every byte of an accepted text but the two numbers and the pixels.
constexpr std::size_t FIXED_TEXT_SIZE =
    COMMENT_START.size() + std::string_view(", Hoehe: ").size() +
    std::string_view("\r\n3 bytes / pixel, GRB Reihenfolge\r\nBeschreibung: hier eintragen\r\n"
                     "*/\r\nconst uint8_t animationX[] = {\r\n    ")
        .size() +
    CLOSING.size();
constexpr std::size_t TRIPLE_SIZE = 15;
constexpr std::size_t LINE_BREAK_SIZE = 6;

void require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

bool collect(void* context, const char* bytes, std::size_t size) {
    require(size > 0 && size <= tivrano::OUTPUT_BUFFER_SIZE);
    static_cast<std::string*>(context)->append(bytes, size);
    return true;
}

std::int32_t le32(const std::uint8_t* bytes) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8U |
        static_cast<std::uint32_t>(bytes[2]) << 16U | static_cast<std::uint32_t>(bytes[3]) << 24U);
}

// The text's length for an accepted file, from its dimensions alone.
std::size_t text_size(std::int32_t width, std::int32_t height) {
    std::size_t pixels = 0;
    if (width > 0 && height > 0) {
        pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    }
    return FIXED_TEXT_SIZE + std::to_string(width).size() + std::to_string(height).size() +
           TRIPLE_SIZE * pixels + LINE_BREAK_SIZE * (pixels / 8);
}

std::uint64_t value_sum(std::string_view values) {
    std::uint64_t sum = 0;
    std::uint64_t value = 0;
    for (const char c : values) {
        if (c >= '0' && c <= '9') {
            value = value * 10 + static_cast<std::uint64_t>(c - '0');
        } else {
            sum += value;
            value = 0;
        }
    }
    return sum + value;
}

// The bytes of the hex values after the array's opening brace, a 4-digit value's low byte
// first.
std::string hex_values(std::string_view text) {
    std::string bytes;
    for (std::size_t at = text.find("0x", text.find('{')); at != std::string_view::npos;
         at = text.find("0x", at + 2)) {
        const std::size_t digits = text.find(',', at) - at - 2;
        const unsigned long value =
            std::stoul(std::string(text.substr(at + 2, digits)), nullptr, 16);
        bytes += static_cast<char>(value & 0xFFU);
        if (digits == 4) {
            bytes += static_cast<char>(value >> 8U);
        }
    }
    return bytes;
}

bool is_message(std::string_view text) {
    return text == "BM header not found!\r\n" || text == "BMP file truncated!\n";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text;
    const int status = tivrano::convert_bmp({data, size}, {collect, &text});
    // The header the shell explains a file by tells the same story as the conversion.
    const tivrano::BmpHeader header = tivrano::read_bmp_header({data, size});
    require((header.verdict == tivrano::Verdict::accepted) == (status == 0));
    require(header.file_size == size);
    require(header.width.has_value() == (size >= 26));
    if (status == 0) {
        require(size >= 26 && header.bytes_needed <= size);
        require(text.size() == text_size(le32(data + 18), le32(data + 22)));
        require(text.starts_with(COMMENT_START) && text.ends_with(CLOSING));
    } else {
        require(status == -1 && is_message(text));
    }
    // The shell reckons the bytes an image stores from the dimensions alone, accepted or not:
    // a header of any dimensions, in any layout, keeps that sum in range.
    if (size >= 26 && *header.width > 0 && *header.height > 0) {
        tivrano::ArrayOptions by_columns;
        by_columns.layout.columns = size % 2 == 1;
        by_columns.format = static_cast<tivrano::Format>(size % 3);
        require(tivrano::image_bytes(by_columns, *header.width, *header.height) > 0);
    }
    if (status != 0) {
        return 0;
    }
    // Any wiring and channel order reads the same pixels, each once: the values come in
    // another order, so their sum stays. The file's length picks the layout.
    tivrano::ArrayOptions options;
    options.layout.start = static_cast<tivrano::Corner>(size % 4);
    options.layout.columns = size / 4 % 2 == 1;
    options.layout.serpentine = size / 8 % 2 == 1;
    require(tivrano::set_order(options.layout, size / 16 % 2 == 1 ? "bgr" : "rbg"));
    const std::size_t values = text.find('{');
    if (le32(data + 18) > 0 && le32(data + 22) > 0) {
        std::string laid_out;
        require(tivrano::convert_bmp({data, size}, {collect, &laid_out}, options) == 0);
        const std::size_t laid_out_values = laid_out.find('{');
        require(laid_out.size() - laid_out_values == text.size() - values);
        require(value_sum(laid_out.substr(laid_out_values)) == value_sum(text.substr(values)));
    }
    // In every format the bytes --binary writes are the text's values, a 16-bit value's low
    // byte first, as many as the dimensions and the layout give.
    for (const tivrano::Format format : {tivrano::Format::rgb565, tivrano::Format::mono}) {
        tivrano::ArrayOptions formatted = options;
        formatted.format = format;
        formatted.swap_bytes = size / 32 % 2 == 1;
        formatted.threshold = static_cast<std::uint8_t>(1 + size % 255);
        if (format == tivrano::Format::rgb565) {
            require(tivrano::set_order(formatted.layout, size / 16 % 2 == 1 ? "bgr" : "rgb"));
        }
        std::string written;
        std::string bytes;
        require(tivrano::convert_bmp({data, size}, {collect, &written}, formatted) == 0);
        formatted.binary = true;
        require(tivrano::convert_bmp({data, size}, {collect, &bytes}, formatted) == 0);
        const std::int32_t width = le32(data + 18);
        const std::int32_t height = le32(data + 22);
        require(bytes.size() ==
                (width > 0 && height > 0 ? tivrano::image_bytes(formatted, width, height) : 0));
        require(hex_values(written) == bytes);
    }
    // The colour options change values, never the text's length after the comment, whatever
    // the dimensions; a limit is met or refused.
    options.colour.gamma_milli[size % 3] = 100 + static_cast<std::uint32_t>(size % 4901);
    options.colour.brightness = 1 + static_cast<std::uint32_t>(size % 100);
    options.colour.max_current_ma = size % 5 == 0 ? 0 : 1 + size * size % 20000;
    std::string coloured;
    const int coloured_status = tivrano::convert_bmp({data, size}, {collect, &coloured}, options);
    if (coloured_status == 0) {
        const std::size_t coloured_values = coloured.find('{');
        require(coloured.size() - coloured_values == text.size() - values);
    } else {
        require(coloured == "BMP file refused by --max-current!\n");
    }
    return 0;
}
