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

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <csignal>
#include <memory>
#include <optional>
#include <cstdlib>
#include <vector>

extern char** environ;

namespace platform {

namespace {

// Read by every thread and written by the handler: lock-free, so safe in a handler.
std::atomic<int> gInterrupted{0};

// The clients and interpreters running now (a negative entry is a process group), so that
// an interrupt stops every one of them, whichever thread waits for it.
constexpr std::size_t kRunningSlots = 256;
std::atomic<pid_t> gRunning[kRunningSlots];
static_assert(std::atomic<pid_t>::is_always_lock_free, "the interrupt handler reads these");

extern "C" void on_interrupt(int) {
    gInterrupted.store(1);
    for (std::atomic<pid_t>& slot : gRunning) {
        const pid_t target = slot.load(std::memory_order_relaxed);
        if (target != 0) ::kill(target, SIGTERM);
    }
}

/// Records a running child (or, negative, its process group) for the interrupt handler.
class RunningChild {
public:
    explicit RunningChild(pid_t target) {
        for (std::atomic<pid_t>& candidate : gRunning) {
            pid_t empty = 0;
            if (candidate.compare_exchange_strong(empty, target)) {
                slot_ = &candidate;
                break;
            }
        }
        // Interrupted just before the child was recorded: the handler missed it.
        if (gInterrupted.load()) ::kill(target, SIGTERM);
    }
    ~RunningChild() {
        if (slot_) slot_->store(0);
    }
    RunningChild(const RunningChild&) = delete;
    RunningChild& operator=(const RunningChild&) = delete;

private:
    std::atomic<pid_t>* slot_ = nullptr;
};

/// Waits for `pid`, the leader of a process group of its own; when the run is interrupted
/// meanwhile, the whole group is asked to stop first. The wait status, or nothing when
/// the child could not be waited for.
std::optional<int> wait_for(pid_t pid) {
    bool stopped = false;
    while (true) {
        int raw = 0;
        if (::waitpid(pid, &raw, 0) == pid) return raw;
        if (errno != EINTR) return std::nullopt;
        if (gInterrupted.load() && !stopped) {
            ::kill(-pid, SIGTERM);
            stopped = true;
        }
    }
}

/// Starts /bin/sh with `argv` in a process group of its own (the interpreter may not
/// hand the line to the client with exec, so stopping the interpreter alone would leave
/// the client running) with the given standard input; -1 when it cannot be started.
pid_t spawn_interpreter(char* const argv[], posix_spawn_file_actions_t* actions) {
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    ::posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, "/bin/sh", actions, &attributes, argv, environ);
    ::posix_spawnattr_destroy(&attributes);
    // Such as a line longer than one argument may be (E2BIG): the run says why it failed.
    if (spawned != 0) std::fprintf(stderr, "sh: ferrox: cannot start the command interpreter: %s\n", std::strerror(spawned));
    return spawned == 0 ? pid : -1;
}

}  // namespace

void install_interrupt_handlers() {
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a wait for a client returns, so the client can be stopped at once.
    action.sa_flags = 0;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

bool interrupted() { return gInterrupted.load() != 0; }

void note_interrupt() { gInterrupted.store(1); }

int run_command(const std::string& commandLine) {
    if (interrupted()) return -1;
    // The interpreter would see the line cut at the byte, and run what is left.
    if (commandLine.find('\0') != std::string::npos) {
        std::fprintf(stderr, "sh: ferrox: a command line holds a NUL byte, which no interpreter can carry; not run\n");
        return -1;
    }
    // The line goes to the interpreter as system() would hand it over, but the wait
    // belongs to this process, so an interrupt stops the client instead of waiting for it.
    // Outside the terminal's foreground group a client must not wait for keyboard input:
    // it reads the null device, as the lines of a series do.
    char arg0[] = "sh";
    char arg1[] = "-c";
    std::string line = commandLine;
    char* argv[] = {arg0, arg1, line.data(), nullptr};
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    const pid_t pid = spawn_interpreter(argv, &actions);
    ::posix_spawn_file_actions_destroy(&actions);
    if (pid < 0) return -1;
    std::optional<int> raw;
    {
        RunningChild running(-pid);
        raw = wait_for(pid);
    }
    if (!raw) return -1;
    // The user's Ctrl-C reaches the client too; it may end before this process sees it.
    if (WIFSIGNALED(*raw) && WTERMSIG(*raw) == SIGINT) note_interrupt();
    if (interrupted() || !WIFEXITED(*raw)) return -1;
    return WEXITSTATUS(*raw);
}

struct CommandSession::Impl {
    pid_t pid = -1;
    std::unique_ptr<RunningChild> running;  // the interpreter's process group
    int commandFd = -1;  // the interpreter's standard input
    int statusFd = -1;   // the interpreter writes each line's exit status to its fd 3
    bool started = false;
    bool broken = false;

    void start() {
        started = true;
        if (broken) return;
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
        pid = spawn_interpreter(argv, &actions);
        ::posix_spawn_file_actions_destroy(&actions);
        ::close(commandPair[1]);
        ::close(statusPipe[1]);
        commandFd = commandPair[0];
        statusFd = statusPipe[0];
        if (pid < 0) {
            broken = true;
            return;
        }
        running = std::make_unique<RunningChild>(-pid);
    }

    bool send_line(const std::string& text) {
        std::size_t sent = 0;
        while (sent < text.size()) {
            // MSG_NOSIGNAL: an interpreter that died must not take this process with it.
            const ssize_t n = ::send(commandFd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR && !interrupted()) continue;
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
            if (n < 0 && errno == EINTR && !interrupted()) continue;
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
            if (interrupted()) ::kill(-pid, SIGTERM);
            const std::optional<int> raw = wait_for(pid);
            if (raw && WIFEXITED(*raw)) status = WEXITSTATUS(*raw);
        }
        running.reset();
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
    // The interpreter would drop the byte and run another command than the one asked for.
    if (commandLine.find('\0') != std::string::npos)
        return "echo \"$0: ferrox: a command line holds a NUL byte, which no interpreter can carry; not run\" >&2; "
               "echo -1 >&3\n";
    return "command eval " + quote_argument(commandLine) + " </dev/null 3>&-; echo $? >&3\n";
}

}  // namespace

int CommandSession::run(const std::string& commandLine) { return run_all({commandLine}).front(); }

std::vector<int> CommandSession::run_all(const std::vector<std::string>& commandLines) {
    // Lines sent ahead of the status being read. Each status waits in a pipe until it is
    // read, so sending every line first would fill the pipe on a long series and leave
    // both sides waiting for each other.
    constexpr std::size_t kAhead = 256;
    std::vector<int> statuses;
    statuses.reserve(commandLines.size());
    std::size_t next = 0;  // the first line without a status
    while (next < commandLines.size()) {
        if (interrupted()) {
            impl_->stop();
            statuses.resize(commandLines.size(), -1);
            break;
        }
        if (!impl_->started) impl_->start();
        if (impl_->broken) {
            for (; next < commandLines.size(); ++next) statuses.push_back(run_command(commandLines[next]));
            break;
        }
        std::size_t sent = next;
        bool accepting = true;  // the interpreter still takes lines
        while (next < commandLines.size()) {
            if (accepting && sent < commandLines.size() && sent - next < kAhead) {
                if (impl_->send_line(session_script(commandLines[sent]))) {
                    ++sent;
                    continue;
                }
                accepting = false;
                if (sent == next) {
                    // Nothing can be told about what ran: the interpreter is given up on
                    // and the lines go to run_command.
                    impl_->broken = true;
                    break;
                }
            }
            if (next == sent) break;  // the interpreter is gone: a fresh one takes the rest
            int status = -1;
            if (!impl_->read_status(status)) {
                // The line exited the interpreter (or the run was interrupted): its status
                // is the interpreter's, and the lines after it go to a fresh one.
                statuses.push_back(interrupted() ? -1 : impl_->stop());
                ++next;
                break;
            }
            // Like run_command: a command ended by a signal (above 128) reports -1.
            statuses.push_back(status > 128 ? -1 : status);
            ++next;
        }
        if (!accepting || next < sent) impl_->stop();
    }
    return statuses;
}

void CommandSession::set_env(const std::string& name, const std::string& value) {
    platform::set_env(name, value);
    if (impl_->started && !impl_->broken) run("export " + name + "=" + quote_posix(value));
}

const char* null_device() { return "/dev/null"; }

bool set_env(const std::string& name, const std::string& value) {
    return ::setenv(name.c_str(), value.c_str(), 1) == 0;
}

std::string quote_argument(std::string_view value) { return quote_posix(value); }

long current_process_id() { return static_cast<long>(::getpid()); }

bool process_alive(long pid) {
    if (pid <= 0) return false;
    // EPERM: the process exists but belongs to someone else.
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

bool replace_file(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool create_exclusive(const std::string& path, const std::string& content) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool written = ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    if (::close(fd) != 0 || !written) {
        ::unlink(path.c_str());
        return false;
    }
    return true;
}

bool is_plain_file_name(std::string_view name) {
    // Longer names do not fit one folder entry of the usual file systems.
    if (name.empty() || name == "." || name == ".." || name.size() > 255) return false;
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
