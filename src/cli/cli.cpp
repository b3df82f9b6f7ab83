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

#include "explain.hpp"
#include "formats.hpp"
#include "messages.hpp"
#include "options.hpp"
#include "platform.hpp"
#include "request.hpp"
#include "tivrano.hpp"

namespace tivrano {
namespace {

constexpr std::string_view VERSION = "tivrano " TIVRANO_VERSION "\n";
// Converts one BMP in memory: its text to standard output or the file of -o. A file that is
// refused gets its message on standard output, never in the output file; so does one --strict
// refuses, and one over --max-bytes.
int convert_bytes(const char* name, std::span<const std::uint8_t> bytes, const Request& request,
                  Outputs& outputs) {
    const Sink standard{write_to, &outputs.standard};
    const BmpHeader header = read_bmp_header(bytes);
    const bool accepted = header.verdict == Verdict::accepted;
    const std::uint64_t stored =
        pixel_count(header) == 0 ? 0 : image_bytes(request.text, *header.width, *header.height);
    int result = FAILED;
    if (accepted && request.strict && !is_plain_bmp(header)) {
        result = refuse(standard, NOT_STRICT);
    } else if (accepted && request.max_bytes && stored > *request.max_bytes) {
        result = refuse(standard, OVER_MAX_BYTES);
        say("tivrano: %s: %llu bytes stored, more than --max-bytes=%llu allows%s", name,
            static_cast<unsigned long long>(stored),
            static_cast<unsigned long long>(*request.max_bytes),
            request.text.format == Format::grb && !request.text.binary
                ? "; --name with --pack may store fewer"
                : "");
    } else if (!accepted || !within_reach(pixel_count(header), request.text.colour)) {
        result = convert_bmp(header, bytes, standard, request.text);
    } else {
        result = deliver(standard, request.output_path, outputs.file,
                         [&](Sink sink) { return convert_bmp(header, bytes, sink, request.text); });
    }
    explain(name, bytes, header, request.strict, request.text.colour);
    return result;
}

// A PNG or GIF: its image converted as a BMP of its pixels would be. An animated GIF with a
// name is an animation; without one, or with --first-frame, its first frame is converted.
int convert_decoded(const char* name, std::span<const std::uint8_t> bytes, ImageFormat format,
                    const Request& request, Outputs& outputs) {
    DecodedImage image;
    if (decode_input(name, bytes, format, request, {write_to, &outputs.standard}, image) != 0) {
        return FAILED;
    }
    if (image.frames.size() > 1 && !request.text.name.empty() && !request.first_frame) {
        return convert_animation(name, image, request, outputs);
    }
    if (image.frames.size() > 1 && !request.first_frame) {
        say("tivrano: %s: an animated GIF of %zu frames: the first is converted; with --name, "
            "all of them are, as an animation",
            name, image.frames.size());
    }
    const std::vector<std::uint8_t> bmp = bmp_of(image.width, image.height, image.frames[0].rgb);
    return convert_bytes(name, bmp, request, outputs);
}

int convert_file(const char* path, const char* name, const Request& request, Outputs& outputs) {
    Line cut_short;
    platform::Input input;
    if (load_input(path, {write_to, &outputs.standard}, name, cut_short, input) != 0) {
        return FAILED;
    }
    const ImageFormat format = image_format(input.bytes);
    const int result = format == ImageFormat::png || format == ImageFormat::gif
                           ? convert_decoded(name, input.bytes, format, request, outputs)
                           : convert_bytes(name, input.bytes, request, outputs);
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
            "blanks); %s",
            count, CALL);
    }
    return refused;
}

} // namespace

bool write_to(void* context, const char* bytes, std::size_t size) {
    auto& output = *static_cast<Output*>(context);
    if (output.error != 0) {
        return false;
    }
    return output.file != nullptr ? platform::write_file(*output.file, bytes, size, output.error)
                                  : platform::write_stdout(bytes, size, output.error);
}

int refuse(Sink sink, std::string_view message) {
    sink.write(sink.context, message.data(), message.size());
    return FAILED;
}

int load_input(const char* path, Sink standard, const char* name, Line& cut_short,
               platform::Input& input) {
    cut_short = line_of("tivrano: %s: the file was cut short by another program while it was "
                        "converted",
                        name);
    const platform::Loaded loaded =
        platform::load(path, {READ_FAILED, {cut_short.text, cut_short.size}}, input);
    if (loaded == platform::Loaded::bytes) {
        return 0;
    }
    Line reason;
    const int refused = refuse(standard, load_failure(name, loaded, input, reason));
    platform::write_error({reason.text, reason.size});
    return refused;
}

int refuse_option(Sink sink, std::string_view option, std::string_view problem) {
    const int refused = refuse(sink, USAGE);
    const int size = static_cast<int>(option.size());
    if (!problem.empty()) {
        say("tivrano: %.*s: %.*s; see tivrano --help", size, option.data(),
            static_cast<int>(problem.size()), problem.data());
    } else {
        say("tivrano: %.*s: no such option; a file of that name is ./%.*s; see tivrano --help",
            size, option.data(), size, option.data());
    }
    return refused;
}

namespace {

int print(Sink sink, std::string_view text) {
    return sink.write(sink.context, text.data(), text.size()) ? 0 : FAILED;
}

// Bytes are never written to a terminal, standard output or the file of -o.
int refuse_terminal(Sink standard, const Request& request) {
    if (!request.text.binary || !platform::is_terminal(request.output_path)) {
        return 0;
    }
    return refuse_option(standard, "--binary",
                         request.output_path != nullptr
                             ? "the output file is a terminal, and the values are bytes"
                             : "standard output is a terminal, and the values are bytes: "
                               "redirect it into a file, or give -o FILE");
}

int dispatch(int argc, char** argv, Outputs& outputs) {
    const Sink standard{write_to, &outputs.standard};
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
    // Several files with a name are the frames of an animation, and so is one with --pack,
    // --delay-ms or --header: an animation of one frame.
    const int files = argc - optind;
    const bool animated =
        request.pack || request.delay_given != nullptr || request.header_path != nullptr;
    const bool animation = !request.text.name.empty() && (files > 1 || animated);
    if (files < 1 || (files > 1 && !animation)) {
        return refuse_arguments(standard, files);
    }
    if (request.pack && request.text.name.empty()) {
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
