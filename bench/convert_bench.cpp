// In-process conversion speed: the largest accepted image, and one small animation frame.
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include "tivrano.hpp"

namespace {

// A BMP file of random pixels, built like the tests build theirs.
std::vector<std::uint8_t> random_bmp(std::int32_t width, std::int32_t height) {
    const auto row = static_cast<std::size_t>(tivrano::line_size(width));
    std::vector<std::uint8_t> file(54 + row * static_cast<std::size_t>(height));
    file[0] = 'B';
    file[1] = 'M';
    for (std::size_t k = 0; k < 4; ++k) {
        file[18 + k] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(width) >> (8 * k));
        file[22 + k] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(height) >> (8 * k));
    }
    std::mt19937 random(1);
    for (std::size_t k = 54; k < file.size(); ++k) {
        file[k] = static_cast<std::uint8_t>(random());
    }
    return file;
}

bool count_bytes(void* context, const char* bytes, std::size_t size) {
    benchmark::DoNotOptimize(bytes);
    *static_cast<std::size_t*>(context) += size;
    return true;
}

void convert(benchmark::State& state) {
    const auto side = static_cast<std::int32_t>(state.range(0));
    const auto file = random_bmp(side, side);
    std::size_t text_bytes = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tivrano::convert_bmp(file, {count_bytes, &text_bytes}));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(text_bytes));
    state.counters["text_bytes"] =
        static_cast<double>(text_bytes) / static_cast<double>(state.iterations());
}

// 577 x 577 is about the largest image that fits in 1,000,000 bytes; 16 x 16 is a common frame.
BENCHMARK(convert)->Arg(577)->Arg(16);

} // namespace

BENCHMARK_MAIN();
