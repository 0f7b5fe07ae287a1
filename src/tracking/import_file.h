// The quoted, comma-separated tracking import file shared by the defect and feature exports.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "mapping_files.h"
#include "run_context.h"

/// Appends `value` as one quoted column: a comma first unless `record` is empty, every
/// double quote in the value doubled so that no server text can break the record.
void append_column(std::string& record, std::string_view value);

/// A header line: every name quoted, separated by commas, ended by "\n".
std::string compose_header(const std::vector<std::string>& names);

/// The -nomap layout of a record kind: its fixed fields by name, at raw positions 0 on,
/// and the raw position of its first configurable field.
struct PlainLayout {
    std::span<const std::string> fixedNames;
    std::size_t firstConfigPosition;
};

/// The -nomap header: the fixed names, the configurable field names (at most
/// kMaxConfigFields), "Notes_Log".
std::string plain_header(std::span<const std::string> fixedNames,
                         const std::vector<std::string>& configFieldNames);

/// The -nomap columns of one raw record, notes column excluded: every fixed field, then
/// `configFieldCount` configurable fields (fields between the two are not exported).
std::string plain_record(const PlainLayout& layout, const std::vector<std::string>& fields,
                         std::size_t configFieldCount);

/// What distinguishes one tracking import file from another.
struct TrackingFileLayout {
    std::string header;  // the whole first line, "\n" included
    /// The columns of one raw record (split at "|"), notes column excluded.
    std::function<std::string(const std::vector<std::string>& fields)> columns;
    const char* missingInputMessage;  // "%s": the raw file name
    const char* defaultOutputName;    // used when the run names no output file
    const char* progressFormat;       // "%d": the records written so far
    const char* countFormat;          // "%d": the records of the finished file
    std::vector<std::size_t> loginPositions;  // raw positions of the logins a user map rewrites
    const ValueMapper* values = nullptr;      // -map: the mapper whose fallbacks are reported
};

/// How many placeholder notes a warning names before it says "...".
inline constexpr std::size_t kNamedMissingNotes = 5;

/// Writes the import file from the raw report file `rawFileName`: the header, then one
/// record per raw line (a last line without a line end included) with its notes column
/// fetched per record, then the count line. The file appears under its name only when
/// complete; an earlier file of that name stays until then. Records whose note could
/// not be fetched carry "Migrated Note", and one closing warning counts them and names
/// the first kNamedMissingNotes; kNotesNotFetchedFile lists them all. `logins` rewrites
/// the logins at the layout's login positions before a record is composed; the logins it
/// kept are listed at the end, followed by the fallback report of the layout's value
/// mapper. Every note fetched goes to the run's journal; a note the journal of an
/// earlier run holds (-resume) is taken from it instead of fetched, and placeholders
/// keep the journal for a later -resume. The raw file is removed unless the run named it
/// with "-infile". Result 0, or -1 when the raw file or the output file or the fallback
/// report cannot be opened or written, the user map would merge two accounts, or the run
/// was interrupted.
int write_tracking_file(RunContext& ctx, const std::string& rawFileName,
                        const TrackingFileLayout& layout, LoginMapper& logins);
