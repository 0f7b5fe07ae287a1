// The user's mapping files (-valuemap, -usermap) and the reports of what they left unmapped.
#pragma once

#include <cstddef>
#include <istream>
#include <map>
#include <string>
#include <vector>

#include "console.h"
#include "run_settings.h"
#include "value_maps.h"
#include "run_files.h"

/// The report of the values that fell to a fallback, in the current folder; written
/// whole by a -map defect or feature export that has such values, removed at the start
/// of every defect and feature export.

/// A user's login map: server login to target login, no two server logins to one
/// target.
struct UserMap {
    std::string fileName;  // empty: the run has no user map
    std::map<std::string, std::string, std::less<>> logins;
    std::map<std::string, std::string, std::less<>> sources;  // target login -> its server login
};

/// The maps one run applies; empty ones change nothing.
struct TrackingMaps {
    ValueMap values;
    UserMap users;
};

/// Both file formats are UTF-8 text, one entry a line: a byte-order mark before the
/// first line and a CR before a line end are dropped; blank lines and lines that begin
/// with "#" are skipped. Values are compared exactly (case and blanks count). A reader
/// prints a warning for each line it passes over and, when it refuses the file, an
/// error naming the file and the line; it returns false then.
///
/// Value map lines: "field|server value|target value", the field one of state,
/// severity, symptom, priority; "*" as the server value sets the field's fallback.
/// Refused: another number of "|", an unknown field, a value holding a line break, a
/// server value mapped twice to different targets. Warned about and passed over: an
/// empty server value (empty values keep their built-in result), a repeated line.
bool read_value_map(std::istream& in, const std::string& fileName, ValueMap& map, Console& console);

/// User map lines: "server login|target login". Refused: another number of "|", an
/// empty login, a login holding a line break, a server login mapped twice to different
/// targets, two server logins mapped to one target (that would merge their accounts).
/// Warned about and passed over: a repeated line.
bool read_user_map(std::istream& in, const std::string& fileName, UserMap& map, Console& console);

/// Reads the map files `settings` names for its export kind: the value map for a
/// defect or feature export, the user map for those and the users export; a map the
/// export does not use gets a warning and is not read. false after the message naming
/// the file that cannot be read or is refused.
bool load_tracking_maps(const RunSettings& settings, Console& console, TrackingMaps& maps);

/// Applies a user map to the logins of one export, keeps the logins that have no entry
/// unchanged and counts the records they appear in.
class LoginMapper {
public:
    explicit LoginMapper(const UserMap& map) : map_(map) {}
    /// Starts counting the next record.
    void next_record() { ++record_; }
    /// Replaces `login` by its target login. A login without an entry stays and is
    /// counted once per record; one that is another login's target makes merge() say so.
    void map(std::string& login);
    /// Empty, or the error message of a kept login that another login is mapped to: the
    /// export would merge the two accounts, so it must fail.
    const std::string& merge() const { return merge_; }
    /// The closing warning that lists the kept logins with their counts; nothing when
    /// every login had an entry or the run has no user map.
    void report_kept(Console& console) const;

private:
    struct Kept {
        std::string login;
        std::size_t records;
        std::size_t lastRecord;
    };
    const UserMap& map_;
    std::size_t record_ = 0;
    std::vector<Kept> kept_;
    std::map<std::string, std::size_t, std::less<>> keptIndex_;
    std::string merge_;
};

/// Prints the fallback report of `values` and writes the same lines into
/// kUnmappedValuesFile; nothing at all when no value fell to a fallback. false after an
/// error message when the file cannot be written.
bool write_fallback_report(Console& console, const ValueMapper& values);
