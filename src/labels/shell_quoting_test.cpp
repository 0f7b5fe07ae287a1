// Quoting of labels and directories for sh and for cmd.exe batch files.
#include "shell_quoting.h"

#include <cstdio>
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
        {"say \"hi\"", "\"say \\\"hi\\\"\"", "\"say \"\\^\"\"hi\"\\^\"\"\""},
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
        {"a\\\"b", "\"a\\\\\\\"b\"", "\"a\\\\\"\\^\"\"b\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(quote_argument(c.value, Interpreter::posixShell), c.forShell) << c.value;
        EXPECT_EQ(quote_argument(c.value, Interpreter::windowsCmd), c.forCmd) << c.value;
    }
}

#ifndef _WIN32
// What sh hands to a command for the quoted text: the values must arrive whole.
TEST(QuoteArgument, ShellReceivesEachValueAsOneUnchangedArgument) {
    const std::vector<std::string> values = {
        "my docs", "a\tb", "say \"hi\"", "$HOME", "a`echo x`", "a\\b", "it's", "*", "a;b&c|d",
        "(x)", "<in >out", "~user", "#c", "{a,b}", "x y\\", "a\\\"b", "$(echo no)", "[ab]?",
    };
    for (const std::string& value : values) {
        std::string command = "printf '%s|' " + quote_argument(value, Interpreter::posixShell);
        std::FILE* pipe = ::popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string received;
        char buffer[256];
        std::size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) received.append(buffer, got);
        EXPECT_EQ(::pclose(pipe), 0) << value;
        EXPECT_EQ(received, value + "|") << command;
    }
}
#endif

}  // namespace
}  // namespace tagsmith
