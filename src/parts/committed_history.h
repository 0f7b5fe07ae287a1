// The Vandor history path of a parts export: part by part, the part's Fileview rows
// and committed versions as its part rows, every version from the versions report,
// the history steps, and the element written whole.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "part_series.h"

/// The committedVersions answer of the part in place `slot` of a batch: by default
/// "vandorCommittedfile000.raw", "vandorCommittedfile001.raw", ...; a "-committedFile"
/// name for place 0, and that name followed by ".001", ".002", ... for the others,
/// which are scratch files: after the run the named file alone stays, holding the last
/// part's answer, as a run that fetched one part at a time would leave it.
std::string committed_scratch_file(const std::string& committedFile, std::size_t slot);
/// The versions answer of the part in place `slot`: "verTmpFile000.out", ...
std::string versions_scratch_file(std::size_t slot);

/// The condition of a part's committedVersions report: the "-release" name when given,
/// else `releaseInList` when it holds any name, else the release names of the part's
/// own Fileview rows (an empty in-list would be invalid SQL).
std::string committed_versions_condition(const RunSettings& settings, const std::string& releaseInList,
                                         const PendingPart& part);
/// The committedVersions command into `file` as it is run: the condition is one
/// argument quoted for the command interpreter, and so is a file name that needs it.
std::string committed_versions_command_line(const std::string& condition, const std::string& file);
/// The versions command of a part into `file` as it is printed when it fails.
std::string compose_versions_command(const std::string& partPath, const std::string& file);
/// The same command as it is run.
std::string versions_command_line(const std::string& partPath, const std::string& file);

/// The Vandor path for the part loop: Fileview rows (blank lines and rows whose
/// versionid is "0" name no part), a committedVersions and a versions report per part.
class CommittedVersionsPath : public PartHistoryPath {
public:
    CommittedVersionsPath(const RunSettings& settings, std::string releaseInList)
        : settings_(settings), releaseInList_(std::move(releaseInList)) {}
    std::string part_of(std::string_view line) const override;
    std::string release_of(std::string_view line) const override;
    std::vector<std::string> scratch_files(std::size_t slot) const override;
    /// The "-committedFile" file: the user's name, never removed (were it a device,
    /// removing it would do harm far beyond the run).
    bool user_named(const std::string& file) const override;
    /// Leaves the last part's committed-versions answer in the "-committedFile" file.
    bool after_last_part(RunContext& ctx) override;
    /// With "-committedFile": the part's committed-versions answer, for the file.
    std::string journal_extra(const std::vector<std::string>& files) const override;
    void replay_extra(const std::string& answer) override;
    std::vector<std::string> command_lines(const PendingPart& part,
                                           const std::vector<std::string>& files) const override;
    int export_part(PartRun& run, const PendingPart& part, const std::vector<int>& statuses,
                    const std::vector<std::string>& files) override {
        return process_committed_part(run, part, statuses, files);
    }

    /// The part rows of the part's Fileview lines, then of its committed versions, then
    /// the versions and the history steps; the element is ended when they succeed.
    int process_committed_part(PartRun& run, const PendingPart& part, const std::vector<int>& statuses,
                               const std::vector<std::string>& files);

private:
    const RunSettings& settings_;
    std::string releaseInList_;
    std::string lastAnswer_;  // the committed-versions answer of the last part exported
    std::optional<std::string> lastAnswerText_;  // or its text, when that part came from a journal
};

/// Appends the committed versions of the answer `file` (rows whose versionid is "0"
/// and blank lines skipped) to the part rows. 0, or -1 after its message (naming the
/// file as `shown`) when the answer cannot be read although its command succeeded.
int load_committed_versions(PartRun& run, const std::string& file, const std::string& shown);
/// Reports a failed versions command (`status` not 0) with the command; 0 or -1.
int run_versions_report(PartRun& run, const std::string& partPath, int status);
/// Loads every version of the answer `file` and runs the history steps. A part without
/// any version fails, as one whose answer cannot be read.
int read_version_rows(PartRun& run, const std::string& partPath, const std::string& file);

/// Exports every part of the raw part file `rawFile` (Fileview rows; the rows of a part
/// adjacent), or the journal's `rows`, as export_part_histories does (with a `verifier`:
/// checks its file); `releaseInList` is the run's release in-list, empty when the run
/// names no releases (nor "-release").
int retrieve_committed_histories(RunContext& ctx, ExportIdentity& identity, const std::string& rawFile,
                                 const std::string& releaseInList, const std::string* rows = nullptr,
                                 FileVerifier* verifier = nullptr);
