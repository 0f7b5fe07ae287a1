// The parts of the platform layer that are the same everywhere: environment reading and
// the quoting rules of both interpreters (import files carry commands for either).
#include "platform.h"

#include <cctype>
#include <cstdlib>

namespace platform {

Environment Environment::with(const std::string& name, const std::string& value) const {
    Environment env = *this;
    auto same_name = [&name](const std::string& entry) {
        if (entry.size() <= name.size() || entry[name.size()] != '=') return false;
#ifdef _WIN32
        // Windows variable names ignore letter case.
        for (std::size_t i = 0; i < name.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(entry[i])) != std::tolower(static_cast<unsigned char>(name[i])))
                return false;
        return true;
#else
        return entry.compare(0, name.size(), name) == 0;
#endif
    };
    std::erase_if(env.entries_, same_name);
    env.entries_.push_back(name + "=" + value);
    return env;
}

std::optional<std::string> get_env(const char* name) {
    const char* value = std::getenv(name);
    if (!value) return std::nullopt;
    return std::string(value);
}

bool is_plain_word(std::string_view value) {
    if (value.empty()) return false;
    for (char c : value) {
        const bool alnum = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!alnum && std::string_view("_-./").find(c) == std::string_view::npos) return false;
    }
    return true;
}

std::string quote_posix(std::string_view value) {
    // Inside single quotes the shell takes every character literally; a single quote
    // itself closes the quote, is escaped, and reopens it.
    std::string quoted = "'";
    for (char c : value) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    quoted += '\'';
    return quoted;
}

namespace {

// The client's C runtime splits its command line into argv: a quoted piece ends at the
// next double quote, \" is a literal quote, and backslashes count as escapes only right
// before a quote, where they are doubled. A '%' goes between two quoted pieces.
std::string quote_for_argument_parser(std::string_view value) {
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : value) {
        if (c == '\\') {
            ++backslashes;
            quoted += c;
            continue;
        }
        if (c == '"' || c == '%') quoted.append(backslashes, '\\');  // a quote follows them
        if (c == '"')
            quoted += "\\\"";
        else if (c == '%')
            quoted += "\"%\"";
        else
            quoted += c;
        backslashes = 0;
    }
    quoted.append(backslashes, '\\');  // before the closing quote
    quoted += '"';
    return quoted;
}

}  // namespace

std::string quote_cmd(std::string_view value) {
    // cmd.exe reads the line first. It expands %NAME% before anything else, inside quotes
    // too: each '%' stands between two quoted pieces ("50"%"" for 50%), so the text up to
    // any later '%' begins with a quote (or its caret) and names no variable. Inside its own quotes
    // nothing else is special to cmd, so a value without double quotes stays there, which
    // also keeps a file name after ">" whole. cmd toggles its quoting at every double
    // quote, the one in \" too, which would leave the rest of such a value exposed: there
    // every quote and every character cmd treats specially gets a caret instead, so cmd
    // never enters its quoting and drops only the carets. '!' is plain, since run_command
    // turns delayed expansion off; line breaks cannot pass cmd at all (run_command refuses them).
    std::string quoted = quote_for_argument_parser(value);
    if (value.find('"') == std::string_view::npos) return quoted;
    std::string escaped;
    escaped.reserve(quoted.size() * 2);
    for (char c : quoted) {
        if (std::string_view("\"%^&|<>()").find(c) != std::string_view::npos) escaped += '^';
        escaped += c;
    }
    return escaped;
}

}  // namespace platform
