// What may name an array in the generated text, which is compiled as C or C++ after
// <stddef.h> and <stdint.h>: a C identifier that is none of the names below.
#pragma once

#include <cstddef>
#include <string_view>

namespace tivrano {

// The longest name taken: far shorter than the output buffer, and than any compiler's limit.
inline constexpr std::size_t MAX_NAME_SIZE = 200;

// Why a name cannot be the array's, or nullptr if it can: it must be a C identifier of at most
// MAX_NAME_SIZE characters, not a keyword of C23 or C++20 (the alternative tokens `and`, `not`
// ... too), not `main`, none of the types, macros and constants of <stdint.h> and <stddef.h>,
// and none the implementation reserves (starting with __, or _ and a capital).
const char* name_problem(std::string_view name);

} // namespace tivrano
