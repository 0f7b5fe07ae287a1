// POSIX side of the platform layer: system(), setenv, the account database and uname.
#include "platform.h"

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace platform {

int run_command(const std::string& commandLine) {
    int raw = std::system(commandLine.c_str());
    if (raw == -1 || !WIFEXITED(raw)) return -1;
    return WEXITSTATUS(raw);
}

const char* null_device() { return "/dev/null"; }

std::optional<std::string> get_env(const char* name) {
    const char* value = std::getenv(name);
    if (!value) return std::nullopt;
    return std::string(value);
}

bool set_env(const std::string& name, const std::string& value) {
    return ::setenv(name.c_str(), value.c_str(), 1) == 0;
}

std::string quote_argument(std::string_view value) {
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

bool is_plain_file_name(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (char c : name)
        if (c == '/' || c == '\0') return false;
    return true;
}

LookupResult user_name() {
    LookupResult result;
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name) result.value = pw->pw_name;
    return result;
}

LookupResult primary_group_name() {
    LookupResult result;
    const group* gr = ::getgrgid(::getegid());
    if (!gr || !gr->gr_name) {
        result.status = -1;
        result.consoleMessage = "\n\nERROR: BAD SID  \n\n";
        return result;
    }
    result.value = gr->gr_name;
    return result;
}

LookupResult host_name() {
    LookupResult result;
    std::vector<char> buffer(1024, '\0');
    if (::gethostname(buffer.data(), buffer.size() - 1) != 0) {
        result.status = -1;
        result.consoleMessage = "\n\nERROR:\tCan't Determine Host Name \n\n";
        return result;
    }
    result.value = buffer.data();
    return result;
}

}  // namespace platform
