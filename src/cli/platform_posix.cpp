// The platform layer on POSIX systems: a regular file is mapped, a stream is read into a block.
// It keeps to POSIX.1-2008; an extension is used only where the system defines it.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform.hpp"
#include "tivrano.hpp"

int main(int argc, char** argv) {
    return tivrano::run(argc, argv);
}

namespace tivrano::platform {
namespace {

// Status 255 in the shell, as after any failure.
constexpr int FAILED = -1;

// The file is mapped, not copied. Should another process cut it short while it is being
// converted, touching the lost pages raises SIGBUS: the run then ends as a failed read, with the
// text written so far and the message after it. Only write and _exit are called, both safe in
// a signal handler.
LateFailure on_sigbus_failure;
// The new output file while it is written, removed should the run end that way.
const char* volatile unfinished_file = nullptr;

// Waits until a descriptor left non-blocking by whoever passed it can take bytes (or has an
// error to report on the next write).
bool wait_writable(int fd) {
    pollfd writable{fd, POLLOUT, 0};
    return poll(&writable, 1, -1) >= 0 || errno == EINTR;
}

bool write_all(int fd, const char* bytes, std::size_t size, int& error) {
    while (size > 0) {
        const ssize_t written = write(fd, bytes, size);
        if (written < 0 &&
            (errno == EINTR || ((errno == EAGAIN || errno == EWOULDBLOCK) && wait_writable(fd)))) {
            continue;
        }
        if (written <= 0) {
            error = written < 0 ? errno : EIO;
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

extern "C" void end_on_sigbus(int /*signal*/) {
    int ignored = 0;
    write_all(STDOUT_FILENO, on_sigbus_failure.out.data(), on_sigbus_failure.out.size(), ignored);
    write_all(STDERR_FILENO, on_sigbus_failure.err.data(), on_sigbus_failure.err.size(), ignored);
    if (unfinished_file != nullptr) {
        unlink(unfinished_file);
    }
    _exit(FAILED);
}

Loaded fail(Loaded loaded, int error, Input& input) {
    input.error = error;
    return loaded;
}

// Linux can read the pages in with the mapping, sparing a fault for each; elsewhere they come in
// as they are touched.
#ifdef MAP_POPULATE
constexpr int MAP_FLAGS = MAP_PRIVATE | MAP_POPULATE;
#else
constexpr int MAP_FLAGS = MAP_PRIVATE;
#endif

Loaded map_file(int fd, const LateFailure& late, Input& input) {
    // The size is where the end lies; st_size says nothing for a block device.
    const off_t end = lseek(fd, 0, SEEK_END);
    if (end < 0) {
        return fail(Loaded::read_failed, errno, input);
    }
    const auto file_size = static_cast<std::uint64_t>(end);
    if (file_size > MAX_FILE_SIZE) {
        input.size = file_size;
        return Loaded::too_big;
    }
    const auto size = static_cast<std::size_t>(file_size);
    if (size == 0) {
        return Loaded::bytes;
    }
    // Mapping the file's pages spares allocating, clearing and filling a block as large as the
    // file, which costs more than the conversion itself.
    void* const bmpdata = mmap(nullptr, size, PROT_READ, MAP_FLAGS, fd, 0);
    if (bmpdata == MAP_FAILED) {
        return fail(errno == ENOMEM ? Loaded::no_memory : Loaded::read_failed, errno, input);
    }
    on_sigbus_failure = late;
    struct sigaction on_sigbus {};
    on_sigbus.sa_handler = end_on_sigbus;
    sigaction(SIGBUS, &on_sigbus, nullptr);
    input.bytes = {static_cast<const std::uint8_t*>(bmpdata), size};
    input.mapped = true;
    return Loaded::bytes;
}

// Waits until a descriptor left non-blocking by whoever passed it has bytes or an end.
bool wait_readable(int fd) {
    pollfd readable{fd, POLLIN, 0};
    return poll(&readable, 1, -1) >= 0 || errno == EINTR;
}

// Reads to the end, or to one byte past the size limit. The block is as large as that from the
// start; its pages cost memory only as the bytes fill them.
Loaded read_stream(int fd, Input& input) {
    const auto capacity = static_cast<std::size_t>(MAX_FILE_SIZE + 1);
    auto* const block = static_cast<std::uint8_t*>(std::malloc(capacity));
    if (block == nullptr) {
        return fail(Loaded::no_memory, ENOMEM, input);
    }
    std::size_t size = 0;
    while (size < capacity) {
        const ssize_t got = read(fd, block + size, capacity - size);
        if (got == 0) {
            input.bytes = {block, size};
            return Loaded::bytes;
        }
        if (got > 0) {
            size += static_cast<std::size_t>(got);
        } else if (errno != EINTR &&
                   !((errno == EAGAIN || errno == EWOULDBLOCK) && wait_readable(fd))) {
            const int error = errno;
            std::free(block);
            return fail(Loaded::read_failed, error, input);
        }
    }
    std::free(block);
    return Loaded::too_big;
}

Loaded load_open(int fd, const LateFailure& late, Input& input) {
    struct stat status {};
    if (fstat(fd, &status) != 0) {
        return fail(Loaded::cannot_open, errno, input);
    }
    if (S_ISDIR(status.st_mode)) {
        return fail(Loaded::cannot_open, EISDIR, input);
    }
    if (isatty(fd) != 0) {
        input.is_terminal = true;
        return Loaded::too_big;
    }
    if (S_ISREG(status.st_mode) || S_ISBLK(status.st_mode)) {
        return map_file(fd, late, input);
    }
    return read_stream(fd, input);
}

} // namespace

Loaded load(const char* path, const LateFailure& late, Input& input) {
    if (path == nullptr) {
        // Standard input is a stream whatever it is: read from where it stands.
        struct stat status {};
        if (fstat(STDIN_FILENO, &status) != 0) {
            return fail(Loaded::cannot_open, errno, input);
        }
        if (isatty(STDIN_FILENO) != 0) {
            input.is_terminal = true;
            return Loaded::too_big;
        }
        return read_stream(STDIN_FILENO, input);
    }
    // Non-blocking, so that a FIFO without a writer is opened instead of waited for; reading
    // then blocks, and such a FIFO reads as empty.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return fail(Loaded::cannot_open, errno, input);
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) {
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    const Loaded loaded = load_open(fd, late, input);
    close(fd);
    return loaded;
}

void release(Input& input) {
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast): the block is this layer's own
    void* const data = const_cast<std::uint8_t*>(input.bytes.data());
    if (input.mapped) {
        munmap(data, input.bytes.size());
    } else {
        std::free(data);
    }
    input = Input{};
}

bool write_stdout(const char* bytes, std::size_t size, int& error) {
    return write_all(STDOUT_FILENO, bytes, size, error);
}

bool create_file(const char* path, OutputFile& file, int& error) {
    file.path = file.given = path;
    struct stat status {};
    bool exists = lstat(path, &status) == 0;
    if (exists && S_ISLNK(status.st_mode)) {
        // A link is followed: the file it names is replaced and the link stays. One that names
        // no regular file (/dev/stdout on a pipe, say) gets the text as it comes.
        file.resolved = realpath(path, nullptr);
        exists = file.resolved != nullptr && stat(file.resolved, &status) == 0;
        if (exists && S_ISREG(status.st_mode)) {
            path = file.path = file.resolved;
        } else {
            exists = true;
            status.st_mode = S_IFCHR;
        }
    }
    if (exists && !S_ISREG(status.st_mode)) {
        // A device or FIFO cannot be replaced; it gets the text as it comes.
        const int fd = open(file.path, O_WRONLY | O_CLOEXEC);
        file.fd = fd;
        error = fd < 0 ? errno : 0;
        return fd >= 0;
    }
    const std::size_t size = std::strlen(path) + 48;
    file.temporary = static_cast<char*>(std::malloc(size));
    if (file.temporary == nullptr) {
        error = ENOMEM;
        return false;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int length = std::snprintf(file.temporary, size, "%s.tivrano-%ld-%d.tmp", path,
                                         static_cast<long>(getpid()), attempt);
        if (length < 0 || static_cast<std::size_t>(length) >= size) {
            errno = ENAMETOOLONG;
            break;
        }
        // Read back should the text have to be written in place after all.
        const int fd = open(file.temporary, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            file.fd = fd;
            unfinished_file = file.temporary;
            // The file it replaces keeps its permissions.
            if (exists) {
                fchmod(fd, status.st_mode & 07777);
            }
            return true;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    error = errno;
    std::free(file.temporary);
    file.temporary = nullptr;
    return false;
}

bool write_file(const OutputFile& file, const char* bytes, std::size_t size, int& error) {
    return write_all(file.fd, bytes, size, error);
}

// Whether `path` may be replaced by a rename: it is absent, a regular file, or a link to one.
bool is_replaceable(const char* path) {
    struct stat status {};
    if (lstat(path, &status) != 0) {
        return errno == ENOENT;
    }
    return S_ISREG(status.st_mode) ||
           (S_ISLNK(status.st_mode) && stat(path, &status) == 0 && S_ISREG(status.st_mode));
}

// Copies the finished text from the new file into `path` as it stands, through its descriptor.
bool write_in_place(int temporary_fd, const char* path, int& error) {
    const int fd = open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return false;
    }
    char chunk[16384];
    bool written = true;
    for (off_t at = 0;;) {
        const ssize_t got = pread(temporary_fd, chunk, sizeof chunk, at);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            written = got == 0;
            error = got == 0 ? 0 : errno;
            break;
        }
        if (!write_all(fd, chunk, static_cast<std::size_t>(got), error)) {
            written = false;
            break;
        }
        at += got;
    }
    if (close(fd) != 0 && written) {
        error = errno;
        written = false;
    }
    return written;
}

bool commit_file(OutputFile& file, int& error) {
    // The target may have changed since the first look: a device or FIFO put there meanwhile is
    // written to, never replaced.
    if (file.temporary != nullptr && !is_replaceable(file.given)) {
        return write_in_place(file.fd, file.given, error);
    }
    const int fd = file.fd;
    file.fd = -1;
    if (close(fd) != 0) {
        error = errno;
        return false;
    }
    if (file.temporary != nullptr) {
        if (rename(file.temporary, file.path) != 0) {
            error = errno;
            return false;
        }
        unfinished_file = nullptr;
        std::free(file.temporary);
        file.temporary = nullptr;
    }
    return true;
}

void discard_file(OutputFile& file) {
    std::free(file.resolved);
    file.resolved = nullptr;
    if (file.fd >= 0) {
        close(file.fd);
        file.fd = -1;
    }
    if (file.temporary != nullptr) {
        unlink(file.temporary);
        unfinished_file = nullptr;
        std::free(file.temporary);
        file.temporary = nullptr;
    }
}

bool is_terminal(const char* path) {
    if (path == nullptr) {
        return isatty(STDOUT_FILENO) != 0;
    }
    struct stat status {};
    if (stat(path, &status) != 0 || !S_ISCHR(status.st_mode)) {
        return false;
    }
    // Opened only to ask, without becoming the controlling terminal or waiting on a line.
    const int fd = open(path, O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool terminal = isatty(fd) != 0;
    close(fd);
    return terminal;
}

void write_error(std::string_view line) {
    int ignored = 0;
    write_all(STDERR_FILENO, line.data(), line.size(), ignored);
}

const char* error_text(int error) {
    return std::strerror(error);
}

bool is_help_alias(std::string_view /*argument*/) {
    return false;
}

const std::string_view MORE_HELP = "man tivrano";

#ifdef __EMSCRIPTEN__
// The page, which runs this layer on files in memory, has no --help to point to.
const std::string_view SEE_HELP = "rest the pointer on the option for its help";
#else
const std::string_view SEE_HELP = "see tivrano --help";
#endif

} // namespace tivrano::platform
