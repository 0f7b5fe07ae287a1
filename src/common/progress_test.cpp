// The -progress line: its figures at the rate so far, refreshed at most once a second,
// taken away for other output and put back after it, and cleared at the end.
#include "progress.h"

#include <gtest/gtest.h>

TEST(Progress, RefreshesAtMostOnceASecondKeepsBelowOtherOutputAndEndsCleared) {
    BufferConsole run;
    Progress::Clock::time_point now{};
    Progress progress(run, true, [&] { return now; });
    ProgressConsole console(run, progress);
    const std::string first = "  0 of 4 records, 0 failed, 0:00:00 elapsed, time left not known yet";
    const std::string second = "  2 of 4 records, 1 failed, 0:00:02 elapsed, about 0:00:02 left";
    auto cleared = [](const std::string& text) { return '\r' + std::string(text.size(), ' ').append(1, '\r'); };
    progress.begin(4, "records");
    now += std::chrono::milliseconds(500);
    progress.advance(false);  // within the second: not shown yet
    console.out("Record\n");
    now += std::chrono::milliseconds(1500);
    progress.advance(true);
    progress.advance(false, false);  // from a journal: not in the rate
    progress.end();
    console.out("Done\n");
    EXPECT_EQ(run.outText, "Record\nDone\n");
    EXPECT_EQ(run.errText, "\r" + first + cleared(first) + "\r" + first + cleared(first) + "\r" + second +
                               cleared(second));
}
