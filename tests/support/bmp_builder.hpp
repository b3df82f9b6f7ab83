// Builds BMP files in memory for the tests, and keeps a test program's files in a scratch folder
// of its own.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tivrano.hpp"

namespace test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes bytes_of(const std::string& text) {
    return {text.begin(), text.end()};
}

// One pixel, in the order the file stores it.
struct Bgr {
    std::uint8_t b;
    std::uint8_t g;
    std::uint8_t r;
};

// Fill bytes that pad stored rows: a value no test pixel uses, so that reading one shows.
inline constexpr std::uint8_t FILL = 0xEE;

inline void put_le32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
    for (std::size_t k = 0; k < 4; ++k) {
        bytes.at(offset + k) = static_cast<std::uint8_t>(value >> (8 * k));
    }
}

// The 54-byte header a common writer produces for a 24-bit image of these dimensions.
inline Bytes bmp_header(std::int32_t width, std::int32_t height) {
    Bytes header(54, 0);
    header[0] = 'B';
    header[1] = 'M';
    put_le32(header, 10, 54);
    put_le32(header, 14, 40);
    put_le32(header, 18, static_cast<std::uint32_t>(width));
    put_le32(header, 22, static_cast<std::uint32_t>(height));
    header[26] = 1;
    header[28] = 24;
    return header;
}

// A whole file. `pixels` holds the image top row first, left to right; the file stores the rows
// bottom-up, each padded with FILL to a multiple of four bytes.
inline Bytes bmp_file(std::int32_t width, std::int32_t height, const std::vector<Bgr>& pixels) {
    Bytes file = bmp_header(width, height);
    const auto w = static_cast<std::size_t>(width);
    const std::size_t padding = (4 - 3 * w % 4) % 4;
    file.reserve(file.size() + (3 * w + padding) * static_cast<std::size_t>(height));
    for (auto row = static_cast<std::size_t>(height); row-- > 0;) {
        for (std::size_t column = 0; column < w; ++column) {
            const Bgr& pixel = pixels.at(row * w + column);
            file.push_back(pixel.b);
            file.push_back(pixel.g);
            file.push_back(pixel.r);
        }
        file.insert(file.end(), padding, FILL);
    }
    put_le32(file, 2, static_cast<std::uint32_t>(file.size()));
    return file;
}

// Pixel k of the image, counted from the top left, is blue k, green 100 + k, red 200 + k: its
// triple reads "100+k, 200+k, k".
inline std::vector<Bgr> counting_pixels(std::size_t count) {
    std::vector<Bgr> pixels;
    for (std::size_t k = 0; k < count; ++k) {
        pixels.push_back({static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(100 + k),
                          static_cast<std::uint8_t>(200 + k)});
    }
    return pixels;
}

// The largest file accepted: 577 x 577 pixels take 999,418 bytes, padded with zeros that are
// never read to tivrano::MAX_FILE_SIZE.
inline Bytes largest_file() {
    Bytes file = bmp_file(577, 577, std::vector<Bgr>(577 * 577, {7, 8, 9}));
    file.resize(static_cast<std::size_t>(tivrano::MAX_FILE_SIZE), 0);
    return file;
}

// The comment the text starts with, up to the array's first line of values: `lines` are those
// the options add (wiring, colour), each ending in \r\n.
inline std::string comment(std::int64_t width, std::int64_t height, const std::string& lines = "",
                           const std::string& order = "GRB") {
    return "/*\r\nBreite: " + std::to_string(width) + ", Hoehe: " + std::to_string(height) +
           "\r\n3 bytes / pixel, " + order + " Reihenfolge\r\n" + lines +
           "Beschreibung: hier eintragen\r\n*/\r\nconst uint8_t animationX[] = {\r\n";
}

struct Converted {
    int status;
    std::string text;
};

inline bool append_to_string(void* context, const char* bytes, std::size_t size) {
    static_cast<std::string*>(context)->append(bytes, size);
    return true;
}

inline Converted convert(const Bytes& file, const tivrano::ArrayOptions& options = {}) {
    Converted result{0, {}};
    result.status = tivrano::convert_bmp(file, {append_to_string, &result.text}, options);
    return result;
}

// A folder of its own for each test program, removed at exit. No test writes outside it.
inline const std::filesystem::path& scratch() {
    struct Folder {
        std::filesystem::path path;
        Folder() {
            std::random_device random;
            do {
                path = std::filesystem::temp_directory_path() /
                       ("tivrano-" + std::to_string(random()));
            } while (!std::filesystem::create_directory(path));
        }
        ~Folder() { std::filesystem::remove_all(path); }
    };
    static const Folder folder;
    return folder.path;
}

inline std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Writes a file at `path`, in the scratch folder unless it starts at a root; returns its path.
inline std::filesystem::path write_file(const std::filesystem::path& path, const Bytes& bytes) {
    const auto written = path.has_root_directory() ? path : scratch() / path;
    std::filesystem::create_directories(written.parent_path());
    std::ofstream out(written, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return written;
}

} // namespace test
