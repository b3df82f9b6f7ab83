// The packed file, laid out as tivrano_player.h's stream player reads it (its layout is written
// up at the top of that header): every number little-endian, whatever the host's order.
#include "pack_file.hpp"

#include <array>
#include <numeric>

#include "pack_small.hpp"

namespace tivrano {
namespace {

constexpr std::array<std::uint8_t, 4> FILE_MAGIC = {'T', 'I', 'V', 'P'};
// The header's bytes; then 4 a frame (its delay and its record's number), 4 a record and 4 more
// (where each starts, and where the last ends), the palette, the records and the check (4).
constexpr std::size_t FILE_HEADER_SIZE = 16;
constexpr std::size_t FRAME_ENTRY_SIZE = 4;
constexpr std::size_t RECORD_START_SIZE = 4;

void put_le16(std::vector<std::uint8_t>& file, std::size_t value) {
    file.push_back(static_cast<std::uint8_t>(value));
    file.push_back(static_cast<std::uint8_t>(value >> 8U));
}

void put_le32(std::vector<std::uint8_t>& file, std::size_t value) {
    put_le16(file, value & 0xFFFFU);
    put_le16(file, value >> 16U);
}

} // namespace

std::vector<std::uint8_t> packed_file(const Frames& frames, const Packed& packed) {
    std::vector<std::uint8_t> file(FILE_MAGIC.begin(), FILE_MAGIC.end());
    file.push_back(static_cast<std::uint8_t>(format_of(packed)));
    file.push_back(static_cast<std::uint8_t>(packed.bits | value_field(packed)));
    put_le16(file, static_cast<std::size_t>(packed.grid.width));
    put_le16(file, static_cast<std::size_t>(packed.grid.height));
    put_le16(file, frames.count());
    put_le16(file, packed.palette.size() / packed.grid.bytes);
    put_le16(file, packed.records.size());
    for (std::size_t k = 0; k < frames.count(); ++k) {
        put_le16(file, frames.delay_ms[k]);
        put_le16(file, packed.frame_record[k]);
    }
    // Within MAX_ANIMATION_VALUES and the headers of its commands: far below 4 GiB.
    std::size_t start = FILE_HEADER_SIZE + FRAME_ENTRY_SIZE * frames.count() +
                        RECORD_START_SIZE * (packed.records.size() + 1) + packed.model.size() +
                        packed.palette.size();
    for (const auto& record : packed.records) {
        put_le32(file, start);
        start += record.size();
    }
    put_le32(file, start);
    file.insert(file.end(), packed.model.begin(), packed.model.end());
    file.insert(file.end(), packed.palette.begin(), packed.palette.end());
    for (const auto& record : packed.records) {
        file.insert(file.end(), record.begin(), record.end());
    }
    put_le32(file, crc32(file));
    return file;
}

std::uint32_t crc32(std::span<const std::uint8_t> bytes) {
    // A byte at a time through a table of the 256 remainders, made when first needed.
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> made{};
        for (std::uint32_t n = 0; n < made.size(); ++n) {
            std::uint32_t crc = n;
            for (int bit = 0; bit < 8; ++bit) {
                crc = (crc & 1U) != 0 ? (crc >> 1U) ^ 0xEDB88320U : crc >> 1U;
            }
            made[n] = crc;
        }
        return made;
    }();
    return ~std::accumulate(bytes.begin(), bytes.end(), 0xFFFFFFFFU,
                            [](std::uint32_t crc, std::uint8_t byte) {
                                return table[(crc ^ byte) & 0xFFU] ^ (crc >> 8U);
                            });
}

} // namespace tivrano
