// The time a plan gives: the calls at the mean time of the selection's calls (the first
// call, the connection test, apart), shared among -jobs; the connection test's own time
// when the selection made no call.
#include "plan.h"

#include <gtest/gtest.h>

TEST(Plan, TimesTheCallsAtTheSelectionsMeanAmongTheJobs) {
    const std::string head = "\n\nPlan of the export (the connection test and the selection ran; nothing was "
                             "exported):\n\n    Records:            7\n    Client calls:       360 (notes)\n"
                             "    Time it would take: about ";
    const std::tuple<std::vector<double>, int, std::string> cases[] = {
        {{0.5, 0.01, 0.03}, 4, "0:00:02 (360 calls x 20.0 ms, the mean time of the selection's calls, / 4 jobs)"},
        {{0.5, 0.01, 0.03}, 1, "0:00:07 (360 calls x 20.0 ms, the mean time of the selection's calls, / 1 job)"},
        {{12.5}, 2, "0:37:30 (360 calls x 12500.0 ms, the mean time of the connection test, / 2 jobs)"},
    };
    for (const auto& [seconds, jobs, time] : cases) {
        BufferConsole console;
        RunSettings settings;
        settings.jobs = jobs;
        PlanFigures figures;
        figures.records = 7;
        figures.calls = 360;
        figures.callsAre = "notes";
        print_plan(console, settings, figures, CallTimes{seconds});
        EXPECT_EQ(console.outText, head + time + "\n\n");
    }
}
