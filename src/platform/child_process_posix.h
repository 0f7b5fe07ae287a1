// The POSIX supervisor's child process: shared by single commands and by the interpreter
// kept for a series of lines. Internal to the platform layer.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "supervisor.h"

namespace platform::posix_detail {

// How long a stopped client gets to end after SIGTERM before SIGKILL.
constexpr std::chrono::milliseconds kStopGrace{2000};
// How often a wait looks at a client that may have ended without closing its standard
// error (a background process of its own still holding it).
constexpr int kWaitTickMs = 100;

/// The reading end of the pipe the interrupt handler writes to: readable once the run
/// is interrupted or halted.
int wake_fd();

using Clock = std::chrono::steady_clock;

inline int millis_until(Clock::time_point when) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(when - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}

/// The result status of an interpreter's exit status: -1 above 128 (the way an
/// interpreter reports a signal), so that a line of a series and a single command report
/// alike.
inline int result_status(int exitStatus) { return exitStatus > 128 ? -1 : exitStatus; }

/// The result status of a raw wait status: -1 for a signal, else as result_status.
inline int status_of(int raw) { return WIFEXITED(raw) ? result_status(WEXITSTATUS(raw)) : -1; }

inline void set_nonblocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

/// Reads what `fd` has now into `into`; false once it is at its end (or broken).
inline bool drain(int fd, std::string& into) {
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
inline std::vector<char*> environment_block(const Environment& env) {
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
        if (!stopping_ && wake_fd() >= 0) fds[count++] = {wake_fd(), POLLIN, 0};
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

inline std::optional<Clock::time_point> deadline_of(CallTimeout timeout) {
    if (timeout <= CallTimeout::zero()) return std::nullopt;
    return Clock::now() + timeout;
}

}  // namespace platform::posix_detail
