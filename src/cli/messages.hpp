// The one funnel for words to people: say() writes one printf-style line to standard error.
// Each line starts with "tivrano: ", which the format gives; a line longer than Line holds
// (a very long path) is cut off, and still ends in a line feed.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdio>

namespace tivrano {

#if defined(__MINGW_PRINTF_FORMAT) // MinGW's own printf, which knows %llu
#define TIVRANO_PRINTF(format_index)                                                               \
    __attribute__((format(__MINGW_PRINTF_FORMAT, format_index, (format_index) + 1)))
#elif defined(__GNUC__) || defined(__clang__)
#define TIVRANO_PRINTF(format_index)                                                               \
    __attribute__((format(printf, format_index, (format_index) + 1)))
#else
#define TIVRANO_PRINTF(format_index)
#endif

// One line, built in a buffer of fixed size.
struct Line {
    static constexpr std::size_t CAPACITY = 4096;
    char text[CAPACITY];
    std::size_t size = 0;
};

// Formats one line into `line`, ending it with a line feed.
void format_line(Line& line, const char* format, std::va_list arguments);
Line line_of(const char* format, ...) TIVRANO_PRINTF(1);

// A piece of a line, for a part that comes in several forms.
struct Phrase {
    char text[256];
};
Phrase phrase(const char* format, ...) TIVRANO_PRINTF(1);

// Writes one line to standard error.
void say(const char* format, ...) TIVRANO_PRINTF(1);

} // namespace tivrano
