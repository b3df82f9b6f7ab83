// Builds GIF files in memory for the tests, with an LZW encoder of its own, so that a test can
// write what common encoders never do: a table left full without a clear, odd code sizes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace test {

struct GifFrame {
    std::uint16_t left = 0, top = 0, width = 0, height = 0;
    std::vector<std::uint8_t> indices; // width * height, rows from the top, as drawn
    std::vector<std::uint8_t> local;   // a local colour table, 3 bytes an entry; none if empty
    bool interlaced = false;
    int disposal = -1;    // with the delay and the transparent index, a Graphic Control
    int transparent = -1; // Extension, unless all three are -1
    int delay_cs = -1;
    int min_code_size = 2;
    bool clear_when_full = true; // false: the table stays full, codes stay 12 bits wide
};

// Codes of a growing width, least significant bit first, in sub-blocks of 255 bytes at most.
class CodeWriter {
  public:
    void put(std::uint32_t code, unsigned size) {
        buffer_ |= code << bits_;
        bits_ += size;
        while (bits_ >= 8) {
            bytes_.push_back(static_cast<std::uint8_t>(buffer_));
            buffer_ >>= 8U;
            bits_ -= 8;
        }
    }

    std::vector<std::uint8_t> sub_blocks() {
        if (bits_ > 0) {
            bytes_.push_back(static_cast<std::uint8_t>(buffer_));
        }
        std::vector<std::uint8_t> out;
        for (std::size_t at = 0; at < bytes_.size(); at += 255) {
            const std::size_t size = std::min<std::size_t>(255, bytes_.size() - at);
            out.push_back(static_cast<std::uint8_t>(size));
            out.insert(out.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(at),
                       bytes_.begin() + static_cast<std::ptrdiff_t>(at + size));
        }
        out.push_back(0);
        return out;
    }

  private:
    std::vector<std::uint8_t> bytes_;
    std::uint32_t buffer_ = 0;
    unsigned bits_ = 0;
};

// The LZW data of `frame`, from its minimum code size on, in the order stored (interlaced rows
// in their passes).
inline std::vector<std::uint8_t> lzw_data(const GifFrame& frame) {
    std::vector<std::uint8_t> stored;
    const std::size_t w = frame.width;
    const std::size_t h = frame.height;
    for (const auto& [start, step] :
         frame.interlaced
             ? std::vector<std::pair<std::size_t, std::size_t>>{{0, 8}, {4, 8}, {2, 4}, {1, 2}}
             : std::vector<std::pair<std::size_t, std::size_t>>{{0, 1}}) {
        for (std::size_t y = start; y < h; y += step) {
            stored.insert(stored.end(), frame.indices.begin() + static_cast<std::ptrdiff_t>(y * w),
                          frame.indices.begin() + static_cast<std::ptrdiff_t>((y + 1) * w));
        }
    }
    const std::uint32_t clear = 1U << frame.min_code_size;
    CodeWriter writer;
    unsigned size = static_cast<unsigned>(frame.min_code_size) + 1;
    std::uint32_t next = clear + 2;
    std::map<std::pair<std::uint32_t, std::uint8_t>, std::uint32_t> table;
    writer.put(clear, size);
    std::uint32_t prefix = 0;
    bool open = false;
    for (const std::uint8_t index : stored) {
        if (!open) {
            prefix = index;
            open = true;
            continue;
        }
        const auto found = table.find({prefix, index});
        if (found != table.end()) {
            prefix = found->second;
            continue;
        }
        writer.put(prefix, size);
        if (next < 4096) {
            table[{prefix, index}] = next++;
            // The decoder widens its codes once it has made the entry that fills this width.
            if (next > (1U << size) && size < 12) {
                ++size;
            }
        } else if (frame.clear_when_full) {
            writer.put(clear, size);
            table.clear();
            size = static_cast<unsigned>(frame.min_code_size) + 1;
            next = clear + 2;
        }
        prefix = index;
    }
    if (open) {
        writer.put(prefix, size);
    }
    writer.put(clear + 1, size);
    std::vector<std::uint8_t> data{static_cast<std::uint8_t>(frame.min_code_size)};
    const std::vector<std::uint8_t> blocks = writer.sub_blocks();
    data.insert(data.end(), blocks.begin(), blocks.end());
    return data;
}

inline void put_le16(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value));
    bytes.push_back(static_cast<std::uint8_t>(value >> 8U));
}

// The size bits of a colour table's flags: 2^(bits + 1) entries hold `table`.
inline std::uint8_t table_bits(const std::vector<std::uint8_t>& table) {
    std::uint8_t bits = 0;
    while ((std::size_t{6} << bits) < table.size()) {
        ++bits;
    }
    return bits;
}

inline void put_table(std::vector<std::uint8_t>& bytes, const std::vector<std::uint8_t>& table) {
    if (table.empty()) {
        return;
    }
    const std::size_t size = std::size_t{6} << table_bits(table);
    bytes.insert(bytes.end(), table.begin(), table.end());
    bytes.resize(bytes.size() + size - table.size(), 0);
}

// A whole GIF89a file; `trailer` false leaves the last byte, 0x3B, out.
inline std::vector<std::uint8_t> gif(std::uint16_t width, std::uint16_t height,
                                     const std::vector<std::uint8_t>& global,
                                     const std::vector<GifFrame>& frames, bool trailer = true) {
    std::vector<std::uint8_t> bytes{'G', 'I', 'F', '8', '9', 'a'};
    put_le16(bytes, width);
    put_le16(bytes, height);
    bytes.push_back(global.empty() ? 0 : static_cast<std::uint8_t>(0x80U | table_bits(global)));
    bytes.push_back(0); // background colour index
    bytes.push_back(0); // aspect ratio
    put_table(bytes, global);
    for (const GifFrame& frame : frames) {
        if (frame.disposal >= 0 || frame.transparent >= 0 || frame.delay_cs >= 0) {
            const auto disposal = static_cast<unsigned>(std::max(frame.disposal, 0));
            bytes.insert(bytes.end(), {0x21, 0xF9, 4});
            bytes.push_back(static_cast<std::uint8_t>(disposal << 2U | (frame.transparent >= 0)));
            put_le16(bytes, static_cast<std::uint32_t>(std::max(frame.delay_cs, 0)));
            bytes.push_back(static_cast<std::uint8_t>(std::max(frame.transparent, 0)));
            bytes.push_back(0);
        }
        bytes.push_back(0x2C);
        for (const std::uint16_t value : {frame.left, frame.top, frame.width, frame.height}) {
            put_le16(bytes, value);
        }
        std::uint8_t flags = frame.interlaced ? 0x40 : 0;
        if (!frame.local.empty()) {
            flags = static_cast<std::uint8_t>(flags | 0x80U | table_bits(frame.local));
        }
        bytes.push_back(flags);
        put_table(bytes, frame.local);
        const std::vector<std::uint8_t> data = lzw_data(frame);
        bytes.insert(bytes.end(), data.begin(), data.end());
    }
    if (trailer) {
        bytes.push_back(0x3B);
    }
    return bytes;
}

} // namespace test
