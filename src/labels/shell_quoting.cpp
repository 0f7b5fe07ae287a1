// Argument quoting for sh and for cmd.exe batch files.
#include "shell_quoting.h"

namespace tagsmith {

namespace {

// Characters that split, redirect, expand or start a comment unless quoted.
constexpr std::string_view kShellSpecial = " \t\"'\\$`|&;<>()*?[#~{}";
constexpr std::string_view kCmdSpecial = " \t\"&|<>^%(),;=";

std::string quote_for_shell(std::string_view value) {
    // Inside double quotes sh still gives " \ $ ` their meaning; a backslash takes it away.
    std::string quoted;
    quoted.reserve(value.size() + 2);
    quoted += '"';
    for (char c : value) {
        if (c == '"' || c == '\\' || c == '$' || c == '`') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string quote_for_cmd(std::string_view value) {
    // Two readers see the text: cmd.exe, which toggles its own quoting at every '"' and
    // expands "%" even inside quotes (so a batch file writes "%%"), and the program's
    // argument parser, which takes \" as a literal quote and reads backslashes before a
    // quote in pairs. An inner quote therefore closes the quoted part, adds a
    // caret-escaped \" (cmd does not toggle on ^" outside quotes) and reopens it, which
    // keeps cmd's quoting in step and leaves no special character exposed.
    std::string quoted;
    quoted.reserve(value.size() + 2);
    quoted += '"';
    std::size_t backslashes = 0;
    for (char c : value) {
        if (c == '\\') {
            ++backslashes;
            quoted += c;
            continue;
        }
        if (c == '"') {
            quoted.append(backslashes, '\\');  // doubled: they precede a quote
            quoted += "\"\\^\"\"";
        } else if (c == '%') {
            quoted += "%%";
        } else {
            quoted += c;
        }
        backslashes = 0;
    }
    quoted.append(backslashes, '\\');  // doubled: they precede the closing quote
    quoted += '"';
    return quoted;
}

/// True when `value` holds a blank, a tab, a double quote or another character special
/// to `interpreter`, so that written bare it would not reach the command as one argument.
bool needs_quotes(std::string_view value, Interpreter interpreter) {
    std::string_view special = interpreter == Interpreter::windowsCmd ? kCmdSpecial : kShellSpecial;
    return value.find_first_of(special) != std::string_view::npos;
}

}  // namespace

bool can_pass(std::string_view value, Interpreter interpreter) {
    const std::string_view lost(interpreter == Interpreter::windowsCmd ? "\0\r" : "\0",
                                interpreter == Interpreter::windowsCmd ? 2 : 1);
    return value.find_first_of(lost) == std::string_view::npos;
}

std::string quote_argument(std::string_view value, Interpreter interpreter) {
    if (!needs_quotes(value, interpreter)) return std::string(value);
    return interpreter == Interpreter::windowsCmd ? quote_for_cmd(value) : quote_for_shell(value);
}

}  // namespace tagsmith
