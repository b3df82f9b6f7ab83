// Decodes a GIF file with the core's decoder, for the tests that hold it against browsers:
// "width height frames" on the first line of standard output, then every frame's red, green and
// blue bytes, laid on magenta (0xFF00FF), a colour that tells transparent pixels from black.
//
//     gif_frames FILE
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "image.hpp"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: gif_frames FILE\n", stderr);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
    const tivrano::DecodedImage image = tivrano::decode_gif(bytes, 0xFF00FF);
    if (image.status != tivrano::DecodeStatus::decoded) {
        std::fprintf(stderr, "gif_frames: %s\n", image.reason.c_str());
        return 1;
    }
    std::printf("%d %d %zu\n", static_cast<int>(image.width), static_cast<int>(image.height),
                image.frames.size());
    for (const tivrano::ImageFrame& frame : image.frames) {
        std::fwrite(frame.rgb.data(), 1, frame.rgb.size(), stdout);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
