// SID and release lookups: the reading of the answer file. Their commands against the
// simulated server, which refuses a wrongly composed or wrongly quoted query, are pinned
// by the end-to-end parts exports that look up branch points.
#include "lookups.h"

#include <gtest/gtest.h>

#include "test_support.h"

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
        test_support::InScratchDir scratch;
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
    }
}
