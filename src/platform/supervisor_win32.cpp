// Windows side of the process supervisor: console events as interrupts, the halt of a run,
// the environment and the working folder probe (running commands: command_win32.cpp).
#include "supervisor.h"

#include <windows.h>

#include <cstring>
#include <mutex>
#include <string>

#include "platform.h"
#include "supervisor_win32.h"
#include "win32_errors.h"

namespace platform {

namespace {

volatile LONG gInterrupted = 0;  // 1 console event, 2 halt
// Set with the flag (see win32_detail::interrupt_event).
HANDLE gInterruptEvent = nullptr;

std::mutex gHaltMutex;
std::string gHaltMessage;

void raise_flag(LONG value) {
    InterlockedCompareExchange(&gInterrupted, value, 0);
    if (gInterruptEvent) SetEvent(gInterruptEvent);
}

// Runs on a thread of its own, in every process of the console: the client and its
// cmd.exe get the event too and end, and the run stops at its next step and cleans up.
// A closing console (logoff, shutdown) ends the process as soon as a handler returns, so
// for those the handler never returns: the process ends when the run has cleaned up and
// leaves main, or when the system's grace period runs out.
BOOL WINAPI on_console_event(DWORD event) {
    note_interrupt();
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) Sleep(INFINITE);
    return TRUE;
}

}  // namespace

HANDLE win32_detail::interrupt_event() { return gInterruptEvent; }

Environment Environment::inherited() {
    Environment env;
    char* block = GetEnvironmentStringsA();
    for (const char* entry = block; entry && *entry; entry += std::strlen(entry) + 1) env.entries_.emplace_back(entry);
    if (block) FreeEnvironmentStringsA(block);
    return env;
}

void install_interrupt_handlers() {
    gInterruptEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

bool interrupted() { return InterlockedCompareExchange(&gInterrupted, 0, 0) != 0; }

bool interrupted_by_signal() { return InterlockedCompareExchange(&gInterrupted, 0, 0) == 1; }

void note_interrupt() { raise_flag(1); }

void halt(const std::string& message) {
    {
        std::lock_guard<std::mutex> lock(gHaltMutex);
        if (gHaltMessage.empty() && !interrupted_by_signal()) gHaltMessage = message;
    }
    raise_flag(2);
}

std::string halt_message() {
    std::lock_guard<std::mutex> lock(gHaltMutex);
    return gHaltMessage;
}

bool pause_unless_interrupted(std::chrono::milliseconds duration) {
    if (interrupted()) return false;
    if (gInterruptEvent)
        WaitForSingleObject(gInterruptEvent, static_cast<DWORD>(duration.count()));
    else
        Sleep(static_cast<DWORD>(duration.count()));
    return !interrupted();
}

std::string working_folder_problem() {
    const std::string probe = "ferrox" + std::to_string(GetCurrentProcessId()) + ".probe";
    win32_detail::HandleCloser file(CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (file.handle == INVALID_HANDLE_VALUE) return win32_error_text(GetLastError());
    const std::string block(64 * 1024, 'p');
    DWORD written = 0;
    if (!WriteFile(file.handle, block.data(), static_cast<DWORD>(block.size()), &written, nullptr) ||
        written != block.size())
        return win32_error_text(GetLastError());
    if (!FlushFileBuffers(file.handle)) return win32_error_text(GetLastError());
    return {};
}

}  // namespace platform
