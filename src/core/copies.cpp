// Finds, for each LED of a frame, the longest copy that the player can make there: with the frame
// before it and the frame itself one after the other, the LED at i of the frame reads the one d
// places earlier, for any d the forms allow. The places to try are found as a compressor finds
// them: first the distances of the last copies found, as a moving picture copies many LEDs from
// one distance; then chains of the earlier places where the same three colours follow one another,
// only so many of them (so a copy of two LEDs is found only at a recent distance, or as the rest
// of the copy before): the three from the LED, or, once a copy of three or more is known, the
// three that end one LED past it; for a copy of one LED, the nearest place of its colour. Within
// a long copy, the next LED takes the rest of it and looks no further.
#include "copies.hpp"

#include <algorithm>
#include <array>
#include <bit>

namespace tivrano {
namespace {

// No LED has this colour: its 24 bits are never all of a value.
constexpr std::uint32_t UNKNOWN = 0xFF000000U;
// Hashes of runs of LEDs are polynomials in BASE, modulo 2^64, of their colours; POWERS holds
// BASE's powers up to a run of LONG_COUNT LEDs and one more.
constexpr std::uint64_t BASE = 0x9E3779B97F4A7C15ULL;
constexpr std::array<std::uint64_t, LONG_COUNT + 2> powers_of_base() {
    std::array<std::uint64_t, LONG_COUNT + 2> powers{};
    powers[0] = 1;
    for (std::size_t n = 1; n < powers.size(); ++n) {
        powers[n] = powers[n - 1] * BASE;
    }
    return powers;
}
constexpr auto POWERS = powers_of_base();
// No place: the end of a chain.
constexpr std::uint32_t NOWHERE = 0xFFFFFFFFU;
// The places of a chain tried for each LED, at most.
constexpr int TRIES = 16;
// The distances of the last copies found, tried first.
constexpr std::size_t RECENT = 2;
// A copy this long, taken on from the LED before, is not looked beyond.
constexpr std::size_t LONG_ENOUGH = 16;

// Places by a key, the last added first (and, while the first, that one may be taken out):
// heads by the key's hash, and for each place the one added before it with the same hash.
class Chains {
  public:
    // For `count` places, all below `end`.
    Chains(std::size_t count, std::size_t end)
        : shift_(64 - static_cast<int>(std::bit_width(count | 1U))),
          heads_(std::size_t{1} << (64 - shift_), NOWHERE), next_(end, NOWHERE) {}

    // NOLINTNEXTLINE(bugprone-easily-swappable-parameters): a 64-bit key and a 32-bit place
    void add(std::uint64_t key, std::uint32_t place) {
        std::uint32_t& head = heads_[bucket(key)];
        next_[place] = head;
        head = place;
    }
    // Takes out the place last added of those with this key's hash.
    void drop(std::uint64_t key) {
        std::uint32_t& head = heads_[bucket(key)];
        head = next_[head];
    }
    std::uint32_t first(std::uint64_t key) const { return heads_[bucket(key)]; }
    std::uint32_t after(std::uint32_t place) const { return next_[place]; }

  private:
    std::size_t bucket(std::uint64_t key) const {
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ULL) >> shift_);
    }

    int shift_;
    std::vector<std::uint32_t> heads_;
    std::vector<std::uint32_t> next_;
};

// The places of the previous frame (PREVIOUS) and of the frame itself (OWN): the frame's own
// nearest first, those of the previous frame from the lowest not yet overwritten, apart, so that
// neither uses up the other's tries.
enum Source : std::uint8_t { PREVIOUS = 0, OWN = 1 };

class Finder {
  public:
    explicit Finder(const Grid& grid)
        : leds_(grid.values()), bytes_(grid.bytes), seen_(2 * leds_, UNKNOWN),
          prefix_(2 * leds_ + 1), threes_{Chains(leds_, leds_), Chains(leds_, 2 * leds_)},
          singles_{Chains(leds_, leds_), Chains(leds_, 2 * leds_)} {}

    // The copies of frame k, from the frame before too if `after` it.
    FrameCopies find(const Frames& frames, std::size_t k, bool after) {
        const auto frame = frames.frame(k);
        for (std::size_t led = 0; led < leds_; ++led) {
            seen_[leds_ + led] = colour_at(frame, led, bytes_);
        }
        if (after) {
            add_previous(frames.frame(k - 1));
        }
        for (std::size_t place = 0; place < seen_.size(); ++place) {
            prefix_[place + 1] = prefix_[place] * BASE + seen_[place];
        }
        FrameCopies copies{Copies(leds_), Copies(leds_)};
        for (std::size_t led = 0; led < leds_; ++led) {
            const std::size_t at = leds_ + led;
            if (led > 0 && led + 1 < leds_) { // the three from at - 1 fit the frame
                threes_[OWN].add(three(at - 1), static_cast<std::uint32_t>(at - 1));
            }
            if (led > 0) {
                singles_[OWN].add(seen_[at - 1], static_cast<std::uint32_t>(at - 1));
            }
            if (after) { // this LED of the previous frame is overwritten now
                if (led + 2 < leds_) {
                    threes_[PREVIOUS].drop(three(led));
                }
                singles_[PREVIOUS].drop(seen_[led]);
            }
            copies.alone[led] = search(led, OWN, led > 0 ? copies.alone[led - 1] : Copy{}, {});
            copies.changes[led] =
                !after ? copies.alone[led]
                       : search(led, PREVIOUS, led > 0 ? copies.changes[led - 1] : Copy{},
                                copies.alone[led]);
        }
        return copies;
    }

  private:
    // The previous frame's LEDs, and their places in the chains.
    void add_previous(std::span<const std::uint8_t> previous) {
        for (std::size_t led = 0; led < leds_; ++led) {
            seen_[led] = colour_at(previous, led, bytes_);
        }
        for (std::size_t place = leds_; place-- > 0;) {
            if (place + 2 < leds_) { // a copy from there stops at its last LED: its three fit
                threes_[PREVIOUS].add(three(place), static_cast<std::uint32_t>(place));
            }
            singles_[PREVIOUS].add(seen_[place], static_cast<std::uint32_t>(place));
        }
    }

    // The three colours from `place` on, as a key of their chain (which may hold other colours).
    std::uint64_t three(std::size_t place) const {
        return (std::uint64_t{seen_[place]} << 32U | seen_[place + 1]) ^
               (std::uint64_t{seen_[place + 2]} * 0xD6E8FEB86659FD93ULL);
    }

    // The LED a copy is sought for: its place, and the most LEDs a copy there may take.
    struct Target {
        std::size_t at;
        std::size_t most;
    };

    // The longest copy at `led` from the places of `source`, or `found` if none is longer; `before`
    // is the copy found at the LED before.
    Copy search(std::size_t led, Source source, Copy before, Copy found) {
        const Target target{leds_ + led, std::min(LONG_COUNT, leds_ - led)};
        if (before.count > 1 && before.count - 1U > found.count) {
            extend(target, {static_cast<std::uint16_t>(before.count - 1U), before.d}, found);
        }
        if (found.count >= LONG_ENOUGH) {
            return found;
        }
        const Copy first = found;
        for (const std::uint16_t d : recent_[source]) {
            const std::size_t place = target.at - d;
            if (d != 0 && place > led && (place >= leds_) == (source == OWN)) {
                try_place(target, place, found);
            }
        }
        // The chain walked: of the three colours at the LED while the copy found is shorter than
        // three LEDs, and then of the three that end one LED past it, which a longer copy must
        // match too and which most places that match at the LED do not. (The places of the frame
        // itself fewer than `shift` LEDs back are not yet in that chain: they are left to the
        // recent distances and to the copy before.)
        const std::size_t shift = found.count >= 3 ? found.count - 2 : 0;
        int tries = TRIES;
        for (std::uint32_t place = target.most > 2 && found.count < target.most
                                       ? threes_[source].first(three(target.at + shift))
                                       : NOWHERE;
             place != NOWHERE && found.count < target.most && tries-- > 0;
             place = threes_[source].after(place)) {
            if (place >= shift + (source == OWN ? leds_ : led + 1)) {
                try_place(target, place - shift, found);
            }
        }
        if (found.count == 0) {
            found = single(target.at, source);
        }
        if (found.count > 1 && found.d != first.d) {
            remember(source, found.d);
        }
        return found;
    }

    // How many LEDs a copy from `place` may take: from the previous frame, up to its last LED.
    std::size_t reach(const Target& target, std::size_t place) const {
        return place >= leds_ ? target.most : std::min(target.most, leds_ - place);
    }
    // Takes the copy `from`, whose first `count` LEDs are known to match, as far as it matches,
    // if that is longer than `found`.
    void extend(const Target& target, Copy from, Copy& found) const {
        const std::size_t place = target.at - from.d;
        std::size_t count = from.count;
        while (count < reach(target, place) && seen_[place + count] == seen_[target.at + count]) {
            ++count;
        }
        if (count > found.count) {
            found = {static_cast<std::uint16_t>(count), from.d};
        }
    }
    // The same for a copy from `place`, worth comparing whole only if it matches one LED further
    // than `found`, and the LEDs before that by their hash first.
    void try_place(const Target& target, std::size_t place, Copy& found) const {
        const std::size_t known = found.count;
        if (known < reach(target, place) && seen_[place + known] == seen_[target.at + known] &&
            hash(place, known) == hash(target.at, known) &&
            std::equal(&seen_[place], &seen_[place + known], &seen_[target.at])) {
            extend(target,
                   {static_cast<std::uint16_t>(known + 1),
                    static_cast<std::uint16_t>(target.at - place)},
                   found);
        }
    }

    // A hash of the `count` LEDs from `place`.
    std::uint64_t hash(std::size_t place, std::size_t count) const {
        return prefix_[place + count] - prefix_[place] * POWERS[count];
    }

    // A copy of the one LED at `at` from the nearest place of its colour, if any.
    Copy single(std::size_t at, Source source) const {
        for (std::uint32_t place = singles_[source].first(seen_[at]); place != NOWHERE;
             place = singles_[source].after(place)) {
            if (seen_[place] == seen_[at]) {
                return {1, static_cast<std::uint16_t>(at - place)};
            }
        }
        return {};
    }

    // Keeps d among the distances of the last copies found, first.
    void remember(Source source, std::uint16_t d) {
        if (recent_[source][0] != d) {
            std::rotate(recent_[source].begin(), recent_[source].end() - 1, recent_[source].end());
            recent_[source][0] = d;
        }
    }

    std::size_t leds_;
    std::size_t bytes_;                 // of a value
    std::vector<std::uint32_t> seen_;   // the previous frame's LEDs, then the frame's own
    std::vector<std::uint64_t> prefix_; // of the LEDs seen before each place, a hash
    Chains threes_[2];
    Chains singles_[2];
    std::array<std::array<std::uint16_t, RECENT>, 2> recent_{};
};

} // namespace

FrameCopies find_copies(const Frames& frames, std::size_t k) {
    return Finder(frames.grid()).find(frames, k, k > 0);
}

Copies find_alone_copies(const Frames& frames, std::size_t k) {
    return Finder(frames.grid()).find(frames, k, false).alone;
}

} // namespace tivrano
