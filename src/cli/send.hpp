// Frames played on LEDs through a serial port (--send).
#pragma once

#include "frames.hpp"
#include "request.hpp"
#include "tivrano.hpp"

namespace tivrano {

// Plays the frames, laid out and coloured, on the port of --send, each for its delay, as many
// times as --loop says; a port that cannot be opened, or fails while they are played, gets its
// message on standard output and the reason on standard error, and FAILED is returned. An
// interrupt ends the program as it would have, once the port is put back as it was.
int play_frames(Frames& frames, const Request& request, const ArrayOptions& array, Sink standard);

} // namespace tivrano
