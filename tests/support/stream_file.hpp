// A packed file in memory, read through tivrano_player.h's stream player as firmware reads one
// from a card, and the stream player's functions compiled as C99 and as C++.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <span>
#include <vector>

#include "player_c.h"

namespace test {

// The file, and the reads made of it, where each started: those from `fail_from` on give
// nothing, as when a card is taken out.
struct MemoryFile {
    std::span<const std::uint8_t> bytes;
    std::size_t reads = 0;
    std::size_t fail_from = std::numeric_limits<std::size_t>::max();
    std::vector<std::uint32_t> offsets = {};
};

// The firmware's read function: the bytes at offset, as many as the file holds up to count.
inline std::size_t read_memory(void* context, std::uint32_t offset, std::uint8_t* to,
                               std::size_t count) {
    auto& file = *static_cast<MemoryFile*>(context);
    file.offsets.push_back(offset);
    if (file.reads++ >= file.fail_from || offset >= file.bytes.size()) {
        return 0;
    }
    const std::size_t n = std::min(count, file.bytes.size() - offset);
    std::memcpy(to, file.bytes.data() + offset, n);
    return n;
}

struct Stream {
    const char* language;
    int (*open)(tivrano_stream*, tivrano_read, void*);
    std::uint16_t (*count)(const tivrano_stream*);
    std::uint16_t (*width)(const tivrano_stream*);
    std::uint16_t (*height)(const tivrano_stream*);
    std::uint16_t (*next)(tivrano_stream*, std::uint8_t*);
    std::uint8_t (*error)(const tivrano_stream*);
};

inline const Stream STREAMS[] = {
    {"C99 stream", c99_stream_open, c99_stream_count, c99_stream_width, c99_stream_height,
     c99_stream_next, c99_stream_error},
    {"C++ stream", tivrano_stream_open, tivrano_stream_count, tivrano_stream_width,
     tivrano_stream_height, tivrano_stream_next, tivrano_stream_error},
};

} // namespace test
