// The Corvane history path: RevisionView report per part, history steps, element.
#include "part_history.h"

#include "history_model.h"
#include "lookups.h"
#include "platform.h"

namespace {

constexpr const char* kRevisionViewHead =
    "corv Report -general RevisionView  -select "
    "\"nupathname,changedate,revisionname,ancestorrevision,nuadddate,sourceid\"";

std::string revision_view_condition(const std::string& partPath) {
    return "nupathname = '" + sql_literal_text(partPath) + "' order by changeDate desc";
}

const HistoryReport kRevisionViewReport{
    "\n\nERROR:  Can not open RevisionView Raw File %s", "its RevisionView report could not be read",
    "\n\nERROR:  The RevisionView report holds no revision of Part %s\n\n",
    "its RevisionView report holds no revision"};

}  // namespace

std::string revision_scratch_file(std::size_t slot) {
    return place_file_name(kRevisionScratchFormat, slot);
}

std::string compose_revision_view_command(const std::string& partPath, const std::string& file) {
    return std::string(kRevisionViewHead) + " -where \"" + revision_view_condition(partPath) +
           "\">" + file;
}

std::string revision_view_command_line(const std::string& partPath, const std::string& file) {
    return std::string(kRevisionViewHead) + " -where " +
           platform::quote_argument(revision_view_condition(partPath)) + ">" + file;
}

std::string RevisionViewPath::part_of(std::string_view line) const {
    return parse_part_row(line).nupathname;
}

std::string RevisionViewPath::release_of(std::string_view line) const {
    return parse_part_row(line).releasename;
}

std::vector<std::string> RevisionViewPath::scratch_files(std::size_t slot) const {
    return {revision_scratch_file(slot)};
}

std::vector<std::string> RevisionViewPath::command_lines(const PendingPart& part,
                                                         const std::vector<std::string>& files) const {
    return {revision_view_command_line(part.name, files[0])};
}

int RevisionViewPath::export_part(PartRun& run, const PendingPart& part,
                                  const std::vector<int>& statuses,
                                  const std::vector<std::string>& files) {
    for (const std::string& line : part.lines)
        if (int rc = run.model.append_part_row(parse_part_row(line)); rc != 0) return rc;
    // Messages name the file of the batch's first place: a part prints the same
    // whichever place it had, so a -jobs run prints what a run without it prints.
    const std::string shown = revision_scratch_file(0);
    if (statuses[0] != 0) {
        run.console.print("\n\nERROR:  Can Not Create Revisionview Raw File %s", shown.c_str());
        run.console.print("\nRevisionView Command is : %s\n",
                          compose_revision_view_command(part.name, shown).c_str());
        run.console.set_reason("its RevisionView report failed");
        return -1;
    }
    const int rc =
        load_history(run, part.name, files[0], shown, kRevisionViewReport, [&](const std::string& line) {
            RevisionRecord row = parse_revision_row(line);
            if (row.nupathname != part.name) return 1;  // not this part's history
            return run.model.append_revision(row);
        });
    return rc != 0 ? rc : run.end_part();
}

int retrieve_part_histories(RunContext& ctx, ExportIdentity& identity, const std::string& rawFile,
                            const std::string* rows, FileVerifier* verifier) {
    RevisionViewPath path;
    return export_part_histories(ctx, identity, rawFile, kNoRawPartDataMessage, path, rows, verifier);
}
