// The platform layer: quoting for cmd.exe, and the interpreter kept for a series of lines
// runs each line as a fresh one would.
#include "platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
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
    // Backslashes before a piece's closing quote are doubled, so they stay backslashes.
    EXPECT_EQ(platform::quote_cmd("a\\%b c\\"), "\"a\\\\\"%\"b c\\\\\"");
}

// A run that ends removes the lock file while it still holds it. Another that opened the
// old file just before must not lock it once it is gone while a third holds the new one:
// two contenders coming and going never hold the lock at once.
TEST(FileLock, NeverHeldTwiceWhileHoldersComeAndGo) {
    test_folder::ScratchFolder dir;
    const std::string path = (dir.path() / "ferrox.lock").string();
    std::atomic<int> holders{0};
    std::atomic<int> overlaps{0};
    auto contend = [&] {
        for (int i = 0; i < 20000; ++i) {
            platform::FileLock lock;
            std::string content, why;
            if (lock.acquire(path, content, why) != platform::FileLock::Outcome::Held) continue;
            if (holders.fetch_add(1) != 0) ++overlaps;
            std::this_thread::yield();
            holders.fetch_sub(1);
        }
    };
    std::thread first(contend), second(contend);
    first.join();
    second.join();
    EXPECT_EQ(overlaps.load(), 0);
}

std::vector<int> statuses_of(const std::vector<platform::CommandResult>& results) {
    std::vector<int> statuses;
    for (const platform::CommandResult& result : results) statuses.push_back(result.status);
    return statuses;
}

TEST(CommandSession, EachSeriesLineRunsAsThroughAnInterpreterOfItsOwn) {
    test_folder::InScratchDir dir;
    const platform::Environment env = platform::Environment::inherited().with("FERROX_TEST_VALUE", "it's set");
    platform::CommandSession series(env);
    struct Case {
        std::string line;
        int status;
        std::string errorOutput;
    };
    const Case cases[] = {
        {"true", 0, ""},
        {"exit 3", 3, ""},
        {"printf '%s\\n' \"it's\" > 'out 1.txt'", 0, ""},
        {"cd / && X=1; exit 0", 0, ""},  // the next line gets a fresh interpreter
        {"test -z \"$X\" && test -f 'out 1.txt'", 0, ""},
        {"echo \"$FERROX_TEST_VALUE\" >&2; exit 130", -1, "it's set\n"},  // above 128: a signal
        {"printf 'no line end' >&2", 0, "no line end"},
        {"no-such-command-here 2> /dev/null", 127, ""},
        {"kill -TERM $$", -1, ""},  // ended by a signal
        {"exec 2>&-; echo gone >&2", 2, ""},  // the result comes even without an error stream
        {std::string("touch 'a\0b'", 11), -1, "sh: ferrox: a command line holds a NUL byte, which no interpreter can carry; not run\n"},  // refused whole
    };
    for (const Case& c : cases) {
        const platform::CommandResult inSeries = series.run(c.line);
        const platform::CommandResult alone = platform::run_command(c.line, env);
        EXPECT_EQ(inSeries.status, c.status) << c.line;
        EXPECT_EQ(alone.status, c.status) << c.line << " (fresh interpreter)";
        EXPECT_EQ(inSeries.errorOutput, c.errorOutput) << c.line;
        EXPECT_EQ(alone.errorOutput, c.errorOutput) << c.line << " (fresh interpreter)";
    }
    // A line that reads its standard input finds nothing: it cannot swallow the lines
    // after it. Handed over at once, each line keeps its own status and error output.
    platform::CommandSession fresh(env);
    const std::vector<platform::CommandResult> results =
        fresh.run_all({"read line", "exit 4", "echo a > a.txt", "echo 'bad", "sh -c 'exit 9'", "echo b > b.txt; echo b >&2"});
    EXPECT_EQ(statuses_of(results), (std::vector<int>{1, 4, 0, 2, 9, 0}));
    EXPECT_EQ(results[5].errorOutput, "b\n");
    EXPECT_NE(results[3].errorOutput.find("Syntax error"), std::string::npos) << results[3].errorOutput;
    EXPECT_EQ(read_text("out 1.txt"), "it's\n");
    EXPECT_EQ(read_text("a.txt") + read_text("b.txt"), "a\nb\n");
    EXPECT_FALSE(std::filesystem::exists("ab") || std::filesystem::exists("a"));
    EXPECT_EQ(fresh.run_all({}).size(), 0u);
}

}  // namespace

// A call past its time limit ends with every process of its group, also one that is not
// the interpreter's own child and ignores the request to end.
TEST(RunCommand, ACallPastItsTimeLimitEndsWithItsWholeGroup) {
    test_folder::InScratchDir dir;
    const platform::CommandResult result =
        platform::run_command("sh -c 'trap \"\" TERM; echo $$ > stubborn.pid; exec sleep 30' & sleep 30",
                              platform::Environment::inherited(), std::chrono::seconds(1));
    EXPECT_TRUE(result.timedOut);
    const std::string pid = read_text("stubborn.pid").substr(0, read_text("stubborn.pid").find('\n'));
    ASSERT_FALSE(pid.empty());
    // Gone, or a zombie nobody has reaped yet (its parent ended first).
    const std::string stat = read_text("/proc/" + pid + "/stat");
    const std::size_t state = stat.rfind(") ");
    EXPECT_TRUE(stat.empty() || (state != std::string::npos && stat[state + 2] == 'Z')) << stat;
}
