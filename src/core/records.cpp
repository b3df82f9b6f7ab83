// What the packer reckons a record costs to play, and which frames it makes stand alone.
#include "records.hpp"

#include <limits>

namespace tivrano {
namespace {

constexpr std::uint64_t UNREACHED = std::numeric_limits<std::uint64_t>::max() / 4;

} // namespace

std::uint64_t cycles_of(std::span<const Command> commands, std::uint8_t bits) {
    std::uint64_t cycles = RECORD_CYCLES;
    for (const Command& command : commands) {
        const std::uint64_t unpack = command.op == INDICES && bits < 8 ? UNPACK_CYCLES : 0;
        cycles += COMMAND_CYCLES + (LED_CYCLES[command.op] + unpack) * command.count;
    }
    return cycles;
}

// Which frames stand alone: of the ways to choose them such that playing from one through the
// frames up to the next takes at most `bound` cycles, the one of fewest bytes, where best[k] is
// the fewest for the frames before k when frame k stands alone (k = the count: the end).
std::vector<bool> standing_alone(const std::vector<RecordCosts>& costs, std::uint64_t bound) {
    const std::size_t count = costs.size();
    std::vector<std::uint64_t> best(count + 1, UNREACHED);
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
