// tivrano FILE: writes the C source text for one BMP image to standard output.
//
// Every message goes to standard output, the stream that carries the text, and the status is
// 255 after any failure. The one exception is a failed write of standard output itself, which
// only standard error can report.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tivrano.hpp"

namespace {

// Returned by main after any failure: status 255 in the shell.
constexpr int FAILED = -1;

constexpr std::string_view USAGE =
    "Ungueltige Anzahl der Parameter\nNutzung:  tivrano bmpfile >csoure\n";
constexpr std::string_view NOT_FOUND = "BMP file not found!\n";
constexpr std::string_view TOO_BIG = "BMP file too big (>1MB)!\n";
constexpr std::string_view NO_MEMORY = "Not enough memory for the BMP file!\n";
constexpr std::string_view READ_FAILED = "BMP file could not be read!\n";

// errno of the first failed write to standard output, 0 while every write succeeded.
struct StdoutState {
    int error = 0;
};

bool write_stdout(void* context, const char* bytes, std::size_t size) {
    auto& state = *static_cast<StdoutState*>(context);
    while (size > 0) {
        const ssize_t written = write(STDOUT_FILENO, bytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            state.error = written < 0 ? errno : EIO;
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

int refuse(tivrano::Sink sink, std::string_view message) {
    sink.write(sink.context, message.data(), message.size());
    return FAILED;
}

// The file is mapped, not copied. Should another process cut it short while it is being
// converted, touching the lost pages raises SIGBUS: the run then ends as a failed read, with the
// text written so far, the message after it and status 255. Only write and _exit are called,
// both safe in a signal handler.
extern "C" void end_on_sigbus(int /*signal*/) {
    static_cast<void>(write(STDOUT_FILENO, READ_FAILED.data(), READ_FAILED.size()));
    _exit(FAILED);
}

// Maps the open file whole and converts it.
int convert_open_file(int fd, tivrano::Sink sink) {
    struct stat status {};
    if (fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
        return refuse(sink, NOT_FOUND);
    }
    // The size is where the end lies. A stream without one (a pipe, a terminal) counts as too big.
    const off_t end = lseek(fd, 0, SEEK_END);
    const std::uint64_t file_size = end < 0 ? UINT64_MAX : static_cast<std::uint64_t>(end);
    if (file_size > tivrano::MAX_FILE_SIZE) {
        return refuse(sink, TOO_BIG);
    }
    const auto size = static_cast<std::size_t>(file_size);
    if (size == 0) {
        return tivrano::convert_bmp({}, sink);
    }
    // Mapping the file's pages spares allocating, clearing and filling a block as large as the
    // file, which costs more than the conversion itself.
    void* const bmpdata = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (bmpdata == MAP_FAILED) {
        return refuse(sink, errno == ENOMEM ? NO_MEMORY : READ_FAILED);
    }
    struct sigaction on_sigbus {};
    on_sigbus.sa_handler = end_on_sigbus;
    sigaction(SIGBUS, &on_sigbus, nullptr);
    const int result =
        tivrano::convert_bmp({static_cast<const std::uint8_t*>(bmpdata), size}, sink);
    munmap(bmpdata, size);
    return result;
}

int convert_file(const char* path, tivrano::Sink sink) {
    // Non-blocking, so that a FIFO without a writer is refused instead of waited for.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return refuse(sink, NOT_FOUND);
    }
    const int result = convert_open_file(fd, sink);
    close(fd);
    return result;
}

} // namespace

int main(int argc, char** argv) {
    StdoutState stdout_state;
    const tivrano::Sink sink{write_stdout, &stdout_state};
    const int result = argc == 2 ? convert_file(argv[1], sink) : refuse(sink, USAGE);
    if (stdout_state.error != 0) {
        // Nothing is left to report a failure of this write to.
        static_cast<void>(std::fprintf(stderr, "tivrano: cannot write standard output: %s\n",
                                       std::strerror(stdout_state.error)));
        return FAILED;
    }
    return result;
}
