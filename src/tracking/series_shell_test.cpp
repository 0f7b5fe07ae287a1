// The interpreter kept running for the per-record note commands must run every line
// as a fresh one would: same statuses, same quoting, no input taken from the series.
#include <gtest/gtest.h>

#include "platform.h"
#include "shell.h"
#include "tracking_test_support.h"

using tracking_test::ExportTest;
using tracking_test::read_text;

class SeriesShell : public ExportTest {};

TEST_F(SeriesShell, EachLineRunsAsThroughTheInterpreterOfItsOwn) {
    SystemShell system;
    const std::unique_ptr<Shell> series = system.start_series();
    ASSERT_TRUE(series);
    struct Case {
        std::string line;
        int status;
    };
    const Case cases[] = {
        {"true", 0},
        {"exit 3", 3},
        {"false", 1},
        {"printf '%s\\n' \"it's\" > 'out 1.txt'", 0},
        {"cd / && X=1; exit 0", 0},  // the next line gets a fresh interpreter
        {"test -z \"$X\" && test -f 'out 1.txt'", 0},
        {"echo 'unclosed", 2},  // a syntax error ends only its line
        {"exit 7", 7},
        {"no-such-command-here 2> /dev/null", 127},
        {"echo after > after.txt", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(series->run(c.line), c.status) << c.line;
        EXPECT_EQ(system.run(c.line), c.status) << c.line << " (fresh interpreter)";
    }
    // A line that reads its standard input finds nothing: it cannot swallow the lines
    // that follow it in the series.
    EXPECT_EQ(series->run("read line"), 1);
    EXPECT_EQ(series->run("echo still > still.txt"), 0);
    EXPECT_EQ(read_text("still.txt"), "still\n");
    EXPECT_EQ(read_text("out 1.txt"), "it's\n");
    EXPECT_EQ(read_text("after.txt"), "after\n");
}

TEST_F(SeriesShell, ASeriesHandedOverAtOnceKeepsEachLinesStatus) {
    SystemShell system;
    const std::unique_ptr<Shell> series = system.start_series();
    ASSERT_TRUE(series);
    // A line that exits the interpreter stops nothing after it: the rest run in a new one.
    const std::vector<std::string> lines = {"true",      "exit 4",         "echo a > a.txt",
                                            "echo 'bad", "sh -c 'exit 9'", "echo b > b.txt"};
    EXPECT_EQ(series->run_each(lines), (std::vector<int>{0, 4, 0, 2, 9, 0}));
    EXPECT_EQ(read_text("a.txt"), "a\n");
    EXPECT_EQ(read_text("b.txt"), "b\n");
    EXPECT_EQ(series->run_each({}), std::vector<int>{});
}
