// Exact-value translation tables for state, severity, symptom and priority.
#include "value_maps.h"

#include <utility>

namespace {

using Pair = std::pair<std::string_view, std::string_view>;

template <std::size_t N>
int translate(std::string& target, std::string_view value, const Pair (&table)[N],
              std::string_view fallback) {
    target.assign(fallback);
    for (const Pair& entry : table) {
        if (entry.first == value) {
            target.assign(entry.second);
            break;
        }
    }
    return value.empty() ? -1 : 0;
}

constexpr Pair kStates[] = {
    {"open", "Submitted"},  {"design", "Submitted"}, {"review", "Submitted"},
    {"size", "Submitted"},  {"working", "Opened"},   {"closed", "Closed"},
    {"canceled", "Closed"}, {"verify", "Resolved"},  {"returned", "Submitted"},
};

constexpr Pair kSeverities[] = {
    {"1", "1-Critical"}, {"2", "2-Major"}, {"3", "3-Average"}, {"4", "4-Minor"}};

constexpr Pair kSymptoms[] = {
    {"core_dump", "System Crash"},
    {"function_needed", "Missing Feature"},
    {"incorrect_i/o", "Incorrect Operation"},
    {"program_defect", "Incorrect Operation"},
    {"lost_data", "Data Loss"},
    {"install_failed", "Installation Problem"},
    {"performance", "Performance Problem"},
    {"usability", "Unfriendly Behavior"},
};

constexpr Pair kPriorities[] = {{"mustfix", "1-Resolve Immediately"},
                                {"candidate", "2-Give High Attention"},
                                {"n/a", "4-Low Priority"}};

}  // namespace

int map_state(std::string& target, std::string_view value) {
    if (value.empty()) {
        // The only table whose empty input leaves the column empty.
        target.clear();
        return -1;
    }
    return translate(target, value, kStates, "Submitted");
}

int map_severity(std::string& target, std::string_view value) {
    return translate(target, value, kSeverities, "4-Minor");
}

int map_symptom(std::string& target, std::string_view value) {
    return translate(target, value, kSymptoms, "Unexpected Behavior");
}

int map_priority(std::string& target, std::string_view value) {
    return translate(target, value, kPriorities, "3-Normal Queue");
}
