#include "messages.hpp"

#include <cstdio>
#include <string_view>

#include "platform.hpp"

namespace tivrano {

// The funnel is printf-style on purpose: a sentence reads as one format in the source, and the
// compiler checks each call's arguments against it (TIVRANO_PRINTF). The analyser takes a
// va_list handed on after va_start for an uninitialised one.
// NOLINTBEGIN(cert-dcl50-cpp,clang-analyzer-valist.Uninitialized)

void format_line(Line& line, const char* format, std::va_list arguments) {
    const int written = std::vsnprintf(line.text, Line::CAPACITY - 1, format, arguments);
    const std::size_t size = written < 0 ? 0 : static_cast<std::size_t>(written);
    line.size = size < Line::CAPACITY - 2 ? size : Line::CAPACITY - 2;
    line.text[line.size++] = '\n';
}

Line line_of(const char* format, ...) {
    Line line;
    std::va_list arguments;
    va_start(arguments, format);
    format_line(line, format, arguments);
    va_end(arguments);
    return line;
}

Phrase phrase(const char* format, ...) {
    Phrase phrase;
    std::va_list arguments;
    va_start(arguments, format);
    if (std::vsnprintf(phrase.text, sizeof phrase.text, format, arguments) < 0) {
        phrase.text[0] = '\0';
    }
    va_end(arguments);
    return phrase;
}

void say(const char* format, ...) {
    Line line;
    std::va_list arguments;
    va_start(arguments, format);
    format_line(line, format, arguments);
    va_end(arguments);
    platform::write_error({line.text, line.size});
}

// NOLINTEND(cert-dcl50-cpp,clang-analyzer-valist.Uninitialized)

} // namespace tivrano
