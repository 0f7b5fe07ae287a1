// The part list queries: which parts of the selected releases the server lists, as
// PartFullView (Corvane) or Fileview (Vandor) rows redirected into a raw file.
#pragma once

#include <optional>
#include <string>

#include "run_context.h"
#include "run_files.h"

/// The raw part file of a parts export; it stays for the next run, which keeps it
/// under the backup name (this name followed by the digit 0).

/// One part list query: the report command up to " -where ", and the condition that
/// follows it. The condition reaches the client as one argument.
struct PartQuery {
    std::string head;
    std::string condition;
};

/// The command as it is printed: the condition between double quotes.
std::string printed_query(const PartQuery& query);
/// The command line as it is run: the condition quoted for the command interpreter, so
/// that the server receives it byte for byte, then " >" and `rawFile`.
std::string query_command_line(const PartQuery& query, const std::string& rawFile);

/// `name` as a quoted SQL literal: between single quotes, its own quotes doubled.
std::string sql_quoted(const std::string& name);

/// The whole-selection query: the "-where" text alone, else the "-release" name, else
/// `releaseInList`; Corvane leaves out rows of live work areas unless "-where" is given.
PartQuery compose_release_query(const RunSettings& settings, const std::string& releaseInList);
/// The query of one like pattern, which goes between single quotes unchanged (its
/// author may have written an escape clause after it).
PartQuery compose_wildcard_query(const RunSettings& settings, const std::string& releaseInList,
                                 const std::string& entry);
/// The query of one batch of named parts: `partInList` is the closed list of the batch.
/// Always over `releaseInList`; under "-workareas" Corvane also admits rows of work
/// areas in state fix or integrate. Nothing when the batch holds no name.
std::optional<PartQuery> compose_batch_query(const RunSettings& settings,
                                             const std::string& releaseInList,
                                             const std::string& partInList);

/// Prints and runs `supplied`, or else the whole-selection query, into `rawFile` (which
/// becomes the raw part file when empty). 0 when it ran; 1, running nothing, when a
/// part specification without "-where" supplies no batch; -1 after the kind's
/// "Command Unsuccessful" when it failed.
int run_part_query(RunContext& ctx, const std::string& releaseInList, std::string& rawFile,
                   const PartQuery* supplied = nullptr);
/// Prints and runs the query of one like pattern into `outputFile`; 0 or -1.
int run_wildcard_query(RunContext& ctx, const std::string& releaseInList, const std::string& entry,
                       const std::string& outputFile);
