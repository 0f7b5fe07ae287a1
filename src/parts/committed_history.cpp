// The Vandor history path: committedVersions and versions reports per part, history
// steps, element.
#include "committed_history.h"

#include <algorithm>
#include <optional>
#include <sstream>

#include "output_file.h"

#include "history_model.h"
#include "part_queries.h"
#include "platform.h"
#include "report_file.h"
#include "selection.h"

namespace {

constexpr const char* kCommittedVersionsHead =
    "Report -general committedVersions  -select "
    "\"pathname,releasename,sid, versionid,changedate,levelname,commitdate\" ";
constexpr const char* kVersionsHead =
    "Report -general versions  -select \"sid,id,previousid,changedate\" ";

std::string versions_condition(const std::string& partPath) {
    return "sourceid in (select sourceid from fileview where pathname = " + sql_quoted(partPath) +
           ") order by changedate asc ";
}

/// A file name after a redirection: the default names as they are, any other quoted
/// when the interpreter would split or read it.
std::string redirection_target(const std::string& file) {
    return platform::is_plain_word(file) ? file : platform::quote_argument(file);
}

const HistoryReport kVersionsReport{
    "\n\nERROR:  No Versions Raw File Found: %s \n\n", "its versions report could not be read",
    "\n\nERROR:  The versions report holds no version of Part %s\n\n",
    "its versions report holds no version"};

}  // namespace

std::string committed_scratch_file(const std::string& committedFile, std::size_t slot) {
    if (committedFile.empty()) return place_file_name(kCommittedScratchFormat, slot);
    return slot == 0 ? committedFile : committedFile + strprintf(".%03zu", slot);
}

std::string versions_scratch_file(std::size_t slot) { return place_file_name(kVersionsScratchFormat, slot); }

std::string committed_versions_condition(const RunSettings& settings, const std::string& releaseInList,
                                         const PendingPart& part) {
    std::string condition;
    if (!settings.releaseName.empty()) {
        condition = "releaseName = " + sql_quoted(settings.releaseName) + " ";
    } else if (!releaseInList.empty()) {
        condition = "releaseName in " + releaseInList;
    } else {
        // Selected by "-where" or "-infile": the releases the part was listed in.
        std::vector<std::string> releases;
        for (const std::string& line : part.lines) {
            std::string release = parse_committed_row(line, 0)->releasename;
            if (std::find(releases.begin(), releases.end(), release) == releases.end())
                releases.push_back(std::move(release));
        }
        condition = "releaseName in " + release_in_list(releases);
    }
    return condition + " and pathname =" + sql_quoted(part.name) +
           "  and changetype != 'noDelta' order by pathname,sid,commitdate,changedate";
}

std::string committed_versions_command_line(const std::string& condition, const std::string& file) {
    return std::string(kCommittedVersionsHead) + " -where " + platform::quote_argument(condition) + " > " +
           redirection_target(file);
}

std::string compose_versions_command(const std::string& partPath, const std::string& file) {
    return std::string(kVersionsHead) + " -where \"" + versions_condition(partPath) + "\">" + file;
}

std::string versions_command_line(const std::string& partPath, const std::string& file) {
    return std::string(kVersionsHead) + " -where " + platform::quote_argument(versions_condition(partPath)) + ">" +
           file;
}

std::string CommittedVersionsPath::part_of(std::string_view line) const {
    std::optional<CommittedVersionRecord> row = parse_committed_row(line, 0);
    // A version id of "0": the part has no version in that release.
    return row->versionid == "0" ? std::string() : std::move(row->pathname);
}

std::string CommittedVersionsPath::release_of(std::string_view line) const {
    return parse_committed_row(line, 0)->releasename;
}

std::vector<std::string> CommittedVersionsPath::scratch_files(std::size_t slot) const {
    return {committed_scratch_file(settings_.committedFile, slot), versions_scratch_file(slot)};
}

bool CommittedVersionsPath::user_named(const std::string& file) const {
    return !settings_.committedFile.empty() && file == settings_.committedFile;
}

std::string CommittedVersionsPath::journal_extra(const std::vector<std::string>& files) const {
    if (settings_.committedFile.empty()) return {};
    std::ifstream in(files[0], std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void CommittedVersionsPath::replay_extra(const std::string& answer) {
    lastAnswerText_ = answer;
    lastAnswer_.clear();
}

bool CommittedVersionsPath::after_last_part(RunContext& ctx) {
    const std::string& named = settings_.committedFile;
    std::string why;
    if (!named.empty() && lastAnswerText_) {
        if (write_whole_file(named, *lastAnswerText_, why, &ctx.scratch)) return true;
        ctx.console.print("\n\nERROR:  Can't write the committed versions file %s: %s\n\n", named.c_str(),
                          why.c_str());
        return false;
    }
    if (named.empty() || lastAnswer_.empty() || lastAnswer_ == named) return true;
    std::ifstream in(lastAnswer_, std::ios::binary);
    std::ostringstream answer;
    answer << in.rdbuf();
    if (in && write_whole_file(named, answer.str(), why, &ctx.scratch)) return true;
    ctx.console.print("\n\nERROR:  Can't write the committed versions file %s: %s\n\n", named.c_str(),
                      why.empty() ? "its answer cannot be read" : why.c_str());
    return false;
}

std::vector<std::string> CommittedVersionsPath::command_lines(const PendingPart& part,
                                                              const std::vector<std::string>& files) const {
    return {committed_versions_command_line(committed_versions_condition(settings_, releaseInList_, part), files[0]),
            versions_command_line(part.name, files[1])};
}

int load_committed_versions(PartRun& run, const std::string& file, const std::string& shown) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        run.console.print("\n\nERROR:  Can not open CommittedVersion Data File %s\n\n", shown.c_str());
        run.console.set_reason("its committedVersions report could not be read");
        return -1;
    }
    std::string line;
    while (read_line(in, line)) {
        if (line.empty()) continue;
        if (int rc = run.model.append_part_row(*parse_committed_row(line, 1)); rc != 0) return rc;
    }
    return 0;
}

int run_versions_report(PartRun& run, const std::string& partPath, int status) {
    if (status == 0) return 0;
    const std::string shown = versions_scratch_file(0);
    run.console.print("\n\nERROR:  Can Not Create Versions Raw File %s", shown.c_str());
    run.console.print("\nVersions Command is : %s\n", compose_versions_command(partPath, shown).c_str());
    run.console.set_reason("its versions report failed");
    return -1;
}

int read_version_rows(PartRun& run, const std::string& partPath, const std::string& file) {
    return load_history(run, partPath, file, versions_scratch_file(0), kVersionsReport, [&](const std::string& line) {
        return line.empty() ? 1 : run.model.append_revision(parse_version_row(line, partPath));
    });
}

int CommittedVersionsPath::process_committed_part(PartRun& run, const PendingPart& part,
                                                  const std::vector<int>& statuses,
                                                  const std::vector<std::string>& files) {
    lastAnswer_ = files[0];
    lastAnswerText_.reset();
    for (const std::string& line : part.lines)
        if (int rc = run.model.append_part_row(*parse_committed_row(line, 0)); rc != 0) return rc;
    // Messages name the files of the batch's first place: a part prints the same
    // whichever place it had, so a -jobs run prints what a run without it prints.
    const std::string committedShown = committed_scratch_file(settings_.committedFile, 0);
    if (statuses[0] != 0) {
        run.console.print("%s", command_failed_message(ServerKind::Vandor));
        run.console.print("\n\nWarning:  Can't retrieve CommittedVersion Data File %s\n\n", committedShown.c_str());
        run.console.set_reason("its committedVersions report failed");
        return -1;
    }
    if (int rc = load_committed_versions(run, files[0], committedShown); rc != 0) return rc;
    if (int rc = run_versions_report(run, part.name, statuses[1]); rc != 0) return rc;
    if (int rc = read_version_rows(run, part.name, files[1]); rc != 0) return rc;
    return run.end_part();
}

int retrieve_committed_histories(RunContext& ctx, ExportIdentity& identity, const std::string& rawFile,
                                 const std::string& releaseInList, const std::string* rows,
                                 FileVerifier* verifier) {
    CommittedVersionsPath path(ctx.settings, releaseInList);
    return export_part_histories(ctx, identity, rawFile, kNoFileViewDataMessage, path, rows, verifier);
}
