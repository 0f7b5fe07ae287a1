// The four translations of server values into the target's vocabulary (-map mode).
#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Each mapping compares the whole value exactly (case and blanks count) and writes the
// target's text into `target`, replacing what it held. Result: -1 when `value` is
// empty, else 0; callers use `target` either way.

/// State: empty input leaves `target` empty; unknown values become "Submitted".
int map_state(std::string& target, std::string_view value);
/// Severity "1".."4"; anything else, empty included, becomes "4-Minor".
int map_severity(std::string& target, std::string_view value);
/// Symptom; anything unknown, empty included, becomes "Unexpected Behavior".
int map_symptom(std::string& target, std::string_view value);
/// Priority; anything unknown, empty included, becomes "3-Normal Queue".
int map_priority(std::string& target, std::string_view value);

/// The mapped fields, in the column order of the import files.
enum class MappedField { State, Severity, Symptom, Priority };
inline constexpr std::size_t kMappedFieldCount = 4;

/// The name of a field in value map files and in the fallback report: "state",
/// "severity", "symptom", "priority".
std::string_view mapped_field_name(MappedField field);

/// "1 record", "2 records".
std::string records_text(std::size_t count);

/// A user's value map: per field, pairs that replace or add to the built-in ones, and
/// the text that replaces the built-in fallback.
struct ValueMap {
    struct FieldMap {
        std::map<std::string, std::string, std::less<>> pairs;
        std::optional<std::string> fallback;
    };
    std::array<FieldMap, kMappedFieldCount> fields;
};

/// Maps values through a value map, then the built-in pairs, then the fallback, and
/// counts every non-empty value that fell to a fallback.
class ValueMapper {
public:
    explicit ValueMapper(const ValueMap& custom) : custom_(custom) {}
    /// Writes the target text of `value` into `target`. An empty value gets the
    /// built-in empty result (an empty state, the other fields' fallbacks) whatever the
    /// value map says, and is not counted.
    void map(MappedField field, std::string_view value, std::string& target);
    /// One line per value that fell to a fallback, fields in column order, values in
    /// order of first appearance: "state 'deferred' -> 'Submitted': 312 records".
    std::vector<std::string> fallback_report() const;

private:
    struct Fallen {
        std::string value;
        std::string target;
        std::size_t count;
    };
    const ValueMap& custom_;
    std::array<std::vector<Fallen>, kMappedFieldCount> fallen_;
    std::array<std::map<std::string, std::size_t, std::less<>>, kMappedFieldCount> fallenIndex_;
};
