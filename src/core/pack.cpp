// Packs an animation's frames as tivrano_player.h reads them (its format is written up at the
// top of that header). Each frame's record is the smaller of: standing alone (commands over every
// LED, or the values as they are), or commands over the previous frame, which may skip its LEDs
// and copy those not yet overwritten; the commands are chosen by a shortest path over the LEDs,
// so that hardly any other sequence of commands (with the copy found at each LED) is shorter.
// Frames stand alone often enough that tivrano_frame's cycles stay bounded. The palette takes
// the most common colours, at the index width that makes the whole smallest of those tried.
#include "pack.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <limits>
#include <map>
#include <numeric>
#include <optional>
#include <tuple>
#include <utility>

#include "copies.hpp"
#include "records.hpp"

namespace tivrano {
namespace {

// A record stands alone, or follows the previous frame and starts with a skip (of 0 LEDs or
// more), by which tivrano_frame tells them apart.
enum RecordKind : std::uint8_t { STANDS_ALONE = 0, CHANGES = 1 };
constexpr std::int16_t NO_INDEX = -1;
// An animation of more LEDs than this in all its frames chooses its palette by its first frames.
constexpr std::size_t SAMPLE_LEDS = 8192;
constexpr std::int64_t NONE = std::numeric_limits<std::int64_t>::max() / 4;

// The smallest value among those pushed at an index from some lower bound on, as both the
// pushed indices and the bounds only grow, and a bound is never more than LONG_COUNT below the
// last index pushed; for two bounds at once, each of which only grows: `from` the lower, which
// forgets what is below it, and `near` the higher. The values kept rise from first to last, each
// the least from its index on.
class WindowMin {
  public:
    static constexpr std::size_t CAPACITY = 512; // above LONG_COUNT + 1, a power of two

    void push(std::size_t index, std::int64_t value) {
        while (end_ != begin_ && at(end_ - 1).value >= value) {
            --end_;
        }
        near_ = std::min(near_, end_);
        if (end_ - begin_ == CAPACITY) {
            ++begin_; // below any bound to come, which is at most LONG_COUNT below `index`
        }
        at(end_++) = {value, index};
    }
    // Forgets every value pushed: none is of use after a break in what it is kept for.
    void clear() { near_ = begin_ = end_; }
    // The least value at an index from `low` on, and that index.
    std::pair<std::size_t, std::int64_t> from(std::size_t low) {
        while (end_ != begin_ && at(begin_).index < low) {
            ++begin_;
        }
        return end_ == begin_ ? std::pair{std::size_t{0}, NONE}
                              : std::pair{at(begin_).index, at(begin_).value};
    }
    std::pair<std::size_t, std::int64_t> near(std::size_t low) {
        near_ = std::max(near_, begin_);
        while (near_ != end_ && at(near_).index < low) {
            ++near_;
        }
        return near_ == end_ ? std::pair{std::size_t{0}, NONE}
                             : std::pair{at(near_).index, at(near_).value};
    }

  private:
    struct Entry {
        std::int64_t value;
        std::size_t index;
    };
    Entry& at(std::size_t i) { return entries_[i & (CAPACITY - 1)]; }

    std::array<Entry, CAPACITY> entries_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    std::size_t near_ = 0; // at most end_; below begin_ until `near` moves it
};

static_assert(WindowMin::CAPACITY > LONG_COUNT + 1);

// Numbers colours as they are first seen, from 0: a table of open addressing, at most half full.
class ColourNumbers {
  public:
    // The number of a colour already numbered.
    std::uint32_t known(std::uint32_t colour) const {
        std::size_t slot = slot_of(colour);
        while (slots_[slot].first != colour) {
            slot = (slot + 1) & (slots_.size() - 1);
        }
        return slots_[slot].second;
    }
    std::uint32_t of(std::uint32_t colour) {
        for (std::size_t slot = slot_of(colour);; slot = (slot + 1) & (slots_.size() - 1)) {
            if (slots_[slot].first == colour) {
                return slots_[slot].second;
            }
            if (slots_[slot].first == EMPTY) {
                slots_[slot] = {colour, next_++};
                if (2 * std::size_t{next_} > slots_.size()) {
                    grow();
                }
                return next_ - 1;
            }
        }
    }

  private:
    static constexpr std::uint32_t EMPTY = 0xFF000000U; // not a colour of 24 bits
    using Slot = std::pair<std::uint32_t, std::uint32_t>;

    std::size_t slot_of(std::uint32_t colour) const {
        return static_cast<std::size_t>((colour * 0x9E3779B97F4A7C15ULL) >> shift_);
    }
    void grow() {
        std::vector<Slot> old(2 * slots_.size(), {EMPTY, 0});
        old.swap(slots_);
        --shift_;
        for (const Slot& slot : old) {
            if (slot.first != EMPTY) {
                std::size_t at = slot_of(slot.first);
                while (slots_[at].first != EMPTY) {
                    at = (at + 1) & (slots_.size() - 1);
                }
                slots_[at] = slot;
            }
        }
    }

    int shift_ = 64 - 8;
    std::vector<Slot> slots_ = std::vector<Slot>(256, {EMPTY, 0});
    std::uint32_t next_ = 0;
};

// An animation's colours: each numbered as first seen, and ranked by how common it is.
struct Colours {
    ColourNumbers numbers;
    std::vector<std::uint32_t> rank_of; // by number: 0 the commonest
    // Each colour and its LEDs, the commonest first; of as common, the least colour first.
    std::vector<std::pair<std::uint32_t, std::uint64_t>> by_count;
};

Colours count_colours(std::span<const std::uint8_t> values, std::size_t bytes) {
    Colours colours;
    auto& by_count = colours.by_count;
    std::vector<std::pair<std::uint32_t, std::uint64_t>> numbered; // colour, LEDs
    for (std::size_t led = 0; led < values.size() / bytes; ++led) {
        const std::uint32_t colour = colour_at(values, led, bytes);
        const std::uint32_t number = colours.numbers.of(colour);
        if (number == numbered.size()) {
            numbered.emplace_back(colour, 0);
        }
        ++numbered[number].second;
    }
    std::vector<std::uint32_t> order(numbered.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return numbered[a].second != numbered[b].second ? numbered[a].second > numbered[b].second
                                                        : numbered[a].first < numbered[b].first;
    });
    colours.rank_of.resize(order.size());
    for (std::size_t rank = 0; rank < order.size(); ++rank) {
        colours.rank_of[order[rank]] = static_cast<std::uint32_t>(rank);
        by_count.push_back(numbered[order[rank]]);
    }
    return colours;
}

// The palette at one index width: the colours that fit it, most common first.
struct Palette {
    std::uint8_t bits = 0; // 0: no palette, every LED as it is
    std::vector<std::uint32_t> colours;
};

Palette make_palette(const std::vector<std::pair<std::uint32_t, std::uint64_t>>& by_count,
                     std::uint8_t bits) {
    Palette palette;
    palette.bits = bits;
    const std::size_t size = bits == 0 ? 0 : std::min<std::size_t>(by_count.size(), 1U << bits);
    for (std::size_t k = 0; k < size; ++k) {
        palette.colours.push_back(by_count[k].first);
    }
    return palette;
}

void put_header(std::vector<std::uint8_t>& record, Op op, std::size_t n) {
    const std::size_t what = std::size_t{op} << OP_SHIFT;
    if (n <= SHORT_COUNT) {
        record.push_back(static_cast<std::uint8_t>(what | (n - 1)));
    } else {
        record.push_back(static_cast<std::uint8_t>(what | SHORT_COUNT));
        record.push_back(static_cast<std::uint8_t>(n - SHORT_COUNT - 1));
    }
}

// What a command costs the shortest path: its bytes first, then, among commands of as many bytes,
// the cycles it takes to play, so that the packer keeps frames quick where it can.
constexpr std::int64_t BYTE = std::int64_t{1} << 32;

constexpr std::int64_t cycles(std::uint64_t count) {
    return static_cast<std::int64_t>(count);
}

// The shortest commands for frame k, over every LED (STANDS_ALONE) or over those that changed
// since the frame before (CHANGES): a shortest path over the LEDs, where best_[end] is the least
// cost of the first `end` LEDs and step_[end] the command that ends there. Each kind of command
// that may end at an LED starts at the cheapest place its count allows, for each header length,
// which one sliding minimum of the kind keeps; as a command's cost grows with its LEDs by the same
// amount wherever it starts, each place is kept at its cost less that of its LEDs before it. (A
// span of indices costs a byte more where its start's place in a byte leaves the last byte
// part-filled: the cheapest start is taken whatever its place, which now and then costs a byte a
// span.)
class ShortestPath {
    using Bytes = std::span<const std::uint8_t>;

  public:
    ShortestPath(const Frames& frames, std::size_t k, RecordKind kind,
                 const std::vector<std::int16_t>& index, std::size_t per_byte, const Copies& copies)
        : frame_(frames.frame(k)), previous_(kind == CHANGES ? frames.frame(k - 1) : Bytes{}),
          bytes_(frames.grid().bytes), index_(index), per_byte_(per_byte),
          per_byte_shift_(std::countr_zero(per_byte)),
          // A record of changes that starts with another command starts with a skip of none.
          lead_(kind == CHANGES ? BYTE + cycles(COMMAND_CYCLES) : 0),
          per_index_(cycles(LED_CYCLES[INDICES] + (per_byte > 1 ? UNPACK_CYCLES : 0))),
          best_(index.size() + 1, NONE), step_(index.size() + 1, {SKIP, 0, 0}),
          // LEDs as they are take more bytes than the same LEDs as indices.
          all_indexed_(std::find(index.begin(), index.end(), NO_INDEX) == index.end()) {
        best_[0] = 0;
        for (std::size_t end = 1; end < best_.size(); ++end) {
            offer_copies(end - 1, copies[end - 1]);
            track(end - 1);
            push(end - 1);
            offer_all(end);
        }
    }

    // The commands, first to last.
    std::vector<Command> commands() const {
        std::vector<Command> path;
        for (std::size_t end = step_.size() - 1; end > 0; end = step_[end].from) {
            path.push_back({step_[end].op, end - step_[end].from, step_[end].d});
        }
        std::reverse(path.begin(), path.end());
        return path;
    }

  private:
    struct Step {
        Op op;
        std::size_t from;
        std::uint16_t d;
    };

    // The cost of the LEDs before `start`, for a command other than a skip that starts there.
    std::int64_t before(std::size_t start) const { return best_[start] + (start == 0 ? lead_ : 0); }

    // Offers the copies that start at `start`: the longest, and the longest with a one-byte
    // header. No shorter one saves a byte, as the LEDs after a copy cost no more for starting
    // further on (a command trimmed at its front costs no more).
    void offer_copies(std::size_t start, const Copy& longest) {
        const std::size_t short_count = std::min<std::size_t>(longest.count, SHORT_COUNT);
        for (const std::size_t n : {short_count, std::size_t{longest.count}}) {
            const std::int64_t cost = before(start) + (n > SHORT_COUNT ? 4 : 3) * BYTE +
                                      cycles(COMMAND_CYCLES + LED_CYCLES[COPY] * n);
            if (n > 0 && cost < best_[start + n]) {
                best_[start + n] = cost;
                step_[start + n] = {COPY, start, longest.d};
            }
        }
    }

    // A command may start at `start`: kept only for the kinds whose stretch, as `track` has seen
    // it, holds the LED there.
    void push(std::size_t start) {
        const auto at = static_cast<std::int64_t>(start);
        if (unchanged_) {
            skip_.push(start, best_[start] - cycles(LED_CYCLES[SKIP]) * at);
        }
        if (index_[start] != NO_INDEX) {
            const auto byte = static_cast<std::int64_t>(start >> per_byte_shift_);
            run_.push(start, before(start) - cycles(LED_CYCLES[RUN]) * at);
            indices_.push(start, before(start) - byte * BYTE - per_index_ * at);
        }
        if (!all_indexed_) {
            triples_.push(start, before(start) - (value_cost() + cycles(LED_CYCLES[TRIPLES])) * at);
        }
    }

    // Where the stretches that end at `led` begin: unchanged LEDs, one colour, indexed colours.
    // A stretch that breaks takes with it every start kept for it.
    void track(std::size_t led) {
        unchanged_ = !previous_.empty() &&
                     colour_at(frame_, led, bytes_) == colour_at(previous_, led, bytes_);
        if (!unchanged_) {
            unchanged_from_ = led + 1;
            skip_.clear();
        }
        const bool same = led > 0 && index_[led] != NO_INDEX && index_[led] == index_[led - 1];
        if (!same) {
            same_from_ = led;
            run_.clear();
        }
        if (led > 0 && index_[led - 1] == NO_INDEX) {
            indexed_from_ = led;
            indices_.clear();
        }
    }

    // Offers each command that ends at `end`: of each kind, from the cheapest start that a
    // header of one byte allows, and from the cheapest of all if it needs a header of two (and
    // only then: a header of one byte is cheaper from as cheap a start).
    void offer_all(std::size_t end) {
        const std::int64_t header = BYTE + cycles(COMMAND_CYCLES);
        const auto at = static_cast<std::int64_t>(end);
        const auto below = [&](std::size_t count) { return end > count ? end - count : 0; };
        const auto offer_two = [&](WindowMin& starts, Reach reach, std::int64_t cost, Op op) {
            if (end - reach.from > reach.short_most) { // else every start takes a one-byte header
                const auto [far, far_value] = starts.from(std::max(reach.from, below(reach.most)));
                if (end - far > reach.short_most) {
                    offer(far_value + BYTE + header + cost, op, far, end);
                }
            }
            const auto [near, near_value] =
                starts.near(std::max(reach.from, below(reach.short_most)));
            offer(near_value + header + cost, op, near, end);
        };
        if (unchanged_) {
            // A skip's count is its LEDs, not one less: it covers one LED less than the rest.
            offer_two(skip_, {unchanged_from_, LONG_COUNT - 1, SHORT_COUNT - 1},
                      cycles(LED_CYCLES[SKIP]) * at, SKIP);
        }
        if (index_[end - 1] != NO_INDEX) {
            offer_two(run_, {same_from_, LONG_COUNT, SHORT_COUNT},
                      BYTE + cycles(LED_CYCLES[RUN]) * at, RUN);
            // Indices from a start at `place` in its byte to `end` fill the bytes up to that of
            // `end`, and one more if `end` falls after `place` in its byte. Only spans of a
            // one-byte header: a longer span saves at most a byte over two, and often none.
            const auto whole = static_cast<std::int64_t>(end >> per_byte_shift_);
            const std::size_t end_place = end & (per_byte_ - 1);
            const auto [start, least] = indices_.from(std::max(below(SHORT_COUNT), indexed_from_));
            const std::int64_t bytes = whole + ((start & (per_byte_ - 1)) < end_place ? 1 : 0);
            offer(least + header + bytes * BYTE + per_index_ * at, INDICES, start, end);
        }
        if (!all_indexed_) {
            offer_two(triples_, {0, LONG_COUNT, SHORT_COUNT},
                      2 * BYTE + (value_cost() + cycles(LED_CYCLES[TRIPLES])) * at, TRIPLES);
        }
    }

    // Where a command of a kind may start: not below `from`, and at most `most` LEDs before where
    // it ends, `short_most` for a header of one byte.
    struct Reach {
        std::size_t from;
        std::size_t most;
        std::size_t short_most;
    };

    // The bytes of an LED's value, as a command of values holds it.
    std::int64_t value_cost() const { return static_cast<std::int64_t>(bytes_) * BYTE; }

    void offer(std::int64_t cost, Op op, std::size_t from, std::size_t end) {
        if (cost < best_[end]) {
            best_[end] = cost;
            step_[end] = {op, from, 0};
        }
    }

    Bytes frame_;
    Bytes previous_;    // none for STANDS_ALONE
    std::size_t bytes_; // of a value
    const std::vector<std::int16_t>& index_;
    std::size_t per_byte_; // indices in a byte: 1, 2, 4 or 8
    int per_byte_shift_;
    std::int64_t lead_;      // for a command other than a skip at the first LED
    std::int64_t per_index_; // the cycles of an LED in a span of indices
    std::vector<std::int64_t> best_;
    std::vector<Step> step_;
    WindowMin skip_;
    WindowMin run_;
    WindowMin triples_;
    WindowMin indices_;
    bool all_indexed_;
    bool unchanged_ = false;
    std::size_t unchanged_from_ = 0;
    std::size_t same_from_ = 0;
    std::size_t indexed_from_ = 0;
};

// Indices of `bits` each, the first in the high bits of the first byte, the last byte filled
// with zeros.
void put_indices(std::vector<std::uint8_t>& record, std::span<const std::int16_t> indices,
                 std::uint8_t bits) {
    std::uint32_t byte = 0;
    std::size_t filled = 0;
    for (const std::int16_t index : indices) {
        byte = byte << bits | static_cast<std::uint32_t>(index);
        filled += bits;
        if (filled == 8) {
            record.push_back(static_cast<std::uint8_t>(byte));
            byte = 0;
            filled = 0;
        }
    }
    if (filled != 0) {
        record.push_back(static_cast<std::uint8_t>(byte << (8 - filled)));
    }
}

// A frame's record of these commands: each command's header and bytes.
std::vector<std::uint8_t> encode_record(const std::vector<Command>& commands,
                                        std::span<const std::uint8_t> frame, std::size_t bytes,
                                        const std::vector<std::int16_t>& index, std::uint8_t bits) {
    std::vector<std::uint8_t> record;
    std::size_t led = 0;
    for (const Command& command : commands) {
        const std::size_t n = command.count;
        if (command.op == SKIP) {
            put_header(record, SKIP, n + 1);
            led += n;
            continue;
        }
        put_header(record, command.op == COPY ? TRIPLES : command.op, n);
        if (command.op == COPY) {
            record.push_back(static_cast<std::uint8_t>(command.d >> 8U));
            record.push_back(static_cast<std::uint8_t>(command.d));
        } else if (command.op == RUN) {
            record.push_back(static_cast<std::uint8_t>(index[led]));
        } else if (command.op == INDICES) {
            put_indices(record, std::span(index).subspan(led, n), bits);
        } else if (command.op == TRIPLES) {
            record.push_back(0);
            record.push_back(0);
            const auto values = frame.subspan(bytes * led, bytes * n);
            record.insert(record.end(), values.begin(), values.end());
        }
        led += n;
    }
    return record;
}

// Makes frames' records with one palette. The copies of the first frames are given, those of
// the others found when their records are made.
class RecordMaker {
  public:
    RecordMaker(const Frames& frames, const Palette& palette, std::span<const FrameCopies> first,
                const Colours& colours)
        : frames_(frames), palette_(palette), first_(first), colours_(colours),
          index_(frames.grid().values()), per_byte_(palette.bits == 0 ? 1 : 8U / palette.bits) {}

    // Frame k's record of this kind, and whether any of its commands reads the previous frame.
    std::pair<Record, bool> make(std::size_t k, RecordKind kind) {
        if (indexed_ != k) {
            const auto frame = frames_.frame(k);
            for (std::size_t led = 0; led < index_.size(); ++led) {
                const std::uint32_t rank =
                    colours_.rank_of[colours_.numbers.known(colour_at(frame, led, bytes()))];
                index_[led] =
                    rank < palette_.colours.size() ? static_cast<std::int16_t>(rank) : NO_INDEX;
            }
            found_ = {};
            indexed_ = k;
        }
        // The frame's copies: given, or found when first needed (for a record standing alone,
        // only those it reads).
        if (k >= first_.size()) {
            if (kind == CHANGES && found_.changes.empty()) {
                found_ = find_copies(frames_, k);
            } else if (kind == STANDS_ALONE && found_.alone.empty()) {
                found_.alone = find_alone_copies(frames_, k);
            }
        }
        const FrameCopies& copies = k < first_.size() ? first_[k] : found_;
        const ShortestPath path(frames_, k, kind, index_, per_byte_,
                                kind == CHANGES ? copies.changes : copies.alone);
        std::vector<Command> commands = path.commands();
        bool reads_previous = false;
        for (std::size_t led = 0; const Command& command : commands) {
            reads_previous =
                reads_previous || command.op == SKIP || (command.op == COPY && command.d > led);
            led += command.count;
        }
        // After the previous frame a record starts with a skip, of no LED if need be.
        if (kind == CHANGES && (commands.empty() || commands.front().op != SKIP)) {
            commands.insert(commands.begin(), Command{SKIP, 0, 0});
        }
        return {{encode_record(commands, frames_.frame(k), bytes(), index_, palette_.bits),
                 cycles_of(commands, palette_.bits)},
                reads_previous};
    }

  private:
    std::size_t bytes() const { return frames_.grid().bytes; }

    const Frames& frames_;
    const Palette& palette_;
    std::span<const FrameCopies> first_;
    const Colours& colours_;
    std::vector<std::int16_t> index_;
    std::size_t indexed_ = std::numeric_limits<std::size_t>::max();
    FrameCopies found_; // frame indexed_'s, if not among the first
    std::size_t per_byte_;
};

// A record after the previous frame that reads nothing of it, standing alone: the same commands
// without the skip of none it starts with.
Record alone_from(const Record& changes) {
    return {{changes.bytes.begin() + 1, changes.bytes.end()}, changes.cycles - COMMAND_CYCLES};
}

// Every frame's record with one palette, records alike stored once: the smaller of a frame's
// candidates, unless it is to stand alone.
Packed choose(const std::vector<Candidates>& made, const Palette& palette, const Grid& grid,
              const std::vector<bool>& alone_anyway) {
    Packed packed;
    packed.bits = palette.bits == 0 ? 8 : palette.bits;
    packed.grid = grid;
    for (const std::uint32_t colour : palette.colours) {
        put_value(packed.palette, colour, grid);
    }
    // The records so far, by a hash of their bytes.
    std::multimap<std::uint64_t, std::uint16_t> known;
    const auto stored = [&](const std::vector<std::uint8_t>& record) {
        const auto [same, end] = known.equal_range(hash_of(record));
        const auto found = std::find_if(same, end, [&](const auto& entry) {
            return same_bytes(packed.records[entry.second], record);
        });
        return found == end ? std::optional<std::uint16_t>{} : found->second;
    };
    for (std::size_t k = 0; k < made.size(); ++k) {
        const Candidates& frame = made[k];
        const bool alone =
            alone_anyway[k] || frame.changes.bytes.empty() ||
            (frame.alone && (stored(frame.alone->bytes) ||
                             frame.alone->bytes.size() <= frame.changes.bytes.size()));
        const Record& record = alone ? *frame.alone : frame.changes;
        std::optional<std::uint16_t> at = stored(record.bytes);
        if (!at) {
            at = static_cast<std::uint16_t>(packed.records.size());
            known.emplace(hash_of(record.bytes), *at);
            packed.records.push_back(record.bytes);
            packed.cycles.push_back(record.cycles);
        }
        packed.frame_record.push_back(*at);
    }
    return packed;
}

// Which frames' records standing alone are made: the first frame's alone, to compare palettes
// by a sample of the first frames (each frame then the smaller of its records in order);
// every frame's; or only where one may be chosen, for a long animation: the first frame's, a
// frame's whose record after the previous reads nothing of it, a frame's like one before it, and
// those of frames that are to stand alone for tivrano_frame's sake. Those are chosen with each
// record not made reckoned from those made, and chosen again while the choice takes a record not
// yet made.
enum class Alone : std::uint8_t { FIRST, EVERY, AS_NEEDED };

// Reckons each record standing alone not made: as the mean of those made, of the same LEDs,
// or as the largest made (and at least as the frame's record after the previous).
std::vector<RecordCosts> reckon(const std::vector<Candidates>& made,
                                const std::vector<RecordCosts>& costs, bool as_mean) {
    std::uint64_t all_bytes = 0;
    std::uint64_t all_cycles = 0;
    std::uint64_t most_bytes = 0;
    std::uint64_t most_cycles = 0;
    std::uint64_t counted = 0;
    for (std::size_t k = 0; k < made.size(); ++k) {
        if (made[k].alone) {
            all_bytes += costs[k].alone_bytes;
            all_cycles += costs[k].alone_cycles;
            most_bytes = std::max(most_bytes, costs[k].alone_bytes);
            most_cycles = std::max(most_cycles, costs[k].alone_cycles);
            ++counted;
        }
    }
    // The first frame's record always stands alone: one is made, at least.
    counted = std::max<std::uint64_t>(counted, 1);
    std::vector<RecordCosts> reckoned = costs;
    for (std::size_t k = 0; k < made.size(); ++k) {
        if (!made[k].alone) {
            reckoned[k].alone_bytes =
                std::max(as_mean ? all_bytes / counted : most_bytes, costs[k].changes_bytes);
            reckoned[k].alone_cycles =
                std::max(as_mean ? all_cycles / counted : most_cycles, costs[k].changes_cycles);
        }
    }
    return reckoned;
}

// Packs the frames with one palette. `made` holds the records already made with it for the first
// frames (the first frame's standing alone, the others' after the previous), and then every
// frame's.
class Packer {
  public:
    Packer(const Frames& frames, const Palette& palette, std::span<const FrameCopies> first,
           const Colours& colours, std::vector<Candidates>& made)
        : frames_(frames), palette_(palette), maker_(frames, palette, first, colours), made_(made),
          given_(made.size()), costs_(frames.count(), RecordCosts{0, 0, 0, 0}) {
        made_.resize(frames.count());
        for (std::size_t k = 0; k < frames.count(); ++k) {
            hashes_.push_back(hash_of(frames.frame(k)));
        }
    }

    Packed pack(Alone made_alone) {
        for (std::size_t k = 0; k < frames_.count(); ++k) {
            make_records(k, made_alone);
        }
        Packed packed = choose(made_, palette_, frames_.grid(), std::vector<bool>(made_.size()));
        if (made_alone == Alone::FIRST) {
            return packed;
        }
        // The records not made are reckoned as the mean of those made in the first two choices,
        // and as the largest after that: the choice then takes another only where those made
        // leave it no other way.
        const std::uint64_t longest = *std::max_element(packed.cycles.begin(), packed.cycles.end());
        const std::uint64_t bound = SEEK_HALVES * longest / 2;
        for (int choice = 0;; ++choice) {
            const std::vector<bool> alone =
                standing_alone(reckon(made_, costs_, choice < 2), bound);
            bool all_made = true;
            for (std::size_t k = 0; k < made_.size(); ++k) {
                if (alone[k] && !made_[k].alone) {
                    make_alone(k);
                    all_made = false;
                }
            }
            if (all_made) {
                return choose(made_, palette_, frames_.grid(), alone);
            }
        }
    }

  private:
    void make_records(std::size_t k, Alone made_alone) {
        if (k > 0) {
            if (k >= given_) {
                std::tie(made_[k].changes, made_[k].reads_previous) = maker_.make(k, CHANGES);
            }
            costs_[k].changes_bytes = made_[k].changes.bytes.size();
            costs_[k].changes_cycles = made_[k].changes.cycles;
        }
        if (made_alone == Alone::AS_NEEDED && !made_[k].reads_previous) {
            made_[k].alone = alone_from(made_[k].changes);
            count_alone(k);
        } else if (k == 0 || made_alone == Alone::EVERY ||
                   (made_alone == Alone::AS_NEEDED && like_before(k))) {
            make_alone(k);
        }
    }

    // A frame before k of the same LEDs whose record standing alone is made, if any.
    std::optional<std::size_t> like_before(std::size_t k) const {
        const auto [same, end] = looks_.equal_range(hashes_[k]);
        const auto found = std::find_if(same, end, [&](const auto& entry) {
            return same_bytes(frames_.frame(entry.second), frames_.frame(k));
        });
        return found == end ? std::optional<std::size_t>{} : found->second;
    }

    void make_alone(std::size_t k) {
        if (const auto earlier = like_before(k)) {
            made_[k].alone = made_[*earlier].alone;
        } else {
            if (!made_[k].alone) {
                made_[k].alone = maker_.make(k, STANDS_ALONE).first;
            }
            looks_.emplace(hashes_[k], k);
        }
        count_alone(k);
    }

    void count_alone(std::size_t k) {
        costs_[k].alone_bytes = made_[k].alone->bytes.size();
        costs_[k].alone_cycles = made_[k].alone->cycles;
    }

    const Frames& frames_;
    const Palette& palette_;
    RecordMaker maker_;
    std::vector<Candidates>& made_;
    std::size_t given_;
    std::vector<RecordCosts> costs_;
    std::vector<std::uint64_t> hashes_;               // of each frame's LEDs
    std::multimap<std::uint64_t, std::size_t> looks_; // frames with a record standing alone
};

// The widths a long animation tries on its sample, as pack() says: `bits` holds every colour
// (or the commonest 256).
std::vector<std::uint8_t> long_widths(const Colours& colours, std::uint8_t bits) {
    std::vector<std::uint8_t> widths = {bits};
    std::uint64_t left_out = 0;
    std::uint64_t all = 0;
    for (std::size_t c = 0; c < colours.by_count.size(); ++c) {
        all += colours.by_count[c].second;
        left_out += c >= std::size_t{1} << (bits / 2) ? colours.by_count[c].second : 0;
    }
    if (2 * left_out < all) {
        widths.push_back(static_cast<std::uint8_t>(bits / 2));
    }
    if (colours.by_count.size() > 256) {
        widths.push_back(0);
    }
    return widths;
}

// Of these widths, the one that packs the first `sample` frames smallest, each frame as the
// smaller of its records in order; `made` gets its records.
std::uint8_t best_on_sample(const Frames& frames, std::size_t sample,
                            std::span<const FrameCopies> first, const Colours& colours,
                            const std::vector<std::uint8_t>& widths,
                            std::vector<Candidates>& made) {
    Frames sampled;
    sampled.width = frames.width;
    sampled.height = frames.height;
    sampled.encoded_size = frames.encoded_size;
    sampled.encoded_grid = frames.encoded_grid;
    sampled.values.assign(frames.values.begin(),
                          frames.values.begin() +
                              static_cast<std::ptrdiff_t>(sample * frames.frame_size()));
    sampled.delay_ms.assign(frames.delay_ms.begin(),
                            frames.delay_ms.begin() + static_cast<std::ptrdiff_t>(sample));
    std::optional<std::pair<std::uint64_t, std::uint8_t>> best;
    for (const std::uint8_t width : widths) {
        std::vector<Candidates> tried_made;
        const Palette palette = make_palette(colours.by_count, width);
        const Packed packed =
            Packer(sampled, palette, first, colours, tried_made).pack(Alone::FIRST);
        const std::pair tried{packed_size(packed), width};
        if (!best || tried < *best) {
            best = tried;
            made = std::move(tried_made);
        }
    }
    return best->second;
}

} // namespace

std::vector<std::uint32_t> colours_by_count(const Frames& frames) {
    const Colours colours = count_colours(frames.values, frames.grid().bytes);
    std::vector<std::uint32_t> by_count;
    by_count.reserve(colours.by_count.size());
    for (const auto& [colour, leds] : colours.by_count) {
        by_count.push_back(colour);
    }
    return by_count;
}

std::vector<FastRecords> fast_records(const Frames& frames, std::uint8_t bits) {
    const Colours colours = count_colours(frames.values, frames.grid().bytes);
    const Palette palette = make_palette(colours.by_count, bits);
    RecordMaker maker(frames, palette, {}, colours);
    std::vector<FastRecords> made(frames.count());
    for (std::size_t k = 0; k < frames.count(); ++k) {
        FastRecords& records = made[k];
        if (k > 0) {
            bool reads_previous = true;
            std::tie(records.changes, reads_previous) = maker.make(k, CHANGES);
            if (!reads_previous) {
                records.alone = alone_from(records.changes);
                continue;
            }
        }
        records.alone = maker.make(k, STANDS_ALONE).first;
    }
    return made;
}

std::uint64_t packed_size(const Packed& packed) {
    return std::accumulate(
        packed.records.begin(), packed.records.end(),
        std::uint64_t{packed.model.size() + packed.palette.size()},
        [](std::uint64_t size, const auto& record) { return size + record.size(); });
}

Packed pack(const Frames& frames) {
    const Colours colours = count_colours(frames.values, frames.grid().bytes);
    const auto& by_count = colours.by_count;
    // The index widths to try. For a short animation, each: none, and 1 bit up to the width
    // that holds every colour (or 8 bits, of the commonest 256). For a long one, that width;
    // the one below it, which leaves the rarest colours out but may be smaller when they are
    // rare (not when they are half the LEDs); and, when 8 bits leave colours out, none, for
    // colours that hardly repeat or are copied more than indexed (a palette that holds every
    // colour packed each long animation of the benchmark's sets smaller): the animation is
    // packed whole only once, at the width that packs its first frames smallest. With two
    // colours or fewer, 1 bit is always smallest.
    std::uint8_t bits = 1;
    while (bits < 8 && std::size_t{1} << bits < by_count.size()) {
        bits = static_cast<std::uint8_t>(2 * bits);
    }
    const std::size_t leds = frames.grid().values();
    const std::size_t sample =
        std::max<std::size_t>(2, SAMPLE_LEDS / std::max<std::size_t>(leds, 1));
    // The copies of the frames of a sample, which every palette tried packs (the others' are
    // found as they are packed).
    std::vector<FrameCopies> first;
    for (std::size_t k = 0; k < std::min(sample, frames.count()); ++k) {
        first.push_back(find_copies(frames, k));
    }
    std::vector<std::uint8_t> widths = {bits};
    std::vector<Candidates> sample_made;
    if (bits > 1 && frames.count() <= sample) {
        for (std::uint8_t width = bits / 2; width > 0; width /= 2) {
            widths.push_back(width);
        }
        widths.push_back(0);
    } else if (bits > 1) {
        widths = {best_on_sample(frames, sample, first, colours, long_widths(colours, bits),
                                 sample_made)};
    }
    std::optional<Packed> smallest;
    for (const std::uint8_t width : widths) {
        // The sample's records, made with the one width tried whole.
        std::vector<Candidates> made;
        made.swap(sample_made);
        const Palette palette = make_palette(by_count, width);
        Packed packed = Packer(frames, palette, first, colours, made)
                            .pack(frames.count() <= sample ? Alone::EVERY : Alone::AS_NEEDED);
        if (!smallest || packed_size(packed) < packed_size(*smallest)) {
            smallest = std::move(packed);
        }
    }
    return *smallest;
}

} // namespace tivrano
