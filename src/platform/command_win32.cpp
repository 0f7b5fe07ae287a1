// Windows side of running commands: cmd.exe and its client in a job object, standard input
// from NUL, their standard error captured through a pipe, a time limit and interrupts.
#include "supervisor.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform.h"
#include "supervisor_win32.h"
#include "win32_errors.h"

namespace platform {

namespace {

using win32_detail::HandleCloser;
using win32_detail::kStatusControlCExit;

// The longest command line cmd.exe takes after /c.
constexpr std::size_t kCmdLineLimit = 8191;

/// Empty for a line that cmd.exe runs as it stands; otherwise why it would not: it ends
/// a line at a line feed, drops carriage returns, and refuses lines over its limit.
std::string cmd_refusal(const std::string& commandLine) {
    if (commandLine.find('\0') != std::string::npos)
        return "\nERROR: a command line holds a NUL byte, which no interpreter can carry; not run\n";
    if (commandLine.find_first_of("\r\n") != std::string::npos)
        return "\nERROR: a command line holds a line break, which cmd.exe would cut; not run\n";
    if (commandLine.size() > kCmdLineLimit) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "\nERROR: a command line of %zu characters is longer than cmd.exe takes (%zu); not run\n",
                      commandLine.size(), kCmdLineLimit);
        return text;
    }
    return {};
}

/// The environment block CreateProcess takes: entries sorted by name, letter case
/// ignored, each ended by a NUL, and one more NUL at the end.
std::vector<char> environment_block(const Environment& env) {
    std::vector<std::string> entries = env.entries();
    std::sort(entries.begin(), entries.end(), [](const std::string& a, const std::string& b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
            return std::toupper(static_cast<unsigned char>(x)) < std::toupper(static_cast<unsigned char>(y));
        });
    });
    std::vector<char> block;
    for (const std::string& entry : entries) {
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back('\0');
    }
    block.push_back('\0');
    if (entries.empty()) block.push_back('\0');
    return block;
}

/// Reads the child's standard error on a thread of its own until every writer has let
/// the pipe go.
struct ErrorReader {
    HANDLE pipe = nullptr;
    std::string text;

    static DWORD WINAPI run(LPVOID self) {
        auto* reader = static_cast<ErrorReader*>(self);
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(reader->pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) reader->text.append(buffer, got);
        return 0;
    }
};

/// Starts `line` suspended with standard input from the null device, the standard output
/// of this process and standard error into `errWrite`: the only handles the child
/// inherits. Otherwise every client would inherit each file this process has open at that
/// moment, and under -jobs a client started by one thread would hold another thread's
/// scratch or export file open past its removal or rename.
bool start_suspended(const std::string& interpreter, std::string& line, std::vector<char>& envBlock, HANDLE input,
                     HANDLE errWrite, PROCESS_INFORMATION& started) {
    STARTUPINFOEXA startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = input;
    startup.StartupInfo.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.StartupInfo.hStdError = errWrite;
    std::vector<HANDLE> inherited;
    for (HANDLE standard : {input, startup.StartupInfo.hStdOutput, errWrite}) {
        if (standard == nullptr || standard == INVALID_HANDLE_VALUE) continue;
        SetHandleInformation(standard, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        if (std::find(inherited.begin(), inherited.end(), standard) == inherited.end()) inherited.push_back(standard);
    }
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<char> storage(size);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
    const bool listed = size > 0 && InitializeProcThreadAttributeList(attributes, 1, 0, &size);
    bool ok = false;
    if (listed && UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited.data(),
                                            inherited.size() * sizeof(HANDLE), nullptr, nullptr)) {
        startup.lpAttributeList = attributes;
        ok = CreateProcessA(interpreter.c_str(), line.data(), nullptr, nullptr, TRUE,
                            CREATE_SUSPENDED | EXTENDED_STARTUPINFO_PRESENT, envBlock.data(), nullptr,
                            &startup.StartupInfo, &started);
    }
    if (listed) DeleteProcThreadAttributeList(attributes);
    // Where a handle cannot be listed (consoles of older systems), the child inherits as
    // system() would let it.
    if (!ok)
        ok = CreateProcessA(interpreter.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED,
                            envBlock.data(), nullptr, &startup.StartupInfo, &started);
    return ok;
}

}  // namespace

CommandResult run_command(const std::string& commandLine, const Environment& env, CallTimeout timeout) {
    CommandResult result;
    if (interrupted()) return result;
    result.errorOutput = cmd_refusal(commandLine);
    if (!result.errorOutput.empty()) return result;
    // cmd.exe as system() would start it, with three switches the quoting relies on: /d
    // runs no AutoRun command from the registry, /v:off keeps '!' plain whatever the
    // registry says, and /s /c takes the line between the outer quotes as it stands.
    const std::string interpreter = get_env("ComSpec").value_or("cmd.exe");
    std::string line = "cmd.exe /d /v:off /s /c \"" + commandLine + "\"";
    std::vector<char> envBlock = environment_block(env);

    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HandleCloser input(CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                   OPEN_EXISTING, 0, nullptr));
    HANDLE errRead = nullptr, errWrite = nullptr;
    if (!CreatePipe(&errRead, &errWrite, &inheritable, 0)) {
        result.errorOutput = "\nERROR: cannot make a pipe for the command interpreter: " + win32_error_text(GetLastError()) + "\n";
        return result;
    }
    HandleCloser readEnd(errRead);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    PROCESS_INFORMATION started{};
    const bool ok = start_suspended(interpreter, line, envBlock, input.handle, errWrite, started);
    CloseHandle(errWrite);  // the child holds the only writing end now
    if (!ok) {
        result.errorOutput = "\nERROR: cannot start the command interpreter " + interpreter + ": " +
                             win32_error_text(GetLastError()) + "\n";
        return result;
    }
    HandleCloser process(started.hProcess);
    HandleCloser thread(started.hThread);
    // The interpreter and the client it starts share a job, so that a stop ends both, and
    // so does this process ending while they run.
    HandleCloser job(CreateJobObjectA(nullptr, nullptr));
    if (job.handle) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(job.handle, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        if (!AssignProcessToJobObject(job.handle, started.hProcess)) {
            CloseHandle(job.handle);
            job.handle = nullptr;
        }
    }
    ErrorReader reader{errRead, {}};
    HandleCloser readerThread(CreateThread(nullptr, 0, ErrorReader::run, &reader, 0, nullptr));
    ResumeThread(started.hThread);

    const HANDLE waits[] = {started.hProcess, win32_detail::interrupt_event()};
    const DWORD limit = timeout > CallTimeout::zero() ? static_cast<DWORD>(timeout.count()) : INFINITE;
    const DWORD woke = WaitForMultipleObjects(win32_detail::interrupt_event() ? 2 : 1, waits, FALSE, limit);
    if (woke != WAIT_OBJECT_0) {
        result.timedOut = woke == WAIT_TIMEOUT;
        if (job.handle)
            TerminateJobObject(job.handle, kStatusControlCExit);
        else
            TerminateProcess(started.hProcess, kStatusControlCExit);
        WaitForSingleObject(started.hProcess, INFINITE);
    }
    // A process the client left behind outside the job may hold the pipe: its output is
    // not waited for long.
    if (readerThread.handle && WaitForSingleObject(readerThread.handle, 2000) == WAIT_TIMEOUT) {
        CancelSynchronousIo(readerThread.handle);
        WaitForSingleObject(readerThread.handle, INFINITE);
    }
    result.errorOutput = std::move(reader.text);
    DWORD status = 0;
    if (!GetExitCodeProcess(started.hProcess, &status)) return result;
    // The user's Ctrl-C may end the client before this process's handler has run.
    if (status == kStatusControlCExit && !result.timedOut) note_interrupt();
    if (!interrupted() && !result.timedOut) result.status = static_cast<int>(status);
    return result;
}

// cmd.exe reports exit codes reliably only per invocation: every line gets its own.
struct CommandSession::Impl {
    Environment env;
    CallTimeout timeout;
};

CommandSession::CommandSession(Environment env, CallTimeout timeout)
    : impl_(std::make_unique<Impl>(Impl{std::move(env), timeout})) {}
CommandSession::~CommandSession() = default;

CommandResult CommandSession::run(const std::string& commandLine) {
    return run_command(commandLine, impl_->env, impl_->timeout);
}

std::vector<CommandResult> CommandSession::run_all(const std::vector<std::string>& commandLines) {
    std::vector<CommandResult> results;
    for (const std::string& line : commandLines) results.push_back(run(line));  // -1 once interrupted
    return results;
}

}  // namespace platform
