// POSIX side of the process supervisor: clients in sessions of their own started with
// posix_spawn, their standard error captured, interrupts through a wake-up pipe.
#include "supervisor.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <optional>

#include "child_process_posix.h"
#include "platform.h"

extern char** environ;

namespace platform {

using namespace posix_detail;

namespace {

// Written by the signal handler and read by every thread: lock-free.
std::atomic<int> gInterrupted{0};  // 1 signal, 2 halt
// The handler writes a byte here; every wait polls the reading end, which stays readable
// once written, so every thread that waits for a client wakes up and stops its client.
int gWake[2] = {-1, -1};

std::mutex gHaltMutex;
std::string gHaltMessage;

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

}  // namespace

int posix_detail::wake_fd() { return gWake[0]; }

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

}  // namespace platform
