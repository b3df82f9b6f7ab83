// An animation from the command line: files taken in as frames, through to its text or bytes.
#pragma once

#include <cstdint>
#include <span>

#include "intake.hpp"
#include "request.hpp"
#include "shell.hpp"

namespace tivrano {

// The frames of an animation, from these files, through to its text.
int convert_animation(std::span<char* const> paths, const Request& request, Outputs& outputs);

// The frames of one file, an animated GIF, taken in already, through to its text.
int convert_animation(const char* name, const Taken& taken, std::span<const std::uint8_t> bytes,
                      const Request& request, Outputs& outputs);

} // namespace tivrano
