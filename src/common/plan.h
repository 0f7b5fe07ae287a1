// -plan: what an export would take, from its selection alone.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "console.h"
#include "run_settings.h"
#include "shell.h"

/// How long each client call of the run took, in seconds, in the order they ran.
struct CallTimes {
    std::vector<double> seconds;
};

/// Runs every call through `base` and notes how long it took in `times`.
class TimedShell : public Shell {
public:
    TimedShell(Shell& base, CallTimes& times) : base_(base), times_(times) {}
    CallResult run(const std::string& commandLine) override;
    std::unique_ptr<Shell> with_variable(const std::string& name, const std::string& value) override {
        return base_.with_variable(name, value);
    }

private:
    Shell& base_;
    CallTimes& times_;
};

/// What a plan reports; a figure left empty does not apply to the export.
struct PlanFigures {
    std::optional<std::size_t> releases, parts, partRows, records;
    std::size_t calls = 0;   // client calls the export would make
    std::string callsAre;    // what they are
    bool lookupsLeftOut = false;  // the SID and release lookups of a parts export
};

/// Prints the plan: the figures, and the time the calls would take at the mean time of
/// the selection's calls (those after the first, the connection test; the connection
/// test's own when the selection made none), shared among -jobs.
void print_plan(Console& console, const RunSettings& settings, const PlanFigures& figures, const CallTimes& times);
