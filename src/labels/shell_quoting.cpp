// Argument quoting for sh and for cmd.exe batch files.
#include "shell_quoting.h"

namespace tagsmith {

namespace {

// Characters that split, redirect, expand or start a comment unless quoted.
constexpr std::string_view kShellSpecial = " \t\"'\\$`|&;<>()*?[#~{}";
constexpr std::string_view kCmdSpecial = " \t\"&|<>^%(),;=";
// Characters cmd.exe acts on outside its quotes; a caret makes each plain.
constexpr std::string_view kCmdCaret = "\"&|<>^()";

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
    // The program's argument parser reads the text back: between double quotes, \" for a
    // literal quote, backslashes doubled where a quote follows them.
    std::string argument = "\"";
    std::size_t backslashes = 0;
    for (char c : value) {
        if (c == '"') {
            argument.append(backslashes, '\\');
            argument += '\\';
        }
        argument += c;
        backslashes = c == '\\' ? backslashes + 1 : 0;
    }
    argument.append(backslashes, '\\');
    argument += '"';
    // cmd.exe reads the line before it: a batch file's "%" pass ignores quotes and carets
    // (its "%%" is one "%"), and cmd toggles its quoting at every double quote, that of \"
    // too. A value without quotes stays inside cmd's quotes, where nothing else is special.
    // In one with quotes every quote and every character cmd acts on gets a caret, so cmd
    // never enters its quoting. Closing cmd's quotes around a caret-escaped \" instead
    // ("\^"") is not read alike everywhere: wine's cmd keeps that caret and toggles there.
    const bool caretForm = value.find('"') != std::string_view::npos;
    std::string line;
    line.reserve(argument.size() * 2);
    for (char c : argument) {
        if (c == '%')
            line += '%';
        else if (caretForm && kCmdCaret.find(c) != std::string_view::npos)
            line += '^';
        line += c;
    }
    return line;
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
