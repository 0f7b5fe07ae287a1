// Windows side of the platform layer: cmd.exe as a child process, Win32 security and Winsock.
#include "platform.h"

#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cctype>
#include <cstdio>
#include <vector>

namespace platform {

namespace {

volatile LONG gInterrupted = 0;
// Set with the flag, so that a wait for a command wakes up at once (manual reset).
HANDLE gInterruptEvent = nullptr;

// The status of a process ended by Ctrl-C or Ctrl-Break, or by a closing console.
constexpr DWORD kStatusControlCExit = 0xC000013AUL;

// The longest command line cmd.exe takes after /c.
constexpr std::size_t kCmdLineLimit = 8191;

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

/// False, with a message, for a line that cmd.exe would not run as it stands: it ends a
/// line at a line feed, drops carriage returns, and refuses lines over its limit.
bool cmd_takes_whole(const std::string& commandLine) {
    if (commandLine.find('\0') != std::string::npos) {
        std::fprintf(stderr, "\nERROR: a command line holds a NUL byte, which no interpreter can carry; not run\n");
        return false;
    }
    if (commandLine.find_first_of("\r\n") != std::string::npos) {
        std::fprintf(stderr, "\nERROR: a command line holds a line break, which cmd.exe would cut; not run\n");
        return false;
    }
    if (commandLine.size() > kCmdLineLimit) {
        std::fprintf(stderr, "\nERROR: a command line of %zu characters is longer than cmd.exe takes (%zu); not run\n",
                     commandLine.size(), kCmdLineLimit);
        return false;
    }
    return true;
}

/// Closes a handle when it goes out of scope.
struct HandleCloser {
    HANDLE handle = nullptr;
    ~HandleCloser() {
        if (handle) CloseHandle(handle);
    }
};

/// Starts `line` suspended with the three standard handles as the only ones the child
/// inherits. Otherwise every client would inherit each file this process has open at that
/// moment, and under -jobs a client started by one thread would hold another thread's
/// scratch or export file open past its removal or rename. Where a handle cannot be listed
/// (consoles of older systems), the child inherits as system() would let it.
bool start_suspended(const std::string& interpreter, std::string& line, PROCESS_INFORMATION& started) {
    STARTUPINFOEXA startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.StartupInfo.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.StartupInfo.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    std::vector<HANDLE> inherited;
    for (HANDLE standard : {startup.StartupInfo.hStdInput, startup.StartupInfo.hStdOutput, startup.StartupInfo.hStdError}) {
        if (standard == nullptr || standard == INVALID_HANDLE_VALUE) continue;
        SetHandleInformation(standard, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        if (std::find(inherited.begin(), inherited.end(), standard) == inherited.end()) inherited.push_back(standard);
    }
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<char> storage(size);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
    const bool listed = !inherited.empty() && size > 0 && InitializeProcThreadAttributeList(attributes, 1, 0, &size);
    if (listed && UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited.data(),
                                            inherited.size() * sizeof(HANDLE), nullptr, nullptr)) {
        startup.lpAttributeList = attributes;
        if (CreateProcessA(interpreter.c_str(), line.data(), nullptr, nullptr, TRUE,
                           CREATE_SUSPENDED | EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr, &startup.StartupInfo,
                           &started)) {
            DeleteProcThreadAttributeList(attributes);
            return true;
        }
    }
    if (listed) DeleteProcThreadAttributeList(attributes);
    return CreateProcessA(interpreter.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, nullptr,
                          &startup.StartupInfo, &started);
}

}  // namespace

void install_interrupt_handlers() {
    gInterruptEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

bool interrupted() { return InterlockedCompareExchange(&gInterrupted, 0, 0) != 0; }

void note_interrupt() {
    InterlockedExchange(&gInterrupted, 1);
    if (gInterruptEvent) SetEvent(gInterruptEvent);
}

int run_command(const std::string& commandLine) {
    if (interrupted() || !cmd_takes_whole(commandLine)) return -1;
    // cmd.exe as system() would start it, with three switches the quoting relies on: /d
    // runs no AutoRun command from the registry, /v:off keeps '!' plain whatever the
    // registry says, and /s /c takes the line between the outer quotes as it stands.
    const std::string interpreter = get_env("ComSpec").value_or("cmd.exe");
    std::string line = "cmd.exe /d /v:off /s /c \"" + commandLine + "\"";
    PROCESS_INFORMATION started{};
    if (!start_suspended(interpreter, line, started)) {
        std::fprintf(stderr, "\nERROR: cannot start the command interpreter %s (error %lu)\n", interpreter.c_str(),
                     GetLastError());
        return -1;
    }
    HandleCloser process{started.hProcess};
    HandleCloser thread{started.hThread};
    // The interpreter and the client it starts share a job, so that an interrupt stops
    // both, and so does this process ending while they run.
    HandleCloser job{CreateJobObjectA(nullptr, nullptr)};
    if (job.handle) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(job.handle, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        if (!AssignProcessToJobObject(job.handle, started.hProcess)) {
            CloseHandle(job.handle);
            job.handle = nullptr;
        }
    }
    ResumeThread(started.hThread);

    const HANDLE waits[] = {started.hProcess, gInterruptEvent};
    if (WaitForMultipleObjects(gInterruptEvent ? 2 : 1, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
        if (job.handle)
            TerminateJobObject(job.handle, kStatusControlCExit);
        else
            TerminateProcess(started.hProcess, kStatusControlCExit);
        WaitForSingleObject(started.hProcess, INFINITE);
    }
    DWORD status = 0;
    if (!GetExitCodeProcess(started.hProcess, &status)) return -1;
    // The user's Ctrl-C may end the client before this process's handler has run.
    if (status == kStatusControlCExit) note_interrupt();
    return interrupted() ? -1 : static_cast<int>(status);
}

// cmd.exe reports exit codes reliably only per invocation: every line gets its own.
struct CommandSession::Impl {};

CommandSession::CommandSession() : impl_(std::make_unique<Impl>()) {}
CommandSession::~CommandSession() = default;

int CommandSession::run(const std::string& commandLine) { return run_command(commandLine); }

std::vector<int> CommandSession::run_all(const std::vector<std::string>& commandLines) {
    std::vector<int> statuses;
    for (const std::string& line : commandLines) statuses.push_back(run_command(line));  // -1 once interrupted
    return statuses;
}

// Every line starts a fresh cmd.exe, which inherits this process's environment.
void CommandSession::set_env(const std::string& name, const std::string& value) { platform::set_env(name, value); }

const char* null_device() { return "nul"; }

bool set_env(const std::string& name, const std::string& value) {
    return _putenv_s(name.c_str(), value.c_str()) == 0;
}

std::string quote_argument(std::string_view value) { return quote_cmd(value); }

long current_process_id() { return static_cast<long>(GetCurrentProcessId()); }

bool process_alive(long pid) {
    if (pid <= 0) return false;
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (!process) return GetLastError() == ERROR_ACCESS_DENIED;  // exists, but not ours
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

bool replace_file(const std::string& from, const std::string& to) {
    // The C library's rename refuses an existing target on Windows.
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool create_exclusive(const std::string& path, const std::string& content) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
                    written == content.size();
    if (!CloseHandle(file) || !ok) {
        DeleteFileA(path.c_str());
        return false;
    }
    return true;
}

bool is_plain_file_name(std::string_view name) {
    // Longer names do not fit one folder entry of the usual file systems.
    if (name.empty() || name == "." || name == ".." || name.size() > 255) return false;
    for (unsigned char c : name) {
        if (c < 32) return false;
        switch (c) {
            case '<': case '>': case ':': case '"': case '/': case '\\':
            case '|': case '?': case '*':
                return false;
            default:
                break;
        }
    }
    if (name.back() == ' ' || name.back() == '.') return false;
    // Device names stay devices whatever extension follows them.
    std::string stem(name.substr(0, name.find('.')));
    for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    static const char* const reserved[] = {"CON", "PRN", "AUX", "NUL", "COM1", "COM2", "COM3",
                                           "COM4", "COM5", "COM6", "COM7", "COM8", "COM9",
                                           "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6",
                                           "LPT7", "LPT8", "LPT9"};
    for (const char* r : reserved)
        if (stem == r) return false;
    return true;
}

LookupResult user_name() {
    LookupResult result;
    char buffer[64] = {};
    DWORD size = sizeof buffer;
    if (GetUserNameA(buffer, &size) == TRUE) result.value = buffer;
    return result;
}

LookupResult primary_group_name() {
    LookupResult result;
    result.status = -1;
    DWORD pid = GetCurrentProcessId();
    HANDLE process = OpenProcess(READ_CONTROL | PROCESS_QUERY_INFORMATION, FALSE, pid);
    if (!process) {
        char text[96];
        std::snprintf(text, sizeof text, "*** Can't get process handle for pid:%lu \n",
                      static_cast<unsigned long>(pid));
        result.errorMessage = text;
        return result;
    }
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, READ_CONTROL | TOKEN_QUERY | TOKEN_QUERY_SOURCE, &token) &&
        !OpenProcessToken(process, READ_CONTROL | TOKEN_QUERY, &token)) {
        char text[96];
        std::snprintf(text, sizeof text, "*** Can't get access token for pid:%lu \n",
                      static_cast<unsigned long>(pid));
        result.errorMessage = text;
        CloseHandle(process);
        return result;
    }
    DWORD needed = 0;
    GetTokenInformation(token, TokenPrimaryGroup, nullptr, 0, &needed);
    std::vector<unsigned char> buffer(needed ? needed : 1, 0);
    if (GetTokenInformation(token, TokenPrimaryGroup, buffer.data(), needed, &needed)) {
        PSID sid = reinterpret_cast<TOKEN_PRIMARY_GROUP*>(buffer.data())->PrimaryGroup;
        if (!sid || !IsValidSid(sid)) {
            result.consoleMessage = "<Invalid SID>";
        } else {
            char name[100] = {};
            char domain[100] = {};
            DWORD nameSize = sizeof name, domainSize = sizeof domain;
            SID_NAME_USE use;
            if (LookupAccountSidA(nullptr, sid, name, &nameSize, domain, &domainSize, &use)) {
                result.status = 0;
                result.value = name;
            } else {
                result.consoleMessage = "\n\nERROR: BAD SID  \n\n";
            }
        }
    } else {
        result.consoleMessage = "\n\nERROR: BAD SID  \n\n";
    }
    CloseHandle(token);
    CloseHandle(process);
    return result;
}

LookupResult host_name() {
    LookupResult result;
    WSADATA data;
    WSAStartup(0x0101, &data);
    char buffer[256] = {};
    if (gethostname(buffer, sizeof buffer - 1) != 0) {
        result.status = -1;
        result.consoleMessage = "\n\nERROR:\tCan't Determine Host Name \n\n";
        return result;
    }
    result.value = buffer;
    return result;
}

}  // namespace platform
