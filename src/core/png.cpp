// PNG through stb_image, PNG alone and from memory: every colour type, palettes with tRNS,
// 16-bit channels (their high byte kept), interlaced files. Colour management is left out:
// gAMA, iCCP, sRGB and cHRM are not applied. The chunks are walked first, so that a file cut
// short is told from a broken one, and the size is checked before anything is decoded.
#include <cstdlib>
#include <vector>

#include <stb_image.h>

#include "image.hpp"
#include "stb_image_options.h"

namespace tivrano {
namespace {

constexpr std::size_t SIGNATURE_SIZE = 8;
constexpr std::size_t CHUNK_FRAME = 12; // length, type and CRC around a chunk's data
constexpr std::size_t IHDR_END = 24;    // signature, IHDR's length and type, width, height

std::uint32_t big_endian(std::span<const std::uint8_t> bytes, std::size_t at) {
    return std::uint32_t{bytes[at]} << 24U | std::uint32_t{bytes[at + 1]} << 16U |
           std::uint32_t{bytes[at + 2]} << 8U | bytes[at + 3];
}

constexpr std::uint32_t IDAT = 0x49444154U;
constexpr std::uint32_t IEND = 0x49454E44U;

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

// Whether the chunks end before IEND does.
bool cut_short(std::span<const std::uint8_t> bytes) {
    bool ended = false;
    const std::uint64_t end = walk_chunks(bytes, [&ended](const Chunk& chunk) {
        ended = chunk.type == IEND;
        return !ended;
    });
    return !ended || end > bytes.size();
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

DecodedImage decode_png(std::span<const std::uint8_t> bytes, Rgb background,
                        const DecodeLimits& limits) {
    if (bytes.size() < IHDR_END) {
        return failed(DecodeStatus::cut_short, "the file ends inside the PNG header");
    }
    const std::uint64_t width = big_endian(bytes, 16);
    const std::uint64_t height = big_endian(bytes, 20);
    if (width == 0 || height == 0) {
        return failed(DecodeStatus::broken, "the PNG header gives no pixels");
    }
    if (width > limits.max_side || height > limits.max_side ||
        width * height > limits.max_frame_pixels || 3 * width * height > limits.max_total_bytes) {
        return failed(DecodeStatus::too_large,
                      std::to_string(width) + " x " + std::to_string(height) +
                          " pixels, more than the " + std::to_string(limits.max_frame_pixels) +
                          " (at most " + std::to_string(limits.max_side) +
                          " a side) an image may have");
    }
    if (bytes.size() > static_cast<std::size_t>(INT32_MAX)) {
        return failed(DecodeStatus::too_large, "the file is too long");
    }
    const bool short_file = cut_short(bytes);
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
        return short_file
                   ? failed(DecodeStatus::cut_short, "the file ends before the image does")
                   : failed(DecodeStatus::broken, std::string("not a valid PNG image (") +
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
