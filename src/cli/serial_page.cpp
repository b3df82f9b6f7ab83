// The page has no serial port of its own: Play on LEDs sends the frames through the browser's
// Web Serial (web/page.js), and --send, which the page does not offer, opens nothing.
#include <cerrno>
#include <cstdlib>

#include "serial.hpp"

namespace tivrano::serial {

Opened open_port(const char* /*path*/, std::uint32_t /*baud*/, Port& /*port*/, int& error) {
    error = ENODEV;
    return Opened::cannot_open;
}

bool send(Port& /*port*/, const std::uint8_t* /*bytes*/, std::size_t /*size*/, int& error) {
    error = ENODEV;
    return false;
}

bool hold_until(std::uint64_t /*since*/, std::uint32_t /*ms*/) {
    return true;
}

std::uint64_t now_ms() {
    return 0;
}

bool interrupted() {
    return false;
}

void close_port(Port& /*port*/) {}

void end_as_interrupted() {
    std::abort();
}

} // namespace tivrano::serial
