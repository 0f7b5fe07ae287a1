// The parts of the platform layer that are the same everywhere: environment reading and
// the quoting rules of both interpreters (import files carry commands for either).
#include "platform.h"

#include <cstdlib>

namespace platform {

std::optional<std::string> get_env(const char* name) {
    const char* value = std::getenv(name);
    if (!value) return std::nullopt;
    return std::string(value);
}

bool is_plain_word(std::string_view value) {
    if (value.empty()) return false;
    for (char c : value) {
        const bool alnum = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!alnum && std::string_view("_-.,/:=+@").find(c) == std::string_view::npos) return false;
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

std::string quote_cmd(std::string_view value) {
    // cmd.exe keeps everything between double quotes together except '%' expansion;
    // the client's argument parser takes \" as a literal quote. '%' is kept from
    // expanding by closing the quote around a caret-escaped percent sign.
    std::string quoted = "\"";
    for (char c : value) {
        if (c == '"')
            quoted += "\\\"";
        else if (c == '%')
            quoted += "\"^%\"";
        else
            quoted += c;
    }
    quoted += '"';
    return quoted;
}

}  // namespace platform
