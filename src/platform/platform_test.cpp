// The platform layer: quoting for cmd.exe, and the interpreter kept for a series of lines
// runs each line as a fresh one would.
#include "platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "scratch_folder.h"

namespace {

using test_folder::read_text;

// A value quoted for sh reaches the command whole: pinned by the end-to-end runs of
// hostile server values.
TEST(QuoteCmd, QuotesForCmdExe) {
    // For cmd.exe: between quotes unless the value holds a quote (then every quote and
    // special character carries a caret instead); each "%" between two quoted pieces; the
    // client's argument parser reads \" as a quote. Checked against cmd.exe under wine.
    EXPECT_EQ(platform::quote_cmd("a b 50% c"), "\"a b 50\"%\" c\"");
    EXPECT_EQ(platform::quote_cmd("a \"b\" 50% c"), "^\"a \\^\"b\\^\" 50^\"^%^\" c^\"");
}

TEST(CommandSession, EachSeriesLineRunsAsThroughAnInterpreterOfItsOwn) {
    test_folder::InScratchDir dir;
    platform::CommandSession series;
    struct Case {
        std::string line;
        int status;
    };
    const Case cases[] = {
        {"true", 0},
        {"exit 3", 3},
        {"printf '%s\\n' \"it's\" > 'out 1.txt'", 0},
        {"cd / && X=1; exit 0", 0},  // the next line gets a fresh interpreter
        {"test -z \"$X\" && test -f 'out 1.txt'", 0},
        {"echo 'unclosed", 2},  // a syntax error ends only its line
        {"no-such-command-here 2> /dev/null", 127},
        {"kill -TERM $$", -1},  // ended by a signal
        {std::string("touch 'a\0b'", 11), -1},  // refused whole, never run without the byte
    };
    for (const Case& c : cases) {
        EXPECT_EQ(series.run(c.line), c.status) << c.line;
        EXPECT_EQ(platform::run_command(c.line), c.status) << c.line << " (fresh interpreter)";
    }
    // A line that reads its standard input finds nothing: it cannot swallow the lines
    // after it. Handed over at once, each line keeps its own status.
    EXPECT_EQ(series.run_all({"read line", "exit 4", "echo a > a.txt", "echo 'bad", "sh -c 'exit 9'", "echo b > b.txt"}),
              (std::vector<int>{1, 4, 0, 2, 9, 0}));
    EXPECT_EQ(read_text("out 1.txt"), "it's\n");
    EXPECT_EQ(read_text("a.txt") + read_text("b.txt"), "a\nb\n");
    EXPECT_FALSE(std::filesystem::exists("ab") || std::filesystem::exists("a"));
    EXPECT_EQ(series.run_all({}), std::vector<int>{});
}

}  // namespace
