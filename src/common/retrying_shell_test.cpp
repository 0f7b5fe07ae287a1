// Retries of failed calls: how many, how long each waits, what the notes say, which
// result and error output come back.
#include "retrying_shell.h"

#include <gtest/gtest.h>

namespace {

/// Answers each call with the next of its results (the last one over and over).
struct ScriptedShell : Shell {
    std::vector<CallResult> tries;
    std::size_t next = 0;
    CallResult run(const std::string&) override { return tries[std::min(next++, tries.size() - 1)]; }
    std::unique_ptr<Shell> with_variable(const std::string&, const std::string&) override { return nullptr; }
};

}  // namespace

TEST(RetryingShell, TriesAFailedCallAgainAfterGrowingWaitsAndSaysSo) {
    const CallResult failed{1, "no\n"}, stopped{-1, "", true}, fine{0, "ok\n"};
    struct Case {
        std::vector<CallResult> tries;
        int retries;
        std::vector<long long> waits;
        int status;
        std::string errors;  // of every try
    };
    const Case cases[] = {
        {{failed}, 7, {1, 2, 4, 8, 16, 30, 30}, 1, "no\nno\nno\nno\nno\nno\nno\nno\n"},
        {{failed, fine}, 3, {1}, 0, "no\nok\n"},
        {{stopped}, 0, {}, -1, ""},
        {{fine}, 2, {}, 0, "ok\n"},
    };
    for (const Case& c : cases) {
        ScriptedShell base;
        base.tries = c.tries;
        std::vector<long long> waits;
        RetryingShell shell(base, c.retries, 5, [&](std::chrono::seconds wait) {
            waits.push_back(wait.count());
            return true;
        });
        const CallResult got = shell.run_each({"corv x"}).front();
        std::string notes = c.tries[0].timedOut
                                ? "\nWARNING: A client call ran past the time limit of 5 s and was stopped: corv x\n"
                                : "";
        for (std::size_t k = 1; k <= c.waits.size(); ++k)
            notes += "\nRetry " + std::to_string(k) + " of " + std::to_string(c.retries) + ", after " +
                     std::to_string(c.waits[k - 1]) + " s, of a client call that failed: corv x\n";
        EXPECT_EQ(waits, c.waits);
        EXPECT_EQ(base.next, c.waits.size() + 1);
        EXPECT_EQ(got.status, c.status);
        EXPECT_EQ(got.errorOutput, c.errors);
        EXPECT_EQ(got.notes, notes);
    }
}
