// POSIX side of the platform layer: system(), setenv, the account database and uname.
#include "platform.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

extern char** environ;

namespace platform {

int run_command(const std::string& commandLine) {
    int raw = std::system(commandLine.c_str());
    if (raw == -1 || !WIFEXITED(raw)) return -1;
    return WEXITSTATUS(raw);
}

struct CommandSession::Impl {
    pid_t pid = -1;
    int commandFd = -1;  // the interpreter's standard input
    int statusFd = -1;   // the interpreter writes each line's exit status to its fd 3
    bool started = false;
    bool broken = false;

    void start() {
        started = true;
        int commandPair[2];
        int statusPipe[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, commandPair) != 0) {
            broken = true;
            return;
        }
        if (::pipe2(statusPipe, O_CLOEXEC) != 0) {
            ::close(commandPair[0]);
            ::close(commandPair[1]);
            broken = true;
            return;
        }
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_adddup2(&actions, commandPair[1], 0);
        ::posix_spawn_file_actions_adddup2(&actions, statusPipe[1], 3);
        char arg0[] = "sh";
        char* argv[] = {arg0, nullptr};
        const int spawned = ::posix_spawn(&pid, "/bin/sh", &actions, nullptr, argv, environ);
        ::posix_spawn_file_actions_destroy(&actions);
        ::close(commandPair[1]);
        ::close(statusPipe[1]);
        commandFd = commandPair[0];
        statusFd = statusPipe[0];
        if (spawned != 0) {
            pid = -1;
            broken = true;
        }
    }

    bool send_line(const std::string& text) {
        std::size_t sent = 0;
        while (sent < text.size()) {
            // MSG_NOSIGNAL: an interpreter that died must not take this process with it.
            const ssize_t n = ::send(commandFd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            sent += static_cast<std::size_t>(n);
        }
        return true;
    }

    bool read_status(int& status) {
        std::string text;
        char c;
        while (true) {
            const ssize_t n = ::read(statusFd, &c, 1);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            if (c == '\n') break;
            text += c;
        }
        status = std::atoi(text.c_str());
        return true;
    }

    // Ends the interpreter (end of input) and returns its exit status, -1 when it
    // did not exit normally; the next line starts a new one.
    int stop() {
        if (commandFd >= 0) ::close(commandFd);
        if (statusFd >= 0) ::close(statusFd);
        commandFd = statusFd = -1;
        int status = -1;
        if (pid > 0) {
            int raw = 0;
            while (::waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
            }
            if (WIFEXITED(raw)) status = WEXITSTATUS(raw);
        }
        pid = -1;
        started = false;
        return status;
    }

    ~Impl() { stop(); }
};

CommandSession::CommandSession() : impl_(std::make_unique<Impl>()) {}
CommandSession::~CommandSession() = default;

namespace {

// The line goes to eval as one quoted word, so the interpreter sees it exactly as
// system() would hand it over; "command" keeps a syntax error from ending the
// interpreter, which only a line's own "exit" does.
std::string session_script(const std::string& commandLine) {
    return "command eval " + quote_argument(commandLine) + " </dev/null 3>&-; echo $? >&3\n";
}

}  // namespace

int CommandSession::run(const std::string& commandLine) { return run_all({commandLine}).front(); }

std::vector<int> CommandSession::run_all(const std::vector<std::string>& commandLines) {
    std::vector<int> statuses;
    statuses.reserve(commandLines.size());
    std::size_t next = 0;
    while (next < commandLines.size()) {
        if (!impl_->started) impl_->start();
        if (impl_->broken) {
            for (; next < commandLines.size(); ++next) statuses.push_back(run_command(commandLines[next]));
            break;
        }
        std::string scripts;
        for (std::size_t i = next; i < commandLines.size(); ++i) scripts += session_script(commandLines[i]);
        if (!impl_->send_line(scripts)) {
            // Nothing can be told about what ran: the interpreter is given up on and
            // the lines go to run_command.
            impl_->broken = true;
            impl_->stop();
            continue;
        }
        for (; next < commandLines.size(); ++next) {
            int status = -1;
            if (!impl_->read_status(status)) {
                // The line exited the interpreter: its status is the interpreter's; the
                // lines after it are run again by a fresh one.
                statuses.push_back(impl_->stop());
                ++next;
                break;
            }
            // Like run_command: a command ended by a signal (above 128) reports -1.
            statuses.push_back(status > 128 ? -1 : status);
        }
    }
    return statuses;
}

const char* null_device() { return "/dev/null"; }

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
