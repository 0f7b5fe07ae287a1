// Which part specification entries are like patterns. The batches and patterns a part
// specification sends, and the release in-list of a release specification, are pinned by
// the server calls of the end-to-end parts exports.
#include "selection.h"

#include <gtest/gtest.h>

#include <utility>

TEST(PartSpecification, LikePatternsAreTheEntriesWithAPercentOrAnEscapedUnderscore) {
    for (const auto& [entry, pattern] :
         {std::pair{"src/%", true}, std::pair{"a%b", true}, std::pair{"a_b", false},
          std::pair{"a\\_b' escape '\\", true}, std::pair{"escape", false}, std::pair{"Escape_x", false}})
        EXPECT_EQ(is_wildcard_entry(entry), pattern) << entry;
}
