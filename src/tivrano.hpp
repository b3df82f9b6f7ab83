// tivrano turns an uncompressed 24-bit BMP image into C source text: a comment with the image's
// width and height, then `const uint8_t animationX[]` holding every pixel as green, red, blue,
// rows from the top, eight pixels to a line.
//
// The conversion works on the whole file held in memory and writes its text to a sink, so that
// it can run any number of times in one process, without files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tivrano {

// Largest input file accepted, in bytes. The message calls it 1MB: a decimal megabyte.
inline constexpr std::uint64_t MAX_FILE_SIZE = 1000000;

// Pixel triples per line of text.
inline constexpr int PIXEL_PER_LINE = 8;

// The conversion buffers its text and hands it over in chunks of at most this many bytes.
inline constexpr std::size_t OUTPUT_BUFFER_SIZE = std::size_t{64} * 1024;

// Where the text goes. `write` takes one chunk and returns false if it could not be written;
// after that, the conversion sends nothing more and fails.
struct Sink {
    bool (*write)(void* context, const char* bytes, std::size_t size);
    void* context;
};

// Length of one stored pixel row in bytes: three bytes a pixel, padded to a multiple of four.
// Zero for a width of zero or less.
std::uint64_t line_size(std::int32_t width);

// Converts a whole BMP file. Writes to `sink` either the complete text or, for a file it
// refuses, exactly one message line and nothing else. Returns 0 after a conversion, -1 if the
// file was refused or the sink failed.
int convert_bmp(std::span<const std::uint8_t> bmpdata, Sink sink);

} // namespace tivrano
