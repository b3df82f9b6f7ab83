// An animation from the command line: each file taken in as frames, checked and laid out, the
// frames coloured with one factor, stored once each or packed, and written whole, with the
// header that declares them.
#include "animate.hpp"

#include <algorithm>
#include <string_view>

#include "animation.hpp"
#include "explain.hpp"
#include "formats.hpp"
#include "layout.hpp"
#include "pack_file.hpp"
#include "send.hpp"

namespace tivrano {
namespace {

// What messages call the animation: its name, or for bytes that need none, "the animation".
const char* animation_name(const Request& request) {
    // From the command line: the name ends in a 0.
    return request.array.name.empty() ? "the animation" : request.array.name.data();
}

// Adds frames 0 to `count` - 1 of a file taken in to `frames`; a file or frame refused gets its
// message on standard output and its reasons on standard error, and FAILED is returned.
// The layout is placed on the first frame's dimensions, into `placed`.
int add_frames(const char* name, const Taken& taken, std::span<const std::uint8_t> bytes,
               std::size_t count, const Request& request, Sink standard, Frames& frames,
               Placed& placed) {
    const Layout& layout = placed.array.layout;
    int result = 0;
    if (!taken.is_decoded() && !taken.taken()) {
        result = convert_bmp(taken.header, bytes, standard, request.array);
    } else if (!taken.taken()) {
        result = refuse(standard, decode_failure(name, taken));
    } else if (!taken.is_decoded() && request.strict && !is_plain_bmp(taken.header)) {
        result = refuse(standard, refusal(taken.format, Refusal::strict));
    } else {
        if (frames.count() == 0) {
            result = place_layout(request, taken.width(), taken.height(), standard, placed);
        }
        for (std::size_t k = 0; k < count && result == 0; ++k) {
            if (const FrameProblem problem =
                    frame_problem(frames, layout, taken.width(), taken.height());
                problem != FrameProblem::none) {
                explain_frame(name, problem, taken, frames);
                result = refuse(standard, refusal(taken.format, Refusal::frames));
            } else {
                if (frames.count() == 0) {
                    frames.kind = taken.format;
                }
                if (k == 0) { // of a size frame_problem takes
                    const StripShape shape = strip_shape(layout, taken.width(), taken.height());
                    frames.values.reserve(frames.values.size() +
                                          count * 3 * static_cast<std::size_t>(shape.lines) *
                                              static_cast<std::size_t>(shape.length));
                }
                add_frame(taken.pixels(k, bytes), taken.delay_ms(k), layout, frames);
            }
        }
    }
    if (!taken.is_decoded()) {
        explain(name, bytes, taken.header, request.strict, Colour{}, 0);
    }
    return result;
}

// Loads one file and adds its frames to `frames`: with --first-frame, an animated GIF's first.
int add_file(const char* path, const Request& request, Sink standard, Frames& frames,
             Placed& placed) {
    const bool piped = std::string_view(path) == "-";
    const char* const name = piped ? "standard input" : path;
    Line cut_short;
    platform::Input input;
    if (load_input(piped ? nullptr : path, standard, name, cut_short, input) != 0) {
        return FAILED;
    }
    const Taken taken = take(input.bytes, request.background);
    const int result =
        add_frames(name, taken, input.bytes, request.first_frame ? 1 : taken.frame_count(), request,
                   standard, frames, placed);
    platform::release(input);
    return result;
}

// The frames taken, through to the text (and --write-map's file), with the array's options of
// the placed layout.
int convert_frames(Frames& frames, const Request& request, const Placed& placed, Outputs& outputs);

} // namespace

int convert_animation(std::span<char* const> paths, const Request& request, Outputs& outputs) {
    const Sink standard = sink_of(outputs.standard);
    if (paths.size() > MAX_FRAMES) {
        const int refused = refuse(standard, refusal(ImageFormat::bmp, Refusal::frames));
        say("tivrano: %s: %zu frames, more than the %llu an animation holds",
            animation_name(request), paths.size(), static_cast<unsigned long long>(MAX_FRAMES));
        return refused;
    }
    Frames frames;
    Placed placed;
    placed.array = request.array;
    // The files in order, up to the first one refused.
    if (std::any_of(paths.begin(), paths.end(), [&](const char* path) {
            return add_file(path, request, standard, frames, placed) != 0;
        })) {
        return FAILED;
    }
    return convert_frames(frames, request, placed, outputs);
}

int convert_animation(const char* name, const Taken& taken, std::span<const std::uint8_t> bytes,
                      const Request& request, Outputs& outputs) {
    Frames frames;
    Placed placed;
    placed.array = request.array;
    if (add_frames(name, taken, bytes, taken.frame_count(), request, sink_of(outputs.standard),
                   frames, placed) != 0) {
        return FAILED;
    }
    return convert_frames(frames, request, placed, outputs);
}

namespace {

// The frames' bytes one after another, or with --pack the packed file, to standard output or the
// file of -o.
int write_binary(const Frames& frames, const Storage& storage, const Request& request,
                 Outputs& outputs) {
    const Sink standard = sink_of(outputs.standard);
    const std::vector<std::uint8_t> file =
        storage.packed ? packed_file(frames, *storage.packed) : std::vector<std::uint8_t>{};
    const std::span<const std::uint8_t> bytes = storage.packed ? file : frames.values;
    if (request.max_bytes && bytes.size() > *request.max_bytes) {
        const int refused = refuse(standard, refusal(frames.kind, Refusal::max_bytes));
        say("tivrano: %s: a file of %zu bytes, more than --max-bytes=%llu allows%s",
            animation_name(request), bytes.size(),
            static_cast<unsigned long long>(*request.max_bytes),
            storage.packed ? "" : "; --pack may store fewer");
        return refused;
    }
    return deliver(standard, request.output_path, outputs.file, [&](Sink sink) {
        const auto* const data = reinterpret_cast<const char*>(bytes.data());
        return sink.write(sink.context, data, bytes.size()) ? 0 : FAILED;
    });
}

int convert_frames(Frames& frames, const Request& request, const Placed& placed, Outputs& outputs) {
    const Sink standard = sink_of(outputs.standard);
    const ArrayOptions& array = placed.array;
    const char* const name = animation_name(request);
    if (!assign_delays(request.delay_ms, frames)) {
        const Phrase given = phrase("--delay-ms=%s", request.delay_given);
        const Phrase problem =
            phrase("%zu delays for %zu frames; give one for all, or one for each",
                   request.delay_ms.size(), frames.count());
        return refuse_option(standard, given.text, problem.text);
    }
    // The text's comment says what the LEDs draw, which the plan works out.
    std::optional<ColourPlan> plan;
    if (!is_neutral(array.colour) || !array.binary) {
        plan = colour_frames(array.colour, array.layout, frames);
        if (!plan->met) {
            const int refused = refuse(standard, refusal(frames.kind, Refusal::current));
            explain_current(name, frames.frame_size() / 3, array.colour);
            return refused;
        }
    }
    if (request.send_port != nullptr) {
        // Played for as long as it is played: the map first.
        const int written = write_map(request, placed, standard);
        return written != 0 ? written : play_frames(frames, request, array, standard);
    }
    encode_frames(array, frames);
    const Storage storage = store(frames, request.pack);
    if (array.binary) {
        const int written = write_binary(frames, storage, request, outputs);
        return written != 0 ? written : write_map(request, placed, standard);
    }
    if (request.max_bytes && storage.stored > *request.max_bytes) {
        const int refused = refuse(standard, refusal(frames.kind, Refusal::max_bytes));
        say("tivrano: %s: %llu bytes stored, more than --max-bytes=%llu allows (it counts what "
            "the text stores, not an LED buffer's RAM); as %s the frames take %llu, %s %llu %% of "
            "that%s",
            name, static_cast<unsigned long long>(storage.stored),
            static_cast<unsigned long long>(*request.max_bytes), values_name(array.format).data(),
            static_cast<unsigned long long>(storage.frames_bytes),
            storage.packed ? "packed" : "stored once each",
            static_cast<unsigned long long>(storage.stored * 100 / storage.frames_bytes),
            storage.packed ? "" : "; --pack may store fewer");
        return refused;
    }
    const ColourPlan* const shown = plan ? &*plan : nullptr;
    if (request.header_path != nullptr) {
        const int written = deliver(standard, request.header_path, outputs.header, [&](Sink sink) {
            return write_animation_header(storage, array, sink);
        });
        if (written != 0) {
            return written;
        }
    }
    const int written = deliver(standard, request.output_path, outputs.file, [&](Sink sink) {
        return write_animation(frames, storage, array, shown, sink);
    });
    return written != 0 ? written : write_map(request, placed, standard);
}

} // namespace
} // namespace tivrano
