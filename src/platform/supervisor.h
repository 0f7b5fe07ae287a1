// The process supervisor: the one owner of every client process a run starts, of the
// run's interrupts, and of the way a run is stopped.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace platform {

/// The environment a client starts with. Made once for a phase of the run and never
/// changed while clients run: a variable reaches a client because the client starts
/// with it, not because the process environment was changed under running threads.
class Environment {
public:
    /// This process's environment as it is now.
    static Environment inherited();
    /// A copy in which `name` holds `value` (added, or replacing an earlier value).
    Environment with(const std::string& name, const std::string& value) const;
    /// "NAME=value" entries, each name once.
    const std::vector<std::string>& entries() const { return entries_; }

private:
    std::vector<std::string> entries_;
};

/// What one client call left behind.
struct CommandResult {
    /// The command's exit status: 0 for success. -1 when it could not be started, was
    /// ended by a signal or exited above 128 (an interpreter's report of a signal), was
    /// stopped by an interrupt, or ran past its time limit.
    int status = -1;
    /// Everything the call wrote on its standard error stream, held so that the caller
    /// prints it where the call's answer is used (in the same place at any -jobs).
    std::string errorOutput;
    /// True when the call was stopped because it ran past its time limit.
    bool timedOut = false;
    /// What the run itself says about the call (a time limit it ran past, its retries),
    /// printed on standard output where the call's answer is used, like its errorOutput.
    std::string notes = {};
};

/// How long a client call may run; zero means without limit.
using CallTimeout = std::chrono::milliseconds;

/// Runs `commandLine` through the command interpreter (redirections included) with the
/// environment `env`. The client runs without a terminal (a session of its own on POSIX,
/// so a client that asks for a password fails instead of stopping), reads the null
/// device, inherits nothing of this process but its standard output (its standard error
/// is captured), and is stopped with its whole process group or job: on an interrupt,
/// when the run halts, and after `timeout`. On Windows a line that cmd.exe would cut or
/// change (a line break, more than 8191 characters) is not run: -1 with the reason as
/// its error output.
CommandResult run_command(const std::string& commandLine, const Environment& env,
                          CallTimeout timeout = CallTimeout::zero());

/// One command interpreter kept running for a long series of command lines, so that a
/// line costs what it costs as a line of a shell script rather than a new interpreter
/// each time. Each line runs as run_command would run it (its own null standard input,
/// its own captured standard error, the same statuses); a syntax error fails only its
/// line, and a line that exits the interpreter returns that status while the next line
/// gets a fresh interpreter. A line that changes the interpreter's own state (its
/// folder, its variables) does so for the lines after it. Where no interpreter can be
/// kept (Windows, or when it cannot be started), each line goes to run_command.
class CommandSession {
public:
    explicit CommandSession(Environment env, CallTimeout timeout = CallTimeout::zero());
    ~CommandSession();
    CommandSession(const CommandSession&) = delete;
    CommandSession& operator=(const CommandSession&) = delete;
    CommandResult run(const std::string& commandLine);
    /// Runs the lines one after another as run() would and returns their results in
    /// order. Lines are handed over ahead of their results, so the interpreter goes
    /// from one to the next without waiting for this process, however many there are.
    /// Once the run is interrupted or halted the remaining lines are not run and give -1.
    std::vector<CommandResult> run_all(const std::vector<std::string>& commandLines);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

/// Makes an interrupt (Ctrl-C, Ctrl-Break, SIGINT, SIGTERM, SIGHUP, a closed console)
/// stop the run instead of killing the process outright, and a write to a closed pipe a
/// failed write rather than the end of the process (SIGPIPE). From an interrupt on,
/// interrupted() is true, running clients are stopped, nothing more is started, and the
/// run ends through its own clean-up.
void install_interrupt_handlers();
/// True once the run must stop: it was interrupted, or it halted.
bool interrupted();
/// Marks the run interrupted, as the handlers do (also when the console is gone).
void note_interrupt();
/// True when the stop came from the user or the system (a signal, a console event),
/// not from a halt.
bool interrupted_by_signal();

/// Stops the run as an interrupt does, for a reason found inside it (the working folder
/// cannot take the clients' answers); the first message is kept for the end of the run.
void halt(const std::string& message);
/// The message of the first halt, or empty.
std::string halt_message();

/// Waits `duration`, or less when the run is interrupted meanwhile; false then.
bool pause_unless_interrupted(std::chrono::milliseconds duration);

/// After a failed client call: whether the working folder can still take an answer.
/// Writes and removes a probe of 64 KiB in the current folder; empty when it could,
/// otherwise the system's reason (such as "No space left on device").
std::string working_folder_problem();

}  // namespace platform
