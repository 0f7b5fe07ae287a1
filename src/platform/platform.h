// The thin operating-system layer: everything that differs between Windows and POSIX.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

/// Runs `commandLine` through the command interpreter (redirections included) and
/// returns the command's exit status: 0 for success, anything else for failure.
/// A command that could not be started or was killed by a signal gives -1. Once the
/// run is interrupted nothing more is started, a running command is stopped, and the
/// result is -1. On Windows a line that cmd.exe would cut or change (a line break, more
/// than 8191 characters) is not run: a message on the standard error stream, and -1.
int run_command(const std::string& commandLine);

/// Makes an interrupt (Ctrl-C, Ctrl-Break, SIGINT, SIGTERM, a closed console) stop the
/// run instead of killing the process outright: from then on interrupted() is true,
/// commands are stopped, and the run ends through its own clean-up.
void install_interrupt_handlers();
/// True once the run has been interrupted.
bool interrupted();
/// Marks the run interrupted, as the handlers do (also when a command was ended by the
/// user's Ctrl-C before this process saw it).
void note_interrupt();

/// One command interpreter kept running for a long series of command lines, so that a
/// line costs what it costs as a line of a shell script rather than a new interpreter
/// each time. Meant for a series of plain client command lines: each line is run as a
/// script line, with standard input from the null device, and its exit status is
/// returned; a syntax error fails only its line, and a line that exits the interpreter
/// returns that status and the next line gets a fresh interpreter. A line that changes
/// the interpreter's own state (its folder, its variables) does so for the lines after
/// it. Where no interpreter can be kept (Windows, or when it cannot be started), each
/// line goes to run_command.
class CommandSession {
public:
    CommandSession();
    ~CommandSession();
    CommandSession(const CommandSession&) = delete;
    CommandSession& operator=(const CommandSession&) = delete;
    int run(const std::string& commandLine);
    /// Runs the lines one after another as run() would and returns their statuses in
    /// order. Lines are handed over ahead of their statuses, so the interpreter goes
    /// from one to the next without waiting for this process, however many there are.
    /// Once the run is interrupted the remaining lines are not run and give -1.
    std::vector<int> run_all(const std::vector<std::string>& commandLines);
    /// Sets an environment variable for this process and for the running interpreter.
    void set_env(const std::string& name, const std::string& value);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

/// Where a command's output goes to be discarded: "nul" on Windows, "/dev/null" elsewhere.
const char* null_device();

/// The value of an environment variable, or nothing when it is not defined.
/// A variable defined with an empty value gives an empty string.
std::optional<std::string> get_env(const char* name);

/// Sets an environment variable for this process and every command it runs later.
bool set_env(const std::string& name, const std::string& value);

/// Quotes `value` as one argument for the command interpreter of this platform (a POSIX
/// shell, or cmd.exe with the client's argument parser behind it), so that blanks and
/// characters special to the interpreter keep their literal meaning and the client
/// receives the value byte for byte.
std::string quote_argument(std::string_view value);
/// The same for a named interpreter, whatever this platform is: command lines written
/// into an import file run later on the target's interpreter. quote_cmd's text is for a
/// line that cmd.exe runs with delayed expansion off (as run_command runs it), read back
/// by the C runtime's argument parser; a value without double quotes (every file name)
/// also serves as the file name after a redirection. A line break cannot pass cmd.exe.
std::string quote_posix(std::string_view value);
std::string quote_cmd(std::string_view value);
/// True when `value` needs no quoting to arrive unchanged, also as the file name after
/// a redirection: only letters, digits and "_-./" (nothing that a POSIX shell or cmd.exe
/// treats specially or as a delimiter).
bool is_plain_word(std::string_view value);

/// This process's id, and whether the process `pid` on this host still runs.
long current_process_id();
bool process_alive(long pid);

/// Renames `from` to `to`, replacing an existing `to` in one step; false on failure.
bool replace_file(const std::string& from, const std::string& to);

/// Creates the file `path` only when no file of that name exists, with `content`;
/// false when it exists or cannot be written.
bool create_exclusive(const std::string& path, const std::string& content);

/// True when `name` can be used as the name of a file in the current folder:
/// not empty, at most 255 bytes, no path separator, no character the platform forbids in
/// file names, and not a name the platform reserves (".", "..", device names on Windows).
bool is_plain_file_name(std::string_view name);

/// Outcome of one identity lookup. `consoleMessage` and `errorMessage` hold what the
/// lookup wants printed on standard output and on the standard error stream.
struct LookupResult {
    int status = 0;  // 0 success, -1 failure
    std::string value;
    std::string consoleMessage;
    std::string errorMessage;
};

/// The logged-on user's name (empty value when it cannot be found; status stays 0).
LookupResult user_name();
/// The account name of the process's primary group.
LookupResult primary_group_name();
/// The name of this host.
LookupResult host_name();

}  // namespace platform
