// libFuzzer harness: any bytes as a packed file, played by tivrano_player.h's stream player
// through a read function, into LEDs of exactly the frame's size, where AddressSanitizer sees any
// byte written or read past them. Beyond the sanitizers' checks it aborts when a frame the stream
// accepts differs from the flash player's of the same record, palette and delay, or when a
// stream that failed writes to the LEDs again. The bytes are played as they are, and again with
// the header mended to open (a small animation, the tables' first and last starts where the
// header puts them, and the check made again), so that the records themselves are fuzzed. Built
// for LEDs of 3 bytes, and for values of TIVRANO_VALUE_BYTES (fuzz_stream_2 and fuzz_stream_1).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "pack_file.hpp"

#define TIVRANO_SMALL 1
#include "tivrano_player.h"

namespace {

constexpr std::size_t MOST_FRAMES = 40;

void require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

std::size_t read_bytes(void* context, std::uint32_t offset, std::uint8_t* to, std::size_t count) {
    const auto& file = *static_cast<std::span<const std::uint8_t>*>(context);
    if (offset >= file.size()) {
        return 0;
    }
    const std::size_t n = std::min<std::size_t>(count, file.size() - offset);
    std::memcpy(to, file.data() + offset, n);
    return n;
}

// The little-endian number of `bytes.size()` bytes (at most 4) at the start of bytes.
std::uint32_t le(std::span<const std::uint8_t> bytes) {
    std::uint32_t value = 0;
    for (std::size_t k = bytes.size(); k-- > 0;) {
        value = value << 8U | bytes[k];
    }
    return value;
}

// Writes value little-endian into all of `to`.
void put(std::span<std::uint8_t> to, std::uint32_t value) {
    for (std::uint8_t& byte : to) {
        byte = static_cast<std::uint8_t>(value);
        value >>= 8U;
    }
}

// Plays the file, each frame the stream accepts against the flash player's.
void play(std::span<const std::uint8_t> file) {
    tivrano_stream stream{};
    if (tivrano_stream_open(&stream, read_bytes, &file) != 0) {
        require(tivrano_stream_count(&stream) == 0 && tivrano_stream_width(&stream) == 0);
        return;
    }
    // The flash player's animation, on the file's own tables; only a frame the stream accepted
    // is played by it, and so only records the stream has checked.
    const std::uint16_t count = tivrano_stream_count(&stream);
    const std::size_t records = le(file.subspan(14, 2));
    const std::size_t starts = TIVRANO_FILE_HEADER + std::size_t{4} * count;
    std::vector<const std::uint8_t*> frames(count);
    std::vector<std::uint16_t> delays(count);
    for (std::size_t i = 0; i < count && i < MOST_FRAMES; ++i) {
        const std::size_t record = le(file.subspan(TIVRANO_FILE_HEADER + 4 * i + 2, 2));
        delays[i] = static_cast<std::uint16_t>(le(file.subspan(TIVRANO_FILE_HEADER + 4 * i, 2)));
        const std::size_t start = record < records ? le(file.subspan(starts + 4 * record, 4)) : 0;
        if (start != 0 && start < file.size()) {
            frames[i] = file.data() + start;
        }
    }
    const tivrano_animation animation{count,
                                      tivrano_stream_width(&stream),
                                      tivrano_stream_height(&stream),
                                      static_cast<std::uint8_t>(file[4] != TIVRANO_PLAYER_FORMAT
                                                                    ? file[5] | TIVRANO_SMALL_FLAG
                                                                    : file[5]),
                                      file.data() + starts + 4 * (records + 1),
                                      frames.data(),
                                      delays.data()};
    const std::size_t size = std::size_t{TIVRANO_VALUE_BYTES} * animation.width * animation.height;
    std::vector<std::uint8_t> leds(size);
    std::vector<std::uint8_t> flash(size);
    tivrano_player player{};
    tivrano_player_start(&player, &animation);
    for (std::size_t k = 0; k < std::min(std::size_t{2} * count, MOST_FRAMES); ++k) {
        const std::uint16_t delay = tivrano_stream_next(&stream, leds.data());
        if (tivrano_stream_error(&stream) != TIVRANO_STREAM_OK) {
            require(delay == 0);
            const std::vector<std::uint8_t> failed = leds;
            require(tivrano_stream_next(&stream, leds.data()) == 0 && leds == failed);
            return;
        }
        require(tivrano_player_next(&player, flash.data()) == delay && leds == flash);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    play(bytes);
    // Mended: fast, or with the format byte's lowest bit small (its others then choose among the
    // small formats, 6 to 8, whose records may be of any kind); at most 32 x 16 LEDs and 8
    // frames, a palette its bits allow, the first record where the palette ends, the last ending
    // where the check's 4 bytes start, and the check.
    if (size < TIVRANO_FILE_HEADER + 4) {
        return 0;
    }
    const std::size_t end = size - 4;
    std::vector<std::uint8_t> file(bytes.begin(), bytes.end());
    const auto field = [&](std::size_t at, std::size_t size) {
        return std::span(file).subspan(at, size);
    };
    const bool small = (file[4] & 1U) != 0;
    unsigned bits = 1U << (file[5] & 3U);
    if (small) {
        bits = file[5] % 9U;
    }
    const std::size_t count = 1 + file[10] % 8U;
    // A small animation of no palette's bits has no palette.
    const std::size_t colours = bits == 0 ? 0 : file[12] % ((1U << bits) + 1);
    const std::size_t records = 1 + file[14] % count;
    const std::size_t starts = TIVRANO_FILE_HEADER + 4 * count;
    const std::size_t model = small ? TIVRANO_SMALL_QUESTIONS + (1U << bits) - 1 : 0;
    const std::size_t records_at =
        starts + 4 * (records + 1) + model + std::size_t{TIVRANO_VALUE_BYTES} * colours;
    if (end <= records_at) {
        return 0;
    }
    put(field(0, 4), TIVRANO_FILE_MAGIC);
    // Packed small: of any of its formats, which the player plays alike.
    file[4] = static_cast<std::uint8_t>(!small ? TIVRANO_PLAYER_FORMAT
                                               : TIVRANO_SMALL_FORMAT + (file[4] >> 1U) % 3U);
    file[5] = static_cast<std::uint8_t>(bits | TIVRANO_VALUE_FIELD);
    put(field(6, 2), 1 + file[6] % 32U);
    put(field(8, 2), 1 + file[8] % 16U);
    put(field(10, 2), static_cast<std::uint32_t>(count));
    put(field(12, 2), static_cast<std::uint32_t>(colours));
    put(field(14, 2), static_cast<std::uint32_t>(records));
    put(field(starts, 4), static_cast<std::uint32_t>(records_at));
    put(field(starts + 4 * records, 4), static_cast<std::uint32_t>(end));
    for (std::size_t i = 0; i < count; ++i) {
        const auto record = field(TIVRANO_FILE_HEADER + 4 * i + 2, 2);
        put(record, static_cast<std::uint32_t>(le(record) % records));
    }
    put(field(end, 4), tivrano::crc32(std::span(file).first(end)));
    play(file);
    return 0;
}
