// A shell that tries a failed client call again ("-retries") and says what happened to
// it, with the call's answer.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shell.h"

/// The wait before retry `k` (from 1): 2^(k-1) seconds, at most 30.
std::chrono::seconds retry_wait(int k);

/// Runs every call through `base`; a call that fails (a status other than 0, a time
/// limit run past) is run again up to `retries` times, retry k after retry_wait(k) (an
/// interrupt ends the wait and the retries). The returned result is the last try's,
/// with the error output of every try and, in its notes, one line for each time limit
/// run past (`timeoutSeconds`, 0 for none) and each retry, naming the call: printed
/// where the answer is used, so the console does not depend on -jobs. Series and
/// shells with a variable retry the same way.
class RetryingShell : public Shell {
public:
    /// How a retry waits: platform::pause_unless_interrupted by default (false: stop).
    using Pause = std::function<bool(std::chrono::seconds)>;

    RetryingShell(Shell& base, int retries, int timeoutSeconds, Pause pause = {});
    RetryingShell(std::unique_ptr<Shell> owned, int retries, int timeoutSeconds, Pause pause);

    CallResult run(const std::string& commandLine) override;
    std::vector<CallResult> run_each(const std::vector<std::string>& commandLines) override;
    std::unique_ptr<Shell> start_series() override;
    std::unique_ptr<Shell> with_variable(const std::string& name, const std::string& value) override;

private:
    /// Retries `commandLine`, whose first try gave `result`, while it fails.
    CallResult retry(const std::string& commandLine, CallResult result);

    std::unique_ptr<Shell> owned_;
    Shell& base_;
    int retries_;
    int timeoutSeconds_;
    Pause pause_;
};
