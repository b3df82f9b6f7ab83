#include "shell.hpp"

#include "explain.hpp"

namespace tivrano {

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

int refuse_option(Sink sink, std::string_view option, std::string_view problem) {
    const int refused = refuse(sink, USAGE);
    const int size = static_cast<int>(option.size());
    const int see_size = static_cast<int>(platform::SEE_HELP.size());
    if (!problem.empty()) {
        say("tivrano: %.*s: %.*s; %.*s", size, option.data(), static_cast<int>(problem.size()),
            problem.data(), see_size, platform::SEE_HELP.data());
    } else {
        say("tivrano: %.*s: no such option; a file of that name is ./%.*s; %.*s", size,
            option.data(), size, option.data(), see_size, platform::SEE_HELP.data());
    }
    return refused;
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

} // namespace tivrano
