// What the packer reckons a record costs to play, and which frames it makes stand alone.
#include "records.hpp"

#include <limits>

namespace tivrano {
namespace {

constexpr std::uint64_t NONE = std::numeric_limits<std::uint64_t>::max() / 4;

} // namespace

std::uint64_t cycles_of(std::span<const std::uint8_t> record, RecordShape shape) {
    const std::size_t leds = shape.leds;
    const std::uint8_t bits = shape.bits;
    std::uint64_t cycles = RECORD_CYCLES;
    for (std::size_t at = 0, led = 0; led < leds;) {
        auto op = static_cast<Op>(record[at] >> OP_SHIFT);
        std::size_t n = (record[at] & SHORT_COUNT) + std::size_t{1};
        at += n > SHORT_COUNT ? 2U : 1U;
        n += n > SHORT_COUNT ? record[at - 1] : 0U;
        if (op == TRIPLES) {
            op = record[at] == 0 && record[at + 1] == 0 ? TRIPLES : COPY;
            at += 2;
        }
        const std::size_t bytes[] = {0, 1, (n * bits + 7) / 8, 3 * n, 0};
        at += bytes[op];
        n -= op == SKIP ? 1 : 0;
        cycles += COMMAND_CYCLES + LED_CYCLES[op] * n +
                  (op == INDICES && bits < 8 ? UNPACK_CYCLES * n : 0);
        led += n;
    }
    return cycles;
}

// Which frames stand alone: of the ways to choose them such that playing from one through the
// frames up to the next takes at most `bound` cycles, the one of fewest bytes, where best[k] is
// the fewest for the frames before k when frame k stands alone (k = the count: the end).
std::vector<bool> standing_alone(const std::vector<RecordCosts>& costs, std::uint64_t bound) {
    const std::size_t count = costs.size();
    std::vector<std::uint64_t> best(count + 1, NONE);
    std::vector<std::size_t> from(count + 1, 0);
    best[0] = 0;
    for (std::size_t start = 0; start < count; ++start) {
        std::uint64_t bytes = best[start] + costs[start].alone_bytes;
        std::uint64_t cycles = costs[start].alone_cycles;
        for (std::size_t next = start + 1;; ++next) {
            if (bytes < best[next]) {
                best[next] = bytes;
                from[next] = start;
            }
            if (next == count) {
                break;
            }
            cycles += costs[next].changes_cycles;
            bytes += costs[next].changes_bytes;
            if (cycles > bound) {
                break;
            }
        }
    }
    std::vector<bool> alone(count, false);
    for (std::size_t k = count; k > 0; k = from[k]) {
        alone[from[k]] = true;
    }
    return alone;
}

} // namespace tivrano
