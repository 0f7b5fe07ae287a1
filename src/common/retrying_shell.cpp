// Retries of failed client calls, and the notes that name them.
#include "retrying_shell.h"

#include <algorithm>

#include "console.h"
#include "supervisor.h"

std::chrono::seconds retry_wait(int k) {
    return std::chrono::seconds(k >= 6 ? 30 : std::min(1 << (k - 1), 30));
}

RetryingShell::RetryingShell(Shell& base, int retries, int timeoutSeconds, Pause pause)
    : base_(base), retries_(retries), timeoutSeconds_(timeoutSeconds), pause_(std::move(pause)) {
    if (!pause_)
        pause_ = [](std::chrono::seconds wait) {
            return platform::pause_unless_interrupted(std::chrono::duration_cast<std::chrono::milliseconds>(wait));
        };
}

RetryingShell::RetryingShell(std::unique_ptr<Shell> owned, int retries, int timeoutSeconds, Pause pause)
    : RetryingShell(*owned, retries, timeoutSeconds, std::move(pause)) {
    owned_ = std::move(owned);
}

CallResult RetryingShell::retry(const std::string& commandLine, CallResult result) {
    std::string notes, errors;
    for (int k = 1;; ++k) {
        if (result.timedOut)
            notes += strprintf("\nWARNING: A client call ran past the time limit of %d s and was stopped: %s\n",
                               timeoutSeconds_, commandLine.c_str());
        errors += result.errorOutput;
        // A call the run stopped because it is ending is not tried again.
        if (result.status == 0 || k > retries_ || platform::interrupted()) break;
        const std::chrono::seconds wait = retry_wait(k);
        if (!pause_(wait)) break;
        notes += strprintf("\nRetry %d of %d, after %lld s, of a client call that failed: %s\n", k, retries_,
                           static_cast<long long>(wait.count()), commandLine.c_str());
        result = base_.run(commandLine);
    }
    result.notes = notes + result.notes;
    result.errorOutput = std::move(errors);
    return result;
}

CallResult RetryingShell::run(const std::string& commandLine) { return retry(commandLine, base_.run(commandLine)); }

std::vector<CallResult> RetryingShell::run_each(const std::vector<std::string>& commandLines) {
    std::vector<CallResult> results = base_.run_each(commandLines);
    // Each line writes its own answer, so a failed one can run again after the others.
    for (std::size_t i = 0; i < results.size() && i < commandLines.size(); ++i)
        results[i] = retry(commandLines[i], std::move(results[i]));
    return results;
}

std::unique_ptr<Shell> RetryingShell::start_series() {
    std::unique_ptr<Shell> series = base_.start_series();
    if (!series) return nullptr;
    return std::make_unique<RetryingShell>(std::move(series), retries_, timeoutSeconds_, pause_);
}

std::unique_ptr<Shell> RetryingShell::with_variable(const std::string& name, const std::string& value) {
    std::unique_ptr<Shell> shell = base_.with_variable(name, value);
    if (!shell) return nullptr;
    return std::make_unique<RetryingShell>(std::move(shell), retries_, timeoutSeconds_, pause_);
}
