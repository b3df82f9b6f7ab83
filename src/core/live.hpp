// Frames for LEDs live, as a serial port carries them to a board that shows them: Adalight's
// messages and tpm2's. The tool sends them (--send), and the page too, through Web Serial.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "tivrano.hpp"

namespace tivrano {

enum class Protocol : std::uint8_t { adalight, tpm2 };

// The protocol by its name, adalight or tpm2, in any case; false for any other, leaving
// `protocol` as it was.
bool set_protocol(Protocol& protocol, std::string_view name);

// The most bytes a tpm2 message carries: its size is 16 bits.
inline constexpr std::size_t TPM2_MOST = 65535;

// Appends one frame's message to `out`. Adalight: "Ada", the LEDs' count less one, high byte
// first, its two bytes' XOR with 0x55, then each LED red, green, blue, from `frame`'s values as
// the layout orders them (3 a LED). tpm2: 0xC9, 0xDA, the size, high byte first, `frame`'s bytes
// as they are (what --binary writes for it), 0x36; false for a frame over TPM2_MOST bytes.
bool append_message(Protocol protocol, const Layout& layout, std::span<const std::uint8_t> frame,
                    std::vector<std::uint8_t>& out);

} // namespace tivrano
