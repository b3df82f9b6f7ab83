// What may name an array in the generated text, which is compiled as C or C++ after
// <stddef.h> and <stdint.h>: a C identifier that is none of the names below.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace tivrano {

// The longest name taken: far shorter than the output buffer, and than any compiler's limit.
inline constexpr std::size_t MAX_NAME_SIZE = 200;

// Keywords of C23 and C++20, with C++'s alternative tokens (`and`, `not` ...).
std::span<const std::string_view> keywords();

// The types, macros and constants that <stdint.h> and <stddef.h> define (C23's among them).
std::span<const std::string_view> standard_names();

// Why a name cannot be the array's, or nullptr if it can: it must be a C identifier of at most
// MAX_NAME_SIZE characters, not a keyword, not `main`, no name of the two headers, and none the
// implementation reserves (starting with __, or _ and a capital).
const char* name_problem(std::string_view name);

} // namespace tivrano
