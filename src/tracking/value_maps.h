// The four translations of server values into the target's vocabulary (-map mode).
#pragma once

#include <string>
#include <string_view>

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
