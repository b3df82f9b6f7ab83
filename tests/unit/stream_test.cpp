// The stream player on files that are not whole or not sound: cut short at every byte, reads
// that stop coming, headers and records that say what cannot be, and every byte changed, which
// the file's check refuses, and with the check made again. It refuses each the way the error
// contract says, and never writes past the LEDs, which guard bytes after them show (and
// AddressSanitizer, which CI builds the suite with).
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "frames_builder.hpp"
#include "pack.hpp"
#include "pack_file.hpp"
#include "pack_small.hpp"
#include "stream_file.hpp"

namespace {

constexpr std::size_t GUARD = 16;
constexpr std::uint8_t UNTOUCHED = 0x5A;

// The LEDs of a frame, and guard bytes after them.
struct Leds {
    explicit Leds(std::size_t size) : size(size), bytes(size + GUARD, UNTOUCHED) {}
    bool guarded() const {
        return std::all_of(bytes.begin() + static_cast<std::ptrdiff_t>(size), bytes.end(),
                           [](std::uint8_t byte) { return byte == UNTOUCHED; });
    }
    std::size_t size;
    std::vector<std::uint8_t> bytes;
};

// Frames of the test animations, with the delays 7, 17, 27, ...
tivrano::Frames animation_of(int width, int height, int colours, int count,
                             test::Pattern pattern = test::Pattern::block) {
    tivrano::Frames frames;
    frames.width = width;
    frames.height = height;
    for (const auto& frame : test::frames_of(width, height, colours, count, pattern)) {
        for (const test::Bgr& pixel : frame) {
            frames.values.insert(frames.values.end(), {pixel.g, pixel.r, pixel.b});
        }
        frames.delay_ms.push_back(static_cast<std::uint16_t>(10 * frames.delay_ms.size() + 7));
    }
    return frames;
}

std::vector<std::uint8_t> file_of(const tivrano::Frames& frames, bool small = false) {
    return tivrano::packed_file(frames,
                                small ? tivrano::pack_small(frames) : tivrano::pack(frames));
}

// The file's check made again over its bytes as they are now.
void remake_check(std::vector<std::uint8_t>& file) {
    const std::size_t end = file.size() - 4;
    test::put_le32(file, end, tivrano::crc32(std::span(file).first(end)));
}

// Opens the file and plays it `frames` times: what the stream said, frame by frame ('d' for a
// delay, '0' for a refusal), and its error. After a refusal it must stay refused and write
// nothing; no call writes past the LEDs, `leds_size` bytes, or as many as the file says its
// frames have, which firmware checks against its buffer.
struct Played {
    int opened;
    std::string calls;
    std::uint8_t error;
};
Played play(const test::Stream& stream, test::MemoryFile& file, std::size_t leds_size,
            std::size_t frames) {
    tivrano_stream state{};
    Played played{stream.open(&state, test::read_memory, &file), "", 0};
    Leds leds(played.opened == 0 ? std::size_t{3} * stream.width(&state) * stream.height(&state)
                                 : leds_size);
    for (std::size_t k = 0; k < frames; ++k) {
        const std::vector<std::uint8_t> before = leds.bytes;
        const std::uint16_t delay = stream.next(&state, leds.bytes.data());
        const bool refused = stream.error(&state) != TIVRANO_STREAM_OK;
        EXPECT_TRUE(leds.guarded()) << "frame " << k;
        EXPECT_TRUE(!refused || delay == 0) << "frame " << k;
        if (!played.calls.empty() && played.calls.back() == '0') {
            EXPECT_TRUE(refused && leds.bytes == before) << "frame " << k << " after a refusal";
        }
        played.calls += refused ? '0' : 'd';
    }
    played.error = stream.error(&state);
    if (played.opened != 0) {
        EXPECT_EQ(stream.count(&state) + stream.width(&state) + stream.height(&state), 0);
    }
    return played;
}

// A file cut short anywhere is refused when opened; reads that stop coming, at any read, stop
// the stream there, and it says it was a read.
TEST(Stream, FilesCutShortAndReadsThatStop) {
    const std::vector<tivrano::Frames> animations = {
        animation_of(8, 6, 5, 6),
        animation_of(16, 16, 40, 4, test::Pattern::spread),
        animation_of(5, 3, 0, 3, test::Pattern::noise),
    };
    for (const auto& [frames, small] :
         {std::pair{animations[0], false}, std::pair{animations[1], false},
          std::pair{animations[2], false}, std::pair{animations[0], true},
          std::pair{animations[2], true}}) {
        const auto file = file_of(frames, small);
        const std::size_t rounds = 2 * frames.count();
        for (const test::Stream& stream : test::STREAMS) {
            SCOPED_TRACE(std::string(stream.language) + ", " + std::to_string(frames.width) +
                         " x " + std::to_string(frames.height) + (small ? ", small" : ""));
            for (std::size_t size = 0; size < file.size(); ++size) {
                test::MemoryFile cut{std::span(file).first(size)};
                const Played played = play(stream, cut, frames.frame_size(), 2);
                EXPECT_EQ(played.opened, -1) << "cut at " << size;
                EXPECT_EQ(played.error, TIVRANO_STREAM_SHORT_READ) << "cut at " << size;
                EXPECT_EQ(played.calls, "00") << "cut at " << size;
            }
            test::MemoryFile whole{file};
            ASSERT_EQ(play(stream, whole, frames.frame_size(), rounds).calls,
                      std::string(rounds, 'd'));
            for (std::size_t last = 0; last < whole.reads; ++last) {
                test::MemoryFile stopping{file, 0, last};
                const Played played = play(stream, stopping, frames.frame_size(), rounds);
                EXPECT_EQ(played.error, TIVRANO_STREAM_SHORT_READ) << "reads stop at " << last;
                EXPECT_NE(played.calls.find('0'), std::string::npos) << "reads stop at " << last;
            }
        }
    }
}

// Of a palette of more colours than the stream holds, its first, the commonest, are read once a
// frame at most, and the rest when an LED needs them.
TEST(Stream, ReadsTheCommonestColoursOnceAFrame) {
    const auto frames = animation_of(16, 16, 40, 4, test::Pattern::drawn);
    const auto file = file_of(frames);
    const auto le16 = [&](std::size_t at) { return file.at(at) | file.at(at + 1) << 8U; };
    const auto palette = static_cast<std::uint32_t>(16 + 4 * 4 + 4 * (le16(14) + 1));
    ASSERT_GT(le16(12), TIVRANO_STREAM_COLOURS);
    // The reads that start among those colours, those of the file's check when it is opened
    // left out.
    const auto held = [&](const test::MemoryFile& memory) {
        return std::count_if(memory.offsets.begin(), memory.offsets.end(), [&](std::uint32_t at) {
            return at >= palette && at < palette + 3 * TIVRANO_STREAM_COLOURS;
        });
    };
    for (const test::Stream& stream : test::STREAMS) {
        SCOPED_TRACE(stream.language);
        test::MemoryFile opened{file};
        tivrano_stream state{};
        ASSERT_EQ(stream.open(&state, test::read_memory, &opened), 0);
        test::MemoryFile memory{file};
        ASSERT_EQ(play(stream, memory, frames.frame_size(), 4).calls, "dddd");
        EXPECT_GE(held(memory) - held(opened), 1);
        EXPECT_LE(held(memory) - held(opened), 4);
    }
}

// A field of the file set to `value`, of `bytes` bytes.
struct Change {
    std::size_t offset;
    std::uint32_t value;
    int bytes;
};

// Two frames of 4 x 1 LEDs and 1-bit indices: the first a run of colour 0, the second `record`,
// with `colours` in the palette, and fields of the file changed. What the stream says for four
// frames played: "" when it refuses to open the file.
struct Case {
    std::string what;
    std::vector<std::uint8_t> record;
    std::string calls;
    std::vector<Change> changes = {};
    std::size_t colours = 2;
};

TEST(Stream, RefusesWhatIsNotAFile) {
    tivrano::Frames frames;
    frames.width = 4;
    frames.height = 1;
    frames.values.assign(2 * 12, 0);
    frames.delay_ms = {100, 200};
    // Skip 2 LEDs, then copy 2 from 2 LEDs before. The file: the header, 2 frames (at 16), 3
    // record starts (at 24), the palette (at 36), the records (at 42 and 44; the end at 48) and the
    // check.
    const std::vector<std::uint8_t> sound = {0x02, 0xC1, 0x00, 0x02};
    const std::size_t starts = 16 + 4 * 2;
    const std::vector<Case> cases = {
        {"sound", sound, "dddd"},
        {"the magic number", sound, "", {{0, 0x50564955, 4}}},
        {"another format", sound, "", {{4, 6, 1}}},
        {"3 bits", sound, "", {{5, 3, 1}}},
        {"values of 2 bytes, for another player", sound, "", {{5, 0x21, 1}}},
        {"no LEDs", sound, "", {{6, 0, 2}}},
        {"65540 LEDs", sound, "", {{8, 16385, 2}}},
        // The first record start where the palette would end without frames.
        {"no frames", sound, "", {{10, 0, 2}, {16, 34, 4}}},
        {"more colours than 1 bit gives", sound, "", {}, 3},
        {"records that do not start where the palette ends", sound, "", {{12, 1, 2}}},
        {"no records", sound, "", {{14, 0, 2}}},
        {"the first record not after the palette", sound, "", {{starts, 43, 4}}},
        {"the file's end where its records start", sound, "", {{starts + 8, 42, 4}}},
        {"a frame's record past the last", sound, "d000", {{16 + 4 + 2, 65535, 2}}},
        {"a record that ends before it starts", sound, "0000", {{starts + 4, 41, 4}}},
        {"a record that ends past the file's end", sound, "0000", {{starts + 4, 49, 4}}},
        // Both frames play record 1, which starts at 40 and, were the palette's last 2 bytes not
        // the palette, would be 2 skips of no LEDs and record 0.
        {"a record that starts in the palette", {}, "0000", {{18, 1, 2}, {starts + 4, 40, 4}}},
        {"a command past the LEDs left", {0x03, 0x41, 0x01}, "d000"},
        {"a skip past the LEDs left", {0x05, 0x40, 0x00}, "d000"},
        {"a copy from d = the LEDs before", {0x02, 0xC1, 0x00, 0x04}, "d000"},
        {"a copy from the previous frame past the last LED",
         {0x00, 0xC1, 0x00, 0x01, 0x41, 0x00},
         "d000"},
        {"a copy from the previous frame up to the last LED",
         {0x00, 0xC0, 0x00, 0x01, 0x42, 0x01},
         "dddd"},
        {"an index past the palette, in a run", {0x02, 0x41, 0x02}, "d000"},
        {"an index past the palette, of 1 bit", {0x02, 0x81, 0x40}, "d000", {}, 1},
        {"a record that runs past its end", {0x02, 0xC1, 0x00}, "d000"},
        {"a record that goes on after its commands", {0x02, 0xC1, 0x00, 0x02, 0x00}, "d000"},
        {"a value as it is", {0x03, 0xC0, 0x00, 0x00, 1, 2, 3}, "dddd"},
        {"a value as it is, past the record's end", {0x03, 0xC0, 0x00, 0x00, 1, 2}, "d000"},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.what);
        tivrano::Packed packed;
        packed.grid = frames.grid();
        packed.palette = {9, 9, 9, 9, 0, 0, 9, 9, 9};
        packed.palette.resize(3 * row.colours);
        packed.bits = 1;
        packed.records = {{0x43, 0x00}, row.record};
        packed.frame_record = {0, 1};
        auto file = tivrano::packed_file(frames, packed);
        for (const Change& change : row.changes) {
            for (int byte = 0; byte < change.bytes; ++byte) {
                file.at(change.offset + static_cast<std::size_t>(byte)) =
                    static_cast<std::uint8_t>(change.value >> (8 * byte));
            }
        }
        remake_check(file);
        for (const test::Stream& stream : test::STREAMS) {
            SCOPED_TRACE(stream.language);
            test::MemoryFile memory{file};
            const Played played = play(stream, memory, 12, 4);
            EXPECT_EQ(played.opened, row.calls.empty() ? -1 : 0);
            EXPECT_EQ(played.calls, row.calls.empty() ? "0000" : row.calls);
            EXPECT_EQ(played.error,
                      row.calls == "dddd" ? TIVRANO_STREAM_OK : TIVRANO_STREAM_BAD_FILE);
        }
    }
}

// Every byte of a file of each kind of command changed, three ways: the file is refused when
// opened, as a bad file, or as a short one where the change moves its end past the file's. With
// the check made again, whatever the stream makes of it, it writes no LED past the last, and
// stays refused once it refuses.
TEST(Stream, EveryByteChanged) {
    // The check is zlib's CRC-32, which gives every CRC-32's value for "123456789".
    EXPECT_EQ(tivrano::crc32(test::bytes_of("123456789")), 0xCBF43926U);
    // A frame, then the same moved 2 LEDs round, which copies from the frame before.
    auto moved = animation_of(8, 4, 6, 1, test::Pattern::drawn);
    std::vector<std::uint8_t> second = moved.values;
    std::rotate(second.begin(), second.begin() + 6, second.end());
    moved.values.insert(moved.values.end(), second.begin(), second.end());
    moved.delay_ms.push_back(100);
    const std::vector<tivrano::Frames> animations = {
        animation_of(7, 3, 4, 4), animation_of(6, 2, 0, 2, test::Pattern::noise), moved};
    for (const auto& [frames, small] :
         {std::pair{animations[0], false}, std::pair{animations[1], false},
          std::pair{animations[2], false}, std::pair{animations[2], true}}) {
        const auto file = file_of(frames, small);
        for (std::size_t at = 0; at < file.size(); ++at) {
            for (const int change : {0x01, 0x40, 0xFF}) {
                SCOPED_TRACE("byte " + std::to_string(at) + " ^ " + std::to_string(change));
                auto changed = file;
                changed[at] = static_cast<std::uint8_t>(changed[at] ^ change);
                test::MemoryFile memory{changed};
                const Played played = play(test::STREAMS[0], memory, frames.frame_size(), 1);
                EXPECT_EQ(played.opened, -1);
                EXPECT_NE(played.error, TIVRANO_STREAM_OK);
                remake_check(changed);
                test::MemoryFile mended{changed};
                play(test::STREAMS[0], mended, frames.frame_size(), 2 * frames.count() + 1);
            }
        }
    }
}

} // namespace
