// read_field stepping at its edges. split_fields, read_line on CR LF, LF and unended
// input, and quote doubling are pinned by the whole-file end-to-end outputs.
#include "fields.h"

#include <gtest/gtest.h>

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
