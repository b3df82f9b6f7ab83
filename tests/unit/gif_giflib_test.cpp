// The GIF decoder against giflib on random frames: every minimum code size, interlaced or not,
// the table cleared when it fills or kept full. giflib gives the indices, which the colour table
// turns into the colours the decoder must give. Built where giflib is (libgif-dev).
#include <algorithm>
#include <cstring>
#include <random>

#include <gif_lib.h>

#include <gtest/gtest.h>

#include "gif_builder.hpp"
#include "image.hpp"

namespace {

struct Memory {
    const std::vector<std::uint8_t>& bytes;
    std::size_t at = 0;
};

int read_memory(GifFileType* file, GifByteType* out, int size) {
    auto* memory = static_cast<Memory*>(file->UserData);
    const std::size_t count =
        std::min(static_cast<std::size_t>(size), memory->bytes.size() - memory->at);
    std::memcpy(out, memory->bytes.data() + memory->at, count);
    memory->at += count;
    return static_cast<int>(count);
}

// The first frame's indices as giflib reads them, rows from the top; none if it fails.
std::vector<std::uint8_t> giflib_indices(const std::vector<std::uint8_t>& bytes) {
    Memory memory{bytes};
    int error = 0;
    GifFileType* file = DGifOpen(&memory, read_memory, &error);
    if (file == nullptr) {
        return {};
    }
    std::vector<std::uint8_t> indices;
    if (DGifSlurp(file) == GIF_OK && file->ImageCount > 0) {
        const SavedImage& image = file->SavedImages[0];
        const auto size = static_cast<std::size_t>(image.ImageDesc.Width * image.ImageDesc.Height);
        indices.assign(image.RasterBits, image.RasterBits + size);
    }
    DGifCloseFile(file, &error);
    return indices;
}

TEST(GifGiflib, RandomFramesGiveGiflibsIndices) {
    std::mt19937 random(11);
    const auto below = [&](std::uint32_t bound) { return random() % bound; };
    for (int round = 0; round < 300; ++round) {
        // Every 30th a frame whose table fills; the others small, runs among noise.
        const bool large = round % 30 == 0;
        test::GifFrame frame;
        frame.width = static_cast<std::uint16_t>(large ? 128 : 1 + below(48));
        frame.height = static_cast<std::uint16_t>(large ? 128 : 1 + below(48));
        frame.min_code_size = static_cast<int>(large ? 8 : 1 + below(8));
        frame.interlaced = below(2) == 1;
        frame.clear_when_full = below(2) == 1;
        const std::uint32_t colours = 1U << static_cast<unsigned>(frame.min_code_size);
        std::uint8_t index = 0;
        for (std::size_t k = 0; k < std::size_t{frame.width} * frame.height; ++k) {
            index = below(4) == 0 || large ? static_cast<std::uint8_t>(below(colours)) : index;
            frame.indices.push_back(index);
        }
        std::vector<std::uint8_t> table;
        for (std::uint32_t k = 0; k < colours; ++k) {
            table.insert(table.end(),
                         {static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(255 - k),
                          static_cast<std::uint8_t>(k * 7)});
        }
        const std::vector<std::uint8_t> gif = test::gif(frame.width, frame.height, table, {frame});
        SCOPED_TRACE("round " + std::to_string(round));
        const std::vector<std::uint8_t> indices = giflib_indices(gif);
        ASSERT_EQ(indices, frame.indices);
        const tivrano::DecodedImage image = tivrano::decode_gif(gif, 0);
        ASSERT_EQ(image.status, tivrano::DecodeStatus::decoded) << image.reason;
        std::vector<std::uint8_t> expected;
        for (const std::uint8_t k : indices) {
            expected.insert(expected.end(), table.begin() + 3 * k, table.begin() + 3 * k + 3);
        }
        EXPECT_EQ(image.frames.at(0).rgb, expected);
    }
}

} // namespace
