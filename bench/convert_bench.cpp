// In-process conversion speed: the largest accepted image, and one small animation frame; and
// the largest laid out along a serpentine strip of columns.
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include "bmp_builder.hpp"

namespace {

// A BMP file of random pixels.
test::Bytes random_bmp(std::int32_t width, std::int32_t height) {
    std::mt19937 random(1);
    std::vector<test::Bgr> pixels(static_cast<std::size_t>(width) *
                                  static_cast<std::size_t>(height));
    for (test::Bgr& pixel : pixels) {
        const auto value = static_cast<std::uint32_t>(random());
        pixel = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8U),
                 static_cast<std::uint8_t>(value >> 16U)};
    }
    return test::bmp_file(width, height, pixels);
}

bool count_bytes(void* context, const char* bytes, std::size_t size) {
    benchmark::DoNotOptimize(bytes);
    *static_cast<std::size_t*>(context) += size;
    return true;
}

// The default layout, or with a second argument of 1 a serpentine, column-wise RGB strip.
void convert(benchmark::State& state) {
    const auto side = static_cast<std::int32_t>(state.range(0));
    const auto file = random_bmp(side, side);
    tivrano::ArrayOptions options;
    if (state.range(1) == 1) {
        options.layout.columns = true;
        options.layout.serpentine = true;
        tivrano::set_order(options.layout, "rgb");
    }
    std::size_t text_bytes = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tivrano::convert_bmp(file, {count_bytes, &text_bytes}, options));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(text_bytes));
    state.counters["text_bytes"] =
        static_cast<double>(text_bytes) / static_cast<double>(state.iterations());
}

// 577 x 577 is about the largest image that fits in 1,000,000 bytes; 16 x 16 is a common frame.
BENCHMARK(convert)->Args({577, 0})->Args({16, 0})->Args({577, 1});

} // namespace

BENCHMARK_MAIN();
