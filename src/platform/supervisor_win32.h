// What the Windows files of the supervisor share: the event an interrupt sets, the status
// of a process ended by a console event, and a handle that closes itself.
#pragma once

#include <windows.h>

namespace platform::win32_detail {

// The status of a process ended by Ctrl-C or Ctrl-Break, or by a closing console; also
// what a stopped job's processes end with.
inline constexpr DWORD kStatusControlCExit = 0xC000013AUL;

/// Set (manual reset) when the run is interrupted or halted, so that a wait for a command
/// wakes up at once; null before install_interrupt_handlers.
HANDLE interrupt_event();

/// Closes a handle when it goes out of scope.
struct HandleCloser {
    HANDLE handle = nullptr;
    HandleCloser() = default;
    explicit HandleCloser(HANDLE h) : handle(h) {}
    HandleCloser(const HandleCloser&) = delete;
    HandleCloser& operator=(const HandleCloser&) = delete;
    ~HandleCloser() {
        if (handle && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
};

}  // namespace platform::win32_detail
