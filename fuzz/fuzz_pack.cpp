// libFuzzer harness: frames made of any bytes, packed fast or small, and played by
// tivrano_player.h, which must give every frame back exactly: in order twice round, and each on
// its own. Built for LEDs of 3 bytes, and for values of TIVRANO_VALUE_BYTES (fuzz_pack_2, of
// rgb565, and fuzz_pack_1, of mono's bytes). Beyond the sanitizers' checks it aborts when a frame
// differs, or, packed fast, the palette and records take more than 4 bytes a frame for each 319
// LEDs (a command of values) beyond the frames as they are.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <vector>

#include "animation.hpp"

#define TIVRANO_SMALL 1
#include "tivrano_player.h"

namespace {

constexpr std::size_t BYTES = TIVRANO_VALUE_BYTES; // of a value

void require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

} // namespace

// The first bytes choose the size, the frame count, how many colours the pixels take, and how
// far every second frame moves the one before it round the LEDs (0: not at all); the rest are
// the pixels, as indices into colours the bytes also give, so that frames share colours, runs,
// unchanged spans and moved LEDs, which the player copies, as real ones do. With the first
// byte's top bit, frames of 64 LEDs or more go on past 8,192 LEDs in all, where the packer
// chooses its palette by a sample of the first frames and makes records standing alone only as
// it needs them: each frame after the first ones is that frame again, one LED further round.
// With the second byte's top bit, the frames are packed small.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    tivrano::Frames frames;
    frames.width = 1 + data[0] % 24;
    frames.height = 1 + data[1] % 16;
    const std::size_t drawn = 1 + data[2] % 8;
    const std::size_t colours = 1 + data[3];
    const std::size_t leds = frames.grid().values();
    const bool goes_on = (data[0] & 0x80U) != 0 && leds >= 64;
    const std::size_t count = goes_on ? drawn * (8192 / (drawn * leds) + 2) : drawn;
    for (std::size_t k = 0; k < drawn * leds; ++k) {
        const std::size_t at = 4 + k;
        const std::size_t pick = at < size ? data[at] % colours : k % colours;
        for (std::size_t channel = 0; channel < BYTES; ++channel) {
            const std::size_t from = 4 + (BYTES * pick + channel) % (size - 3);
            frames.values.push_back(static_cast<std::uint8_t>(data[from - 1] + pick * 17));
        }
    }
    const std::size_t moved = data[2] / 8 % leds;
    for (std::size_t k = 1; moved != 0 && k < drawn; k += 2) {
        for (std::size_t value = 0; value < BYTES * leds; ++value) {
            frames.values[BYTES * leds * k + value] =
                frames.values[BYTES * leds * (k - 1) + (value + BYTES * moved) % (BYTES * leds)];
        }
    }
    frames.values.resize(BYTES * leds * count);
    for (std::size_t k = drawn; k < count; ++k) {
        for (std::size_t value = 0; value < BYTES * leds; ++value) {
            frames.values[BYTES * leds * k + value] =
                frames.values[BYTES * leds * (k - drawn) + (value + BYTES) % (BYTES * leds)];
        }
    }
    if (BYTES != 3) { // values as encode_frames gives them
        frames.encoded_size = BYTES * leds;
        frames.encoded_grid = {BYTES, frames.width, frames.height};
    }
    frames.delay_ms.assign(count, 100);
    const bool small = (data[1] & 0x80U) != 0;
    const tivrano::Storage storage =
        tivrano::store(frames, small ? tivrano::Pack::small : tivrano::Pack::fast);
    const tivrano::Packed& packed = *storage.packed;
    const std::size_t records_bytes =
        std::accumulate(packed.records.begin(), packed.records.end(), packed.palette.size(),
                        [](std::size_t sum, const auto& record) { return sum + record.size(); });
    require(small || records_bytes <= frames.values.size() + 4 * count * ((leds + 318) / 319));
    // Packed small, the model lies before the palette.
    std::vector<std::uint8_t> palette = packed.model;
    palette.insert(palette.end(), packed.palette.begin(), packed.palette.end());

    std::vector<const std::uint8_t*> records(packed.frame_record.size());
    std::transform(packed.frame_record.begin(), packed.frame_record.end(), records.begin(),
                   [&](std::uint16_t record) { return packed.records.at(record).data(); });
    const tivrano_animation animation{static_cast<std::uint16_t>(count),
                                      static_cast<std::uint16_t>(frames.width),
                                      static_cast<std::uint16_t>(frames.height),
                                      static_cast<std::uint8_t>(packed.bits |
                                                                tivrano::value_field(packed) |
                                                                (small ? TIVRANO_SMALL_FLAG : 0U)),
                                      palette.data(),
                                      records.data(),
                                      frames.delay_ms.data()};
    std::vector<std::uint8_t> leds_bytes(frames.frame_size());
    tivrano_player player{};
    tivrano_player_start(&player, &animation);
    for (std::size_t k = 0; k < 2 * count; ++k) {
        require(tivrano_player_next(&player, leds_bytes.data()) == 100);
        require(std::memcmp(leds_bytes.data(), frames.frame(k % count).data(), leds_bytes.size()) ==
                0);
    }
    for (std::size_t k = count; k-- > 0;) {
        std::memset(leds_bytes.data(), 0xAA, leds_bytes.size());
        tivrano_frame(&animation, static_cast<std::uint16_t>(k), leds_bytes.data());
        require(std::memcmp(leds_bytes.data(), frames.frame(k).data(), leds_bytes.size()) == 0);
    }
    return 0;
}
