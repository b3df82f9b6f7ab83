// The platform layer on Windows: Win32 handles, so that the text reaches standard output as
// bytes, never through the C runtime's text mode, and paths in any language are opened with the
// wide-character API. Files and streams alike are read into a block of their own; a file is
// opened so that others may still read and write it.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include <windows.h>

#include "platform.hpp"
#include "tivrano.hpp"

namespace tivrano::platform {
namespace {

// The code given to a path that names a directory, which Windows reports as access denied.
constexpr DWORD IS_A_DIRECTORY = ERROR_DIRECTORY;
// The code given to a file that ends before the size it had when opened.
constexpr DWORD CUT_SHORT = ERROR_HANDLE_EOF;

Loaded fail(Loaded loaded, DWORD error, Input& input) {
    input.error = static_cast<int>(error);
    return loaded;
}

// The UTF-16 form of a UTF-8 text, in a block to be freed; nullptr if it cannot be made.
wchar_t* widened(const char* text, int size) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text, size, nullptr, 0);
    auto* const wide = static_cast<wchar_t*>(
        std::malloc((static_cast<std::size_t>(length) + 1) * sizeof(wchar_t)));
    if (wide == nullptr) {
        return nullptr;
    }
    MultiByteToWideChar(CP_UTF8, 0, text, size, wide, length);
    wide[length] = L'\0';
    return wide;
}

bool is_console(HANDLE handle) {
    DWORD mode = 0;
    return GetFileType(handle) == FILE_TYPE_CHAR && GetConsoleMode(handle, &mode) != 0;
}

// Reads until `size` bytes are in `block` or the handle has no more; returns the bytes read,
// or -1 with the error in `error`. A pipe whose writer is gone has reached its end.
long long read_all(HANDLE handle, std::uint8_t* block, std::size_t size, DWORD& error) {
    std::size_t done = 0;
    while (done < size) {
        const std::size_t left = size - done;
        const DWORD chunk = left < MAXDWORD ? static_cast<DWORD>(left) : MAXDWORD;
        DWORD got = 0;
        if (ReadFile(handle, block + done, chunk, &got, nullptr) == 0) {
            error = GetLastError();
            if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) {
                break;
            }
            return -1;
        }
        if (got == 0) {
            break;
        }
        done += got;
    }
    return static_cast<long long>(done);
}

// Reads to the end, or to one byte past the size limit.
Loaded read_stream(HANDLE handle, Input& input) {
    const auto capacity = static_cast<std::size_t>(MAX_FILE_SIZE + 1);
    auto* const block = static_cast<std::uint8_t*>(std::malloc(capacity));
    if (block == nullptr) {
        return fail(Loaded::no_memory, ERROR_NOT_ENOUGH_MEMORY, input);
    }
    DWORD error = 0;
    const long long size = read_all(handle, block, capacity, error);
    if (size < 0 || static_cast<std::size_t>(size) == capacity) {
        std::free(block);
        return size < 0 ? fail(Loaded::read_failed, error, input) : Loaded::too_big;
    }
    input.bytes = {block, static_cast<std::size_t>(size)};
    return Loaded::bytes;
}

// Reads a file whole. Should another program cut it short meanwhile, the read fails.
Loaded read_file(HANDLE handle, Input& input) {
    LARGE_INTEGER file_size{};
    if (GetFileSizeEx(handle, &file_size) == 0) {
        return fail(Loaded::read_failed, GetLastError(), input);
    }
    const auto size = static_cast<std::uint64_t>(file_size.QuadPart);
    if (size > MAX_FILE_SIZE) {
        input.size = size;
        return Loaded::too_big;
    }
    auto* const block = static_cast<std::uint8_t*>(std::malloc(size == 0 ? 1 : size));
    if (block == nullptr) {
        return fail(Loaded::no_memory, ERROR_NOT_ENOUGH_MEMORY, input);
    }
    DWORD error = 0;
    const long long got = read_all(handle, block, static_cast<std::size_t>(size), error);
    if (got != static_cast<long long>(size)) {
        std::free(block);
        return fail(Loaded::read_failed, got < 0 ? error : CUT_SHORT, input);
    }
    input.bytes = {block, static_cast<std::size_t>(size)};
    return Loaded::bytes;
}

// A serial port answers for its settings; NUL, the other character device one may name, does
// not.
bool is_serial_port(HANDLE handle) {
    DCB settings{};
    settings.DCBlength = sizeof settings;
    return GetCommState(handle, &settings) != 0;
}

Loaded load_handle(HANDLE handle, Input& input) {
    switch (GetFileType(handle)) {
    case FILE_TYPE_DISK:
        return read_file(handle, input);
    case FILE_TYPE_CHAR:
        if (is_console(handle)) {
            input.is_terminal = true;
            return Loaded::too_big;
        }
        if (is_serial_port(handle)) {
            input.is_device = true;
            return Loaded::too_big;
        }
        return read_stream(handle, input);
    default:
        return read_stream(handle, input);
    }
}

// Whether Windows takes the path for a device whatever folder it names: COM1 to COM9, LPT1 to
// LPT9, AUX and PRN, in any case, with any extension (com1.bmp too). Opening one can wait for
// the device for ever, so it is refused by its name. NUL and CON are left to the checks on the
// opened handle.
bool names_a_device(const char* path) {
    const char* name = path;
    for (const char* at = path; *at != '\0'; ++at) {
        if (*at == '\\' || *at == '/' || *at == ':') {
            name = at + 1;
        }
    }
    char stem[5] = {};
    std::size_t length = 0;
    for (; name[length] != '\0' && name[length] != '.' && name[length] != ' '; ++length) {
        if (length == 4) {
            return false;
        }
        const char ch = name[length];
        stem[length] = ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 'a' + 'A') : ch;
    }
    const std::string_view device(stem, length);
    if (device == "AUX" || device == "PRN") {
        return true;
    }
    return length == 4 && (device.starts_with("COM") || device.starts_with("LPT")) &&
           stem[3] >= '1' && stem[3] <= '9';
}

bool is_directory(const wchar_t* path) {
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

HANDLE open_file(const char* path, Input& input) {
    wchar_t* const wide_path = widened(path, -1);
    if (wide_path == nullptr) {
        fail(Loaded::no_memory, ERROR_NOT_ENOUGH_MEMORY, input);
        return INVALID_HANDLE_VALUE;
    }
    const HANDLE handle = CreateFileW(
        wide_path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        input.error = static_cast<int>(is_directory(wide_path) ? IS_A_DIRECTORY : error);
    }
    std::free(wide_path);
    return handle;
}

bool write_all(HANDLE handle, const char* bytes, std::size_t size, DWORD& error) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        error = ERROR_INVALID_HANDLE;
        return false;
    }
    while (size > 0) {
        const DWORD chunk = size < MAXDWORD ? static_cast<DWORD>(size) : MAXDWORD;
        DWORD written = 0;
        if (WriteFile(handle, bytes, chunk, &written, nullptr) == 0 || written == 0) {
            error = GetLastError();
            return false;
        }
        bytes += written;
        size -= written;
    }
    return true;
}

// The texts of the errors a user meets most, worded as on other systems, so that the tool
// says the same everywhere.
struct Text {
    DWORD error;
    const char* text;
};

constexpr Text TEXTS[] = {
    {ERROR_FILE_NOT_FOUND, "No such file or directory"},
    {ERROR_PATH_NOT_FOUND, "No such file or directory"},
    {ERROR_INVALID_NAME, "No such file or directory"},
    {ERROR_BAD_NETPATH, "No such file or directory"},
    {ERROR_ACCESS_DENIED, "Permission denied"},
    {ERROR_SHARING_VIOLATION, "The file is in use by another program"},
    {ERROR_LOCK_VIOLATION, "The file is in use by another program"},
    {IS_A_DIRECTORY, "Is a directory"},
    {ERROR_INVALID_HANDLE, "Bad file descriptor"},
    {ERROR_DISK_FULL, "No space left on device"},
    {ERROR_HANDLE_DISK_FULL, "No space left on device"},
    {ERROR_NOT_ENOUGH_MEMORY, "Cannot allocate memory"},
    {ERROR_OUTOFMEMORY, "Cannot allocate memory"},
    {ERROR_NO_DATA, "Broken pipe"},
    {ERROR_BROKEN_PIPE, "Broken pipe"},
    {CUT_SHORT, "the file was cut short by another program while it was read"},
};

} // namespace

Loaded load(const char* path, const LateFailure& /*late*/, Input& input) {
    if (path == nullptr) {
        const HANDLE handle = GetStdHandle(STD_INPUT_HANDLE);
        if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
            return fail(Loaded::cannot_open, ERROR_INVALID_HANDLE, input);
        }
        if (is_console(handle)) {
            input.is_terminal = true;
            return Loaded::too_big;
        }
        return read_stream(handle, input);
    }
    if (names_a_device(path)) {
        input.is_device = true;
        return Loaded::too_big;
    }
    const HANDLE handle = open_file(path, input);
    if (handle == INVALID_HANDLE_VALUE) {
        return Loaded::cannot_open;
    }
    const Loaded loaded = load_handle(handle, input);
    CloseHandle(handle);
    return loaded;
}

void release(Input& input) {
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast): the block is this layer's own
    std::free(const_cast<std::uint8_t*>(input.bytes.data()));
    input = Input{};
}

bool write_stdout(const char* bytes, std::size_t size, int& error) {
    DWORD code = 0;
    if (write_all(GetStdHandle(STD_OUTPUT_HANDLE), bytes, size, code)) {
        return true;
    }
    error = static_cast<int>(code);
    return false;
}

bool create_file(const char* path, OutputFile& file, int& error) {
    file.path = path;
    wchar_t* const wide_path = widened(path, -1);
    if (wide_path == nullptr) {
        error = static_cast<int>(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    // NUL, a console or another device cannot be replaced; it gets the text as it comes.
    const HANDLE existing =
        CreateFileW(wide_path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::free(wide_path);
    if (existing != INVALID_HANDLE_VALUE) {
        if (GetFileType(existing) != FILE_TYPE_DISK) {
            file.handle = existing;
            return true;
        }
        CloseHandle(existing);
    }
    const std::size_t size = std::strlen(path) + 48;
    file.temporary = static_cast<char*>(std::malloc(size));
    if (file.temporary == nullptr) {
        error = static_cast<int>(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const int length =
            std::snprintf(file.temporary, size, "%s.tivrano-%lu-%u.tmp", path,
                          static_cast<unsigned long>(GetCurrentProcessId()), attempt);
        if (length < 0 || static_cast<std::size_t>(length) >= size) {
            error = static_cast<int>(ERROR_FILENAME_EXCED_RANGE);
            break;
        }
        wchar_t* const wide = widened(file.temporary, -1);
        if (wide == nullptr) {
            error = static_cast<int>(ERROR_NOT_ENOUGH_MEMORY);
            break;
        }
        const HANDLE handle = CreateFileW(wide, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        const DWORD code = GetLastError();
        std::free(wide);
        if (handle != INVALID_HANDLE_VALUE) {
            file.handle = handle;
            return true;
        }
        error = static_cast<int>(code);
        if (code != ERROR_FILE_EXISTS) {
            break;
        }
    }
    std::free(file.temporary);
    file.temporary = nullptr;
    return false;
}

bool write_file(const OutputFile& file, const char* bytes, std::size_t size, int& error) {
    DWORD code = 0;
    if (write_all(file.handle, bytes, size, code)) {
        return true;
    }
    error = static_cast<int>(code);
    return false;
}

bool commit_file(OutputFile& file, int& error) {
    HANDLE const handle = file.handle;
    file.handle = nullptr;
    if (CloseHandle(handle) == 0) {
        error = static_cast<int>(GetLastError());
        return false;
    }
    if (file.temporary == nullptr) {
        return true;
    }
    wchar_t* const from = widened(file.temporary, -1);
    wchar_t* const to = widened(file.path, -1);
    const bool moved =
        from != nullptr && to != nullptr &&
        MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!moved) {
        // Windows refuses to replace a folder as access denied; other systems say what it is.
        const DWORD code =
            from != nullptr && to != nullptr ? GetLastError() : ERROR_NOT_ENOUGH_MEMORY;
        error = static_cast<int>(to != nullptr && is_directory(to) ? IS_A_DIRECTORY : code);
    }
    std::free(from);
    std::free(to);
    if (moved) {
        std::free(file.temporary);
        file.temporary = nullptr;
    }
    return moved;
}

void discard_file(OutputFile& file) {
    if (file.handle != nullptr) {
        CloseHandle(file.handle);
        file.handle = nullptr;
    }
    if (file.temporary != nullptr) {
        wchar_t* const wide = widened(file.temporary, -1);
        if (wide != nullptr) {
            DeleteFileW(wide);
            std::free(wide);
        }
        std::free(file.temporary);
        file.temporary = nullptr;
    }
}

bool is_terminal(const char* path) {
    if (path == nullptr) {
        return is_console(GetStdHandle(STD_OUTPUT_HANDLE));
    }
    // A device name such as COM1, which opening could wait on, is not asked: the device gets the
    // bytes as it would get the text.
    wchar_t* const wide_path = names_a_device(path) ? nullptr : widened(path, -1);
    if (wide_path == nullptr) {
        return false;
    }
    // Opened only to ask, to read alone (CON opened to read and write at once fails): a console
    // answers GetConsoleMode.
    const HANDLE handle = CreateFileW(wide_path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::free(wide_path);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool console = is_console(handle);
    CloseHandle(handle);
    return console;
}

// A console shows UTF-16; anything else gets the bytes, UTF-8.
void write_error(std::string_view line) {
    const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    DWORD ignored = 0;
    if (is_console(handle)) {
        wchar_t* const wide = widened(line.data(), static_cast<int>(line.size()));
        if (wide != nullptr) {
            WriteConsoleW(handle, wide, static_cast<DWORD>(lstrlenW(wide)), &ignored, nullptr);
            std::free(wide);
            return;
        }
    }
    write_all(handle, line.data(), line.size(), ignored);
}

const char* error_text(int error) {
    const auto code = static_cast<DWORD>(error);
    const Text* const known = std::find_if(std::begin(TEXTS), std::end(TEXTS),
                                           [code](const Text& text) { return text.error == code; });
    if (known != std::end(TEXTS)) {
        return known->text;
    }
    // The system's own text comes in UTF-16, in the user's language, and goes on as UTF-8.
    static wchar_t wide_text[512];
    static char system_text[1536];
    const DWORD wide_length =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                       wide_text, static_cast<DWORD>(std::size(wide_text)), nullptr);
    const int length =
        wide_length == 0
            ? 0
            : WideCharToMultiByte(CP_UTF8, 0, wide_text, static_cast<int>(wide_length), system_text,
                                  static_cast<int>(sizeof system_text) - 1, nullptr, nullptr);
    if (length <= 0) {
        return "unknown error";
    }
    // The system's texts end in a full stop and a line break, which a line of ours does not.
    auto end = static_cast<std::size_t>(length);
    while (end > 0 && (system_text[end - 1] == '\n' || system_text[end - 1] == '\r' ||
                       system_text[end - 1] == '.' || system_text[end - 1] == ' ')) {
        --end;
    }
    system_text[end] = '\0';
    return system_text;
}

bool is_help_alias(std::string_view argument) {
    return argument == "/?" || argument == "-?";
}

const std::string_view MORE_HELP = "README-Windows.txt beside tivrano.exe";
const std::string_view SEE_HELP = "see tivrano --help";

} // namespace tivrano::platform

// The arguments come as UTF-16 and go on as UTF-8, so that a path in any language survives.
int wmain(int argc, wchar_t** argv) {
    const auto count = static_cast<std::size_t>(argc);
    auto** const arguments = static_cast<char**>(std::calloc(count + 1, sizeof(char*)));
    bool converted = arguments != nullptr;
    for (std::size_t k = 0; converted && k < count; ++k) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, argv[k], -1, nullptr, 0, nullptr, nullptr);
        arguments[k] = static_cast<char*>(std::malloc(static_cast<std::size_t>(size)));
        converted =
            arguments[k] != nullptr && WideCharToMultiByte(CP_UTF8, 0, argv[k], -1, arguments[k],
                                                           size, nullptr, nullptr) == size;
    }
    int status = -1;
    if (converted) {
        status = tivrano::run(argc, arguments);
    } else {
        tivrano::platform::write_error("tivrano: cannot read the arguments: out of memory\n");
    }
    for (std::size_t k = 0; arguments != nullptr && k < count; ++k) {
        std::free(arguments[k]);
    }
    std::free(arguments);
    return status;
}
