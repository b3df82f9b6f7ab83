// Packs an animation small, as tivrano_player.h's small player reads it (its format is written up
// at the top of that header). Each LED is asked, in turn, whether it is what the LED buffer
// already holds: the LED as the previous frame left it, the previous frame's LED at one offset
// a frame, the LED before it on its row, the LED above it; an LED that is none of them is an
// index into the palette. A frame that stands alone asks instead about the LED of its own frame
// at its offset, which repeats slants and patterns. The answers are coded by a binary coder of
// bytes (rANS) with fixed probabilities, one for each question and the answer of the LED before,
// made here from how often each answer comes, and kept in flash beside the palette: the player
// needs no RAM but the LEDs. A frame whose record in the fast format is no larger is stored as that
// (scrolling, a pattern that repeats, frames of many new LEDs), and plays in fewer cycles; so is
// one whose small records would all take too long to play. Frames stand alone often enough that
// tivrano_frame's cycles stay bounded.
#include "pack_small.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <iterator>
#include <map>
#include <numeric>
#include <optional>
#include <span>
#include <utility>

#include "records.hpp"

namespace tivrano {
namespace {

enum Answer : std::uint8_t { KEPT = 0, MOVED = 1, LEFT = 2, ABOVE = 3, FRESH = 4 };
constexpr std::size_t ANSWERS = 5;
constexpr int REACH = 3; // an offset moves up to 3 LEDs across and down
constexpr unsigned NO_OFFSET = REACH * (2 * REACH + 1) + REACH; // the offset field of none
constexpr std::ptrdiff_t OFFSET_REACH = 65533; // the widest and tallest frame that asks about one
constexpr std::uint8_t READS_PREVIOUS = 0x80;
constexpr std::uint8_t LAST_FIRST = 0x40;
constexpr std::uint32_t HALF = 128; // a probability of one half, in 256ths

// What the player spends on an ATmega328P, as this packer reckons it: fitted to every frame of
// the benchmark's 16 x 16 animations and of GIFs from elsewhere, timed in simavr (281 frames,
// within 6 %, 1.1 % on average). On a record; on an LED kept, in all; on asking one that was
// not; on one that is a question's LED, or a new one; on asking about the offset's LED, the one
// before and the one above; on each bit of a new LED; and on each byte taken in. And how many
// times the longest frame in order a frame on its own may take, in halves, below SEEK_HALVES
// (bench/animations.sh with PACK=small measures them).
constexpr std::uint64_t SMALL_RECORD_CYCLES = 300;
constexpr std::uint64_t SMALL_KEPT_CYCLES = 43;
constexpr std::uint64_t SMALL_ASKED_CYCLES = 71;
constexpr std::uint64_t SMALL_COPIED_CYCLES = 3;
constexpr std::uint64_t SMALL_NEW_CYCLES = 81;
constexpr std::array<std::uint64_t, 3> SMALL_QUESTION_CYCLES = {109, 90, 56};
constexpr std::uint64_t SMALL_BIT_CYCLES = 16;
constexpr std::uint64_t SMALL_BYTE_CYCLES = 27;
constexpr std::uint64_t SMALL_SEEK_HALVES = 7;
// The most cycles a small record may take for each LED, as reckoned: a 16 x 16 frame in at most
// 64,000 on an ATmega328P, and 4 % to spare for the reckoning. A frame whose small records all
// take more is stored as its fast record.
constexpr std::uint64_t SMALL_LED_CYCLES = 240;

// The first byte of a fast record among small ones, which the fast record's bytes follow.
constexpr std::uint8_t FAST_RECORD = 63;

// How a frame's record plays: after the previous frame or alone, first LED first or last, and the
// offset of the LEDs it asks about (of the previous frame, or alone, of its own).
struct Plan {
    bool reads_previous = false;
    bool last_first = false;
    int dx = 0;
    int dy = 0;

    std::uint8_t header() const {
        const auto offset = static_cast<unsigned>((dx + REACH) * (2 * REACH + 1) + dy + REACH);
        return static_cast<std::uint8_t>((reads_previous ? READS_PREVIOUS : 0U) |
                                         (last_first ? LAST_FIRST : 0U) | offset);
    }

    bool has_offset() const { return dx != 0 || dy != 0; }

    // Whether the LEDs asked about include the offset's, in a frame of that width and height, as
    // the player works it out: LEDs later in the walk after the previous frame (which the buffer
    // still holds), earlier standing alone (which the record has written); none in a frame over
    // OFFSET_REACH wide or tall, whose columns and rows the player counts in 16 bits.
    bool moves(std::ptrdiff_t width, std::ptrdiff_t height) const {
        const std::ptrdiff_t back = dy * width + dx; // LEDs back in the buffer
        return back != 0 && ((back < 0) != last_first) == reads_previous && width <= OFFSET_REACH &&
               height <= OFFSET_REACH;
    }
};

// The palette, the commonest colours first, and each colour's index; bits 0 when it cannot hold
// every colour, and each new LED is its value's bits.
struct SmallPalette {
    std::size_t bytes = 3; // of a value, which a new LED is coded as where bits is 0
    std::uint8_t bits = 0;
    std::vector<std::uint32_t> colours;
    std::vector<std::uint32_t> distinct;            // the colours, least first
    std::vector<std::uint32_t> index;               // of each of those
    std::vector<std::vector<std::uint32_t>> frames; // each frame's colours, LED by LED

    std::uint32_t index_of(std::uint32_t colour) const {
        const auto at = std::lower_bound(distinct.begin(), distinct.end(), colour);
        return index[static_cast<std::size_t>(at - distinct.begin())];
    }
};

SmallPalette palette_of(const Frames& frames) {
    SmallPalette palette;
    palette.bytes = frames.grid().bytes;
    for (std::size_t k = 0; k < frames.count(); ++k) {
        const auto frame = frames.frame(k);
        auto& colours = palette.frames.emplace_back(frames.grid().values());
        for (std::size_t led = 0; led < colours.size(); ++led) {
            colours[led] = colour_at(frame, led, palette.bytes);
        }
    }
    std::vector<std::uint32_t> colours = colours_by_count(frames);
    if (colours.size() > SMALL_COLOURS) {
        return palette;
    }
    palette.colours = std::move(colours);
    palette.distinct = palette.colours;
    std::sort(palette.distinct.begin(), palette.distinct.end());
    palette.index.resize(palette.colours.size());
    for (std::size_t rank = 0; rank < palette.colours.size(); ++rank) {
        palette.index[static_cast<std::size_t>(
            std::lower_bound(palette.distinct.begin(), palette.distinct.end(),
                             palette.colours[rank]) -
            palette.distinct.begin())] = static_cast<std::uint32_t>(rank);
    }
    palette.bits = static_cast<std::uint8_t>(
        std::max<std::size_t>(1, std::bit_width(palette.colours.size() - 1)));
    return palette;
}

// The answers of every question and tree node, counted; and the probabilities made of them.
struct Counts {
    std::array<std::array<std::uint64_t, 2>, SMALL_QUESTIONS> questions{};
    std::vector<std::array<std::uint64_t, 2>> nodes;
};

std::uint8_t probability(const std::array<std::uint64_t, 2>& seen) {
    const std::uint64_t all = seen[0] + seen[1];
    if (all == 0) {
        return HALF;
    }
    return static_cast<std::uint8_t>(
        std::clamp<std::uint64_t>((256 * seen[0] + all / 2) / all, 1, 255));
}

std::vector<std::uint8_t> model_of(const Counts& counts) {
    std::vector<std::uint8_t> model;
    std::transform(counts.questions.begin(), counts.questions.end(), std::back_inserter(model),
                   probability);
    std::transform(counts.nodes.begin(), counts.nodes.end(), std::back_inserter(model),
                   probability);
    return model;
}

// 2^32 / d, rounded up, for d from 1 to 255: x / d is x times it, shifted down 32 bits, for any x
// below 2^16 (the error, below x / 2^32, stays under the 1 / d a quotient's fraction leaves).
constexpr std::array<std::uint64_t, 256> reciprocals() {
    std::array<std::uint64_t, 256> table{};
    for (std::size_t d = 1; d < table.size(); ++d) {
        table.at(d) = ((std::uint64_t{1} << 32U) + d - 1) / d;
    }
    return table;
}
constexpr std::array<std::uint64_t, 256> RECIPROCALS = reciprocals();

// A binary coder of the player's (rANS, of bytes): a 16-bit state, from 256 up, that each answer
// of probability p in 256ths reads, its low byte against p, and a byte is taken in where it falls
// below 256. The answers are coded last first, the bytes so made put out the other way round.
class Coder {
  public:
    void code(bool yes, std::uint32_t p) { answers_.push_back({yes, p}); }

    // The bytes: the state's two, which the player reads before its first answer, then each byte
    // it takes in, in turn.
    std::vector<std::uint8_t> finish(std::uint8_t header) {
        std::vector<std::uint8_t> out; // last first
        std::uint32_t state = 256;
        for (auto answer = answers_.rbegin(); answer != answers_.rend(); ++answer) {
            const std::uint32_t p = answer->p;
            const std::uint32_t share = answer->yes ? p : 256 - p;
            const std::uint32_t below = answer->yes ? 0 : p;
            if (state >= 256 * share) {
                out.push_back(static_cast<std::uint8_t>(state & 0xFFU));
                state >>= 8U;
            }
            const auto quotient = static_cast<std::uint32_t>(state * RECIPROCALS.at(share) >> 32U);
            state = quotient * 256 + state - quotient * share + below;
        }
        out.push_back(static_cast<std::uint8_t>(state & 0xFFU));
        out.push_back(static_cast<std::uint8_t>(state >> 8U));
        std::vector<std::uint8_t> bytes = {header};
        bytes.insert(bytes.end(), out.rbegin(), out.rend());
        return bytes;
    }

  private:
    struct Answer {
        bool yes;
        std::uint32_t p;
    };
    std::vector<Answer> answers_;
};

// The LED the buffer holds that an LED at x, y is asked about by a question (the offset's only
// where `moves`, the plan's Plan::moves), or where it is not there (outside the frame, overwritten
// already or not yet written, or the previous frame's for a record that stands alone), NOT_THERE.
constexpr std::size_t NOT_THERE = SIZE_MAX;

// An LED's column and row.
struct Spot {
    std::ptrdiff_t x;
    std::ptrdiff_t y;
};

inline std::size_t candidate_of(const Grid& grid, const Plan& plan, bool moves,
                                std::size_t question, Spot spot) {
    const auto width = static_cast<std::ptrdiff_t>(grid.width);
    const auto height = static_cast<std::ptrdiff_t>(grid.height);
    const std::ptrdiff_t x = spot.x;
    const std::ptrdiff_t y = spot.y;
    const std::ptrdiff_t step = plan.last_first ? -1 : 1;
    const auto at = [&](std::ptrdiff_t ax, std::ptrdiff_t ay) {
        return static_cast<std::size_t>(ay * width + ax);
    };
    switch (question) {
    case KEPT:
        return plan.reads_previous ? at(x, y) : NOT_THERE;
    case MOVED: {
        const std::ptrdiff_t sx = x - plan.dx;
        const std::ptrdiff_t sy = y - plan.dy;
        const bool inside = sx >= 0 && sx < width && sy >= 0 && sy < height;
        return inside && moves ? at(sx, sy) : NOT_THERE;
    }
    case LEFT:
        return x - step >= 0 && x - step < width ? at(x - step, y) : NOT_THERE;
    default:
        return y - step >= 0 && y - step < height ? at(x, y - step) : NOT_THERE;
    }
}

// Tells `say` the bits of a new LED: its index's, each at its tree node, or its value's bits as
// they are (SIZE_MAX).
template <typename Say>
void say_fresh(const SmallPalette& palette, std::uint32_t colour, Say& say) {
    if (palette.bits == 0) {
        for (auto bit = static_cast<int>(8 * palette.bytes); bit-- > 0;) {
            say(SIZE_MAX, (colour >> static_cast<unsigned>(bit) & 1U) == 0);
        }
        return;
    }
    const std::uint32_t index = palette.index_of(colour);
    std::size_t node = 1;
    for (int bit = palette.bits - 1; bit >= 0; --bit) {
        const std::uint32_t value = index >> static_cast<unsigned>(bit) & 1U;
        say(SMALL_QUESTIONS + node - 1, value == 0);
        node = 2 * node + value;
    }
}

// Walks frame k's LEDs as the player does, telling `say` each question's answer (a question and
// the answer before it) and each bit of a new LED (the tree's node, or SIZE_MAX for a bit as it
// is).
template <typename Say>
void walk(const Frames& frames, std::size_t k, const Plan& plan, const SmallPalette& palette,
          Say&& say) {
    const Grid grid = frames.grid();
    const auto w = static_cast<std::ptrdiff_t>(grid.width);
    const auto h = static_cast<std::ptrdiff_t>(grid.height);
    const bool moves = plan.moves(w, h);
    const std::vector<std::uint32_t>& frame = palette.frames[k];
    std::vector<std::uint32_t> buffer =
        plan.reads_previous ? palette.frames[k - 1] : std::vector<std::uint32_t>(frame.size());
    std::size_t last = FRESH;
    Spot spot = plan.last_first ? Spot{w - 1, h - 1} : Spot{0, 0};
    for (std::ptrdiff_t n = 0; n < w * h; ++n) {
        const std::ptrdiff_t at = plan.last_first ? w * h - 1 - n : n;
        const auto led = static_cast<std::size_t>(at);
        const std::uint32_t wanted = frame[led];
        std::array<std::uint32_t, 4> refused{}; // the first `refusals`
        std::size_t refusals = 0;
        std::size_t answer = FRESH;
        for (std::size_t question = KEPT; question < FRESH && answer == FRESH; ++question) {
            const std::size_t from = candidate_of(grid, plan, moves, question, spot);
            const std::uint32_t* const first = refused.data();
            const std::uint32_t* const end = first + refusals;
            if (from == NOT_THERE || std::find(first, end, buffer[from]) != end) {
                continue;
            }
            say(question * ANSWERS + last, buffer[from] == wanted);
            if (buffer[from] == wanted) {
                answer = question;
            } else {
                refused.at(refusals++) = buffer[from];
            }
        }
        if (answer == FRESH) {
            say_fresh(palette, wanted, say);
        }
        buffer[led] = wanted;
        last = answer;
        // The next LED's column and row, counted without a division.
        if (!plan.last_first && ++spot.x == w) {
            spot = {0, spot.y + 1};
        } else if (plan.last_first && spot.x-- == 0) {
            spot = {w - 1, spot.y - 1};
        }
    }
}

void count_answers(const Frames& frames, std::size_t k, const Plan& plan,
                   const SmallPalette& palette, Counts& counts) {
    walk(frames, k, plan, palette, [&](std::size_t asked, bool yes) {
        if (asked < SMALL_QUESTIONS) {
            ++counts.questions.at(asked)[yes ? 0 : 1];
        } else if (asked != SIZE_MAX) {
            ++counts.nodes.at(asked - SMALL_QUESTIONS)[yes ? 0 : 1];
        }
    });
}

Record encode(const Frames& frames, std::size_t k, const Plan& plan, const SmallPalette& palette,
              const std::vector<std::uint8_t>& model) {
    Coder coder;
    // Each LED reckoned new, until it is kept or a question's LED.
    std::uint64_t cycles = SMALL_RECORD_CYCLES + SMALL_NEW_CYCLES * frames.grid().values();
    walk(frames, k, plan, palette, [&](std::size_t asked, bool yes) {
        coder.code(yes, asked == SIZE_MAX ? HALF : model.at(asked));
        if (asked < ANSWERS) {
            cycles =
                yes ? cycles + SMALL_KEPT_CYCLES - SMALL_NEW_CYCLES : cycles + SMALL_ASKED_CYCLES;
        } else if (asked < SMALL_QUESTIONS) {
            cycles = cycles + SMALL_QUESTION_CYCLES.at(asked / ANSWERS - 1) -
                     (yes ? SMALL_NEW_CYCLES - SMALL_COPIED_CYCLES : 0);
        } else {
            cycles += SMALL_BIT_CYCLES;
        }
    });
    std::vector<std::uint8_t> bytes = coder.finish(plan.header());
    cycles += SMALL_BYTE_CYCLES * (bytes.size() - 1); // every byte but the header is taken in
    return {std::move(bytes), cycles};
}

// A frame's colours, LED by LED, on its grid.
struct FrameColours {
    const std::vector<std::uint32_t>& colours;
    std::ptrdiff_t width;
    std::ptrdiff_t height;

    std::uint32_t at(std::ptrdiff_t x, std::ptrdiff_t y) const {
        return colours[static_cast<std::size_t>(y * width + x)];
    }
};

// How many LEDs of the frame that changed the plan's offset gives, of the frame before.
std::size_t gained_after(const FrameColours& before, const FrameColours& frame, const Plan& plan) {
    std::size_t gained = 0;
    for (std::ptrdiff_t y = std::max(0, plan.dy);
         y < std::min(frame.height, frame.height + plan.dy); ++y) {
        for (std::ptrdiff_t x = std::max(0, plan.dx);
             x < std::min(frame.width, frame.width + plan.dx); ++x) {
            const std::uint32_t colour = frame.at(x, y);
            const bool gives =
                colour != before.at(x, y) && colour == before.at(x - plan.dx, y - plan.dy);
            gained += gives ? 1 : 0;
        }
    }
    return gained;
}

// Whether each LED of the frame is the colour of the LED before it on its row or of the one
// above it, in the plan's order.
std::vector<std::uint8_t> given_by_neighbours(const FrameColours& frame, const Plan& plan) {
    const std::ptrdiff_t step = plan.last_first ? -1 : 1;
    std::vector<std::uint8_t> given;
    for (std::ptrdiff_t y = 0; y < frame.height; ++y) {
        for (std::ptrdiff_t x = 0; x < frame.width; ++x) {
            const std::uint32_t colour = frame.at(x, y);
            const bool before =
                x - step >= 0 && x - step < frame.width && frame.at(x - step, y) == colour;
            const bool above =
                y - step >= 0 && y - step < frame.height && frame.at(x, y - step) == colour;
            given.push_back(before || above ? 1 : 0);
        }
    }
    return given;
}

// How many LEDs of the frame the plan's offset gives (of the frame itself, earlier in the walk)
// that `given` does not.
std::size_t gained_alone(const FrameColours& frame, const std::vector<std::uint8_t>& given,
                         const Plan& plan) {
    std::size_t gained = 0;
    for (std::ptrdiff_t y = std::max(0, plan.dy);
         y < std::min(frame.height, frame.height + plan.dy); ++y) {
        for (std::ptrdiff_t x = std::max(0, plan.dx);
             x < std::min(frame.width, frame.width + plan.dx); ++x) {
            const bool gives = given[static_cast<std::size_t>(y * frame.width + x)] == 0 &&
                               frame.at(x, y) == frame.at(x - plan.dx, y - plan.dy);
            gained += gives ? 1 : 0;
        }
    }
    return gained;
}

// Of the plans (offsets and orders) whose offset the player asks about, in a record after the
// previous frame or standing alone, the one that `gained` says gives the most LEDs; none where
// few are.
template <typename Gained>
Plan best_plan(bool reads_previous, const FrameColours& frame, Gained&& gained) {
    Plan best{reads_previous};
    std::size_t most = frame.colours.size() / 64 + 1;
    for (const bool last_first : {false, true}) {
        for (int dx = -REACH; dx <= REACH; ++dx) {
            for (int dy = -REACH; dy <= REACH; ++dy) {
                const Plan tried{reads_previous, last_first, dx, dy};
                if (!tried.moves(frame.width, frame.height)) {
                    continue;
                }
                if (const std::size_t by = gained(tried); by > most) {
                    most = by;
                    best = tried;
                }
            }
        }
    }
    return best;
}

// The offset and order whose LEDs of the previous frame, still in the buffer when asked about,
// are most often what an LED that changed becomes.
Plan plan_after(const FrameColours& before, const FrameColours& frame) {
    return best_plan(true, frame,
                     [&](const Plan& plan) { return gained_after(before, frame, plan); });
}

// The offset and order of a frame that stands alone whose LEDs, earlier in the walk, are most
// often what an LED that is neither the one before it nor the one above becomes.
Plan plan_alone(const FrameColours& frame) {
    const std::array<std::vector<std::uint8_t>, 2> given = {
        given_by_neighbours(frame, Plan{false, false}),
        given_by_neighbours(frame, Plan{false, true})};
    return best_plan(false, frame, [&](const Plan& plan) {
        return gained_alone(frame, given.at(plan.last_first ? 1 : 0), plan);
    });
}

// The fast records of each frame as small animations hold them, after a byte that says so (and
// whether it plays after the previous frame), their indices of the fewest bits of 1, 2, 4 and 8
// that hold the palette's.
struct FastChoices {
    std::vector<Record> alone;
    std::vector<Record> changes;
};

// A record after a first byte, in the same cycles.
Record after_byte(std::uint8_t first, const Record& record) {
    Record after{std::vector<std::uint8_t>(record.bytes.size() + 1, first), record.cycles};
    std::copy(record.bytes.begin(), record.bytes.end(), after.bytes.begin() + 1);
    return after;
}

FastChoices fast_choices(const Frames& frames, const SmallPalette& palette) {
    const std::uint8_t bits = palette.bits == 0   ? 0
                              : palette.bits <= 2 ? palette.bits
                              : palette.bits <= 4 ? 4
                                                  : 8;
    FastChoices choices;
    for (const FastRecords& records : fast_records(frames, bits)) {
        choices.alone.push_back(after_byte(FAST_RECORD, records.alone));
        choices.changes.push_back(after_byte(READS_PREVIOUS | FAST_RECORD, records.changes));
    }
    return choices;
}

// Frame k's record of the fewest bytes with the model: small, by the first of the plans that
// makes the fewest of those within SMALL_LED_CYCLES, or fast, of `fast` (where there is one), if
// that is no larger, for it plays in fewer cycles, or where no small one is within. And the plan
// of a small one, and of the smallest small one.
struct Option {
    Record record;
    std::optional<Plan> plan;
    Plan smallest;
};

Option option_of(const Frames& frames, std::size_t k, std::span<const Plan> plans,
                 const SmallPalette& palette, const std::vector<std::uint8_t>& model,
                 const std::vector<Record>& fast) {
    const std::uint64_t bound = SMALL_LED_CYCLES * frames.grid().values();
    Option best;
    std::size_t least = SIZE_MAX; // the bytes of the smallest small record
    bool fits = false;            // whether best plays within the bound
    for (const Plan& plan : plans) {
        Record record = encode(frames, k, plan, palette, model);
        const bool within = record.cycles <= bound;
        if (record.bytes.size() < least) {
            least = record.bytes.size();
            best.smallest = plan;
        }
        if (!best.plan || (within && !fits) ||
            (within == fits && record.bytes.size() < best.record.bytes.size())) {
            best.record = std::move(record);
            best.plan = plan;
            fits = within;
        }
    }
    if (k < fast.size() && (!fits || fast[k].bytes.size() <= best.record.bytes.size())) {
        best.record = fast[k];
        best.plan = std::nullopt;
    }
    return best;
}

// The model of how often each answer comes in the frames stored small, each by its plan.
std::vector<std::uint8_t> model_for(const Frames& frames, const SmallPalette& palette,
                                    const std::vector<std::optional<Plan>>& plans) {
    Counts counts;
    counts.nodes.resize(palette.bits == 0 ? 0 : (std::size_t{1} << palette.bits) - 1);
    for (std::size_t k = 0; k < plans.size(); ++k) {
        if (plans[k]) {
            count_answers(frames, k, *plans[k], palette, counts);
        }
    }
    return model_of(counts);
}

// A frame's plans: standing alone (with an offset of its own, or none), and after the previous
// frame.
struct FramePlans {
    Plan alone;
    Plan after;
    bool tries_none = true; // a record standing alone without the offset too
};

// Frame k's records with a model: standing alone, without an offset or with its own, and after
// the previous frame (the first frame's: alone both).
struct Choice {
    Option alone;
    Option changes;
};

Choice choose(const Frames& frames, std::size_t k, const FramePlans& plans,
              const SmallPalette& palette, const std::vector<std::uint8_t>& model,
              const FastChoices& fast) {
    const std::array<Plan, 2> alone = {Plan{}, plans.alone};
    const bool both = plans.tries_none && plans.alone.has_offset();
    Choice choice;
    choice.alone =
        option_of(frames, k, std::span(alone).subspan(both ? 0 : 1), palette, model, fast.alone);
    choice.changes =
        k == 0 ? choice.alone
               : option_of(frames, k, std::span(&plans.after, 1), palette, model, fast.changes);
    return choice;
}

// Each frame's record into packed, records alike kept once.
void keep_records(Packed& packed, std::vector<Record>& chosen) {
    std::multimap<std::uint64_t, std::size_t> made;
    for (Record& record : chosen) {
        const std::uint64_t hash = hash_of(record.bytes);
        const auto [same, end] = made.equal_range(hash);
        const auto found = std::find_if(same, end, [&](const auto& entry) {
            return same_bytes(packed.records[entry.second], record.bytes);
        });
        if (found != end) {
            packed.frame_record.push_back(static_cast<std::uint16_t>(found->second));
            continue;
        }
        const std::size_t number = packed.records.size();
        made.emplace(hash, number);
        packed.frame_record.push_back(static_cast<std::uint16_t>(number));
        packed.records.push_back(std::move(record.bytes));
        packed.cycles.push_back(record.cycles);
    }
}

// The frames that stand alone, so that tivrano_frame takes at most SEEK_HALVES / 2 times the
// longest frame in order. That is reckoned first as the longest of the smaller records of each
// frame, and again as the longest of the choice, while that comes out shorter: a frame whose
// records after the previous are all long may play alone, in fewer cycles, in order too.
std::vector<bool> seekable(const std::vector<RecordCosts>& costs) {
    std::uint64_t longest = 0;
    for (const RecordCosts& frame : costs) {
        longest = std::max(longest, frame.alone_bytes < frame.changes_bytes ? frame.alone_cycles
                                                                            : frame.changes_cycles);
    }
    for (;;) {
        std::vector<bool> alone = standing_alone(costs, SMALL_SEEK_HALVES * longest / 2);
        std::uint64_t played = 0;
        for (std::size_t k = 0; k < costs.size(); ++k) {
            played = std::max(played, alone[k] ? costs[k].alone_cycles : costs[k].changes_cycles);
        }
        if (played >= longest) {
            return alone;
        }
        longest = played;
    }
}

// The frames packed with the model of the plans (which frames are stored small, and how), and
// again with the model of the frames then stored small: each frame's records made with it both
// ways, each small or fast, and the frames that stand alone chosen by those; the records, alike
// kept once, and the model, into `best`, while they take fewer bytes than `least`, the bytes of
// `best` so far.
void pack_with(const Frames& frames, const SmallPalette& palette,
               std::vector<FramePlans> frame_plans, const FastChoices& fast,
               std::vector<std::optional<Plan>> plans, Packed& best, std::size_t& least) {
    const std::size_t count = frames.count();
    for (int round = 0; round < 2; ++round) {
        Packed tried;
        tried.model = model_for(frames, palette, plans);
        std::vector<Choice> choices;
        std::vector<RecordCosts> costs;
        for (std::size_t k = 0; k < count; ++k) {
            choices.push_back(choose(frames, k, frame_plans[k], palette, tried.model, fast));
            const Choice& c = choices.back();
            costs.push_back({c.alone.record.bytes.size(), c.alone.record.cycles,
                             c.changes.record.bytes.size(), c.changes.record.cycles});
        }
        const std::vector<bool> alone = seekable(costs);
        std::vector<Record> chosen;
        for (std::size_t k = 0; k < count; ++k) {
            Option& c = alone[k] ? choices[k].alone : choices[k].changes;
            chosen.push_back(std::move(c.record));
            plans[k] = c.plan;
            // Standing alone, the offset or none from here on, whichever made the fewer bytes.
            frame_plans[k].alone = choices[k].alone.smallest;
            frame_plans[k].tries_none = false;
        }
        keep_records(tried, chosen);
        const std::size_t bytes = std::accumulate(
            tried.records.begin(), tried.records.end(), tried.model.size(),
            [](std::size_t sum, const auto& record) { return sum + record.size(); });
        if (bytes >= least) {
            return;
        }
        least = bytes;
        best = std::move(tried);
    }
}

} // namespace

Packed pack_small(const Frames& frames, bool with_fast) {
    const SmallPalette palette = palette_of(frames);
    const std::size_t count = frames.count();
    std::vector<FramePlans> frame_plans(count);
    std::vector<std::optional<Plan>> plans(count);
    const auto colours = [&](std::size_t frame) {
        return FrameColours{palette.frames[frame], static_cast<std::ptrdiff_t>(frames.grid().width),
                            static_cast<std::ptrdiff_t>(frames.grid().height)};
    };
    for (std::size_t k = 0; k < count; ++k) {
        frame_plans[k].alone = plan_alone(colours(k));
        if (k > 0) {
            frame_plans[k].after = plan_after(colours(k - 1), colours(k));
            plans[k] = frame_plans[k].after;
        }
    }
    const FastChoices fast = with_fast ? fast_choices(frames, palette) : FastChoices{};
    // Packed from the model of every frame after the previous, the first alone without an
    // offset; and where the first frame has an offset of its own, with it too, for the model
    // the packing settles on depends on where it starts: the smaller is kept.
    const std::array<Plan, 2> starts = {Plan{}, count > 0 ? frame_plans[0].alone : Plan{}};
    const bool offset = starts[1].has_offset();
    Packed packed;
    std::size_t least = SIZE_MAX;
    for (const Plan& first : std::span(starts).first(count == 0 ? 0 : offset ? 2 : 1)) {
        plans[0] = first;
        pack_with(frames, palette, frame_plans, fast, plans, packed, least);
    }
    packed.small = true;
    packed.grid = frames.grid();
    packed.bits = palette.bits;
    for (const std::uint32_t colour : palette.colours) {
        put_value(packed.palette, colour, packed.grid);
    }
    return packed;
}

int format_of(const Packed& packed) {
    if (!packed.small) {
        return PLAYER_FORMAT;
    }
    const auto any = [&](auto is) {
        return std::any_of(packed.records.begin(), packed.records.end(), is);
    };
    if (any([](const auto& r) {
            const unsigned offset = r.front() & 63U;
            return (r.front() & READS_PREVIOUS) == 0 && offset != NO_OFFSET &&
                   offset != FAST_RECORD;
        })) {
        return OFFSET_FORMAT;
    }
    return any([](const auto& r) { return (r.front() & 63U) == FAST_RECORD; }) ? MIXED_FORMAT
                                                                               : SMALL_FORMAT;
}

} // namespace tivrano
