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
/// A command that could not be started or was killed by a signal gives -1.
int run_command(const std::string& commandLine);

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
    /// order; all are handed over at once, so the interpreter goes from one to the next
    /// without waiting for this process.
    std::vector<int> run_all(const std::vector<std::string>& commandLines);

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

/// Quotes `value` as one argument for the command interpreter, so that blanks and
/// characters special to the interpreter keep their literal meaning.
std::string quote_argument(std::string_view value);

/// True when `name` can be used as the name of a file in the current folder:
/// not empty, no path separator, no character the platform forbids in file names,
/// and not a name the platform reserves (".", "..", device names on Windows).
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
