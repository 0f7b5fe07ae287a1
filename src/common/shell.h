// Runs server command lines; tests substitute a recorder that writes canned answers.
#pragma once

#include <memory>
#include <string>
#include <vector>

class Shell {
public:
    virtual ~Shell() = default;
    /// Runs one command line (redirection included) through the command interpreter;
    /// returns its exit status, 0 meaning success.
    virtual int run(const std::string& commandLine) = 0;
    /// Sets an environment variable for every command run after this call.
    virtual void set_env(const std::string& name, const std::string& value);
    /// A shell for a long series of command lines (one per exported record) that runs
    /// each line exactly as run() would, only cheaper; nothing means: use this one.
    virtual std::unique_ptr<Shell> start_series() { return nullptr; }
    /// Runs the lines one after another, each as run() would, and returns their
    /// statuses in order.
    virtual std::vector<int> run_each(const std::vector<std::string>& commandLines) {
        std::vector<int> statuses;
        for (const std::string& line : commandLines) statuses.push_back(run(line));
        return statuses;
    }
};

/// Up to `jobs` series of one shell side by side: run_each hands every line to the next
/// free series and returns the statuses in line order. A shell without series (a test
/// double) runs the lines one after another itself; so does a single job.
class ParallelSeries : public Shell {
public:
    ParallelSeries(Shell& base, int jobs);
    int run(const std::string& commandLine) override;
    /// Every series learns the variable, as their interpreters were started before it.
    void set_env(const std::string& name, const std::string& value) override;
    std::vector<int> run_each(const std::vector<std::string>& commandLines) override;
    /// How many lines run at once.
    std::size_t width() const { return series_.size(); }

private:
    Shell& base_;
    std::vector<std::unique_ptr<Shell>> series_;
};

/// The real thing: the platform's command interpreter.
class SystemShell : public Shell {
public:
    int run(const std::string& commandLine) override;
    /// One interpreter kept running for the series (platform::CommandSession).
    std::unique_ptr<Shell> start_series() override;
};
