// An animation from the command line: each file loaded, checked and laid out as a frame, the
// frames coloured with one factor, stored once each or packed, and written whole, with the
// header that declares them.
#include <algorithm>
#include <string_view>

#include "animation.hpp"
#include "explain.hpp"
#include "request.hpp"

namespace tivrano {
namespace {

// FRAMES_REFUSED on standard output, and the line that says why.
int refuse_frames(Sink standard, Line& line) {
    const int refused = refuse(standard, FRAMES_REFUSED);
    send(line);
    return refused;
}

// Why a frame of this header cannot join `frames`, or nullptr.
const char* frame_problem(const BmpHeader& header, const Frames& frames, Line& line) {
    const std::uint64_t leds = pixel_count(header);
    add_number(line, *header.width);
    add(line, " x ");
    add_number(line, *header.height);
    add(line, " pixels");
    if (leds == 0) {
        return ": no pixels, which a frame of an animation needs";
    }
    if (leds > MAX_FRAME_LEDS) {
        return ", more LEDs than the 65535 a frame of an animation holds";
    }
    if (frames.count() > 0 && (*header.width != frames.width || *header.height != frames.height)) {
        add(line, ", the frames before it ");
        add_number(line, frames.width);
        add(line, " x ");
        add_number(line, frames.height);
        return "; every frame needs the same size";
    }
    if (frames.values.size() + 3 * leds > MAX_ANIMATION_VALUES) {
        return "; with the frames before it, more than the 16777216 bytes of values an "
               "animation holds";
    }
    return nullptr;
}

// Loads one file and adds its values to `frames`; a refused file gets its message on standard
// output and its reasons on standard error, and FAILED is returned.
int add_frame(const char* path, const Request& request, Sink standard, Frames& frames) {
    const bool piped = std::string_view(path) == "-";
    const std::string_view name = piped ? "standard input" : path;
    Line cut_short;
    platform::Input input;
    if (load_input(piped ? nullptr : path, name, standard, cut_short, input) != 0) {
        return FAILED;
    }
    const BmpHeader header = read_bmp_header(input.bytes);
    int result = 0;
    if (header.verdict != Verdict::accepted) {
        result = convert_bmp(header, input.bytes, standard, request.text);
    } else if (request.strict && !is_plain_bmp(header)) {
        result = refuse(standard, NOT_STRICT);
    } else if (Line line = about(name); const char* problem = frame_problem(header, frames, line)) {
        add(line, problem);
        result = refuse_frames(standard, line);
    } else {
        frames.width = *header.width;
        frames.height = *header.height;
        append_values(header, input.bytes, request.text.layout, frames.values);
    }
    explain(name, input.bytes, header, request.strict, Colour{});
    platform::release(input);
    return result;
}

} // namespace

int convert_animation(std::span<char* const> paths, const Request& request, Outputs& outputs) {
    const Sink standard{write_to, &outputs.standard};
    const std::string_view name = request.text.name;
    if (paths.size() > MAX_FRAMES) {
        Line line = about(name);
        add_number(line, paths.size());
        add(line, " frames, more than the 65535 an animation holds");
        return refuse_frames(standard, line);
    }
    Frames frames;
    // The files in order, up to the first one refused.
    if (std::any_of(paths.begin(), paths.end(), [&](const char* path) {
            return add_frame(path, request, standard, frames) != 0;
        })) {
        return FAILED;
    }
    if (!assign_delays(request.delay_ms, frames)) {
        Line given;
        add(given, "--delay-ms=");
        add(given, request.delay_given);
        Line problem;
        add_number(problem, request.delay_ms.size());
        add(problem, " delays for ");
        add_number(problem, frames.count());
        add(problem, " frames; give one for all, or one for each");
        return refuse_option(standard, {given.text, given.size}, {problem.text, problem.size});
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
    const Storage storage = store(frames, request.pack);
    if (request.max_bytes && storage.stored > *request.max_bytes) {
        const int refused = refuse(standard, OVER_MAX_BYTES);
        Line line = about(name);
        add_number(line, storage.stored);
        add(line, " bytes stored, more than --max-bytes=");
        add_number(line, *request.max_bytes);
        add(line, " allows; as triples the frames take ");
        add_number(line, storage.value_bytes);
        add(line, storage.packed ? ", packed " : ", stored once each ");
        add_number(line, storage.stored * 100 / storage.value_bytes);
        add(line, storage.packed ? " % of that" : " % of that; --pack may store fewer");
        send(line);
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

} // namespace tivrano
