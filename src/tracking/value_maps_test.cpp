// The four value translations at their edges: exact matches, fallbacks, empty input.
#include "value_maps.h"

#include <gtest/gtest.h>

namespace {

using MapFn = int (*)(std::string&, std::string_view);

struct Case {
    const char* table;
    MapFn map;
    std::string value;
    std::string expected;
    int result;
};

}  // namespace

TEST(ValueMaps, TranslateWholeExactValuesAndFallBackOtherwise) {
    const Case cases[] = {
        // State: the only table that leaves an empty input empty.
        {"state", map_state, "", "", -1},
        {"state", map_state, "working", "Opened", 0},
        {"state", map_state, "canceled", "Closed", 0},
        {"state", map_state, "verify", "Resolved", 0},
        {"state", map_state, "returned", "Submitted", 0},
        {"state", map_state, "review", "Submitted", 0},
        {"state", map_state, "Working", "Submitted", 0},
        {"state", map_state, "closed ", "Submitted", 0},
        {"state", map_state, "unheard-of", "Submitted", 0},
        // Severity: single digits 1 to 4 only.
        {"severity", map_severity, "", "4-Minor", -1},
        {"severity", map_severity, "1", "1-Critical", 0},
        {"severity", map_severity, "3", "3-Average", 0},
        {"severity", map_severity, "5", "4-Minor", 0},
        {"severity", map_severity, "01", "4-Minor", 0},
        {"severity", map_severity, "2 ", "4-Minor", 0},
        // Symptom.
        {"symptom", map_symptom, "", "Unexpected Behavior", -1},
        {"symptom", map_symptom, "incorrect_i/o", "Incorrect Operation", 0},
        {"symptom", map_symptom, "program_defect", "Incorrect Operation", 0},
        {"symptom", map_symptom, "usability", "Unfriendly Behavior", 0},
        {"symptom", map_symptom, "Core_Dump", "Unexpected Behavior", 0},
        // Priority.
        {"priority", map_priority, "", "3-Normal Queue", -1},
        {"priority", map_priority, "mustfix", "1-Resolve Immediately", 0},
        {"priority", map_priority, "n/a", "4-Low Priority", 0},
        {"priority", map_priority, "candidate ", "3-Normal Queue", 0},
        {"priority", map_priority, "N/A", "3-Normal Queue", 0},
    };
    for (const Case& c : cases) {
        // The target starts dirty: a mapping replaces what it held.
        std::string target = "left over";
        EXPECT_EQ(c.map(target, c.value), c.result) << c.table << " '" << c.value << "'";
        EXPECT_EQ(target, c.expected) << c.table << " '" << c.value << "'";
    }
}
