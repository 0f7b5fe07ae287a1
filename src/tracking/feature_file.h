// The feature import file: header, the mapped and plain record layouts, and the writer.
#pragma once

#include <string>
#include <vector>

#include "mapping_files.h"
#include "run_context.h"

/// The header line (with "\n"): -map has nine fixed names; -nomap the server kind's
/// fixed names (21 Corvane, 19 Vandor), the configurable field names and "Notes_Log".
std::string feature_header(bool mapValues, ServerKind server,
                           const std::vector<std::string>& configFieldNames);

/// The compose functions make a record's columns from its raw fields; the file writer
/// adds the notes column and writes the record.
///
/// The -map columns of one raw FeatureView record, notes column excluded: old_id,
/// Owner, state, Severity (always "5-Enhancement"), Headline, Submit_Date, Submitter,
/// Priority; state and priority translated by `values`.
std::string compose_mapped_feature_record(const std::vector<std::string>& fields, ServerKind server,
                                        ValueMapper& values);

/// The -nomap columns of one raw FeatureView record, notes column excluded.
std::string compose_plain_feature_record(const std::vector<std::string>& fields, ServerKind server,
                                       std::size_t configFieldCount);

/// Writes the feature import file from the raw FeatureView file with the run's maps (the
/// value map in -map mode; the user map for ownerLogin and originLogin in both modes),
/// as write_tracking_file does. Result 0, or -1 as write_tracking_file.
int write_feature_file(RunContext& ctx, const std::string& rawFileName,
                       const std::vector<std::string>& configFieldNames, const TrackingMaps& maps);
