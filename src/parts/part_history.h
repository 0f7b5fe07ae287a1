// The Corvane history path of a parts export: part by part, the revision history
// from the RevisionView report, the history steps, and the element written whole.
#pragma once

#include <cstddef>
#include <string>

#include "identity.h"
#include "run_context.h"

/// Parts whose RevisionView reports go to the interpreter together.
inline constexpr std::size_t kPartsBatch = 64;

/// The scratch file of the RevisionView report in place `slot` of a batch of parts:
/// "revTmpFile000.out", "revTmpFile001.out", ...
std::string revision_scratch_file(std::size_t slot);

/// The RevisionView scratch file that the output file `output` would be, or nothing.
std::string clashing_revision_file(const std::string& output);

/// The RevisionView command of one part into `file` as it is printed when it fails,
/// redirection included.
std::string compose_revision_view_command(const std::string& partPath, const std::string& file);
/// The same command as it is run: the part path a SQL literal inside a condition that
/// is one argument quoted for the command interpreter.
std::string revision_view_command_line(const std::string& partPath, const std::string& file);

/// Exports every part of the raw part file `rawFile` (PartFullView rows; the rows of a
/// part adjacent; blank lines skipped). A failed part is reported and dropped whole;
/// the others go on. When every part succeeded the export files are combined and the
/// totals printed (the result is the combining's). When some failed, the export files
/// are still combined if any element was written, the totals are printed, the failed
/// parts are listed with their reasons, and the result is -1. -1 at once when the
/// file is missing, empty or names no part, or when the run is interrupted.
int retrieve_part_histories(RunContext& ctx, ExportIdentity& identity, const std::string& rawFile);
