// POSIX side of the process supervisor: clients in sessions of their own started with
// posix_spawn, their standard error captured, interrupts through a wake-up pipe.
#include "supervisor.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <random>

#include "platform.h"

extern char** environ;

namespace platform {

namespace {

// Written by the signal handler and read by every thread: lock-free.
std::atomic<int> gInterrupted{0};  // 1 signal, 2 halt
// The handler writes a byte here; every wait polls the reading end, which stays readable
// once written, so every thread that waits for a client wakes up and stops its client.
int gWake[2] = {-1, -1};

std::mutex gHaltMutex;
std::string gHaltMessage;

// How long a stopped client gets to end after SIGTERM before SIGKILL.
constexpr std::chrono::milliseconds kStopGrace{2000};
// How often a wait looks at a client that may have ended without closing its standard
// error (a background process of its own still holding it).
constexpr int kWaitTickMs = 100;

void wake_waiters() {
    if (gWake[1] < 0) return;
    const char byte = 1;
    // Nothing to do about a failure: the pipe is full, so it is readable already.
    [[maybe_unused]] const ssize_t n = ::write(gWake[1], &byte, 1);
}

extern "C" void on_interrupt(int) {
    const int saved = errno;  // the interrupted code may be about to read errno
    int expected = 0;
    gInterrupted.compare_exchange_strong(expected, 1);
    wake_waiters();
    errno = saved;
}

using Clock = std::chrono::steady_clock;

int millis_until(Clock::time_point when) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(when - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}

/// The result status of a raw wait status: the exit status, -1 for a signal or for an
/// exit status above 128 (the way an interpreter reports a signal), so that a line of a
/// series and a single command report alike.
int status_of(int raw) {
    if (!WIFEXITED(raw)) return -1;
    const int status = WEXITSTATUS(raw);
    return status > 128 ? -1 : status;
}

void set_nonblocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

/// Reads what `fd` has now into `into`; false once it is at its end (or broken).
bool drain(int fd, std::string& into) {
    char buffer[4096];
    while (true) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            into.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        return n < 0 && errno == EAGAIN;
    }
}

/// The environment as posix_spawn takes it.
std::vector<char*> environment_block(const Environment& env) {
    std::vector<char*> block;
    for (const std::string& entry : env.entries()) block.push_back(const_cast<char*>(entry.c_str()));
    block.push_back(nullptr);
    return block;
}

/// One child of the supervisor: an interpreter in a session of its own (so it and the
/// client it starts form one process group), its standard error on a pipe to this
/// process, every other descriptor of this process closed in it.
class Child {
public:
    /// Starts /bin/sh with `argv`; `input` is its standard input (-1: the null device).
    /// The reason it could not be started goes to `why`.
    bool start(char* const argv[], const Environment& env, int input, std::string& why) {
        int errPipe[2];
        if (::pipe2(errPipe, O_CLOEXEC) != 0) {
            why = std::strerror(errno);
            return false;
        }
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        if (input >= 0)
            ::posix_spawn_file_actions_adddup2(&actions, input, 0);
        else
            ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        ::posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 34)
        // Whatever this process has open (an export's temporary file, another client's
        // pipe) is no business of the client's, and must not outlive its removal there.
        ::posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
        posix_spawnattr_t attributes;
        ::posix_spawnattr_init(&attributes);
        sigset_t defaults;
        sigemptyset(&defaults);
        for (int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&defaults, signal);
        sigset_t none;
        sigemptyset(&none);
        ::posix_spawnattr_setsigdefault(&attributes, &defaults);
        ::posix_spawnattr_setsigmask(&attributes, &none);
        // A session of its own: no controlling terminal, so a client that wants the
        // terminal fails instead of being stopped for ever; and one group to stop.
        ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
        std::vector<char*> envp = environment_block(env);
        const int spawned = ::posix_spawn(&pid_, "/bin/sh", &actions, &attributes, argv, envp.data());
        ::posix_spawnattr_destroy(&attributes);
        ::posix_spawn_file_actions_destroy(&actions);
        ::close(errPipe[1]);
        if (spawned != 0) {
            ::close(errPipe[0]);
            pid_ = -1;
            why = std::strerror(spawned);
            return false;
        }
        errFd_ = errPipe[0];
        group_ = pid_;
        set_nonblocking(errFd_);
        return true;
    }

    ~Child() {
        end(pid_ > 0);
        if (errFd_ >= 0) ::close(errFd_);
    }

    /// Waits for the child to end: at once stopped with `force`, otherwise stopped only
    /// when it has not ended by itself within the grace period.
    void end(bool force) {
        if (force) stop();
        const Clock::time_point giveUp = Clock::now() + kStopGrace;
        while (!ended()) {
            if (stopping_ || Clock::now() >= giveUp) stop();
            wait(std::nullopt);
        }
    }

    /// True once the child has ended and, when it was stopped, every process of its
    /// group too: a client that ignores the request to end must not outlive the run.
    bool ended() {
        if (!reaped()) return false;
        return !stopping_ || (::kill(-group_, 0) != 0 && errno == ESRCH);
    }

    int error_fd() const { return errFd_; }
    pid_t pid() const { return pid_; }
    /// What the child wrote on its standard error and no one has taken yet.
    std::string& error_text() { return errText_; }

    /// Takes what the error pipe holds; closes it at its end.
    void read_errors() {
        if (errFd_ >= 0 && !drain(errFd_, errText_)) {
            ::close(errFd_);
            errFd_ = -1;
            idleTick_ = 1;
        }
    }

    /// True once the child has ended (its raw status in raw()).
    bool reaped() {
        if (pid_ <= 0) return true;
        int raw = 0;
        pid_t got;
        do got = ::waitpid(pid_, &raw, WNOHANG);
        while (got < 0 && errno == EINTR);
        if (got == 0) return false;
        raw_ = got == pid_ ? raw : -1;
        pid_ = -1;
        read_errors();  // what it wrote just before it ended
        return true;
    }
    int raw() const { return raw_; }

    /// Asks the whole group to end (a stopped member is continued so that it can), and
    /// kills it once the grace period is over.
    void stop() {
        if (group_ <= 0) return;
        if (!stopping_) {
            ::kill(-group_, SIGTERM);
            ::kill(-group_, SIGCONT);
            stopping_ = true;
            killAt_ = Clock::now() + kStopGrace;
        } else if (Clock::now() >= killAt_) {
            ::kill(-group_, SIGKILL);
        }
    }
    bool stopping() const { return stopping_; }

    /// Waits until the error pipe has something, the child may have ended, the run is
    /// interrupted, or `deadline` comes; `extraFd` (with `extraEvents`) is watched too.
    /// The events of `extraFd`.
    short wait(std::optional<Clock::time_point> deadline, int extraFd = -1, short extraEvents = 0) {
        pollfd fds[3];
        nfds_t count = 0;
        int extraAt = -1;
        if (errFd_ >= 0) fds[count++] = {errFd_, POLLIN, 0};
        // While stopping, the wake-up pipe (readable for good) would keep the wait busy.
        if (!stopping_ && gWake[0] >= 0) fds[count++] = {gWake[0], POLLIN, 0};
        if (extraFd >= 0) {
            extraAt = static_cast<int>(count);
            fds[count++] = {extraFd, extraEvents, 0};
        }
        // A child whose error stream has ended is about to end itself: it is looked at
        // again soon, then less and less often.
        int timeout = kWaitTickMs;
        if (errFd_ < 0) {
            timeout = idleTick_;
            idleTick_ = std::min(idleTick_ * 2, kWaitTickMs);
        }
        if (deadline) timeout = std::min(timeout, millis_until(*deadline));
        // Up to the kill; after it, the group's last processes are looked at in ticks.
        if (stopping_ && Clock::now() < killAt_) timeout = std::min(timeout, millis_until(killAt_));
        if (::poll(fds, count, timeout) < 0) return 0;
        read_errors();
        return extraAt >= 0 ? fds[extraAt].revents : 0;
    }

private:
    pid_t pid_ = -1;
    pid_t group_ = -1;  // the child's process group, which outlives the child itself
    int errFd_ = -1;
    int raw_ = -1;
    std::string errText_;
    bool stopping_ = false;
    Clock::time_point killAt_{};
    int idleTick_ = 1;  // milliseconds
};

std::optional<Clock::time_point> deadline_of(CallTimeout timeout) {
    if (timeout <= CallTimeout::zero()) return std::nullopt;
    return Clock::now() + timeout;
}

}  // namespace

Environment Environment::inherited() {
    Environment env;
    for (char** entry = environ; entry && *entry; ++entry) env.entries_.emplace_back(*entry);
    return env;
}

void install_interrupt_handlers() {
    if (gWake[0] < 0 && ::pipe2(gWake, O_CLOEXEC | O_NONBLOCK) != 0) gWake[0] = gWake[1] = -1;
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;  // the waits poll the wake-up pipe; nothing needs EINTR
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
    // A reader that went away (| head) makes a console write fail, which ends the run
    // through its clean-up, instead of killing the process with its files left behind.
    ::signal(SIGPIPE, SIG_IGN);
}

bool interrupted() { return gInterrupted.load() != 0; }

bool interrupted_by_signal() { return gInterrupted.load() == 1; }

void note_interrupt() {
    int expected = 0;
    gInterrupted.compare_exchange_strong(expected, 1);
    wake_waiters();
}

void halt(const std::string& message) {
    {
        std::lock_guard<std::mutex> lock(gHaltMutex);
        if (gHaltMessage.empty() && gInterrupted.load() != 1) gHaltMessage = message;
    }
    int expected = 0;
    gInterrupted.compare_exchange_strong(expected, 2);
    wake_waiters();
}

std::string halt_message() {
    std::lock_guard<std::mutex> lock(gHaltMutex);
    return gHaltMessage;
}

bool pause_unless_interrupted(std::chrono::milliseconds duration) {
    const Clock::time_point until = Clock::now() + duration;
    while (!interrupted()) {
        const int left = millis_until(until);
        if (left == 0) return true;
        pollfd fd{gWake[0], POLLIN, 0};
        ::poll(&fd, gWake[0] >= 0 ? 1 : 0, left);
    }
    return false;
}

std::string working_folder_problem() {
    const std::string probe = "ferrox" + std::to_string(::getpid()) + ".probe";
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return std::strerror(errno);
    const std::string block(64 * 1024, 'p');
    std::string why;
    std::size_t written = 0;
    while (written < block.size()) {
        const ssize_t n = ::write(fd, block.data() + written, block.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            why = std::strerror(n < 0 ? errno : ENOSPC);
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    if (why.empty() && ::fsync(fd) != 0 && errno != EINVAL) why = std::strerror(errno);
    if (::close(fd) != 0 && why.empty()) why = std::strerror(errno);
    ::unlink(probe.c_str());
    return why;
}

CommandResult run_command(const std::string& commandLine, const Environment& env, CallTimeout timeout) {
    CommandResult result;
    if (interrupted()) return result;
    // The interpreter would see the line cut at the byte, and run what is left.
    if (commandLine.find('\0') != std::string::npos) {
        result.errorOutput = "sh: ferrox: a command line holds a NUL byte, which no interpreter can carry; not run\n";
        return result;
    }
    char arg0[] = "sh";
    char arg1[] = "-c";
    std::string line = commandLine;
    char* argv[] = {arg0, arg1, line.data(), nullptr};
    Child child;
    std::string why;
    if (!child.start(argv, env, -1, why)) {
        // Such as a line longer than one argument may be (E2BIG): the run says why.
        result.errorOutput = "sh: ferrox: cannot start the command interpreter: " + why + "\n";
        return result;
    }
    const std::optional<Clock::time_point> deadline = deadline_of(timeout);
    while (!child.ended()) {
        if (interrupted()) child.stop();
        if (deadline && Clock::now() >= *deadline && !child.stopping()) {
            result.timedOut = true;
            child.stop();
        }
        if (child.stopping()) child.stop();  // the kill, once the grace period is over
        child.wait(deadline);
    }
    result.errorOutput = std::move(child.error_text());
    if (!interrupted() && !result.timedOut) result.status = status_of(child.raw());
    return result;
}

// ---------------------------------------------------------------------------------

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
        const int status = std::atoi(text.c_str() + at + marker.size());
        result.status = status > 128 ? -1 : status;  // as status_of reads a signal
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
