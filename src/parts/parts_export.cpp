// The parts export driver: release selection check, identity, raw part file and the
// history path of the server kind.
#include "parts_export.h"

#include <fstream>
#include <optional>

#include "committed_history.h"
#include "part_history.h"
#include "part_queries.h"
#include "platform.h"
#include "selection.h"
#include "usage.h"

int backup_raw_part_file(Console& console) {
    if (!std::ifstream(kRawPartFile)) return 0;
    const std::string backup = std::string(kRawPartFile) + "0";
    // In one step: a rename that fails leaves the older backup in place.
    if (platform::replace_file(kRawPartFile, backup))
        console.print("\nRaw Part File : %s  Renamed to : %s\n", kRawPartFile, backup.c_str());
    return 0;
}

void report_verify_clash(Console& console, const std::string& file, const std::string& clash) {
    console.print("\n\nERROR:  The file to verify %s is %s, which this run writes; copy it to another name "
                  "first\n\n",
                  file.c_str(), clash.c_str());
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

}  // namespace

int export_parts(RunContext& ctx) {
    const RunSettings& settings = ctx.settings;
    if (settings.releaseName.empty() && settings.relSpecFile.empty() &&
        settings.whereClause.empty() && settings.inFile.empty()) {
        ctx.console.print("%s", invalid_parameters_text(settings.serverKind).c_str());
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
    // Who exports is known before any part is asked for, also when the selection fails.
    ExportIdentity identity;
    fill_export_identity(ctx.console, identity);

    // The raw part file is the run's own, not the settings': "-infile" stays as given.
    std::string rawFile = settings.inFile;
    std::string releaseInList;
    if (rawFile.empty()) {
        backup_raw_part_file(ctx.console);
        if (int rc = list_selected_parts(ctx, rawFile, releaseInList); rc != 0) return rc;
        // A complete part list stays for a later run; a failed one goes with the run.
        if (!rawFile.empty()) ctx.scratch.keep(rawFile);
    }
    FileVerifier* const verifying = verifier ? &*verifier : nullptr;
    if (settings.corvane()) {
        // From the first history report on, every Corvane command runs with the variable
        // the lookups need: fixed before any of them starts, whatever -jobs runs ahead.
        const std::unique_ptr<Shell> migrating = ctx.shell.with_variable("CVN_MIGRATE", "1");
        RunContext history{settings, ctx.console, *migrating, ctx.scratch};
        return retrieve_part_histories(history, identity, rawFile, verifying);
    }
    // The committed versions are asked for by release: "-relspec" names them also
    // where "-where" or "-infile" chose the parts.
    if (releaseInList.empty() && settings.releaseName.empty() && !settings.relSpecFile.empty())
        if (int rc = build_release_list(ctx, releaseInList); rc != 0) return rc;
    return retrieve_committed_histories(ctx, identity, rawFile, releaseInList, verifying);
}
