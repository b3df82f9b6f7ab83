// PNG through stb_image, PNG alone and from memory: every colour type, palettes with tRNS,
// 16-bit channels (their high byte kept), interlaced files. Colour management is left out:
// gAMA, iCCP, sRGB and cHRM are not applied. The chunks are walked first, so that a file cut
// short is told from a broken one, and the size is checked before anything is decoded. Every
// chunk's CRC is checked (stb_image checks none): a file with one that does not match is broken.
#include <array>
#include <cstdlib>
#include <numeric>
#include <optional>
#include <vector>

#include <stb_image.h>

#include "image.hpp"
#include "stb_image_options.h"

namespace tivrano {
namespace {

constexpr std::size_t SIGNATURE_SIZE = 8;
constexpr std::size_t CHUNK_FRAME = 12; // length, type and CRC around a chunk's data
constexpr std::size_t IHDR_SIZE = 13;   // IHDR's data

std::uint32_t big_endian(std::span<const std::uint8_t> bytes, std::size_t at) {
    return std::uint32_t{bytes[at]} << 24U | std::uint32_t{bytes[at + 1]} << 16U |
           std::uint32_t{bytes[at + 2]} << 8U | bytes[at + 3];
}

constexpr std::uint32_t IHDR = 0x49484452U;
constexpr std::uint32_t IDAT = 0x49444154U;
constexpr std::uint32_t IEND = 0x49454E44U;

constexpr std::array<std::uint32_t, 256> crc_table() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < table.size(); ++n) {
        std::uint32_t c = n;
        for (int bit = 0; bit < 8; ++bit) {
            c = (c & 1U) != 0 ? 0xEDB88320U ^ (c >> 1U) : c >> 1U;
        }
        table[n] = c;
    }
    return table;
}
constexpr auto CRC_TABLE = crc_table();

struct Chunk {
    std::uint64_t at; // where its length is
    std::uint64_t length;
    std::uint32_t type;
};

// Calls visit(chunk) for each chunk whose length and type are in the file, until it
// returns false; returns where the chunks end, which is past the file's end for one cut short.
template <typename Visit>
std::uint64_t walk_chunks(std::span<const std::uint8_t> bytes, Visit visit) {
    std::uint64_t at = SIGNATURE_SIZE;
    while (at + CHUNK_FRAME <= bytes.size()) {
        const std::uint64_t length = big_endian(bytes, static_cast<std::size_t>(at));
        const std::uint32_t type = big_endian(bytes, static_cast<std::size_t>(at + 4));
        const std::uint64_t next = at + CHUNK_FRAME + length;
        if (!visit(Chunk{at, length, type})) {
            return next;
        }
        at = next;
    }
    return at;
}

// Whether the CRC of the chunk at `at`, of `length` bytes of data, matches its type and data.
bool crc_matches(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t length) {
    return crc32_of(bytes.subspan(at + 4, 4 + length)) == big_endian(bytes, at + 8 + length);
}

// A chunk's type as its four letters, or in hex when it is not letters.
std::string type_name(std::uint32_t type) {
    std::string name;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto letter = static_cast<char>(type >> static_cast<unsigned>(shift));
        if (!((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z'))) {
            std::string hex = "0x";
            for (int digit = 28; digit >= 0; digit -= 4) {
                hex += "0123456789ABCDEF"[(type >> static_cast<unsigned>(digit)) & 0xFU];
            }
            return hex;
        }
        name += letter;
    }
    return name;
}

// Why the chunks up to IEND are not whole and sound: a chunk whose CRC does not match, or a file
// that ends before IEND's CRC; nothing when they are.
std::optional<std::pair<DecodeStatus, std::string>>
check_chunks(std::span<const std::uint8_t> bytes) {
    std::optional<std::pair<DecodeStatus, std::string>> failure;
    bool ended = false;
    const std::uint64_t end = walk_chunks(bytes, [&](const Chunk& chunk) {
        if (chunk.at + CHUNK_FRAME + chunk.length > bytes.size()) {
            return false;
        }
        if (!crc_matches(bytes, static_cast<std::size_t>(chunk.at),
                         static_cast<std::size_t>(chunk.length))) {
            failure.emplace(DecodeStatus::broken,
                            "the CRC of its " + type_name(chunk.type) + " chunk does not match");
            return false;
        }
        ended = chunk.type == IEND;
        return !ended;
    });
    if (!failure && (!ended || end > bytes.size())) {
        failure.emplace(DecodeStatus::cut_short, "the file ends before its IEND chunk does");
    }
    return failure;
}

// The file without its empty IDAT chunks, which hold no data, and which stb_image would copy
// from a null pointer; nothing when it has none.
std::vector<std::uint8_t> without_empty_data(std::span<const std::uint8_t> bytes) {
    std::vector<std::uint8_t> kept;
    std::uint64_t copied = 0; // the bytes before this are in `kept`, but for empty IDAT chunks
    walk_chunks(bytes, [&](const Chunk& chunk) {
        if (chunk.length == 0 && chunk.type == IDAT) {
            kept.insert(kept.end(), bytes.begin() + static_cast<std::ptrdiff_t>(copied),
                        bytes.begin() + static_cast<std::ptrdiff_t>(chunk.at));
            copied = chunk.at + CHUNK_FRAME;
        }
        return true;
    });
    if (copied != 0) {
        kept.insert(kept.end(), bytes.begin() + static_cast<std::ptrdiff_t>(copied), bytes.end());
    }
    return kept;
}

// The pixels stb_image gives, freed with them. (<memory> does not compile under strict POSIX
// headers with libstdc++ 12.)
struct StbPixels {
    stbi_uc* data;
    explicit StbPixels(stbi_uc* pixels) : data(pixels) {}
    StbPixels(const StbPixels&) = delete;
    StbPixels& operator=(const StbPixels&) = delete;
    ~StbPixels() { stbi_image_free(data); }
};

DecodedImage failed(DecodeStatus status, std::string reason) {
    DecodedImage image;
    image.status = status;
    image.reason = std::move(reason);
    return image;
}

} // namespace

std::uint32_t crc32_of(std::span<const std::uint8_t> bytes) {
    return ~std::accumulate(bytes.begin(), bytes.end(), 0xFFFFFFFFU,
                            [](std::uint32_t crc, std::uint8_t byte) {
                                return CRC_TABLE[(crc ^ byte) & 0xFFU] ^ (crc >> 8U);
                            });
}

DecodedImage decode_png(std::span<const std::uint8_t> bytes, Rgb background,
                        const DecodeLimits& limits) {
    // The signature, then IHDR, whole, and only then what it says.
    if (bytes.size() >= SIGNATURE_SIZE + 8 && (big_endian(bytes, SIGNATURE_SIZE) != IHDR_SIZE ||
                                               big_endian(bytes, SIGNATURE_SIZE + 4) != IHDR)) {
        return failed(DecodeStatus::broken, "its first chunk is not the IHDR a PNG starts with");
    }
    if (bytes.size() < SIGNATURE_SIZE + CHUNK_FRAME + IHDR_SIZE) {
        return failed(DecodeStatus::cut_short, "the file ends inside the PNG header");
    }
    if (!crc_matches(bytes, SIGNATURE_SIZE, IHDR_SIZE)) {
        return failed(DecodeStatus::broken, "the CRC of its IHDR chunk does not match");
    }
    const std::uint64_t width = big_endian(bytes, 16);
    const std::uint64_t height = big_endian(bytes, 20);
    if (width == 0 || height == 0) {
        return failed(DecodeStatus::broken, "the PNG header gives no pixels");
    }
    const std::string size = std::to_string(width) + " x " + std::to_string(height) + " pixels, ";
    if (width > limits.max_side || height > limits.max_side) {
        return failed(DecodeStatus::too_large, size + "more than the " +
                                                   std::to_string(limits.max_side) +
                                                   " a side an image may have");
    }
    if (width * height > limits.max_frame_pixels || 3 * width * height > limits.max_total_bytes) {
        return failed(
            DecodeStatus::too_large,
            size + "more than the " +
                std::to_string(std::min(limits.max_frame_pixels, limits.max_total_bytes / 3)) +
                " an image may have");
    }
    if (bytes.size() > static_cast<std::size_t>(INT32_MAX)) {
        return failed(DecodeStatus::too_large, "the file is too long");
    }
    if (const auto failure = check_chunks(bytes)) {
        return failed(failure->first, failure->second);
    }
    const std::vector<std::uint8_t> filtered = without_empty_data(bytes);
    if (!filtered.empty()) {
        bytes = filtered;
    }
    int got_width = 0;
    int got_height = 0;
    int channels = 0;
    const StbPixels pixels{stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()),
                                                 &got_width, &got_height, &channels, 4)};
    if (pixels.data == nullptr || static_cast<std::uint64_t>(got_width) != width ||
        static_cast<std::uint64_t>(got_height) != height) {
        const char* const why = stbi_failure_reason();
        return failed(DecodeStatus::broken, std::string("not a valid PNG image (") +
                                                (why != nullptr ? why : "unknown") + ")");
    }
    DecodedImage image;
    image.status = DecodeStatus::decoded;
    image.width = static_cast<std::int32_t>(width);
    image.height = static_cast<std::int32_t>(height);
    ImageFrame& frame = image.frames.emplace_back();
    frame.rgb.resize(static_cast<std::size_t>(3 * width * height)); // within the limits
    const std::uint8_t ground[3] = {static_cast<std::uint8_t>(background >> 16U),
                                    static_cast<std::uint8_t>(background >> 8U),
                                    static_cast<std::uint8_t>(background)};
    const stbi_uc* from = pixels.data;
    for (std::size_t k = 0; k < frame.rgb.size(); k += 3, from += 4) {
        for (std::size_t c = 0; c < 3; ++c) {
            frame.rgb[k + c] = over(from[c], from[3], ground[c]);
        }
    }
    return image;
}

} // namespace tivrano
