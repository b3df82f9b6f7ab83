// Serial ports on POSIX systems, through termios. It keeps to POSIX.1-2008; the speeds above
// 38400 baud, flow control and exclusive use are taken where the system defines them.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <initializer_list>
#include <iterator>

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "serial.hpp"

namespace tivrano::serial {
namespace {

volatile sig_atomic_t signalled = 0;

extern "C" void note_signal(int signal) {
    signalled = signal;
}

struct Speed {
    std::uint32_t baud;
    speed_t speed;
};

constexpr Speed SPEEDS[] = {
    {1200, B1200},       {2400, B2400},   {4800, B4800},
    {9600, B9600},       {19200, B19200}, {38400, B38400},
#ifdef B57600
    {57600, B57600},
#endif
#ifdef B115200
    {115200, B115200},
#endif
#ifdef B230400
    {230400, B230400},
#endif
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B500000
    {500000, B500000},
#endif
#ifdef B921600
    {921600, B921600},
#endif
#ifdef B1000000
    {1000000, B1000000},
#endif
#ifdef B2000000
    {2000000, B2000000},
#endif
};

// The settings before, for the one port a run opens.
termios before_opened;

// No byte changed, added or dropped: no line editing, no translation of line ends, no echo, no
// characters that stop output or raise signals; 8 data bits, no parity, one stop bit.
void make_raw(termios& settings) {
    settings.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                               ICRNL | IXON | IXOFF | IXANY);
    settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
#ifdef CRTSCTS
    settings.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
#endif
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
}

} // namespace

Opened open_port(const char* path, std::uint32_t baud, Port& port, int& error) {
    const Speed* const speed =
        std::find_if(std::begin(SPEEDS), std::end(SPEEDS),
                     [baud](const Speed& known) { return known.baud == baud; });
    if (speed == std::end(SPEEDS)) {
        return Opened::no_speed;
    }
    const int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        error = errno;
        return errno == EBUSY ? Opened::busy : Opened::cannot_open;
    }
    termios settings{};
    if (tcgetattr(fd, &settings) != 0) {
        error = errno;
        close(fd);
        return Opened::not_a_port;
    }
#ifdef TIOCEXCL
    // No other program opens it while the frames are sent.
    ioctl(fd, TIOCEXCL);
#endif
    before_opened = settings;
    make_raw(settings);
    const int flags = fcntl(fd, F_GETFL);
    if (cfsetispeed(&settings, speed->speed) != 0 || cfsetospeed(&settings, speed->speed) != 0 ||
        flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 ||
        tcsetattr(fd, TCSANOW, &settings) != 0) {
        error = errno;
        close(fd);
        return Opened::cannot_open;
    }
    port.fd = fd;
    port.saved = &before_opened;
    // Without SA_RESTART: a write or a wait that an interrupt cuts short returns, and the port is
    // put back before the program ends.
    struct sigaction on_signal {};
    on_signal.sa_handler = note_signal;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &on_signal, nullptr);
    }
    return Opened::open;
}

bool send(Port& port, const std::uint8_t* bytes, std::size_t size, int& error) {
    error = 0;
    while (size > 0 && signalled == 0) {
        const ssize_t written = write(port.fd, bytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            error = written < 0 ? errno : EIO;
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    while (signalled == 0 && tcdrain(port.fd) != 0) {
        if (errno != EINTR) {
            error = errno;
            return false;
        }
    }
    return signalled == 0;
}

std::uint64_t now_ms() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000 +
           static_cast<std::uint64_t>(now.tv_nsec) / 1000000;
}

bool hold_until(std::uint64_t since, std::uint32_t ms) {
    for (std::uint64_t now = now_ms(); now < since + ms && signalled == 0; now = now_ms()) {
        const std::uint64_t left = since + ms - now;
        const timespec wait{static_cast<time_t>(left / 1000),
                            static_cast<long>(left % 1000) * 1000000};
        nanosleep(&wait, nullptr);
    }
    return signalled == 0;
}

bool interrupted() {
    return signalled != 0;
}

void close_port(Port& port) {
    if (port.fd >= 0) {
        tcsetattr(port.fd, TCSANOW, static_cast<termios*>(port.saved));
        close(port.fd);
        port.fd = -1;
    }
}

void end_as_interrupted() {
    // The signal's own end, which the shell reports as 128 + the signal.
    const int signal = signalled;
    struct sigaction by_default {};
    by_default.sa_handler = SIG_DFL;
    sigaction(signal, &by_default, nullptr);
    kill(getpid(), signal);
    for (;;) {
        pause();
    }
}

} // namespace tivrano::serial
