// Packs an animation's frames as tivrano_player.h reads them (its format is written up at the
// top of that header). Each frame's record is the smallest of: commands over every LED, commands
// over the LEDs that changed since the previous frame, or the values as they are; the commands
// are chosen by a shortest path over the LEDs, so that no other sequence of commands is
// shorter. The palette takes the most common colours, at as many index bits as make the whole
// smallest.
#include <algorithm>
#include <deque>
#include <limits>
#include <map>
#include <unordered_map>
#include <utility>

#include "animation.hpp"

namespace tivrano {
namespace {

enum Kind : std::uint8_t { STANDS_ALONE = 0, CHANGES = 1, AS_THEY_ARE = 2 };
enum Op : std::uint8_t { SKIP = 0, RUN = 1, INDICES = 2, TRIPLES = 3 };

// The LEDs one command covers: up to 63 with a one-byte header, up to 319 with two.
constexpr std::size_t SHORT_COUNT = 63;
constexpr std::size_t LONG_COUNT = 319;
constexpr std::int16_t NO_INDEX = -1;
constexpr std::int64_t NONE = std::numeric_limits<std::int64_t>::max() / 4;

std::uint32_t colour_at(std::span<const std::uint8_t> frame, std::size_t led) {
    return std::uint32_t{frame[3 * led]} << 16U | std::uint32_t{frame[3 * led + 1]} << 8U |
           frame[3 * led + 2];
}

// The smallest value among those pushed at an index from some lower bound on, as both the
// pushed indices and the bounds only grow.
class WindowMin {
  public:
    void push(std::size_t index, std::int64_t value) {
        while (!entries_.empty() && entries_.back().second >= value) {
            entries_.pop_back();
        }
        entries_.emplace_back(index, value);
    }
    std::pair<std::size_t, std::int64_t> from(std::size_t low) {
        while (!entries_.empty() && entries_.front().first < low) {
            entries_.pop_front();
        }
        return entries_.empty() ? std::pair<std::size_t, std::int64_t>{0, NONE} : entries_.front();
    }

  private:
    std::deque<std::pair<std::size_t, std::int64_t>> entries_;
};

// The palette at one index width: the colours that fit it, most common first.
struct Palette {
    std::uint8_t bits = 0; // 0: no palette, every LED as it is
    std::vector<std::uint32_t> colours;
    std::map<std::uint32_t, std::int16_t> index;
};

Palette make_palette(const std::vector<std::pair<std::uint32_t, std::uint64_t>>& by_count,
                     std::uint8_t bits) {
    Palette palette;
    palette.bits = bits;
    const std::size_t size = bits == 0 ? 0 : std::min<std::size_t>(by_count.size(), 1U << bits);
    for (std::size_t k = 0; k < size; ++k) {
        palette.index[by_count[k].first] = static_cast<std::int16_t>(k);
        palette.colours.push_back(by_count[k].first);
    }
    return palette;
}

void put_header(std::vector<std::uint8_t>& record, Op op, std::size_t n) {
    const std::size_t what = std::size_t{op} << 6U;
    if (n <= SHORT_COUNT) {
        record.push_back(static_cast<std::uint8_t>(what | (n - 1)));
    } else {
        record.push_back(static_cast<std::uint8_t>(what | SHORT_COUNT));
        record.push_back(static_cast<std::uint8_t>(n - SHORT_COUNT - 1));
    }
}

// The shortest commands for one frame: over every LED, or with `previous`, over those that
// changed since.
std::vector<std::uint8_t> commands(std::span<const std::uint8_t> frame,
                                   std::span<const std::uint8_t> previous,
                                   const std::vector<std::int16_t>& index, const Palette& palette) {
    const std::size_t leds = index.size();
    const std::size_t per_byte = palette.bits == 0 ? 1 : 8U / palette.bits;
    std::vector<std::int64_t> best(leds + 1, NONE);
    struct Step {
        Op op;
        std::size_t from;
    };
    std::vector<Step> step(leds + 1, {SKIP, 0});
    best[0] = 0;
    // For each op, the windows of command starts with a short and a long header; the spans of
    // indices have one pair for each start's place within a byte.
    WindowMin skip[2];
    WindowMin run[2];
    WindowMin triples[2];
    std::vector<WindowMin> indices(2 * per_byte);
    std::size_t unchanged_from = 0;
    std::size_t same_from = 0;
    std::size_t indexed_from = 0;
    const auto offer = [&](std::int64_t cost, Op op, std::size_t from, std::size_t end) {
        if (cost < best[end]) {
            best[end] = cost;
            step[end] = {op, from};
        }
    };
    for (std::size_t end = 1; end <= leds; ++end) {
        const std::size_t led = end - 1;
        const auto push = [&](std::size_t start, std::size_t window) {
            const std::int64_t value = best[start];
            const auto place = static_cast<std::int64_t>(start / per_byte);
            skip[window].push(start, value);
            run[window].push(start, value);
            triples[window].push(start, value - 3 * static_cast<std::int64_t>(start));
            indices[2 * (start % per_byte) + window].push(start, value - place);
        };
        push(led, 0);
        if (end > SHORT_COUNT) {
            push(end - SHORT_COUNT - 1, 1);
        }
        const bool unchanged = !previous.empty() &&
                               same_bytes(frame.subspan(3 * led, 3), previous.subspan(3 * led, 3));
        if (!unchanged) {
            unchanged_from = led + 1;
        }
        same_from =
            led > 0 && index[led] != NO_INDEX && index[led] == index[led - 1] ? same_from : led;
        indexed_from = led > 0 && index[led - 1] != NO_INDEX ? indexed_from : led;
        const std::size_t short_low = end > SHORT_COUNT ? end - SHORT_COUNT : 0;
        const std::size_t long_low = end > LONG_COUNT ? end - LONG_COUNT : 0;
        for (std::size_t window = 0; window < 2; ++window) {
            const std::size_t low = window == 0 ? short_low : long_low;
            const std::int64_t header = 1 + static_cast<std::int64_t>(window);
            if (unchanged) {
                const auto [from, value] = skip[window].from(std::max(low, unchanged_from));
                offer(value + header, SKIP, from, end);
            }
            if (index[led] != NO_INDEX) {
                const auto [from, value] = run[window].from(std::max(low, same_from));
                offer(value + header + 1, RUN, from, end);
                for (std::size_t place = 0; place < per_byte; ++place) {
                    const auto [start, least] =
                        indices[2 * place + window].from(std::max(low, indexed_from));
                    const auto bytes =
                        static_cast<std::int64_t>((end + per_byte - 1 - place) / per_byte);
                    offer(least + header + bytes, INDICES, start, end);
                }
            }
            const auto [from, value] = triples[window].from(low);
            offer(value + header + 3 * static_cast<std::int64_t>(end), TRIPLES, from, end);
        }
    }
    std::vector<Step> path;
    for (std::size_t end = leds; end > 0; end = step[end].from) {
        path.push_back(step[end]);
        path.back().from = end - step[end].from; // the count
    }
    std::vector<std::uint8_t> record;
    std::size_t led = 0;
    for (auto it = path.rbegin(); it != path.rend(); ++it) {
        const std::size_t n = it->from;
        put_header(record, it->op, n);
        if (it->op == RUN) {
            record.push_back(static_cast<std::uint8_t>(index[led]));
        } else if (it->op == INDICES) {
            std::uint32_t byte = 0;
            std::size_t filled = 0;
            for (std::size_t k = led; k < led + n; ++k) {
                byte = byte << palette.bits | static_cast<std::uint32_t>(index[k]);
                filled += palette.bits;
                if (filled == 8) {
                    record.push_back(static_cast<std::uint8_t>(byte));
                    byte = 0;
                    filled = 0;
                }
            }
            if (filled != 0) {
                record.push_back(static_cast<std::uint8_t>(byte << (8 - filled)));
            }
        } else if (it->op == TRIPLES) {
            const auto values = frame.subspan(3 * led, 3 * n);
            record.insert(record.end(), values.begin(), values.end());
        }
        led += n;
    }
    return record;
}

// Every frame's record with one palette, records alike stored once.
Packed pack_with(const Frames& frames, const Palette& palette) {
    Packed packed;
    packed.bits = palette.bits == 0 ? 8 : palette.bits;
    for (const std::uint32_t colour : palette.colours) {
        packed.palette.push_back(static_cast<std::uint8_t>(colour >> 16U));
        packed.palette.push_back(static_cast<std::uint8_t>(colour >> 8U));
        packed.palette.push_back(static_cast<std::uint8_t>(colour));
    }
    const std::size_t leds = frames.frame_size() / 3;
    // The records so far, by a hash of their bytes.
    std::unordered_multimap<std::uint64_t, std::uint16_t> known;
    // The frames that stand alone, by a hash of their values.
    std::unordered_multimap<std::uint64_t, std::size_t> alone_frames;
    std::vector<std::int16_t> index(leds);
    for (std::size_t k = 0; k < frames.count(); ++k) {
        const auto frame = frames.frame(k);
        std::vector<std::uint8_t> record{AS_THEY_ARE};
        record.insert(record.end(), frame.begin(), frame.end());
        if (palette.bits != 0) {
            for (std::size_t led = 0; led < leds; ++led) {
                const auto found = palette.index.find(colour_at(frame, led));
                index[led] = found == palette.index.end() ? NO_INDEX : found->second;
            }
            std::vector<std::uint8_t> alone{STANDS_ALONE};
            const auto all = commands(frame, {}, index, palette);
            alone.insert(alone.end(), all.begin(), all.end());
            if (alone.size() <= record.size()) {
                record = std::move(alone);
            }
            if (k > 0) {
                std::vector<std::uint8_t> changes{CHANGES};
                const auto changed = commands(frame, frames.frame(k - 1), index, palette);
                changes.insert(changes.end(), changed.begin(), changed.end());
                if (changes.size() < record.size()) {
                    record = std::move(changes);
                }
            }
        }
        // A frame like an earlier one that stands alone shares its record.
        const std::uint64_t hash = fnv1a(frame);
        const auto [first, last] = alone_frames.equal_range(hash);
        for (auto earlier = first; earlier != last; ++earlier) {
            if (same_bytes(frames.frame(earlier->second), frame)) {
                record = packed.records[packed.frame_record[earlier->second]];
                break;
            }
        }
        const std::uint64_t record_hash = fnv1a(record);
        auto at = static_cast<std::uint16_t>(packed.records.size());
        const auto [same, end] = known.equal_range(record_hash);
        for (auto it = same; it != end; ++it) {
            if (same_bytes(packed.records[it->second], record)) {
                at = it->second;
            }
        }
        if (at == packed.records.size()) {
            known.emplace(record_hash, at);
            packed.records.push_back(record);
        }
        packed.frame_record.push_back(at);
        if (record[0] != CHANGES) {
            alone_frames.emplace(hash, k);
        }
    }
    return packed;
}

std::uint64_t size_of(const Packed& packed) {
    std::uint64_t size = packed.palette.size();
    for (const auto& record : packed.records) {
        size += record.size();
    }
    return size;
}

} // namespace

Packed pack(const Frames& frames) {
    std::map<std::uint32_t, std::uint64_t> counts;
    for (std::size_t k = 0; k < frames.count(); ++k) {
        const auto frame = frames.frame(k);
        for (std::size_t led = 0; led < frame.size() / 3; ++led) {
            ++counts[colour_at(frame, led)];
        }
    }
    std::vector<std::pair<std::uint32_t, std::uint64_t>> by_count(counts.begin(), counts.end());
    std::stable_sort(by_count.begin(), by_count.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    std::optional<Packed> smallest;
    std::size_t held = 0; // the colours the last palette held
    for (const std::uint8_t bits :
         {std::uint8_t{0}, std::uint8_t{1}, std::uint8_t{2}, std::uint8_t{4}, std::uint8_t{8}}) {
        if (held >= by_count.size() && bits > 1) {
            break; // more bits would only make the indices longer
        }
        Packed packed = pack_with(frames, make_palette(by_count, bits));
        held = packed.palette.size() / 3;
        if (!smallest || size_of(packed) < size_of(*smallest)) {
            smallest = std::move(packed);
        }
    }
    return *smallest;
}

} // namespace tivrano
