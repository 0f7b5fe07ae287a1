// The defect import file: header, the mapped and plain record layouts, and the writer.
#pragma once

#include <string>
#include <vector>

#include "mapping_files.h"
#include "run_context.h"

/// The header line (with "\n") for -map (`mapValues` 1) or -nomap (0); the -nomap
/// header carries the configurable field names behind the 24 fixed names.
std::string defect_header(bool mapValues, const std::vector<std::string>& configFieldNames);

/// The compose functions make a record's columns from its raw fields; the file writer
/// adds the notes column and writes the record.
///
/// The columns of one raw DefectView record in the -map layout, notes column excluded:
/// old_id, Owner, State, Severity, Headline, Submit_Date, Submitter, Symptoms, Priority;
/// state, severity, symptom and priority translated by `values`.
std::string compose_mapped_defect_record(const std::vector<std::string>& fields, ServerKind server,
                                        ValueMapper& values);

/// The columns of one raw DefectView record in the -nomap layout, notes column
/// excluded: the 24 fixed fields, then `configFieldCount` configurable fields (Corvane's
/// two extra fixed fields are skipped).
std::string compose_plain_defect_record(const std::vector<std::string>& fields, ServerKind server,
                                      std::size_t configFieldCount);

/// Writes the defect import file from the raw DefectView file with the run's maps (the
/// value map in -map mode; the user map for ownerLogin and originLogin in both modes),
/// as write_tracking_file does. Result 0, or -1 as write_tracking_file.
int write_defect_file(RunContext& ctx, const std::string& rawFileName,
                      const std::vector<std::string>& configFieldNames, const TrackingMaps& maps);
