// The command interpreter as a Shell.
#include "shell.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "platform.h"

void Shell::set_env(const std::string& name, const std::string& value) { platform::set_env(name, value); }

int SystemShell::run(const std::string& commandLine) { return platform::run_command(commandLine); }

namespace {

class SeriesShell : public Shell {
public:
    int run(const std::string& commandLine) override { return session_.run(commandLine); }
    // The interpreter started before the variable was set must learn it as well.
    void set_env(const std::string& name, const std::string& value) override { session_.set_env(name, value); }
    std::vector<int> run_each(const std::vector<std::string>& commandLines) override {
        return session_.run_all(commandLines);
    }

private:
    platform::CommandSession session_;
};

}  // namespace

std::unique_ptr<Shell> SystemShell::start_series() { return std::make_unique<SeriesShell>(); }

ParallelSeries::ParallelSeries(Shell& base, int jobs) : base_(base) {
    for (int i = 0; i < std::max(jobs, 1); ++i) {
        std::unique_ptr<Shell> series = base.start_series();
        if (!series) break;
        series_.push_back(std::move(series));
    }
}

int ParallelSeries::run(const std::string& commandLine) {
    return series_.empty() ? base_.run(commandLine) : series_.front()->run(commandLine);
}

void ParallelSeries::set_env(const std::string& name, const std::string& value) {
    if (series_.empty()) return base_.set_env(name, value);
    for (const std::unique_ptr<Shell>& series : series_) series->set_env(name, value);
}

std::vector<int> ParallelSeries::run_each(const std::vector<std::string>& commandLines) {
    if (series_.empty()) return base_.run_each(commandLines);
    if (series_.size() == 1 || commandLines.size() < 2) return series_.front()->run_each(commandLines);
    // Each series takes the next line nobody has taken yet, so a slow line holds up
    // only its own series.
    std::vector<int> statuses(commandLines.size(), -1);
    std::atomic<std::size_t> next{0};
    auto work = [&](Shell& series) {
        for (std::size_t i = next++; i < commandLines.size(); i = next++) statuses[i] = series.run(commandLines[i]);
    };
    std::vector<std::thread> threads;
    const std::size_t width = std::min(series_.size(), commandLines.size());
    for (std::size_t t = 1; t < width; ++t) threads.emplace_back(work, std::ref(*series_[t]));
    work(*series_.front());
    for (std::thread& thread : threads) thread.join();
    return statuses;
}
