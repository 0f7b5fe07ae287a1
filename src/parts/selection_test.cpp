// The release and part specification files: their readers, and the batches and like
// patterns a part specification sends, with their answers gathered in order.
#include "selection.h"

#include <gtest/gtest.h>

#include "part_queries.h"
#include "test_support.h"

namespace {

using test_support::InScratchDir;
using test_support::read_text;
using test_support::write_text;

/// Answers every command with "answer N" (no line end) in the file it redirects into.
class AnsweringShell : public Shell {
  public:
    int run(const std::string& commandLine) override {
        commands.push_back(commandLine);
        write_text(commandLine.substr(commandLine.rfind(" >") + 2),
                   "answer " + std::to_string(commands.size()));
        return commands.size() == failAt ? 1 : 0;
    }
    std::vector<std::string> commands;
    std::size_t failAt = 0;
};

std::vector<std::string> printed_commands(const std::string& console) {
    std::vector<std::string> commands;
    const std::string lead = "\nCommand String is : ";
    for (std::size_t at = console.find(lead); at != std::string::npos;
         at = console.find(lead, at + 1))
        commands.push_back(
            console.substr(at + lead.size(), console.find('\n', at + 1) - at - lead.size()));
    return commands;
}

std::string names(int from, int to) {
    std::string list;
    for (int i = from; i <= to; ++i) list += (i > from ? ",'p" : "'p") + std::to_string(i) + "'";
    return "nupathname in (" + list + ")";
}

}  // namespace

TEST(PartSpecification, BatchesAndPatternsGatherTheirAnswersInOrder) {
    std::string lines45;
    for (int i = 1; i <= 45; ++i) lines45 += "p" + std::to_string(i) + "\n";
    struct Case {
        const char* title;
        std::string spec;
        int partIndex;
        std::vector<std::pair<std::string, std::string>>
            sent;  // a piece of the condition, the target
        std::string raw;
    };
    // clang-format off
    const Case cases[] = {
        {"a blank line counts, a pattern goes at once, no line end at the end", "a\n\nb%\nc\nd", 2,
         {{"nupathname in ('a')", kRawPartFile}, {"like 'b%'", kWildcardScratchFile},
          {"nupathname in ('c')", kBatchScratchFile}, {"nupathname in ('d')", kBatchScratchFile}},
         "answer 1\nanswer 2\nanswer 3\nanswer 4"},
        {"a pattern first starts the raw part file", "x%\ny\n", 20,
         {{"like 'x%'", kWildcardScratchFile}, {"nupathname in ('y')", kBatchScratchFile}}, "answer 1\nanswer 2"},
        {"batches of blank lines and patterns send nothing", "\n\nq%\n", 2, {{"like 'q%'", kWildcardScratchFile}},
         "answer 1"},
        {"45 lines in batches of 20", lines45, 20,
         {{names(1, 20), kRawPartFile}, {names(21, 40), kBatchScratchFile}, {names(41, 45), kBatchScratchFile}},
         "answer 1\nanswer 2\nanswer 3"},
        {"a quote in a name is doubled", "it's|a comment\n", 20, {{"nupathname in ('it''s')", kRawPartFile}},
         "answer 1"},
        {"an empty file asks nothing", "", 20, {}, ""},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        InScratchDir dir;
        write_text("parts.txt", c.spec);
        test_support::TestRun<AnsweringShell> t;
        t.settings.partSpecFile = "parts.txt";
        t.settings.allParts = false;
        t.settings.partIndex = c.partIndex;
        std::string rawFile;
        ASSERT_EQ(select_parts(t.ctx, "('R1')", rawFile), 0) << t.console.outText;
        // Each command as printed, and where its answer went.
        const std::vector<std::string> printed = printed_commands(t.console.outText);
        ASSERT_EQ(printed.size(), c.sent.size());
        ASSERT_EQ(t.shell.commands.size(), c.sent.size());
        for (std::size_t i = 0; i < c.sent.size(); ++i) {
            EXPECT_NE(printed[i].find(c.sent[i].first), std::string::npos) << printed[i];
            EXPECT_TRUE(t.shell.commands[i].ends_with(" >" + c.sent[i].second))
                << t.shell.commands[i];
        }
        EXPECT_EQ(rawFile, c.raw.empty() ? "" : kRawPartFile);
        EXPECT_EQ(read_text(kRawPartFile), c.raw);
        const std::vector<std::string> left{"parts.txt",
                                            kRawPartFile};  // the scratch files are gone
        EXPECT_EQ(dir.files(),
                  std::vector<std::string>(left.begin(), left.end() - (c.raw.empty() ? 1 : 0)));
    }
}

TEST(PartSpecification, AFailureStopsTheSelectionAtOnce) {
    struct Case {
        std::string spec;  // "missing": no file at all
        std::string console;
    };
    // clang-format off
    const Case cases[] = {
        {"missing", "\n\nERROR:\tNo Part Specification File Found: parts.txt \n\n"},
        {"a\nb%\nc\n", "\n Corvane Command Unsuccessful \n\n\nERROR:  Can't generate the wildcard raw file \n\n"},
        {"a\nb\nc\n", "\n Corvane Command Unsuccessful \n"},
    };
    // clang-format on
    for (const Case& c : cases) {
        InScratchDir dir;
        if (c.spec != "missing") write_text("parts.txt", c.spec);
        test_support::TestRun<AnsweringShell> t;
        t.settings.partSpecFile = "parts.txt";
        t.settings.partIndex = 1;
        t.shell.failAt = 2;
        std::string rawFile;
        EXPECT_EQ(select_parts(t.ctx, "('R1')", rawFile), -1);
        EXPECT_TRUE(t.console.outText.ends_with(c.console)) << t.console.outText;
        EXPECT_EQ(t.shell.commands.size(),
                  c.spec == "missing" ? 0u : 2u);  // nothing after the failure
    }
}

TEST(ReleaseSpecification, NamesBecomeTheReleaseInList) {
    struct Case {
        std::string text;
        std::string inList;
    };
    // clang-format off
    const Case cases[] = {
        {"R1 | first\n\n  R2\nR'3", "('R1 ','R2','R''3')"},  // blanks after a name stay
        {"", "()"},
    };
    // clang-format on
    for (const Case& c : cases) {
        InScratchDir dir;
        write_text("rel.txt", c.text);
        test_support::TestRun<> t;
        t.settings.relSpecFile = "rel.txt";
        std::string inList;
        ASSERT_EQ(build_release_list(t.ctx, inList), 0);
        EXPECT_EQ(inList, c.inList) << c.text;
    }
    InScratchDir dir;
    test_support::TestRun<> t;
    t.settings.relSpecFile = "none.txt";
    std::string inList;
    EXPECT_EQ(build_release_list(t.ctx, inList), -1);
    EXPECT_EQ(t.console.outText, "\n\nERROR:  No Release Specification File Found: none.txt \n\n");
}

TEST(PartSpecification, LikePatternsAreTheEntriesWithAPercentOrAnEscapedUnderscore) {
    struct Case {
        const char* entry;
        bool pattern;
    };
    for (const Case& c :
         {Case{"src/%", true}, Case{"a%b", true}, Case{"a_b", false},
          Case{"a\\_b' escape '\\", true}, Case{"escape", false}, Case{"Escape_x", false}})
        EXPECT_EQ(is_wildcard_entry(c.entry), c.pattern) << c.entry;
}
