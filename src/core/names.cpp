#include "names.hpp"

#include <algorithm>
#include <span>

namespace tivrano {
namespace {

// clang-format off
constexpr std::string_view KEYWORDS[] = {
    "alignas", "alignof", "and", "and_eq", "asm", "auto", "bitand", "bitor", "bool", "break",
    "case", "catch", "char", "char8_t", "char16_t", "char32_t", "class", "co_await",
    "co_return", "co_yield", "compl", "concept", "const", "const_cast", "consteval",
    "constexpr", "constinit", "continue", "decltype", "default", "delete", "do", "double",
    "dynamic_cast", "else", "enum", "explicit", "export", "extern", "false", "float", "for",
    "friend", "goto", "if", "inline", "int", "long", "mutable", "namespace", "new", "noexcept",
    "not", "not_eq", "nullptr", "operator", "or", "or_eq", "private", "protected", "public",
    "register", "reinterpret_cast", "requires", "restrict", "return", "short", "signed",
    "sizeof", "static", "static_assert", "static_cast", "struct", "switch", "template", "this",
    "thread_local", "throw", "true", "try", "typedef", "typeid", "typename", "typeof",
    "typeof_unqual", "union", "unsigned", "using", "virtual", "void", "volatile", "wchar_t",
    "while", "xor", "xor_eq",
};

constexpr std::string_view STANDARD_NAMES[] = {
    // <stddef.h>
    "NULL", "max_align_t", "nullptr_t", "offsetof", "ptrdiff_t", "size_t", "unreachable",
    // <stdint.h>: types
    "int8_t", "int16_t", "int32_t", "int64_t", "uint8_t", "uint16_t", "uint32_t", "uint64_t",
    "int_least8_t", "int_least16_t", "int_least32_t", "int_least64_t",
    "uint_least8_t", "uint_least16_t", "uint_least32_t", "uint_least64_t",
    "int_fast8_t", "int_fast16_t", "int_fast32_t", "int_fast64_t",
    "uint_fast8_t", "uint_fast16_t", "uint_fast32_t", "uint_fast64_t",
    "intptr_t", "uintptr_t", "intmax_t", "uintmax_t",
    // limits
    "INT8_MIN", "INT16_MIN", "INT32_MIN", "INT64_MIN",
    "INT8_MAX", "INT16_MAX", "INT32_MAX", "INT64_MAX",
    "UINT8_MAX", "UINT16_MAX", "UINT32_MAX", "UINT64_MAX",
    "INT_LEAST8_MIN", "INT_LEAST16_MIN", "INT_LEAST32_MIN", "INT_LEAST64_MIN",
    "INT_LEAST8_MAX", "INT_LEAST16_MAX", "INT_LEAST32_MAX", "INT_LEAST64_MAX",
    "UINT_LEAST8_MAX", "UINT_LEAST16_MAX", "UINT_LEAST32_MAX", "UINT_LEAST64_MAX",
    "INT_FAST8_MIN", "INT_FAST16_MIN", "INT_FAST32_MIN", "INT_FAST64_MIN",
    "INT_FAST8_MAX", "INT_FAST16_MAX", "INT_FAST32_MAX", "INT_FAST64_MAX",
    "UINT_FAST8_MAX", "UINT_FAST16_MAX", "UINT_FAST32_MAX", "UINT_FAST64_MAX",
    "INTPTR_MIN", "INTPTR_MAX", "UINTPTR_MAX", "INTMAX_MIN", "INTMAX_MAX", "UINTMAX_MAX",
    "PTRDIFF_MIN", "PTRDIFF_MAX", "SIG_ATOMIC_MIN", "SIG_ATOMIC_MAX", "SIZE_MAX",
    "WCHAR_MIN", "WCHAR_MAX", "WINT_MIN", "WINT_MAX",
    // widths (C23)
    "INT8_WIDTH", "INT16_WIDTH", "INT32_WIDTH", "INT64_WIDTH",
    "UINT8_WIDTH", "UINT16_WIDTH", "UINT32_WIDTH", "UINT64_WIDTH",
    "INT_LEAST8_WIDTH", "INT_LEAST16_WIDTH", "INT_LEAST32_WIDTH", "INT_LEAST64_WIDTH",
    "UINT_LEAST8_WIDTH", "UINT_LEAST16_WIDTH", "UINT_LEAST32_WIDTH", "UINT_LEAST64_WIDTH",
    "INT_FAST8_WIDTH", "INT_FAST16_WIDTH", "INT_FAST32_WIDTH", "INT_FAST64_WIDTH",
    "UINT_FAST8_WIDTH", "UINT_FAST16_WIDTH", "UINT_FAST32_WIDTH", "UINT_FAST64_WIDTH",
    "INTPTR_WIDTH", "UINTPTR_WIDTH", "INTMAX_WIDTH", "UINTMAX_WIDTH", "PTRDIFF_WIDTH",
    "SIG_ATOMIC_WIDTH", "SIZE_WIDTH", "WCHAR_WIDTH", "WINT_WIDTH",
    // constants
    "INT8_C", "INT16_C", "INT32_C", "INT64_C", "UINT8_C", "UINT16_C", "UINT32_C", "UINT64_C",
    "INTMAX_C", "UINTMAX_C",
};
// clang-format on

bool is_identifier_char(char ch, bool first) {
    return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || ch == '_' ||
           (!first && ch >= '0' && ch <= '9');
}

bool contains(std::span<const std::string_view> names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

} // namespace

const char* name_problem(std::string_view name) {
    if (name.empty()) {
        return "an empty name";
    }
    if (name.size() > MAX_NAME_SIZE) {
        return "longer than 200 characters";
    }
    for (std::size_t k = 0; k < name.size(); ++k) {
        if (!is_identifier_char(name[k], k == 0)) {
            return "not a C identifier (letters, digits and _, not starting with a digit)";
        }
    }
    if (contains(KEYWORDS, name)) {
        return "a keyword of C or C++";
    }
    if (name == "main") {
        return "the name of the program's entry point";
    }
    if (contains(STANDARD_NAMES, name)) {
        return "a name that <stdint.h> or <stddef.h> defines, which the text includes";
    }
    if (name.starts_with("__") ||
        (name.size() > 1 && name[0] == '_' && name[1] >= 'A' && name[1] <= 'Z')) {
        return "reserved for the compiler and its library (it starts with __ or _ and a capital)";
    }
    return nullptr;
}

} // namespace tivrano
