// tivrano [OPTION]... FILE: writes the C source text for one image (or with --binary its
// array's bytes) to standard output, or with -o to a file.
//
// Standard output and the exit status are what scripts and builds rely on: the text, or on any
// failure one message line in its place and status 255. Standard error is for people: the
// reason for a refusal, and warnings about a file that is not what it is read as.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include <getopt.h>

#include "animate.hpp"
#include "explain.hpp"
#include "formats.hpp"
#include "intake.hpp"
#include "layout.hpp"
#include "messages.hpp"
#include "options.hpp"
#include "platform.hpp"
#include "request.hpp"
#include "shell.hpp"
#include "tivrano.hpp"

namespace tivrano {
namespace {

constexpr std::string_view VERSION = "tivrano " TIVRANO_VERSION "\n";

// Converts one image taken in: a BMP straight from its bytes, a decoded image's first frame. Its
// text goes to standard output or the file of -o. A file that is refused gets its message on
// standard output, never in the output file; so does one --strict refuses, and one over
// --max-bytes.
int convert_image_file(const char* name, const Taken& taken, std::span<const std::uint8_t> bytes,
                       const Request& request, Outputs& outputs) {
    const Sink standard = sink_of(outputs.standard);
    const bool bmp = !taken.is_decoded();
    const BmpHeader& header = taken.header;
    const bool accepted = taken.taken();
    Placed placed;
    placed.array = request.array;
    if (accepted && place_layout(request, taken.width(), taken.height(), standard, placed) != 0) {
        return FAILED;
    }
    const ArrayOptions& array = placed.array;
    const std::uint64_t pixels = bmp ? pixel_count(header)
                                     : static_cast<std::uint64_t>(taken.width()) *
                                           static_cast<std::uint64_t>(taken.height());
    const std::uint64_t leds =
        array.layout.places.empty() ? pixels : array.layout.places.pixel.size();
    const std::uint64_t stored =
        accepted && leds != 0 ? image_bytes(array, taken.width(), taken.height()) : 0;
    const auto write = [&](Sink sink) {
        return bmp ? convert_bmp(header, bytes, sink, array)
                   : convert_image(taken.pixels(0, bytes), sink, array);
    };
    int result = FAILED;
    if (accepted && bmp && request.strict && !is_plain_bmp(header)) {
        result = refuse(standard, refusal(taken.format, Refusal::strict));
    } else if (accepted && request.max_bytes && stored > *request.max_bytes) {
        result = refuse(standard, refusal(taken.format, Refusal::max_bytes));
        say("tivrano: %s: %llu bytes stored, more than --max-bytes=%llu allows (it counts what "
            "the array stores, not an LED buffer's RAM)%s",
            name, static_cast<unsigned long long>(stored),
            static_cast<unsigned long long>(*request.max_bytes),
            array.binary ? "" : "; --name with --pack may store fewer");
    } else if (accepted && !bmp && !within_reach(leds, array.colour)) {
        result = refuse(standard, refusal(taken.format, Refusal::current));
    } else if (!accepted || !within_reach(leds, array.colour)) {
        result = write(standard); // its message alone
    } else {
        result = deliver(standard, request.output_path, outputs.file, write);
        if (result == 0) {
            result = write_map(request, placed, standard);
        }
    }
    if (bmp) {
        explain(name, bytes, header, request.strict, array.colour, leds);
    } else if (!within_reach(leds, array.colour)) {
        explain_current(name, leds, array.colour);
    }
    return result;
}

// One file: an image, or a GIF of several frames with a name, an animation; an animated GIF
// without a name converts its first frame, and standard error says so.
int convert_file(const char* path, const char* name, const Request& request, Outputs& outputs) {
    const Sink standard = sink_of(outputs.standard);
    Line cut_short;
    platform::Input input;
    if (load_input(path, standard, name, cut_short, input) != 0) {
        return FAILED;
    }
    const Taken taken = take(input.bytes, request.background);
    int result = FAILED;
    if (taken.is_decoded() && !taken.taken()) {
        result = refuse(standard, decode_failure(name, taken));
    } else if (animated_file(request, taken.frame_count())) {
        result = convert_animation(name, taken, input.bytes, request, outputs);
    } else {
        if (taken.frame_count() > 1 && !request.first_frame) {
            say("tivrano: %s: an animated GIF of %zu frames: the first is converted; with --name, "
                "all of them are, as an animation",
                name, taken.frame_count());
        }
        result = convert_image_file(name, taken, input.bytes, request, outputs);
    }
    platform::release(input);
    return result;
}

int refuse_arguments(Sink sink, int count) {
    const int refused = refuse(sink, USAGE);
    constexpr const char* CALL = "call it as: tivrano FILE.bmp > FILE.c, or see tivrano --help";
    if (count <= 0) {
        say("tivrano: no file named; %s", CALL);
    } else {
        say("tivrano: %d arguments, but one file is converted per call (quote a name with "
            "blanks), or several as the frames of an animation that --name names; %s",
            count, CALL);
    }
    return refused;
}

int print(Sink sink, std::string_view text) {
    return sink.write(sink.context, text.data(), text.size()) ? 0 : FAILED;
}

// Bytes are never written to a terminal, standard output or the file of -o.
int refuse_terminal(Sink standard, const Request& request) {
    if (!request.array.binary || !platform::is_terminal(request.output_path)) {
        return 0;
    }
    return refuse_option(standard, "--binary",
                         request.output_path != nullptr
                             ? "the output file is a terminal, and the values are bytes"
                             : "standard output is a terminal, and the values are bytes: "
                               "redirect it into a file, or give -o FILE");
}

int dispatch(int argc, char** argv, Outputs& outputs) {
    const Sink standard = sink_of(outputs.standard);
    const std::string_view only = argc == 2 ? argv[1] : "";
    if (only == "--help" || only == "-h" || platform::is_help_alias(only)) {
        return print_help(standard);
    }
    if (only == "--version") {
        return print(standard, VERSION);
    }
    Request request;
    if (take_options(argc, argv, standard, request) != 0) {
        return FAILED;
    }
    if (request.check) {
        return 0; // the files and how they go together are the caller's
    }
    const int files = argc - optind;
    if (request.send_port != nullptr && files > 0) {
        return convert_animation({argv + optind, static_cast<std::size_t>(files)}, request,
                                 outputs);
    }
    const bool animation = makes_animation(request, static_cast<std::size_t>(std::max(files, 0)));
    if (files < 1 || (files > 1 && !animation)) {
        return refuse_arguments(standard, files);
    }
    if (request.pack != Pack::none && !animation) {
        return refuse_option(standard, "--pack", "it needs --name, the animation's name");
    }
    if (refuse_terminal(standard, request) != 0) {
        return FAILED;
    }
    if (!animation && (request.delay_given != nullptr || request.header_path != nullptr)) {
        const Line given =
            line_of("%s%s", request.delay_given != nullptr ? "--delay-ms=" : "--header=",
                    request.delay_given != nullptr ? request.delay_given : request.header_path);
        return refuse_option(standard, {given.text, given.size - 1},
                             "it is for an animation, which --name names");
    }
    if (animation) {
        return convert_animation({argv + optind, static_cast<std::size_t>(files)}, request,
                                 outputs);
    }
    const char* const path = argv[optind];
    if (std::string_view(path) == "-") {
        return convert_file(nullptr, "standard input", request, outputs);
    }
    return convert_file(path, path, request, outputs);
}

void report_failed_write(std::string_view what, int error) {
    say("tivrano: cannot write %.*s: %s", static_cast<int>(what.size()), what.data(),
        platform::error_text(error));
}

} // namespace

int run(int argc, char** argv) {
    Outputs outputs;
    const int result = dispatch(argc, argv, outputs);
    bool failed = false;
    for (const Output* output : {&outputs.header, &outputs.file, &outputs.standard}) {
        if (output->error != 0) {
            report_failed_write(output->name != nullptr ? output->name : "standard output",
                                output->error);
            failed = true;
        }
    }
    return failed ? FAILED : result;
}

} // namespace tivrano
