// Quoting a label or directory as one argument of a line in the generated command file.
#pragma once

#include <string>
#include <string_view>

namespace tagsmith {

/// The command interpreter that runs the generated command file.
enum class Interpreter {
    posixShell,  // sh and its relatives
    windowsCmd,  // cmd.exe running a batch file
};

/// The interpreter of the platform tagsmith was built for.
#ifdef _WIN32
inline constexpr Interpreter kHostInterpreter = Interpreter::windowsCmd;
#else
inline constexpr Interpreter kHostInterpreter = Interpreter::posixShell;
#endif

/// `value` as it is written into the command file: unchanged when it needs no quotes,
/// otherwise between double quotes with its inner characters escaped for `interpreter`
/// (sh: backslash before " \ $ `; cmd: inner quotes and trailing backslashes in the form
/// the program's argument parser reads back, "%" doubled as batch files need, and in a
/// value with a quote a caret before every quote and every character cmd acts on).
std::string quote_argument(std::string_view value, Interpreter interpreter);

/// True when quoting can bring `value` to the command whole through `interpreter`: no
/// argument can hold a NUL byte, and cmd.exe drops every carriage return of a batch line.
bool can_pass(std::string_view value, Interpreter interpreter);

}  // namespace tagsmith
