// Reading and checking the value and user map files; the reports of what stayed unmapped.
#include "mapping_files.h"

#include <filesystem>
#include <fstream>
#include <optional>

#include "fields.h"
#include "output_file.h"
#include "users.h"

namespace {

using Entry = std::pair<std::size_t, std::vector<std::string>>;

/// One map file being read: its kind and name for the messages.
struct MapFile {
    const char* kind;  // "Value map" or "User map"
    const std::string& name;
    Console& console;

    bool refuse(std::size_t line, const std::string& why) const {
        console.print("\n\nERROR:  %s %s, line %zu: %s\n\n", kind, name.c_str(), line, why.c_str());
        return false;
    }
    void warn(std::size_t line, const std::string& why) const {
        console.print("\nWARNING: %s %s, line %zu: %s\n", kind, name.c_str(), line, why.c_str());
    }

    /// The entry lines of the file, numbered and split at every "|": blank and comment
    /// lines left out, a byte-order mark dropped. Nothing after a refusal.
    std::optional<std::vector<Entry>> entries(std::istream& in) const {
        std::vector<Entry> lines;
        std::string line;
        for (std::size_t number = 1; read_line(in, line); ++number) {
            if (number == 1 && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
            // Editors that save "Unicode" write UTF-16, whose every other byte is zero.
            if (number == 1 && (line.starts_with("\xFF\xFE") || line.starts_with("\xFE\xFF"))) {
                refuse(number, "the file is UTF-16 text; save it as UTF-8");
                return std::nullopt;
            }
            if (line.empty() || line.front() == '#') continue;
            // Line ends are taken off by the reader, so a CR left is a break inside a value.
            if (line.find('\r') != std::string::npos) {
                refuse(number, "a value holds a line break");
                return std::nullopt;
            }
            lines.emplace_back(number, split_user_line(line));
        }
        return lines;
    }
};

std::optional<MappedField> field_named(std::string_view name) {
    for (std::size_t i = 0; i < kMappedFieldCount; ++i)
        if (mapped_field_name(static_cast<MappedField>(i)) == name)
            return static_cast<MappedField>(i);
    return std::nullopt;
}

std::string in_quotes(const std::string& text) { return "'" + text + "'"; }

/// One -valuemap or -usermap option of the run.
struct MapOption {
    const std::string& fileName;  // empty: not given
    bool used;                    // the export kind applies this map
    const char* option;           // "-valuemap"
    const char* kind;             // "Value map"
    const char* whoUses;          // why an unused map is not read
};

template <typename Map>
bool load_map_file(const MapOption& option, Console& console, Map& map,
                   bool (*reader)(std::istream&, const std::string&, Map&, Console&)) {
    const std::string& fileName = option.fileName;
    if (fileName.empty()) return true;
    if (!option.used) {
        console.print("\nWARNING: %s %s is not used: %s\n", option.option, fileName.c_str(),
                      option.whoUses);
        return true;
    }
    // The export replaces that file, so a map of that name would be lost.
    if (same_file(fileName, kUnmappedValuesFile)) {
        console.print(
            "\n\nERROR:  %s %s is the report file of unmapped values, which an export replaces\n\n",
            option.kind, fileName.c_str());
        return false;
    }
    std::error_code error;
    std::ifstream in;
    // A folder opens like a file on some systems and then reads as empty.
    if (!std::filesystem::is_directory(fileName, error)) in.open(fileName, std::ios::binary);
    if (in.is_open() && !reader(in, fileName, map, console)) return false;
    if (in.is_open() && !in.bad()) return true;
    console.print("\n\nERROR:  %s %s cannot be read\n\n", option.kind, fileName.c_str());
    return false;
}

}  // namespace

bool read_value_map(std::istream& in, const std::string& fileName, ValueMap& map,
                    Console& console) {
    const MapFile file{"Value map", fileName, console};
    const auto lines = file.entries(in);
    if (!lines) return false;
    // "field|value" -> its target and line
    std::map<std::string, std::pair<std::string, std::size_t>> seen;
    for (const auto& [number, parts] : *lines) {
        if (parts.size() != 3)
            return file.refuse(number, "expected field|server value|target value");
        const std::optional<MappedField> field = field_named(parts[0]);
        if (!field)
            return file.refuse(number, "unknown field \"" + parts[0] +
                                           "\" (state, severity, symptom or priority)");
        const std::string& value = parts[1];
        const std::string& target = parts[2];
        if (value.empty()) {
            file.warn(number,
                      "an empty server value keeps its built-in result; the line is passed over");
            continue;
        }
        const auto [earlier, added] = seen.try_emplace(parts[0] + '|' + value, target, number);
        if (!added) {
            const std::string where = "line " + std::to_string(earlier->second.second);
            if (earlier->second.first != target)
                return file.refuse(number, parts[0] + " " + in_quotes(value) + " is mapped on " +
                                               where + " already");
            file.warn(number, "repeats " + where);
            continue;
        }
        ValueMap::FieldMap& fieldMap = map.fields[static_cast<std::size_t>(*field)];
        if (value == "*")
            fieldMap.fallback = target;
        else
            fieldMap.pairs.emplace(value, target);
    }
    return true;
}

bool read_user_map(std::istream& in, const std::string& fileName, UserMap& map, Console& console) {
    const MapFile file{"User map", fileName, console};
    const auto lines = file.entries(in);
    if (!lines) return false;
    std::map<std::string, std::size_t, std::less<>> lineOf;  // server login -> its line
    for (const auto& [number, parts] : *lines) {
        if (parts.size() != 2) return file.refuse(number, "expected server login|target login");
        const std::string& login = parts[0];
        const std::string& target = parts[1];
        if (login.empty() || target.empty()) return file.refuse(number, "a login is empty");
        if (const auto earlier = map.logins.find(login); earlier != map.logins.end()) {
            const std::string where = "line " + std::to_string(lineOf[login]);
            if (earlier->second != target)
                return file.refuse(number,
                                   in_quotes(login) + " is mapped on " + where + " already");
            file.warn(number, "repeats " + where);
            continue;
        }
        if (const auto other = map.sources.find(target); other != map.sources.end())
            return file.refuse(number, in_quotes(login) + " and " + in_quotes(other->second) +
                                           " (line " + std::to_string(lineOf[other->second]) +
                                           ") would both become " + in_quotes(target) +
                                           ", merging two accounts");
        map.logins.emplace(login, target);
        map.sources.emplace(target, login);
        lineOf.emplace(login, number);
    }
    map.fileName = fileName;
    return true;
}

bool load_tracking_maps(const RunSettings& settings, Console& console, TrackingMaps& maps) {
    const bool records =
        settings.exportKind == ExportKind::Defects || settings.exportKind == ExportKind::Features;
    const MapOption values{settings.valueMapFile, records, "-valuemap", "Value map",
                           "only the defect and feature exports map values"};
    const MapOption users{settings.userMapFile, records || settings.exportKind == ExportKind::Users,
                          "-usermap", "User map",
                          "only the defect, feature and users exports map logins"};
    return load_map_file(values, console, maps.values, read_value_map) &&
           load_map_file(users, console, maps.users, read_user_map);
}

void LoginMapper::map(std::string& login) {
    if (login.empty() || map_.fileName.empty()) return;
    if (const auto entry = map_.logins.find(login); entry != map_.logins.end()) {
        login = entry->second;
        return;
    }
    if (const auto source = map_.sources.find(login);
        source != map_.sources.end() && merge_.empty())
        merge_ = strprintf(
            "\n\nERROR:  User map %s maps '%s' to '%s', which is also a server login without an "
            "entry: their records would merge. Give '%s' an entry of its own.\n\n",
            map_.fileName.c_str(), source->second.c_str(), login.c_str(), login.c_str());
    const auto [seen, added] = keptIndex_.try_emplace(login, kept_.size());
    if (added) {
        kept_.push_back({login, 1, record_});
        return;
    }
    Kept& kept = kept_[seen->second];
    if (kept.lastRecord != record_) {
        ++kept.records;
        kept.lastRecord = record_;
    }
}

void LoginMapper::report_kept(Console& console) const {
    if (kept_.empty()) return;
    console.print("\nWARNING: Logins without an entry in %s, exported unchanged:\n",
                  map_.fileName.c_str());
    for (const Kept& kept : kept_)
        console.out(in_quotes(kept.login) + ": " + records_text(kept.records) + "\n");
}

bool write_fallback_report(Console& console, const ValueMapper& values) {
    std::string text;
    for (const std::string& line : values.fallback_report()) text += line + "\n";
    if (text.empty()) return true;
    console.print(
        "\nWARNING: Values without a mapping, exported as their field's fallback (also in %s):\n",
        kUnmappedValuesFile);
    console.out(text);
    OutputFile file(kUnmappedValuesFile);
    if (file.open() && file.stream() << text && file.commit()) return true;
    console.print("\n\nERROR: Could not write %s: %s\n\n", kUnmappedValuesFile, file.failure().c_str());
    return false;
}
