// read_field stepping, split_fields and read_line on CR LF and LF input; quote doubling
// is pinned by the whole-file end-to-end outputs.
#include "fields.h"

#include <gtest/gtest.h>

#include <sstream>

TEST(ReadField, StepsOverBlanksAndStopsAtSeparatorLineFeedOrEnd) {
    struct Case {
        std::string line;
        std::string field;
        std::size_t step;
    };
    const Case cases[] = {
        {"  abc|rest", "abc", 5},  // the caller steps 6 to reach "rest"
        {"|x", "", 0},
        {"abc  |", "abc  ", 5},    // trailing blanks stay
        {"abc\ndef", "abc", 3},
        {"last\r", "last\r", 5},   // a carriage return left by the caller stays
        {"", "", 0},
        {"   ", "", 3},
        {"\tx|y", "\tx", 2},       // only character 32 counts as a blank
    };
    for (const Case& c : cases) {
        std::string field = "stale";
        EXPECT_EQ(read_field(c.line, field), c.step) << c.line;
        EXPECT_EQ(field, c.field) << c.line;
    }
}

TEST(SplitFields, WalksEveryFieldLikeRepeatedReadField) {
    using V = std::vector<std::string>;
    EXPECT_EQ(split_fields("a| b|c "), (V{"a", "b", "c "}));
    EXPECT_EQ(split_fields("a||"), (V{"a", "", ""}));
    EXPECT_EQ(split_fields(""), (V{""}));
    EXPECT_EQ(split_fields("a|b\nc|d"), (V{"a", "b"}));
    V fields = split_fields("x|y");
    EXPECT_EQ(field_at(fields, 1), "y");
    EXPECT_EQ(field_at(fields, 7), "");
}

TEST(ReadLine, ReadsWholeLinesWithCrLfOrLfAndAnUnendedLastLine) {
    std::string longLine(5000, 'x');
    std::istringstream in("a\r\nb\n" + longLine + "\r\nlast");
    std::string line;
    bool ended = false;
    std::vector<std::pair<std::string, bool>> got;
    while (read_line(in, line, &ended)) got.emplace_back(line, ended);
    EXPECT_EQ(got, (std::vector<std::pair<std::string, bool>>{{"a", true}, {"b", true}, {longLine, true}, {"last", false}}));
}
