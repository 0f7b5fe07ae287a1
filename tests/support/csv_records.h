// The records of a tracking import file read back the way a strict CSV reader would,
// shared by the end-to-end tests and the fuzz targets. Tests only.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace test_folder {

/// The records of quoted, comma-separated values, each ended by a line feed (the last may
/// lack it): "" inside quotes is one quote, a line break inside quotes part of the value.
/// Nothing when a quote stays open or a character stands outside the quotes.
inline std::optional<std::vector<std::vector<std::string>>> csv_records(std::string_view text) {
    std::vector<std::vector<std::string>> records(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '"') return std::nullopt;
        std::string value;
        for (++i; i < text.size() && (text[i] != '"' || text.substr(i, 2) == "\"\""); ++i)
            value += text[text[i] == '"' ? i++ : i];
        if (i++ == text.size()) return std::nullopt;
        records.back().push_back(value);
        const char next = i < text.size() ? text[i] : '\n';
        if (next == '\n' && i + 1 < text.size()) records.emplace_back();
        if (next != '\n' && (next != ',' || i + 1 == text.size())) return std::nullopt;
    }
    return records;
}

}  // namespace test_folder
