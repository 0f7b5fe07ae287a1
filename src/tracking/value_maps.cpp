// Exact-value translation tables for state, severity, symptom and priority.
#include "value_maps.h"

#include <span>
#include <utility>

namespace {

using Pair = std::pair<std::string_view, std::string_view>;

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

struct Table {
    std::string_view name;
    std::span<const Pair> pairs;
    std::string_view fallback;
};

// In the order of MappedField.
constexpr Table kTables[] = {{"state", kStates, "Submitted"},
                             {"severity", kSeverities, "4-Minor"},
                             {"symptom", kSymptoms, "Unexpected Behavior"},
                             {"priority", kPriorities, "3-Normal Queue"}};

const Table& table_of(MappedField field) { return kTables[static_cast<std::size_t>(field)]; }

const std::string_view* builtin_pair(const Table& table, std::string_view value) {
    for (const Pair& entry : table.pairs)
        if (entry.first == value) return &entry.second;
    return nullptr;
}

int translate(std::string& target, std::string_view value, MappedField field) {
    const Table& table = table_of(field);
    const std::string_view* pair = builtin_pair(table, value);
    target.assign(pair ? *pair : table.fallback);
    return value.empty() ? -1 : 0;
}

}  // namespace

int map_state(std::string& target, std::string_view value) {
    if (value.empty()) {
        // The only table whose empty input leaves the column empty.
        target.clear();
        return -1;
    }
    return translate(target, value, MappedField::State);
}

int map_severity(std::string& target, std::string_view value) {
    return translate(target, value, MappedField::Severity);
}

int map_symptom(std::string& target, std::string_view value) {
    return translate(target, value, MappedField::Symptom);
}

int map_priority(std::string& target, std::string_view value) {
    return translate(target, value, MappedField::Priority);
}

std::string records_text(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " record" : " records");
}

std::string_view mapped_field_name(MappedField field) { return table_of(field).name; }

void ValueMapper::map(MappedField field, std::string_view value, std::string& target) {
    if (value.empty()) {  // the built-in result, whatever the value map says; never counted
        if (field == MappedField::State)
            map_state(target, value);
        else
            translate(target, value, field);
        return;
    }
    const std::size_t index = static_cast<std::size_t>(field);
    const ValueMap::FieldMap& custom = custom_.fields[index];
    if (const auto entry = custom.pairs.find(value); entry != custom.pairs.end()) {
        target = entry->second;
        return;
    }
    if (const std::string_view* pair = builtin_pair(table_of(field), value)) {
        target.assign(*pair);
        return;
    }
    target.assign(custom.fallback ? std::string_view(*custom.fallback) : table_of(field).fallback);
    const auto seen = fallenIndex_[index].find(value);
    if (seen != fallenIndex_[index].end()) {
        ++fallen_[index][seen->second].count;
        return;
    }
    fallenIndex_[index].emplace(value, fallen_[index].size());
    fallen_[index].push_back({std::string(value), target, 1});
}

std::vector<std::string> ValueMapper::fallback_report() const {
    std::vector<std::string> lines;
    for (std::size_t field = 0; field < kMappedFieldCount; ++field)
        for (const Fallen& fallen : fallen_[field])
            lines.push_back(std::string(kTables[field].name) + " '" + fallen.value + "' -> '" +
                            fallen.target + "': " + records_text(fallen.count));
    return lines;
}
