// Quoting of labels and directories for sh and for cmd.exe batch files.
#include "shell_quoting.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace tagsmith {
namespace {

TEST(QuoteArgument, QuotesOnlyWhatTheInterpreterWouldSplitOrExpand) {
    struct Case {
        std::string value;
        std::string forShell;
        std::string forCmd;
    };
    const std::vector<Case> cases = {
        {"CVN-RELEASE-R1.0", "CVN-RELEASE-R1.0", "CVN-RELEASE-R1.0"},
        {"src/lib", "src/lib", "src/lib"},
        {".", ".", "."},
        {"my docs", "\"my docs\"", "\"my docs\""},
        {"a\tb", "\"a\tb\"", "\"a\tb\""},
        // With a quote every character cmd.exe acts on gets a caret: cmd never enters its quoting.
        {"say \"50%\" & x^y", "\"say \\\"50%\\\" & x^y\"", "^\"say \\^\"50%%\\^\" ^& x^^y^\""},
        {"$HOME", "\"\\$HOME\"", "$HOME"},
        {"a`b`", "\"a\\`b\\`\"", "a`b`"},
        {"a\\b", "\"a\\\\b\"", "a\\b"},
        {"it's", "\"it's\"", "it's"},
        {"*.c", "\"*.c\"", "*.c"},
        {"a&b|c", "\"a&b|c\"", "\"a&b|c\""},
        {"a;b", "\"a;b\"", "\"a;b\""},
        {"x>y", "\"x>y\"", "\"x>y\""},
        {"50%", "50%", "\"50%%\""},
        {"a=b", "a=b", "\"a=b\""},
        {"x^y", "x^y", "\"x^y\""},
        // Backslashes before a quote or at the end are doubled for the argument parser.
        {"x y\\", "\"x y\\\\\"", "\"x y\\\\\""},
        {"a\\\"b", "\"a\\\\\\\"b\"", "^\"a\\\\\\^\"b^\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(quote_argument(c.value, Interpreter::posixShell), c.forShell) << c.value;
        EXPECT_EQ(quote_argument(c.value, Interpreter::windowsCmd), c.forCmd) << c.value;
    }
}

}  // namespace
}  // namespace tagsmith
