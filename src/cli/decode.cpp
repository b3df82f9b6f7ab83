// PNG and GIF files on the command line: decoded, or refused with a line on standard output
// and the reason on standard error.
#include <cstdio>

#include "request.hpp"

namespace tivrano {

int decode_input(const char* name, std::span<const std::uint8_t> bytes, ImageFormat format,
                 const Request& request, Sink standard, DecodedImage& image) {
    const bool png = format == ImageFormat::png;
    image = png ? decode_png(bytes, request.background) : decode_gif(bytes, request.background);
    std::string_view message;
    switch (image.status) {
    case DecodeStatus::decoded:
        return 0;
    case DecodeStatus::cut_short:
        message = png ? "PNG file truncated!\n" : "GIF file truncated!\n";
        break;
    case DecodeStatus::broken:
        message = png ? "PNG file broken!\n" : "GIF file broken!\n";
        break;
    case DecodeStatus::too_large:
        message = png ? "PNG image too large!\n" : "GIF image too large!\n";
        break;
    }
    const int refused = refuse(standard, message);
    say("tivrano: %s: %s", name, image.reason.c_str());
    return refused;
}

} // namespace tivrano
