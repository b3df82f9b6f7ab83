// What sending frames to LEDs needs of the operating system: a serial port, opened in raw mode
// at a speed and given back as it was, writes that reach the wire, and waits that an interrupt
// ends. One implementation per platform: serial_posix.cpp and serial_windows.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tivrano::serial {

struct Port {
    int fd = -1;            // POSIX
    void* handle = nullptr; // Windows
    void* saved = nullptr;  // the port's settings before, put back when it is closed
};

enum class Opened {
    open,
    cannot_open, // no such port, or no access
    busy,        // another program has it
    not_a_port,  // a file that is no serial port or terminal
    no_speed,    // the system has no such speed for a port
};

// Opens the port at `path` (POSIX) or COMn (Windows), in raw mode: 8 data bits, no parity, one
// stop bit, no flow control, no byte changed, added or dropped. An interrupt from then on ends
// the waits below, and the port is put back as it was by close_port.
Opened open_port(const char* path, std::uint32_t baud, Port& port, int& error);

// Writes all the bytes and waits until they have left; false if the port failed (it went away),
// with the system's error in `error`, or if an interrupt came (error 0).
bool send(Port& port, const std::uint8_t* bytes, std::size_t size, int& error);

// Waits `ms` milliseconds after `since` (a time of now_ms()); false if an interrupt came.
bool hold_until(std::uint64_t since, std::uint32_t ms);

// A clock for the waits, in milliseconds, which never goes back.
std::uint64_t now_ms();

// Whether an interrupt (Ctrl-C, a hang-up, a termination) has come since open_port.
bool interrupted();

// Puts the port's settings back as they were, and closes it.
void close_port(Port& port);

// Ends the program as the interrupt would have, now that the port is put back.
[[noreturn]] void end_as_interrupted();

} // namespace tivrano::serial
