// Frames of animations for the tests, built in code: of a few colours or many, moving or random.
#pragma once

#include <random>
#include <vector>

#include "bmp_builder.hpp"

namespace test {

enum class Pattern {
    block,  // a block of one colour moving over a background of another, a pattern of the rest
    noise,  // random pixels
    spread, // LED k of frame f of colour (13 k + f) % colours: every colour in every frame
    drawn,  // each LED of a colour drawn at random from `colours`: nothing to copy
    slant,  // drawn, but most LEDs of the colour of the one above and to the right
};

// Colour k of an animation: distinct for k up to 511.
inline Bgr colour(int k) {
    return Bgr{static_cast<std::uint8_t>(k * 37), static_cast<std::uint8_t>(k * 11),
               static_cast<std::uint8_t>(k / 2)};
}

// The pixel at x, y of frame f.
inline Bgr pixel_of(Pattern pattern, std::mt19937& random, int x, int y, int width, int colours,
                    int f) {
    if (pattern == Pattern::noise) {
        return {static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random()),
                static_cast<std::uint8_t>(random())};
    }
    if (pattern == Pattern::drawn || pattern == Pattern::slant) {
        return colour(static_cast<int>(random() % static_cast<unsigned>(colours)));
    }
    if (pattern == Pattern::spread) {
        return colour(((x + y * width) * 13 + f) % colours);
    }
    if (x >= f && x < f + 3 && y >= 1 && y < 3) {
        return colour(1);
    }
    if (colours > 2 && (x * 7 + y * 3) % 5 == 0) {
        return colour(2 + (x + y * width) % (colours - 2));
    }
    return colour(0);
}

// `count` frames of `colours` colours, their pixels top row first.
inline std::vector<std::vector<Bgr>> frames_of(int width, int height, int colours, int count,
                                               Pattern pattern = Pattern::block) {
    std::mt19937 random(static_cast<unsigned>(width * 1000 + colours));
    std::vector<std::vector<Bgr>> frames(static_cast<std::size_t>(count));
    for (int f = 0; f < count; ++f) {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                auto& frame = frames[static_cast<std::size_t>(f)];
                const bool slant = pattern == Pattern::slant && y > 0 && x + 1 < width;
                frame.push_back(slant && random() % 4 != 0
                                    ? frame[frame.size() - static_cast<std::size_t>(width) + 1]
                                    : pixel_of(pattern, random, x, y, width, colours, f));
            }
        }
    }
    return frames;
}

} // namespace test
