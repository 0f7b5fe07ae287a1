// Entries of the defect and feature exports, and the configurable field names they use.
#pragma once

#include <cstddef>
#include <istream>
#include <string>
#include <vector>

#include "mapping_files.h"
#include "run_context.h"

/// At most this many configurable fields become -nomap columns: the first ones of the
/// configuration-info report, in its order; the export warns naming the others.
inline constexpr std::size_t kMaxConfigFields = 20;

/// The configurable field names of a configuration-info report: the third "|" field of
/// every line that is not blank and holds neither "Prefix" nor "Severity", in file
/// order, all of them. Names are carried whole, however long.
std::vector<std::string> read_config_field_names(std::istream& in);

/// Runs the configuration-info report for the run's export kind and fills
/// `configFieldNames` from it (empty when the report file is missing, with a message);
/// more than kMaxConfigFields names get a warning naming those the export leaves out.
/// The report file is removed afterwards. Result: the report command's status; the
/// export fails when it is not 0.
int load_configurable_fields(RunContext& ctx, std::vector<std::string>& configFieldNames);

/// -plan, once the view report is in `rawFileName`: its records, and the note calls (and
/// configuration report) the export would make; the users export makes none. No export
/// file; 0 or -1.
int plan_tracking_export(RunContext& ctx, const std::string& rawFileName);

/// The -defects export with the run's maps; 0 on success, -1 on failure. Each defect or
/// feature export first removes the fallback report of an earlier run.
int export_defects(RunContext& ctx, const TrackingMaps& maps);
/// The -features export with the run's maps; 0 on success, -1 on failure.
int export_features(RunContext& ctx, const TrackingMaps& maps);
