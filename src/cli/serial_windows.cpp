// Serial ports on Windows, through the Win32 communications API: COM1 ... COM256 by their
// device names (\\.\COM10), any other path as it is.
#include <string>

#include <windows.h>

#include "serial.hpp"

namespace tivrano::serial {
namespace {

volatile LONG signalled = 0;

BOOL WINAPI note_signal(DWORD /*event*/) {
    InterlockedExchange(&signalled, 1);
    return TRUE;
}

DCB before_opened;

std::wstring device_name(const char* path) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, path, -1, nullptr, 0);
    std::wstring wide(length > 0 ? static_cast<std::size_t>(length) : 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path, -1, wide.data(), length);
    wide.resize(wide.size() - 1);
    const bool com = (wide.rfind(L"COM", 0) == 0 || wide.rfind(L"com", 0) == 0) &&
                     wide.size() > 3 &&
                     wide.find_first_not_of(L"0123456789", 3) == std::wstring::npos;
    return com ? L"\\\\.\\" + wide : wide;
}

} // namespace

Opened open_port(const char* path, std::uint32_t baud, Port& port, int& error) {
    const HANDLE handle = CreateFileW(device_name(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = static_cast<int>(GetLastError());
        return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION
                   ? Opened::busy
                   : Opened::cannot_open;
    }
    DCB settings{};
    settings.DCBlength = sizeof settings;
    if (GetCommState(handle, &settings) == 0) {
        error = static_cast<int>(GetLastError());
        CloseHandle(handle);
        return Opened::not_a_port;
    }
    before_opened = settings;
    settings.BaudRate = baud;
    settings.ByteSize = 8;
    settings.Parity = NOPARITY;
    settings.StopBits = ONESTOPBIT;
    settings.fBinary = TRUE;
    settings.fParity = FALSE;
    settings.fOutxCtsFlow = FALSE;
    settings.fOutxDsrFlow = FALSE;
    settings.fDtrControl = DTR_CONTROL_ENABLE;
    settings.fRtsControl = RTS_CONTROL_ENABLE;
    settings.fOutX = FALSE;
    settings.fInX = FALSE;
    settings.fNull = FALSE;
    settings.fAbortOnError = FALSE;
    COMMTIMEOUTS timeouts{};
    if (SetCommState(handle, &settings) == 0) {
        error = static_cast<int>(GetLastError());
        CloseHandle(handle);
        return error == ERROR_INVALID_PARAMETER ? Opened::no_speed : Opened::cannot_open;
    }
    SetCommTimeouts(handle, &timeouts);
    port.handle = handle;
    port.saved = &before_opened;
    SetConsoleCtrlHandler(note_signal, TRUE);
    return Opened::open;
}

bool send(Port& port, const std::uint8_t* bytes, std::size_t size, int& error) {
    error = 0;
    while (size > 0 && signalled == 0) {
        DWORD written = 0;
        const DWORD chunk = size < 65536 ? static_cast<DWORD>(size) : 65536;
        if (WriteFile(port.handle, bytes, chunk, &written, nullptr) == 0 || written == 0) {
            error = static_cast<int>(GetLastError());
            return false;
        }
        bytes += written;
        size -= written;
    }
    if (signalled == 0 && FlushFileBuffers(port.handle) == 0) {
        error = static_cast<int>(GetLastError());
        return false;
    }
    return signalled == 0;
}

std::uint64_t now_ms() {
    return GetTickCount64();
}

bool hold_until(std::uint64_t since, std::uint32_t ms) {
    for (std::uint64_t now = now_ms(); now < since + ms && signalled == 0; now = now_ms()) {
        const std::uint64_t left = since + ms - now;
        Sleep(left < 20 ? static_cast<DWORD>(left) : 20);
    }
    return signalled == 0;
}

bool interrupted() {
    return signalled != 0;
}

void close_port(Port& port) {
    if (port.handle != nullptr) {
        SetCommState(port.handle, static_cast<DCB*>(port.saved));
        CloseHandle(port.handle);
        port.handle = nullptr;
    }
}

void end_as_interrupted() {
    ExitProcess(STATUS_CONTROL_C_EXIT);
}

} // namespace tivrano::serial
