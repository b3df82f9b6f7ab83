// Animations packed and played by tivrano_player.h give back every frame as the unpacked text
// holds it, in this process, through the header compiled as C99 and as C++: in order, twice
// round and backwards, and from the packed file through the stream player, twice round; in
// rgb565 and mono too, through players of their values. Small animations take the bytes they
// took, and the tables beside them.
#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "animation.hpp"
#include "formats.hpp"
#include "frames_builder.hpp"
#include "pack_file.hpp"
#include "pack_small.hpp"
#include "player_values.h"
#include "records.hpp"
#include "stream_file.hpp"

namespace {

using test::Bgr;
using test::colour;
using test::frames_of;
using test::Pattern;

struct Animation {
    std::string name;
    int width;
    int height;
    std::vector<std::vector<Bgr>> frames;
    int bits = 0;    // of the indices it must pack into; 0: any
    int share = 100; // the most it may take packed, in percent of the same frames as arrays
};

// The frames as the tool reads them from BMP files, each with a delay of its own.
tivrano::Frames read_frames(const Animation& animation, const tivrano::Layout& layout) {
    tivrano::Frames frames;
    frames.width = animation.width;
    frames.height = animation.height;
    for (const auto& pixels : animation.frames) {
        const test::Bytes bmp = test::bmp_file(animation.width, animation.height, pixels);
        tivrano::append_values(tivrano::bmp_pixels(tivrano::read_bmp_header(bmp), bmp), layout,
                               frames.values);
        frames.delay_ms.push_back(static_cast<std::uint16_t>(10 * frames.delay_ms.size() + 7));
    }
    return frames;
}

// The animation as a text defines it, pointing into `packed`; `records` holds the table, and
// `palette` the palette, after the model of one packed small.
tivrano_animation animation_of(const tivrano::Frames& frames, const tivrano::Packed& packed,
                               std::vector<const std::uint8_t*>& records,
                               std::vector<std::uint8_t>& palette) {
    records.clear();
    for (const std::uint16_t record : packed.frame_record) {
        records.push_back(packed.records.at(record).data());
    }
    palette = packed.model;
    palette.insert(palette.end(), packed.palette.begin(), packed.palette.end());
    return {.count = static_cast<std::uint16_t>(frames.count()),
            .width = static_cast<std::uint16_t>(packed.grid.width),
            .height = static_cast<std::uint16_t>(packed.grid.height),
            .bits = static_cast<std::uint8_t>(packed.bits | tivrano::value_field(packed) |
                                              (packed.small ? TIVRANO_SMALL_FLAG : 0)),
            .palette = palette.empty() ? nullptr : palette.data(),
            .frames = records.data(),
            .delay_ms = frames.delay_ms.data()};
}

// The player's functions, from the header compiled as C99 with reads of its own (player_read.c)
// or as C++ (here).
struct Player {
    const char* language;
    std::uint16_t (*count)(const tivrano_animation*);
    std::uint16_t (*width)(const tivrano_animation*);
    std::uint16_t (*delay_ms)(const tivrano_animation*, std::uint16_t);
    void (*frame)(const tivrano_animation*, std::uint16_t, std::uint8_t*);
    void (*start)(tivrano_player*, const tivrano_animation*);
    std::uint16_t (*next)(tivrano_player*, std::uint8_t*);
};

const Player PLAYERS[] = {
    {"C99, reads of its own", c99_read_count, c99_read_width, c99_read_delay_ms, c99_read_frame,
     c99_read_player_start, c99_read_player_next},
    {"C++", tivrano_count, tivrano_width, tivrano_delay_ms, tivrano_frame, tivrano_player_start,
     tivrano_player_next},
};

// The players of values of 2 bytes and of 1, flash and stream.
std::pair<std::vector<Player>, std::vector<test::Stream>> players_of(std::size_t bytes) {
    if (bytes == 3) {
        return {{std::begin(PLAYERS), std::end(PLAYERS)},
                {std::begin(test::STREAMS), std::end(test::STREAMS)}};
    }
    const c99_values& c = bytes == 2 ? c99_values_2 : c99_values_1;
    return {{{"C99", c.count, c.width, c.delay_ms, c.frame, c.start, c.next}},
            {{"C99 stream", c.stream_open, c.stream_count, c.stream_width, c.stream_height,
              c.stream_next, c.stream_error}}};
}

// The most cycles, as the packer reckons them, that tivrano_frame spends on a frame (playing from
// the last frame that stands alone), in halves of the longest frame in order.
std::uint64_t seek_halves(const tivrano::Packed& packed) {
    std::uint64_t longest = 0;
    std::uint64_t most = 0;
    std::uint64_t from_alone = 0;
    for (const std::uint16_t at : packed.frame_record) {
        const std::uint64_t cycles = packed.cycles.at(at);
        // A record after the previous frame starts with a skip, or packed small, its top bit set.
        const std::uint8_t first = packed.records[at][0];
        const bool after =
            packed.small ? first >= 0x80 : first >> tivrano::OP_SHIFT == tivrano::SKIP;
        from_alone = (after ? from_alone : 0) + cycles;
        longest = std::max(longest, cycles);
        most = std::max(most, from_alone);
    }
    return (2 * most + longest - 1) / longest;
}

// Plays every frame twice round, then each on its own from last to first, against `frames`.
void expect_played(const Player& player, const tivrano_animation& animation,
                   const tivrano::Frames& frames) {
    SCOPED_TRACE(player.language);
    EXPECT_EQ(player.count(&animation), frames.count());
    EXPECT_EQ(player.width(&animation), frames.grid().width);
    std::vector<std::uint8_t> leds(frames.frame_size());
    tivrano_player state{};
    player.start(&state, &animation);
    for (std::size_t k = 0; k < 2 * frames.count(); ++k) {
        const std::size_t i = k % frames.count();
        EXPECT_EQ(player.next(&state, leds.data()), frames.delay_ms[i]) << "frame " << i;
        EXPECT_TRUE(std::memcmp(leds.data(), frames.frame(i).data(), leds.size()) == 0)
            << "frame " << i << " as played";
    }
    for (std::size_t i = frames.count(); i-- > 0;) {
        std::memset(leds.data(), 0xAA, leds.size());
        player.frame(&animation, static_cast<std::uint16_t>(i), leds.data());
        EXPECT_TRUE(std::memcmp(leds.data(), frames.frame(i).data(), leds.size()) == 0)
            << "frame " << i << " on its own";
        EXPECT_EQ(player.delay_ms(&animation, static_cast<std::uint16_t>(i)), frames.delay_ms[i]);
    }
}

// Plays the packed file twice round through the stream player, against `frames`.
void expect_streamed(const test::Stream& stream, std::span<const std::uint8_t> file,
                     const tivrano::Frames& frames) {
    SCOPED_TRACE(stream.language);
    test::MemoryFile memory{file};
    tivrano_stream state{};
    ASSERT_EQ(stream.open(&state, test::read_memory, &memory), 0);
    EXPECT_EQ(stream.count(&state), frames.count());
    EXPECT_EQ(stream.width(&state), frames.grid().width);
    EXPECT_EQ(stream.height(&state), frames.grid().height);
    std::vector<std::uint8_t> leds(frames.frame_size());
    for (std::size_t k = 0; k < 2 * frames.count(); ++k) {
        const std::size_t i = k % frames.count();
        EXPECT_EQ(stream.next(&state, leds.data()), frames.delay_ms[i]) << "frame " << i;
        EXPECT_TRUE(std::memcmp(leds.data(), frames.frame(i).data(), leds.size()) == 0)
            << "frame " << i << " streamed";
    }
    EXPECT_EQ(stream.error(&state), TIVRANO_STREAM_OK);
}

TEST(Player, GivesBackEveryFrameOfEveryForm) {
    static_assert(sizeof(tivrano_stream) <= 64, "the stream player's state");
    std::vector<Animation> animations = {
        {"one-bit", 9, 4, frames_of(9, 4, 2, 6), 1, 25},
        {"two-bits", 7, 5, frames_of(7, 5, 4, 5), 2, 25},
        {"four-bits", 8, 6, frames_of(8, 6, 12, 4, Pattern::drawn), 4, 30},
        {"over-256-colours", 20, 15, frames_of(20, 15, 300, 3), 0, 25},
        {"eight-bit-spans", 16, 16, frames_of(16, 16, 200, 3, Pattern::spread), 8, 65},
        {"forty-colours", 40, 20, frames_of(40, 20, 40, 4, Pattern::spread), 8, 40},
        {"as-they-are", 6, 5, frames_of(6, 5, 0, 3, Pattern::noise)},
        {"long-commands", 40, 20, frames_of(40, 20, 3, 4), 0, 25},
    };
    // Frames that come again: alone (A B A) and after the same frame (B C B C).
    const auto abc = frames_of(8, 6, 5, 3);
    animations.push_back(
        {"again", 8, 6, {abc[0], abc[1], abc[0], abc[2], abc[1], abc[2], abc[1], abc[2]}, 0, 25});
    // Frames that move up two rows, round, which the player copies from the frame before.
    auto moved = frames_of(16, 8, 40, 1, Pattern::drawn);
    for (int k = 1; k < 6; ++k) {
        moved.push_back(moved.back());
        std::rotate(moved.back().begin(), moved.back().begin() + 32, moved.back().end());
    }
    animations.push_back({"moved", 16, 8, moved, 8, 40});
    // Rows of 11,000 LEDs, the second frame the first moved up a row: bytes back to the LED a row
    // away, counted in more than 16 bits.
    auto wide = frames_of(11000, 3, 6, 1, Pattern::drawn);
    wide.push_back(wide.back());
    std::rotate(wide.back().begin(), wide.back().begin() + 11000, wide.back().end());
    animations.push_back({"wide", 11000, 3, wide});
    // A long animation (over 8,192 LEDs in all), whose palette is chosen on its first frames and
    // whose frames are made to stand alone only where that may be chosen: a block that moves,
    // rows that move, frames like earlier ones, and a frame drawn anew.
    auto long_run = frames_of(48, 32, 12, 10);
    for (int k = 0; k < 3; ++k) {
        long_run.push_back(long_run.back());
        std::rotate(long_run.back().begin(), long_run.back().begin() + 96, long_run.back().end());
    }
    long_run.push_back(long_run[4]);
    long_run.push_back(frames_of(48, 32, 12, 1, Pattern::drawn)[0]);
    long_run.push_back(long_run[2]);
    animations.push_back({"long", 48, 32, long_run, 0, 25});
    // A long one of more colours than 8 bits index, whose sample tries no palette too.
    animations.push_back(
        {"long-many-colours", 40, 24, frames_of(40, 24, 300, 10, Pattern::spread), 0, 40});
    tivrano::Layout wired;
    ASSERT_TRUE(tivrano::set_order(wired, "rgb") && tivrano::set_start(wired, "bottom-right"));
    wired.serpentine = true;
    tivrano::Layout rgb;
    ASSERT_TRUE(tivrano::set_order(rgb, "rgb"));
    using tivrano::Format;
    // The records of animations packed small, by kind: small, fast (which those mixed play), and
    // small standing alone with an offset.
    std::array<std::size_t, 3> kinds{};
    for (const Animation& animation : animations) {
        // Packed small: every frame small, or (mixed) fast where that takes no more bytes.
        for (const auto& [layout, label, pack, format, small_only] :
             {std::tuple{tivrano::Layout{}, "", tivrano::Pack::fast, Format::grb, false},
              std::tuple{wired, " serpentine rgb bottom-right", tivrano::Pack::fast, Format::grb,
                         false},
              std::tuple{tivrano::Layout{}, " small", tivrano::Pack::small, Format::grb, true},
              std::tuple{tivrano::Layout{}, " mixed", tivrano::Pack::small, Format::grb, false},
              std::tuple{rgb, " rgb565", tivrano::Pack::fast, Format::rgb565, false},
              std::tuple{rgb, " rgb565 small", tivrano::Pack::small, Format::rgb565, true},
              std::tuple{tivrano::Layout{}, " mono", tivrano::Pack::fast, Format::mono, false},
              std::tuple{wired, " mono mixed serpentine", tivrano::Pack::small, Format::mono,
                         false}}) {
            SCOPED_TRACE(animation.name + label);
            tivrano::Frames frames = read_frames(animation, layout);
            tivrano::ArrayOptions options;
            options.format = format;
            options.layout = layout;
            tivrano::encode_frames(options, frames);
            tivrano::Storage packed = tivrano::store(frames, pack);
            if (small_only) {
                packed.packed = tivrano::pack_small(frames, false);
            }
            for (const auto& record : packed.packed->records) {
                const unsigned offset = record[0] & 63U;
                kinds.at(offset == 63U                       ? 1
                         : record[0] < 0x80 && offset != 24U ? 2
                                                             : 0) += packed.packed->small ? 1U : 0U;
            }
            const tivrano::Storage plain = tivrano::store(frames, tivrano::Pack::none);
            const auto [players, streams] = players_of(frames.grid().bytes);
            if (pack == tivrano::Pack::fast && format == Format::grb) {
                if (animation.bits != 0) {
                    EXPECT_EQ(packed.packed->bits, animation.bits);
                }
                // Packing never stores more than 4 bytes a frame for each 319 LEDs beyond the
                // frames as arrays (a command of values), and stores frames of few colours in a
                // small part.
                const std::size_t commands = (frames.frame_size() / 3 + 318) / 319;
                EXPECT_LE(packed.stored, plain.stored + 4 * commands * frames.count());
                EXPECT_LE(packed.stored * 100,
                          plain.stored * static_cast<unsigned>(animation.share))
                    << packed.stored << " of " << plain.stored;
            }
            EXPECT_LE(seek_halves(*packed.packed), tivrano::SEEK_HALVES);
            std::vector<const std::uint8_t*> records;
            std::vector<std::uint8_t> palette;
            const tivrano_animation played = animation_of(frames, *packed.packed, records, palette);
            c99_reads = 0;
            for (const Player& player : players) {
                expect_played(player, played, frames);
            }
            const auto file = tivrano::packed_file(frames, *packed.packed);
            for (const test::Stream& stream : streams) {
                expect_streamed(stream, file, frames);
            }
            // Reads through the macros only: frames of triples, played twice round and once
            // each, read every value three times (by the player of triples with reads of its
            // own).
            EXPECT_GE(c99_reads, format != Format::grb ? 0
                                 : animation.name == "as-they-are" && pack == tivrano::Pack::fast
                                     ? 3 * frames.values.size()
                                     : 1);
        }
    }
    EXPECT_GT(kinds[0], 0U);
    EXPECT_GT(kinds[1], 0U);
    EXPECT_GT(kinds[2], 0U);
}

// A strip as long as a frame may be, packed small, its second frame the first moved 2 LEDs
// along: columns past the last, counted in 16 bits, would wrap round into the strip.
TEST(Player, PlaysAStripAsLongAsAFrameMayBe) {
    const Animation strip{"strip", 65535, 1, frames_of(65535, 1, 5, 2, Pattern::spread)};
    const tivrano::Frames frames = read_frames(strip, tivrano::Layout{});
    const tivrano::Packed packed = tivrano::pack_small(frames, false);
    std::vector<const std::uint8_t*> records;
    std::vector<std::uint8_t> palette;
    expect_played(PLAYERS[1], animation_of(frames, packed, records, palette), frames);
    expect_streamed(test::STREAMS[0], tivrano::packed_file(frames, packed), frames);
}

// The frames made to stand alone keep playing from one through the frames up to the next within
// the bound, for the fewest bytes: each frame's record standing alone costs `alone` bytes and
// 100 cycles, after the previous 5 bytes and 100 cycles (the first frame's never counts).
TEST(Player, FramesStandAloneWhereSeekingNeedsThemForTheFewestBytes) {
    struct Case {
        const char* name;
        std::vector<std::uint64_t> alone;
        std::uint64_t bound;
        std::vector<bool> expected;
    };
    const std::vector<Case> cases = {
        {"the first alone is enough", {9, 9, 9, 9}, 400, {true, false, false, false}},
        {"every other frame", {9, 9, 9, 9}, 250, {true, false, true, false}},
        {"the cheapest that keeps the bound",
         {9, 9, 4, 9, 9},
         300,
         {true, false, true, false, false}},
        {"smaller alone than after the previous", {9, 3, 9}, 1000, {true, true, false}},
    };
    for (const Case& c : cases) {
        std::vector<tivrano::RecordCosts> costs;
        for (const std::uint64_t bytes : c.alone) {
            costs.push_back({bytes, 100, 5, 100});
        }
        EXPECT_EQ(tivrano::standing_alone(costs, c.bound), c.expected) << c.name;
    }
}

// What animations of 64 LEDs take packed fast: the palette and records, as player format 2 has
// them, and every object of the text on an AVR (the figure its comment gives and --max-bytes
// counts), 4 bytes a frame and 13 more; with 4-byte pointers 2 more a frame and 7 more.
TEST(Player, PackedSizes) {
    static_assert(TIVRANO_PLAYER_FORMAT == tivrano::PLAYER_FORMAT);
    static_assert(TIVRANO_SMALL_FORMAT == tivrano::SMALL_FORMAT);
    static_assert(TIVRANO_MIXED_FORMAT == tivrano::MIXED_FORMAT);
    static_assert(TIVRANO_OFFSET_FORMAT == tivrano::OFFSET_FORMAT);
    const auto indexed = [](int colours, std::vector<int> changed) {
        std::vector<Bgr> first;
        for (int k = 0; k < 64; ++k) {
            first.push_back(colour(k % colours));
        }
        std::vector<std::vector<Bgr>> frames = {first};
        if (!changed.empty()) {
            frames.push_back(first);
            for (std::size_t k = 0; k < changed.size(); ++k) {
                frames[1][static_cast<std::size_t>(changed[k])] = colour(200 + static_cast<int>(k));
            }
        }
        return frames;
    };
    std::vector<Bgr> checkerboard;
    for (int k = 0; k < 64; ++k) {
        checkerboard.push_back(colour((k % 8 + k / 8) % 2));
    }
    struct Case {
        Animation animation;
        std::uint64_t records; // and the palette
        std::uint64_t avr;
        std::uint64_t wide;
    };
    const std::vector<Case> cases = {
        {{"one colour", 20, 15, {std::vector<Bgr>(300, colour(5))}}, 6, 23, 32},
        {{"3 colours, one LED changes", 8, 8, indexed(3, {10})}, 21, 42, 53},
        {{"20 colours, two LEDs change", 8, 8, indexed(20, {10, 40})}, 81, 102, 113},
        {{"checkerboard", 8, 8, {checkerboard}, 1}, 12, 29, 38},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.animation.name);
        const tivrano::Storage storage =
            tivrano::store(read_frames(row.animation, {}), tivrano::Pack::fast);
        std::uint64_t records = storage.packed->palette.size();
        for (const auto& record : storage.packed->records) {
            records += record.size();
        }
        EXPECT_EQ(records, row.records);
        EXPECT_EQ(storage.stored, row.avr);
        EXPECT_EQ(storage.stored + storage.wide_more, row.wide);
        if (row.animation.bits != 0) {
            EXPECT_EQ(storage.packed->bits, row.animation.bits);
        }
    }
}

} // namespace
