// A packed animation as one file, which tivrano_player.h's stream player reads through a
// function the firmware supplies: from an SD card, a flash file system or SPI flash.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "frames.hpp"
#include "pack.hpp"

namespace tivrano {

// The file's bytes, laid out as tivrano_player.h writes up under "Files": a header (a magic
// number, the player's format, width, height, frame count, each frame's delay and record, where
// each record starts), then the palette and the records as in flash, and a check of them all.
std::vector<std::uint8_t> packed_file(const Frames& frames, const Packed& packed);

// The CRC-32 of `bytes`, as zlib's crc32 computes it: the file's check.
std::uint32_t crc32(std::span<const std::uint8_t> bytes);

} // namespace tivrano
