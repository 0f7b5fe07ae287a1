// The raw view report and the configuration-info report of the tracking exports.
#pragma once

#include <string>

#include "run_context.h"

/// Scratch raw file of the view report for an export kind ("defectRawFile000.raw",
/// "featureRawFile000.raw", "userRawFile000.raw"); empty for other kinds.
std::string view_raw_file_name(ExportKind kind);

/// The condition of the view report: the "-where" text as given, or the default.
std::string view_report_condition(const RunSettings& settings);
/// The view report command for the run, without its redirection, as it is printed.
std::string compose_view_report_command(const RunSettings& settings);
/// The view report command as it is run: the condition quoted for the command
/// interpreter, so that it reaches the server exactly as typed, and the redirection.
std::string view_report_command_line(const RunSettings& settings, const std::string& rawFileName);

/// Names the raw file of the view report in `rawFileName`: the "-infile" file (no
/// command is run), or the scratch file that the view report command writes.
/// Returns 0, or -1 when the command failed (the name is still handed back) or the file
/// fails check_raw_file, whose warning about an "-infile" file goes to `shapeWarning`.
int generate_view_report(RunContext& ctx, std::string& rawFileName, std::string* shapeWarning = nullptr);

/// The longest raw report line read: far beyond any record a server writes, and a bound
/// on the memory one line takes.
inline constexpr std::size_t kRawLineLimit = 16 * 1024 * 1024;

/// Reads the raw file `name` once before it is exported. Refused, with a message naming
/// the file and the reason: a folder, a file that cannot be read to its end, a line
/// longer than kRawLineLimit; and, for a file the user named with "-infile" (`given`), a
/// NUL byte (no report is binary) or no line at all with a field count the export
/// kind's report has (a defects report given to "-users"). Such a file's other odd lines
/// are exported as the format reads them (a users line without "|" skipped, a short
/// line with its missing fields empty); `warning` then receives one line that counts
/// them and names the first. 0 or -1.
int check_raw_file(RunContext& ctx, const std::string& name, bool given, std::string* warning);

/// Runs the configuration-info report of the defect or feature export into its
/// scratch file and names that file in `configFileName`; the users export has none
/// (empty name, nothing run). Returns 0, or -1 when the command failed.
int generate_config_info(RunContext& ctx, std::string& configFileName);

/// The kind's "Command Unsuccessful" message.
const char* command_failed_message(ServerKind kind);
