// The timing of client calls and the plan an export prints.
#include "plan.h"

#include <chrono>

CallResult TimedShell::run(const std::string& commandLine) {
    const auto start = std::chrono::steady_clock::now();
    CallResult result = base_.run(commandLine);
    times_.seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    return result;
}

void print_plan(Console& console, const RunSettings& settings, const PlanFigures& figures, const CallTimes& times) {
    console.print("\n\nPlan of the export (the connection test and the selection ran; nothing was exported):\n\n");
    auto figure = [&](const char* name, const std::optional<std::size_t>& value) {
        if (value) console.print("    %-20s%zu\n", name, *value);
    };
    figure("Releases:", figures.releases);
    figure("Parts:", figures.parts);
    figure("Part rows:", figures.partRows);
    figure("Records:", figures.records);
    console.print("    %-20s%zu (%s)\n", "Client calls:", figures.calls, figures.callsAre.c_str());
    if (figures.lookupsLeftOut)
        console.print("    %-20s%s\n", "",
                      "and the SID and release lookups of branch points, which depend on the histories: not counted");
    // The first call of a run is its connection test; the selection's calls follow it.
    double total = 0;
    for (std::size_t i = times.seconds.size() > 1 ? 1 : 0; i < times.seconds.size(); ++i) total += times.seconds[i];
    const std::size_t timed = times.seconds.size() > 1 ? times.seconds.size() - 1 : times.seconds.size();
    const double mean = timed ? total / static_cast<double>(timed) : 0;
    const long long seconds =
        static_cast<long long>(static_cast<double>(figures.calls) * mean / static_cast<double>(settings.jobs) + 0.5);
    console.print("    %-20sabout %lld:%02lld:%02lld (%zu calls x %.1f ms, the mean time of %s, / %d %s)\n\n",
                  "Time it would take:", seconds / 3600, seconds / 60 % 60, seconds % 60, figures.calls, mean * 1000,
                  times.seconds.size() > 1 ? "the selection's calls" : "the connection test", settings.jobs,
                  settings.jobs == 1 ? "job" : "jobs");
}
