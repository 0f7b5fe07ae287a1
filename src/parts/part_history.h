// The Corvane history path of a parts export: part by part, the revision history
// from the RevisionView report, the history steps, and the element written whole.
#pragma once

#include <cstddef>
#include <string>

#include "part_series.h"

/// The scratch file of the RevisionView report in place `slot` of a batch of parts:
/// "revTmpFile000.out", "revTmpFile001.out", ...
std::string revision_scratch_file(std::size_t slot);

/// The RevisionView command of one part into `file` as it is printed when it fails,
/// redirection included.
std::string compose_revision_view_command(const std::string& partPath, const std::string& file);
/// The same command as it is run: the part path a SQL literal inside a condition that
/// is one argument quoted for the command interpreter.
std::string revision_view_command_line(const std::string& partPath, const std::string& file);

/// The Corvane path for the part loop: PartFullView rows (blank lines name no part),
/// one RevisionView report per part.
class RevisionViewPath : public PartHistoryPath {
public:
    std::string part_of(std::string_view line) const override;
    std::string release_of(std::string_view line) const override;
    std::vector<std::string> scratch_files(std::size_t slot) const override;
    std::vector<std::string> command_lines(const PendingPart& part,
                                           const std::vector<std::string>& files) const override;
    int export_part(PartRun& run, const PendingPart& part, const std::vector<int>& statuses,
                    const std::vector<std::string>& files) override;
};

/// Exports every part of the raw part file `rawFile` (PartFullView rows; the rows of a
/// part adjacent), or the journal's `rows`, as export_part_histories does (with a
/// `verifier`: checks its file).
int retrieve_part_histories(RunContext& ctx, ExportIdentity& identity, const std::string& rawFile,
                            const std::string* rows = nullptr, FileVerifier* verifier = nullptr);
