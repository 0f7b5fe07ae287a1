// Which part specification entries are like patterns. The batches and patterns a part
// specification sends, and the release in-list of a release specification, are pinned by
// the server calls of the end-to-end parts exports.
#include "selection.h"

#include <gtest/gtest.h>

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
