// The command interpreter as a Shell, and series of it side by side.
#include "shell.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>

#include "platform.h"

int run_client(Shell& shell, Console& console, const std::string& commandLine) {
    const CallResult result = shell.run(commandLine);
    report_client_errors(console, result);
    return result.status;
}

void report_client_errors(Console& console, const CallResult& result) {
    if (!result.notes.empty()) console.out(result.notes);
    if (!result.errorOutput.empty()) console.err(result.errorOutput);
}

void check_working_folder(const std::vector<CallResult>& results) {
    const bool anyFailed =
        std::any_of(results.begin(), results.end(), [](const CallResult& r) { return r.status != 0; });
    if (!anyFailed || platform::interrupted()) return;
    const std::string why = platform::working_folder_problem();
    if (why.empty()) return;
    std::string folder;
    try {
        std::error_code error;
        folder = std::filesystem::current_path(error).string();
    } catch (const std::exception&) {
        // Not assigned from a literal: g++ 12 takes that for an overlapping copy here
        // and warns (-Wrestrict).
        folder.assign(1, '.');
    }
    platform::halt("\n\nERROR:  The working folder " + folder + " cannot take the server's answers: " + why +
                   "\nThe run stopped; no export file was written.\n\n");
}

CallResult SystemShell::run(const std::string& commandLine) {
    CallResult result = platform::run_command(commandLine, env_, timeout_);
    check_working_folder({result});
    return result;
}

namespace {

class SeriesShell : public Shell {
public:
    SeriesShell(const platform::Environment& env, platform::CallTimeout timeout)
        : session_(env, timeout), env_(env), timeout_(timeout) {}
    CallResult run(const std::string& commandLine) override { return run_each({commandLine}).front(); }
    std::vector<CallResult> run_each(const std::vector<std::string>& commandLines) override {
        std::vector<CallResult> results = session_.run_all(commandLines);
        check_working_folder(results);
        return results;
    }
    std::unique_ptr<Shell> with_variable(const std::string& name, const std::string& value) override {
        return std::make_unique<SystemShell>(env_.with(name, value), timeout_);
    }

private:
    platform::CommandSession session_;
    platform::Environment env_;
    platform::CallTimeout timeout_;
};

}  // namespace

std::unique_ptr<Shell> SystemShell::start_series() { return std::make_unique<SeriesShell>(env_, timeout_); }

ParallelSeries::ParallelSeries(Shell& base, int jobs) : base_(base) {
    for (int i = 0; i < std::max(jobs, 1); ++i) {
        std::unique_ptr<Shell> series = base.start_series();
        if (!series) break;
        series_.push_back(std::move(series));
    }
}

CallResult ParallelSeries::run(const std::string& commandLine) {
    return series_.empty() ? base_.run(commandLine) : series_.front()->run(commandLine);
}

std::vector<CallResult> ParallelSeries::run_each(const std::vector<std::string>& commandLines) {
    if (series_.empty()) return base_.run_each(commandLines);
    if (series_.size() == 1 || commandLines.size() < 2) return series_.front()->run_each(commandLines);
    // Each series takes the next line nobody has taken yet, so a slow line holds up
    // only its own series.
    std::vector<CallResult> results(commandLines.size());
    std::atomic<std::size_t> next{0};
    auto work = [&](Shell& series) {
        for (std::size_t i = next++; i < commandLines.size(); i = next++) results[i] = series.run(commandLines[i]);
    };
    std::vector<std::thread> threads;
    const std::size_t width = std::min(series_.size(), commandLines.size());
    for (std::size_t t = 1; t < width; ++t) threads.emplace_back(work, std::ref(*series_[t]));
    work(*series_.front());
    for (std::thread& thread : threads) thread.join();
    return results;
}
