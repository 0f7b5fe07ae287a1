// SID and release lookups: the reading of the answer file, and the commands against the
// simulated server, which refuses a wrongly composed or wrongly quoted query.
#include "lookups.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

using test_support::InScratchDir;

}  // namespace

TEST(Lookups, AnswerFilesAreReadForTheFirstLineWithASeparator) {
    struct Case {
        const char* title;
        bool revisionSid;  // lookup_revision_sid, else lookup_sid_release
        std::string answer;
        int status;
        int result;
        std::string first, second;
        std::string console;  // after the "Retrieving" line
    };
    const Case cases[] = {
        {"sid and release", true, "1.4|R9\n", 0, 0, "1.4", "R9", ""},
        {"the first line with a separator", true, "header\r\n1.5|R8\r\n1.6|R7\r\n", 0, 0, "1.5", "R8", ""},
        {"a line without a separator", true, "1.9", 0, 0, "1.9", "", ""},
        {"no answer written", true, "", 0, -1, "", "", "\n\nERROR:  Can't retrieve the SID and Release for Revision r5\n\n"},
        {"the command fails", true, "1.4|R9\n", 3, -1, "", "", ""},
        {"a release", false, "R3|extra\n", 0, 0, "R3", "2.3", ""},
        {"no release", false, "\n", 0, -1, "", "", "\n\nERROR:  Can't retrieve the Release for file: lib/f.c and sid: 2.3\n\n"},
    };
    for (const Case& c : cases) {
        InScratchDir scratch;
        test_support::TestRun<> run;
        const char* file = c.revisionSid ? kSidScratchFile : kReleaseScratchFile;
        // An answer left by an earlier run is never read as this one's.
        test_support::write_text(file, "9.9|stale\n");
        if (c.status == 0 && !c.answer.empty()) run.shell.answers[file] = c.answer;
        run.shell.status = c.status;
        std::string first, second;
        const int result = c.revisionSid ? lookup_revision_sid(run.ctx, "r5", "src/a.c", first, second)
                                         : lookup_sid_release(run.ctx, "2.3", "lib/f.c", first, second);
        EXPECT_EQ(result, c.result) << c.title;
        EXPECT_EQ(first, c.first) << c.title;
        EXPECT_EQ(second, c.second) << c.title;
        EXPECT_EQ(run.console.outText,
                  (c.revisionSid ? "\n\n\t    Retrieving Revision Data for Revisionname: r5: \n\n"
                                 : "\n\n\t\t Retrieving  ReleaseName for file: lib/f.c and SID : 2.3\n\n") +
                      c.console)
            << c.title;
        // Read answers are removed at once; the others stay until the run ends.
        EXPECT_EQ(scratch.files(), c.result == 0 ? std::vector<std::string>{} : std::vector<std::string>{file})
            << c.title;
        EXPECT_EQ(run.shell.env, (c.revisionSid ? std::map<std::string, std::string>{{"CVN_MIGRATE", "1"}}
                                                : std::map<std::string, std::string>{}))
            << c.title;
    }
}

// The simulated client answers only well-formed queries, so a wrongly composed command
// fails here instead of passing silently.
TEST(Lookups, AnswerAgainstTheSimulatedServer) {
    const fs::path sim = fs::canonical("/proc/self/exe").parent_path().parent_path() / "sim-bin";
    ASSERT_TRUE(fs::exists(sim / "simgen")) << "the simulated server client is built with the tests: " << sim;
    InScratchDir scratch;
    const fs::path fixtures = fs::path(__FILE__).parent_path().parent_path().parent_path() / "sim" / "fixtures";
    for (const char* kind : {"corvane", "vandor"})
        ASSERT_EQ(platform::run_command((sim / "simgen").string() + " " + kind + " " + kind + ".db --fixture " +
                                        platform::quote_argument((fixtures / (std::string(kind) + ".sql")).string())),
                  0);
    // Set for this test only: the test binaries restore the environment after each test.
    platform::set_env("PATH", sim.string() + ":" + platform::get_env("PATH").value_or(""));
    platform::set_env("CVN_FAMILY", (scratch.path() / "corvane.db").string());
    platform::set_env("VANDOR_FAMILY", (scratch.path() / "vandor.db").string());
    struct Case {
        bool corvane;
        std::string key;  // revision name or SID
        std::string path;
        int result;
        std::string first;   // SID or release
        std::string second;  // release or SID
    };
    const Case cases[] = {
        {true, "2.1.1", "src/main.c", 0, "1.2.1.1", "R2"},
        {true, "2", "docs/Read Me.txt", 0, "1.2", "R2"},
        {true, "x'y", "src/main.c", -1, "", ""},  // a valid query that finds nothing
        {false, "1.2", "src/main.c", 0, "R1", "1.2"},
        {false, "1.1", "it's.c", -1, "", ""},
    };
    for (const Case& c : cases) {
        test_support::TestRun<SystemShell> run;
        std::string first, second;
        const int result = c.corvane ? lookup_revision_sid(run.ctx, c.key, c.path, first, second)
                                     : lookup_sid_release(run.ctx, c.key, c.path, first, second);
        EXPECT_EQ(result, c.result) << c.key << run.console.outText;
        EXPECT_EQ(first, c.first) << c.key;
        EXPECT_EQ(second, c.second) << c.key;
        // No answer is the lookup's own message: the command itself ran without fault.
        EXPECT_EQ(run.console.outText.find("Can't retrieve") != std::string::npos, c.result != 0) << c.key;
    }
}
