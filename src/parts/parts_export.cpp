// The parts export driver: release selection check, identity, raw part file and the
// history path of the server kind.
#include "parts_export.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <optional>

#include "committed_history.h"
#include "run_files.h"
#include "output_file.h"
#include "part_history.h"
#include "part_queries.h"
#include "platform.h"
#include "selection.h"

int backup_raw_part_file(Console& console) {
    if (!std::ifstream(kRawPartFile)) return 0;
    const std::string backup = std::string(kRawPartBackup);
    // The older backup is held aside until the new selection is known to yield parts.
    std::remove(kHeldRawPartBackup);
    if (std::ifstream(backup)) platform::replace_file(backup, kHeldRawPartBackup);
    // In one step: a rename that fails leaves the older backup in place.
    if (platform::replace_file(kRawPartFile, backup)) {
        console.print("\nRaw Part File : %s  Renamed to : %s\n", kRawPartFile, backup.c_str());
        return 1;
    }
    if (std::ifstream(kHeldRawPartBackup)) platform::replace_file(kHeldRawPartBackup, backup);
    return 0;
}

void report_verify_clash(Console& console, const std::string& file, const std::string& clash) {
    console.print("\n\nERROR:  The file to verify %s is %s, which this run writes; copy it to another name "
                  "first\n\n",
                  file.c_str(), clash.c_str());
}

void keep_raw_part_backup(ScratchFiles& scratch, bool rotated, bool restore) {
    if (!restore) {
        std::remove(kHeldRawPartBackup);
        return;
    }
    scratch.remove(kRawPartFile);
    if (!rotated) return;
    platform::replace_file(kRawPartBackup, kRawPartFile);
    if (std::ifstream(kHeldRawPartBackup)) platform::replace_file(kHeldRawPartBackup, kRawPartBackup);
}

int print_export_totals(const ElementWriter& writer, Console& console) {
    console.print("\n\n\t  Total Versions Written:   %d\n", writer.versionCount());
    console.print("\n\n\t     Total Parts Written:   %d\n", writer.elementCount());
    return 0;
}

int finish_parts_export(ElementWriter& writer, HistoryModel& model, Console& console) {
    if (writer.combine_export_files() != 0) {
        console.print("\n\nERROR:\tCan't combine the export files \n\n");
        return -1;
    }
    model.release_history(true);
    return print_export_totals(writer, console);
}

namespace {

/// Has the server list the selected parts into the raw part file, named in `rawFile`.
/// A "-where" text replaces the release selection; otherwise the release in-list is
/// built into `releaseInList` and either the whole release or the part specification
/// is queried.
int list_selected_parts(RunContext& ctx, std::string& rawFile, std::string& releaseInList) {
    const RunSettings& settings = ctx.settings;
    if (!settings.whereClause.empty()) return run_part_query(ctx, "", rawFile) < 0 ? -1 : 0;
    if (!settings.releaseName.empty())
        releaseInList = release_in_list({settings.releaseName});
    else if (int rc = build_release_list(ctx, releaseInList); rc != 0)
        return rc;
    if (settings.allParts) return run_part_query(ctx, releaseInList, rawFile);
    return select_parts(ctx, releaseInList, rawFile) != 0 ? -1 : 0;
}

/// The releases the run names ("-release", "-relspec"), or none ("-where").
std::vector<std::string> named_releases(RunContext& ctx) {
    std::vector<std::string> names;
    if (!ctx.settings.whereClause.empty()) return names;
    if (!ctx.settings.releaseName.empty())
        names.push_back(ctx.settings.releaseName);
    else if (!ctx.settings.relSpecFile.empty())
        read_release_spec(ctx, names);
    return names;
}

/// Says which named releases the selection found no part in: an error when it found no
/// part at all, a warning for each such release otherwise. false when no part was found.
bool selection_holds_parts(RunContext& ctx, const SelectionSummary& summary) {
    const std::vector<std::string> names = named_releases(ctx);
    const std::string of = ctx.settings.allParts ? "" : " of " + ctx.settings.partSpecFile;
    std::vector<std::string> empty;
    for (const std::string& name : names)
        if (std::find(summary.releases.begin(), summary.releases.end(), name) == summary.releases.end() &&
            std::find(empty.begin(), empty.end(), name) == empty.end())
            empty.push_back(name);
    std::string list;
    for (const std::string& name : empty) list += (list.empty() ? "\"" : ", \"") + name + "\"";
    const std::string named = strprintf("%s %s %s no part%s", empty.size() == 1 ? "release" : "releases",
                                        list.c_str(), empty.size() == 1 ? "holds" : "hold", of.c_str());
    if (summary.parts > 0) {
        if (!empty.empty()) ctx.console.print("\nWARNING: The %s\n", named.c_str());
        return true;
    }
    if (!empty.empty())
        ctx.console.print("\n\nERROR:  The selection yields no part: %s\n\n", named.c_str());
    else if (summary.lines == 0)
        ctx.console.print(ctx.settings.corvane() ? kNoRawPartDataMessage : kNoFileViewDataMessage, kRawPartFile);
    else
        ctx.console.print("\n\nERROR:  The query yields no parts to process\n\n");
    return false;
}

/// -plan: what the parts of the selection would take.
int plan_parts_export(RunContext& ctx, const SelectionSummary& summary, const PartHistoryPath& path) {
    PlanFigures figures;
    figures.releases = summary.releases.size();
    figures.parts = summary.parts;
    figures.partRows = summary.rows;
    figures.calls = summary.parts * path.scratch_files(0).size();
    figures.callsAre = ctx.settings.corvane() ? "one RevisionView report a part"
                                              : "a committedVersions and a versions report a part";
    figures.lookupsLeftOut = true;
    print_plan(ctx.console, ctx.settings, figures, ctx.callTimes ? *ctx.callTimes : CallTimes{});
    return 0;
}

}  // namespace

int export_parts(RunContext& ctx) {
    const RunSettings& settings = ctx.settings;
    if (settings.releaseName.empty() && settings.relSpecFile.empty() &&
        settings.whereClause.empty() && settings.inFile.empty()) {
        ctx.console.print("%s", ctx.invalidParameters.c_str());
        ctx.console.print(
            "\n   You must specify the Release using either the -release or -relspec option\n\n");
        return -1;
    }
    RevisionViewPath corvanePath;
    CommittedVersionsPath vandorPath(settings, {});
    PartHistoryPath& path = settings.corvane() ? static_cast<PartHistoryPath&>(corvanePath) : vandorPath;
    // The run's other files are refused as output names before it starts; these are
    // only known here. A clash would overwrite the file and then remove the export (or,
    // under -verify, the file to check).
    const bool verify = !settings.verifyFile.empty();
    const std::string& output = verify ? settings.verifyFile : settings.outputFileName;
    if (const std::string clash = clashing_scratch_file(path, settings.jobs, output); !clash.empty()) {
        if (verify)
            report_verify_clash(ctx.console, output, clash);
        else
            ctx.console.print(
                "\n\nERROR:  The export file %s would overwrite %s, which this run uses; "
                "choose another name with -o\n\n",
                output.c_str(), clash.c_str());
        return -1;
    }
    // Read whole before the run writes anything.
    std::optional<FileVerifier> verifier;
    if (verify && !verifier.emplace(settings, settings.verifyFile).load(ctx.console)) return -1;
    // The parts an earlier export could not export are not this one's to report; an
    // "-infile" of them is read first.
    if (!settings.plan && !verify && !same_file(settings.inFile, kFailedPartsFile)) std::remove(kFailedPartsFile);

    // Who exports is known before any part is asked for, also when the selection fails;
    // a resumed run goes on as the earlier one.
    Journal* journal = ctx.journal;
    ExportIdentity identity;
    if (const std::optional<std::vector<std::string>> earlier = journal ? journal->find("identity") : std::nullopt;
        earlier && earlier->size() == 4) {
        identity = {(*earlier)[0], (*earlier)[1], (*earlier)[2], (*earlier)[3]};
    } else {
        fill_export_identity(ctx.console, identity);
        if (journal) journal->add("identity", {identity.userName, identity.eventName, identity.groupName,
                                               identity.hostName});
    }

    // The raw part file is the run's own, not the settings': "-infile" stays as given. A
    // resumed run takes the selection of the earlier one.
    std::string rawFile = settings.inFile;
    std::string releaseInList;
    const std::optional<std::vector<std::string>> selection = journal ? journal->find("selection") : std::nullopt;
    const std::string* rows = selection && selection->size() == 1 ? &selection->front() : nullptr;
    if (rows) {
        rawFile = kRawPartFile;
    } else if (rawFile.empty()) {
        const bool rotated = backup_raw_part_file(ctx.console) != 0;
        const int rc = list_selected_parts(ctx, rawFile, releaseInList);
        std::ifstream listed(rawFile, std::ios::binary);
        const SelectionSummary summary = rc == 0 && !rawFile.empty() ? summarize_selection(listed, path)
                                                                      : SelectionSummary{};
        listed.close();
        // A selection that failed or yields nothing leaves the earlier part list and its
        // backup as they were.
        const bool holds = rc == 0 && selection_holds_parts(ctx, summary);
        keep_raw_part_backup(ctx.scratch, rotated, !holds);
        if (!holds) {
            if (rotated)
                ctx.console.print("\n%s and %s are left as they were\n", kRawPartFile,
                                  kRawPartBackup);
            return rc != 0 ? rc : -1;
        }
        // A complete part list stays for a later run; a failed one goes with the run.
        ctx.scratch.keep(rawFile);
        if (settings.plan) return plan_parts_export(ctx, summary, path);
        if (journal) {
            journal->add_file("selection", rawFile);
            journal->flush();
        }
    } else if (settings.plan) {
        std::ifstream given(rawFile, std::ios::binary);
        if (!given) {
            ctx.console.print("\n\nERROR:  No Parts Raw File Found: %s \n\n", rawFile.c_str());
            return -1;
        }
        return plan_parts_export(ctx, summarize_selection(given, path), path);
    }
    FileVerifier* const verifying = verifier ? &*verifier : nullptr;
    if (settings.corvane()) {
        // From the first history report on, every Corvane command runs with the variable
        // the lookups need: fixed before any of them starts, whatever -jobs runs ahead.
        const std::unique_ptr<Shell> migrating = ctx.shell.with_variable("CVN_MIGRATE", "1");
        RunContext history{settings, ctx.console, *migrating, ctx.scratch, ctx.journal, ctx.progress};
        return retrieve_part_histories(history, identity, rawFile, rows, verifying);
    }
    // The committed versions are asked for by release: "-relspec" names them also
    // where "-where" or "-infile" chose the parts.
    if (releaseInList.empty() && settings.releaseName.empty() && !settings.relSpecFile.empty())
        if (int rc = build_release_list(ctx, releaseInList); rc != 0) return rc;
    return retrieve_committed_histories(ctx, identity, rawFile, releaseInList, rows, verifying);
}
