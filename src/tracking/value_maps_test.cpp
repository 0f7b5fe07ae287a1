// The value translations at their edges: whole exact matches, fallbacks, empty input.
// Each table's entries are pinned by the whole-file end-to-end outputs.
#include "value_maps.h"

#include <gtest/gtest.h>

TEST(ValueMaps, TranslateWholeExactValuesAndFallBackOtherwise) {
    using MapFn = int (*)(std::string&, std::string_view);
    struct Case {
        MapFn map;
        std::string value;
        std::string expected;
        int result;
    };
    const Case cases[] = {
        // State: the only table that leaves an empty input empty.
        {map_state, "", "", -1},
        {map_state, "Working", "Submitted", 0},
        {map_state, "closed ", "Submitted", 0},
        {map_severity, "", "4-Minor", -1},
        {map_severity, "01", "4-Minor", 0},
        {map_symptom, "", "Unexpected Behavior", -1},
        {map_symptom, "Core_Dump", "Unexpected Behavior", 0},
        {map_priority, "", "3-Normal Queue", -1},
        {map_priority, "N/A", "3-Normal Queue", 0},
    };
    for (const Case& c : cases) {
        std::string target = "left over";  // a mapping replaces what the target held
        EXPECT_EQ(c.map(target, c.value), c.result) << "'" << c.value << "'";
        EXPECT_EQ(target, c.expected) << "'" << c.value << "'";
    }
}
