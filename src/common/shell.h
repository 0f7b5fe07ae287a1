// Runs server command lines; tests substitute a recorder that writes canned answers.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "console.h"
#include "supervisor.h"

/// A client call's status (0 success) and what it wrote on its standard error stream.
using CallResult = platform::CommandResult;

class Shell {
public:
    virtual ~Shell() = default;
    /// Runs one command line (redirection included) through the command interpreter.
    virtual CallResult run(const std::string& commandLine) = 0;
    /// A shell for a long series of command lines (one per exported record) that runs
    /// each line exactly as run() would, only cheaper; nothing means: use this one.
    virtual std::unique_ptr<Shell> start_series() { return nullptr; }
    /// Runs the lines one after another, each as run() would, and returns their
    /// results in order.
    virtual std::vector<CallResult> run_each(const std::vector<std::string>& commandLines) {
        std::vector<CallResult> results;
        for (const std::string& line : commandLines) results.push_back(run(line));
        return results;
    }
    /// A shell like this one whose commands also see `name` set to `value`. A shell's
    /// environment is fixed when it is made: one phase of the run gets a shell of its
    /// own rather than a variable changed while clients run.
    virtual std::unique_ptr<Shell> with_variable(const std::string& name, const std::string& value) = 0;
    /// A shell like this one whose calls are stopped once they run longer than `limit`
    /// (reported with timedOut); nothing means: this one cannot limit its calls.
    virtual std::unique_ptr<Shell> with_time_limit(platform::CallTimeout) { return nullptr; }
};

/// Runs one call and prints what it wrote on standard error (standard output first, so
/// the two keep their order), after the run's own notes on it; its status.
int run_client(Shell& shell, Console& console, const std::string& commandLine);
/// Prints a call's standard error, as run_client does, where its answer is used.
void report_client_errors(Console& console, const CallResult& result);

/// Up to `jobs` series of one shell side by side: run_each hands every line to the next
/// free series and returns the results in line order. A shell without series (a test
/// double) runs the lines one after another itself; so does a single job.
class ParallelSeries : public Shell {
public:
    ParallelSeries(Shell& base, int jobs);
    CallResult run(const std::string& commandLine) override;
    std::vector<CallResult> run_each(const std::vector<std::string>& commandLines) override;
    std::unique_ptr<Shell> with_variable(const std::string& name, const std::string& value) override {
        return base_.with_variable(name, value);
    }
    /// How many lines run at once.
    std::size_t width() const { return series_.size(); }

private:
    Shell& base_;
    std::vector<std::unique_ptr<Shell>> series_;
};

/// The real thing: the platform's command interpreter, run by the process supervisor
/// with the environment and time limit the shell was made with. After a failed call it
/// checks that the working folder still takes the clients' answers; when it does not,
/// the run halts with a message naming the folder and the system's reason, since every
/// later answer would be lost as well and the server would be blamed for it.
class SystemShell : public Shell {
public:
    explicit SystemShell(platform::Environment env, platform::CallTimeout timeout = platform::CallTimeout::zero())
        : env_(std::move(env)), timeout_(timeout) {}
    CallResult run(const std::string& commandLine) override;
    /// One interpreter kept running for the series (platform::CommandSession).
    std::unique_ptr<Shell> start_series() override;
    std::unique_ptr<Shell> with_variable(const std::string& name, const std::string& value) override {
        return std::make_unique<SystemShell>(env_.with(name, value), timeout_);
    }
    std::unique_ptr<Shell> with_time_limit(platform::CallTimeout limit) override {
        return std::make_unique<SystemShell>(env_, limit);
    }

private:
    platform::Environment env_;
    platform::CallTimeout timeout_;
};

/// Halts the run when a failed call in `results` may have failed because the working
/// folder cannot take an answer (see SystemShell).
void check_working_folder(const std::vector<CallResult>& results);
