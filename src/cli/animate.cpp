// An animation from the command line: each file loaded, checked and laid out as a frame, the
// frames coloured with one factor, stored once each or packed, and written whole, with the
// header that declares them.
#include <algorithm>
#include <string_view>

#include "animation.hpp"
#include "explain.hpp"
#include "formats.hpp"
#include "pack_file.hpp"
#include "request.hpp"

namespace tivrano {
namespace {

// Why a frame of this header cannot join `frames`, said on standard error, or false.
bool frame_refused(const char* name, const BmpHeader& header, const Frames& frames) {
    const std::uint64_t leds = pixel_count(header);
    const auto width = static_cast<long>(*header.width);
    const auto height = static_cast<long>(*header.height);
    if (leds == 0) {
        say("tivrano: %s: %ld x %ld pixels: no pixels, which a frame of an animation needs", name,
            width, height);
    } else if (leds > MAX_FRAME_LEDS) {
        say("tivrano: %s: %ld x %ld pixels, more LEDs than the %llu a frame of an animation holds",
            name, width, height, static_cast<unsigned long long>(MAX_FRAME_LEDS));
    } else if (frames.count() > 0 && (width != frames.width || height != frames.height)) {
        say("tivrano: %s: %ld x %ld pixels, the frames before it %ld x %ld; every frame needs the "
            "same size",
            name, width, height, static_cast<long>(frames.width), static_cast<long>(frames.height));
    } else if (frames.count() >= MAX_FRAMES) {
        say("tivrano: %s: a frame past the %llu an animation holds", name,
            static_cast<unsigned long long>(MAX_FRAMES));
    } else if (frames.values.size() + 3 * leds > MAX_ANIMATION_VALUES) {
        say("tivrano: %s: %ld x %ld pixels; with the frames before it, more than the %llu bytes of "
            "values an animation holds",
            name, width, height, static_cast<unsigned long long>(MAX_ANIMATION_VALUES));
    } else {
        return false;
    }
    return true;
}

// Adds one BMP in memory to `frames`, shown for `delay_ms`; a refused one gets its message on
// standard output and its reasons on standard error, and FAILED is returned.
int add_bmp(const char* name, std::span<const std::uint8_t> bytes, std::uint16_t delay_ms,
            const Request& request, Sink standard, Frames& frames) {
    const BmpHeader header = read_bmp_header(bytes);
    int result = 0;
    if (header.verdict != Verdict::accepted) {
        result = convert_bmp(header, bytes, standard, request.text);
    } else if (request.strict && !is_plain_bmp(header)) {
        result = refuse(standard, NOT_STRICT);
    } else if (frame_refused(name, header, frames)) {
        result = refuse(standard, FRAMES_REFUSED);
    } else {
        frames.width = *header.width;
        frames.height = *header.height;
        append_values(header, bytes, request.text.layout, frames.values);
        frames.delay_ms.push_back(delay_ms);
    }
    explain(name, bytes, header, request.strict, Colour{});
    return result;
}

// A decoded image's frames (with --first-frame, its first), each as the BMP of its pixels; a
// GIF's delays as the file gives them (a GIF of one frame too), up to the 65535 ms the player
// counts.
int add_decoded(const char* name, const DecodedImage& image, const Request& request, Sink standard,
                Frames& frames) {
    const auto taken = request.first_frame ? image.frames.begin() + 1 : image.frames.end();
    frames.values.reserve(frames.values.size() +
                          static_cast<std::size_t>(taken - image.frames.begin()) * 3 *
                              static_cast<std::size_t>(image.width) *
                              static_cast<std::size_t>(image.height));
    return std::any_of(image.frames.begin(), taken,
                       [&](const ImageFrame& frame) {
                           return add_bmp(name, bmp_of(image.width, image.height, frame.rgb),
                                          delay_of(image, frame), request, standard, frames) != 0;
                       })
               ? FAILED
               : 0;
}

// Loads one file and adds its frames to `frames`.
int add_file(const char* path, const Request& request, Sink standard, Frames& frames) {
    const bool piped = std::string_view(path) == "-";
    const char* const name = piped ? "standard input" : path;
    Line cut_short;
    platform::Input input;
    if (load_input(piped ? nullptr : path, standard, name, cut_short, input) != 0) {
        return FAILED;
    }
    int result = 0;
    if (const ImageFormat format = image_format(input.bytes);
        format == ImageFormat::png || format == ImageFormat::gif) {
        DecodedImage image;
        result = decode_input(name, input.bytes, format, request, standard, image);
        result = result != 0 ? result : add_decoded(name, image, request, standard, frames);
    } else {
        result = add_bmp(name, input.bytes, DEFAULT_DELAY_MS, request, standard, frames);
    }
    platform::release(input);
    return result;
}

// The frames taken, through to the text.
int convert_frames(Frames& frames, const Request& request, Outputs& outputs);

} // namespace

int convert_animation(std::span<char* const> paths, const Request& request, Outputs& outputs) {
    const Sink standard{write_to, &outputs.standard};
    const char* const name = request.text.name.data(); // from the command line: it ends in a 0
    if (paths.size() > MAX_FRAMES) {
        const int refused = refuse(standard, FRAMES_REFUSED);
        say("tivrano: %s: %zu frames, more than the %llu an animation holds", name, paths.size(),
            static_cast<unsigned long long>(MAX_FRAMES));
        return refused;
    }
    Frames frames;
    // The files in order, up to the first one refused.
    if (std::any_of(paths.begin(), paths.end(), [&](const char* path) {
            return add_file(path, request, standard, frames) != 0;
        })) {
        return FAILED;
    }
    return convert_frames(frames, request, outputs);
}

int convert_animation(const char* name, const DecodedImage& image, const Request& request,
                      Outputs& outputs) {
    Frames frames;
    if (add_decoded(name, image, request, {write_to, &outputs.standard}, frames) != 0) {
        return FAILED;
    }
    return convert_frames(frames, request, outputs);
}

namespace {

// The frames' bytes one after another, or with --pack the packed file, to standard output or the
// file of -o.
int write_binary(const Frames& frames, const Storage& storage, const Request& request,
                 Outputs& outputs) {
    const Sink standard{write_to, &outputs.standard};
    const std::vector<std::uint8_t> file =
        storage.packed ? packed_file(frames, *storage.packed) : std::vector<std::uint8_t>{};
    const std::span<const std::uint8_t> bytes = storage.packed ? file : frames.values;
    if (request.max_bytes && bytes.size() > *request.max_bytes) {
        const int refused = refuse(standard, OVER_MAX_BYTES);
        say("tivrano: %s: a file of %zu bytes, more than --max-bytes=%llu allows%s",
            request.text.name.data(), bytes.size(),
            static_cast<unsigned long long>(*request.max_bytes),
            storage.packed || request.text.format != Format::grb ? "" : "; --pack may store fewer");
        return refused;
    }
    return deliver(standard, request.output_path, outputs.file, [&](Sink sink) {
        const auto* const data = reinterpret_cast<const char*>(bytes.data());
        return sink.write(sink.context, data, bytes.size()) ? 0 : FAILED;
    });
}

int convert_frames(Frames& frames, const Request& request, Outputs& outputs) {
    const Sink standard{write_to, &outputs.standard};
    const char* const name = request.text.name.data(); // from the command line: it ends in a 0
    if (!assign_delays(request.delay_ms, frames)) {
        const Phrase given = phrase("--delay-ms=%s", request.delay_given);
        const Phrase problem =
            phrase("%zu delays for %zu frames; give one for all, or one for each",
                   request.delay_ms.size(), frames.count());
        return refuse_option(standard, given.text, problem.text);
    }
    std::optional<ColourPlan> plan;
    if (!is_neutral(request.text.colour)) {
        plan = colour_frames(request.text.colour, request.text.layout, frames);
        if (!plan->met) {
            const int refused = refuse(standard, CURRENT_NOT_MET);
            explain_current(name, frames.frame_size() / 3, request.text.colour);
            return refused;
        }
    }
    encode_frames(request.text, frames);
    const Storage storage = store(frames, request.pack);
    if (request.text.binary) {
        return write_binary(frames, storage, request, outputs);
    }
    if (request.max_bytes && storage.stored > *request.max_bytes) {
        const int refused = refuse(standard, OVER_MAX_BYTES);
        say("tivrano: %s: %llu bytes stored, more than --max-bytes=%llu allows; as %s the "
            "frames take %llu, %s %llu %% of that%s",
            name, static_cast<unsigned long long>(storage.stored),
            static_cast<unsigned long long>(*request.max_bytes),
            values_name(request.text.format).data(),
            static_cast<unsigned long long>(storage.value_bytes),
            storage.packed ? "packed" : "stored once each",
            static_cast<unsigned long long>(storage.stored * 100 / storage.value_bytes),
            storage.packed || request.text.format != Format::grb ? "" : "; --pack may store fewer");
        return refused;
    }
    const ColourPlan* const shown = plan ? &*plan : nullptr;
    if (request.header_path != nullptr) {
        const int written = deliver(standard, request.header_path, outputs.header, [&](Sink sink) {
            return write_animation_header(storage, request.text, sink);
        });
        if (written != 0) {
            return written;
        }
    }
    return deliver(standard, request.output_path, outputs.file, [&](Sink sink) {
        return write_animation(frames, storage, request.text, shown, sink);
    });
}

} // namespace
} // namespace tivrano
