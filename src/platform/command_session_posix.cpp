// POSIX side of the supervisor's series: one interpreter kept for many command lines,
// each line's error output and status told apart by a marker of the session's own.
#include <sys/socket.h>

#include <random>

#include "child_process_posix.h"
#include "platform.h"

namespace platform {

using namespace posix_detail;

struct CommandSession::Impl {
    Environment env;
    CallTimeout timeout;
    std::unique_ptr<Child> child;
    int commandFd = -1;  // the interpreter's standard input
    bool broken = false;
    // Ends each line's standard error: a byte no text holds and a number of this session,
    // then the line's status and a line feed.
    std::string marker;
    std::string pendingStart;  // the interpreter's first line: the marker's own stream

    Impl(Environment e, CallTimeout t) : env(std::move(e)), timeout(t) {
        std::random_device random;
        marker = "\x1e" "ferrox-" + std::to_string(random()) + "-" + std::to_string(random()) + ":";
    }

    bool start() {
        int commandPair[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, commandPair) != 0) return false;
        char arg0[] = "sh";
        char* argv[] = {arg0, nullptr};
        auto started = std::make_unique<Child>();
        std::string why;
        const bool ok = started->start(argv, env, commandPair[1], why);
        ::close(commandPair[1]);
        if (!ok) {
            ::close(commandPair[0]);
            return false;
        }
        commandFd = commandPair[0];
        set_nonblocking(commandFd);
        child = std::move(started);
        pendingStart = "exec 3>&2\n";
        return true;
    }

    /// Ends the interpreter: `force` stops it with the client it runs; otherwise it ends
    /// by itself at the end of its input.
    void stop(bool force) {
        if (commandFd >= 0) ::close(commandFd);
        commandFd = -1;
        if (child) child->end(force);
        child.reset();
    }

    // The line goes to eval as one quoted word, so the interpreter sees it exactly as
    // system() would hand it over; "command" keeps a syntax error from ending the
    // interpreter, which only a line's own "exit" does. The marker goes to a copy of
    // the error stream that the line does not see, so that not even a line that closes
    // the interpreter's own standard error can keep its result from arriving.
    std::string script(const std::string& commandLine) const {
        return "command eval " + quote_posix(commandLine) + " </dev/null 3>&-; printf '%s%d\\n' " +
               quote_posix(marker) + " \"$?\" >&3\n";
    }

    /// Takes the result of the line whose error output the interpreter is writing, once
    /// its marker and status are in; false while they are not.
    bool take_result(CommandResult& result) {
        std::string& text = child->error_text();
        const std::size_t at = text.find(marker);
        if (at == std::string::npos) return false;
        const std::size_t end = text.find('\n', at + marker.size());
        if (end == std::string::npos) return false;
        result.status = result_status(std::atoi(text.c_str() + at + marker.size()));
        result.errorOutput = text.substr(0, at);
        text.erase(0, end + 1);
        return true;
    }
};

CommandSession::CommandSession(Environment env, CallTimeout timeout)
    : impl_(std::make_unique<Impl>(std::move(env), timeout)) {}
CommandSession::~CommandSession() { impl_->stop(false); }

CommandResult CommandSession::run(const std::string& commandLine) { return run_all({commandLine}).front(); }

std::vector<CommandResult> CommandSession::run_all(const std::vector<std::string>& commandLines) {
    Impl& s = *impl_;
    // Lines sent ahead of their results: enough that the interpreter never waits for
    // this process, few enough that an interpreter that ended takes few lines with it.
    constexpr std::size_t kAhead = 256;
    auto sendable = [&](std::size_t line) {
        return line < commandLines.size() && commandLines[line].find('\0') == std::string::npos;
    };
    std::vector<CommandResult> results;
    results.reserve(commandLines.size());
    while (results.size() < commandLines.size()) {
        if (interrupted()) {
            s.stop(true);
            results.resize(commandLines.size());
            break;
        }
        // The interpreter would drop a NUL byte and run another command than the one
        // asked for: such a line is refused alone, as run_command refuses it.
        if (!s.broken && !s.child) s.broken = !s.start();
        if (!sendable(results.size()) || s.broken) {
            results.push_back(run_command(commandLines[results.size()], s.env, s.timeout));
            continue;
        }
        // One round with one interpreter: lines go out while results come back, until
        // every line sent has its result or the interpreter has ended.
        std::size_t sent = results.size();
        std::string pending = std::move(s.pendingStart);  // what the interpreter has not yet taken
        std::optional<Clock::time_point> deadline = deadline_of(s.timeout);
        auto take_results = [&] {
            CommandResult result;
            while (results.size() < sent && s.take_result(result)) {
                results.push_back(std::move(result));
                result = {};
                deadline = deadline_of(s.timeout);
            }
        };
        while (!interrupted()) {
            if (pending.empty() && sendable(sent) && sent - results.size() < kAhead)
                pending = s.script(commandLines[sent++]);
            if (!pending.empty()) {
                const ssize_t n = ::send(s.commandFd, pending.data(), pending.size(), MSG_NOSIGNAL);
                if (n > 0) pending.erase(0, static_cast<std::size_t>(n));
                // The interpreter has stopped reading: it ended, which the wait shows.
                if (n < 0 && errno != EAGAIN && errno != EINTR) pending.clear();
            }
            take_results();
            if (results.size() == sent && !sendable(sent) && pending.empty()) break;  // the round is done
            if (results.size() == sent && pending.empty()) continue;
            if (s.child->reaped()) {
                // A line exited the interpreter: the lines before it have their results,
                // it has the interpreter's status, and the lines after it go to a fresh one.
                take_results();
                if (results.size() < sent) {
                    CommandResult exited;
                    exited.status = status_of(s.child->raw());
                    exited.errorOutput = std::move(s.child->error_text());
                    results.push_back(std::move(exited));
                }
                s.stop(false);
                break;
            }
            if (deadline && Clock::now() >= *deadline) {
                // The line ran too long: it is stopped with its interpreter, and the
                // lines after it go to a fresh one.
                CommandResult late;
                late.timedOut = true;
                late.errorOutput = std::move(s.child->error_text());
                results.push_back(std::move(late));
                s.stop(true);
                break;
            }
            s.child->wait(deadline, pending.empty() ? -1 : s.commandFd, POLLOUT);
        }
    }
    return results;
}

}  // namespace platform
