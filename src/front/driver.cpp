// The run driver of ferrox: one pass from the defaults to the chosen export's status.
#include "driver.h"

#include <chrono>
#include <filesystem>
#include <optional>

#include "field_info.h"
#include "mapping_files.h"
#include "options.h"
#include "output_file.h"
#include "parts_export.h"
#include "platform.h"
#include "resume.h"
#include "retrying_shell.h"
#include "run_context.h"
#include "run_lock.h"
#include "usage.h"
#include "users.h"
#include "run_files.h"

namespace {

constexpr const char* kBanner =
    "\n\nferrox: export of server data to Sabrex import files\n"
    "Part of the Sabrex migration tools; check each import file before loading it.\n\n";


bool same_name(std::string_view a, std::string_view b) {
#ifdef _WIN32
    // Windows file names ignore letter case.
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
#else
    return a == b;
#endif
}

/// The run file (scratch or input) that `output` would be, or nothing.
std::string clashing_run_file(const RunSettings& settings, const std::string& output) {
    std::filesystem::path path(output);
    bool inCurrentFolder = !path.has_parent_path() || same_file(path.parent_path().string(), ".");
    for (const std::string& name : run_file_names())
        if ((inCurrentFolder && same_name(path.filename().string(), name)) || same_file(output, name)) return name;
    for (const std::string* input : {&settings.inFile, &settings.committedFile, &settings.partSpecFile,
                                     &settings.relSpecFile, &settings.valueMapFile, &settings.userMapFile})
        if (!input->empty() && same_file(output, *input)) return *input;
    return {};
}

/// The checks an export's output file must pass before any server query; under -verify
/// (which writes none) the file to check must be none the run writes.
bool output_file_usable(Console& console, const RunSettings& settings) {
    if (!settings.verifyFile.empty()) {
        const std::string clash = clashing_run_file(settings, settings.verifyFile);
        if (!clash.empty()) report_verify_clash(console, settings.verifyFile, clash);
        return clash.empty();
    }
    const std::string& output = settings.outputFileName;
    std::string why;
    if (!output_folder_usable(output, why)) {
        // The export's own message, as when the file itself cannot be opened, and why.
        if (settings.exportKind == ExportKind::Users)
            console.print("ERROR: Could not open file %s\n", output.c_str());
        else
            console.print("\n\nCan't Open Export Output File: %s - Exiting\n\n", output.c_str());
        console.print("   Reason: %s\n\n", why.c_str());
        return false;
    }
    const std::string clash = clashing_run_file(settings, output);
    if (!clash.empty()) {
        console.print("\n\nERROR:  The export file %s would overwrite %s, which this run uses; choose another "
                      "name with -o\n\n",
                      output.c_str(), clash.c_str());
        return false;
    }
    return true;
}

int run_export(RunContext& ctx, const TrackingMaps& maps) {
    switch (ctx.settings.exportKind) {
        case ExportKind::Defects: return export_defects(ctx, maps);
        case ExportKind::Features: return export_features(ctx, maps);
        case ExportKind::Users: return export_users(ctx, maps.users);
        case ExportKind::Parts: return export_parts(ctx);
        case ExportKind::None: break;
    }
    return 0;  // no export option: nothing to export is a success
}

}  // namespace

ServerKind server_kind_from_invocation(std::string_view invocationName) {
    return invocationName.find("_vandor") != std::string_view::npos ? ServerKind::Vandor
                                                                    : ServerKind::Corvane;
}

int run_ferrox(const std::vector<std::string>& args, Console& runConsole, Shell& baseShell,
               const EnvLookup& getEnv) {
    RunSettings settings;  // the defaults of every run
    settings.serverKind = server_kind_from_invocation(args.empty() ? std::string_view() : args[0]);
    const bool corvane = settings.corvane();

    runConsole.print("%s", kBanner);

    if (is_help_request(args)) {
        runConsole.print("\nUsage:\n\n%s%s", usage_text(settings.serverKind).c_str(), option_lines().c_str());
        return 0;
    }
    std::string refused;
    if (parse_options(args, settings, &refused) != 0) {
        runConsole.print("%s", invalid_parameters_text(settings.serverKind).c_str());
        runConsole.print("   Refused: %s\n\n", refused.c_str());
        return -1;
    }

    // Only presence is checked: the server client reads the value itself, and one defined
    // empty counts as set (the connection test then tells whether it names a server).
    const char* familyVariable = corvane ? "CVN_FAMILY" : "VANDOR_FAMILY";
    const std::optional<std::string> family = getEnv(familyVariable);
    if (!family) {
        runConsole.print("\n\n%s not set \n\n", familyVariable);
        return -1;
    }

    // The progress line stays below whatever else the run prints.
    Progress progress(runConsole, settings.progress);
    ProgressConsole progressConsole(runConsole, progress);
    Console& console = settings.progress ? static_cast<Console&>(progressConsole) : runConsole;

    // A map file that is wrong must stop the run before the server is asked anything.
    TrackingMaps maps;
    if (!load_tracking_maps(settings, console, maps)) return -1;

    // Every client call of the run: stopped at the time limit, tried again, timed for a plan.
    const std::unique_ptr<Shell> limited =
        settings.timeoutSeconds > 0 ? baseShell.with_time_limit(std::chrono::seconds(settings.timeoutSeconds)) : nullptr;
    Shell* shell = limited ? limited.get() : &baseShell;
    std::optional<RetryingShell> retrying;
    if (settings.retries > 0 || settings.timeoutSeconds > 0)
        shell = &retrying.emplace(*shell, settings.retries, settings.timeoutSeconds);
    CallTimes callTimes;
    std::optional<TimedShell> timed;
    if (settings.plan) shell = &timed.emplace(*shell, callTimes);

    // Scratch files are removed however the run ends; the lock goes last.
    RunLock lock;
    ScratchFiles scratch(&lock);
    // A run that was stopped says why, and never passes for a finished one.
    auto stopped = [&console](int status) {
        const std::string halted = platform::halt_message();
        // An interrupt that came once the export was whole changes nothing.
        if (!platform::interrupted() || (status == 0 && halted.empty())) return status;
        if (!halted.empty())
            console.print("%s", halted.c_str());
        else
            console.print("\n\nERROR:  Interrupted: the export was stopped before it was complete; no export file "
                          "was written\n\n");
        return -1;
    };
    // A plan or a verification exports nothing: it neither starts nor ends a journal.
    Journal journal;
    const bool journaled = settings.exportKind != ExportKind::None && !settings.plan && settings.verifyFile.empty();
    if (settings.exportKind != ExportKind::None) {
        if (!output_file_usable(console, settings)) return -1;
        if (!lock.acquire(console, platform::host_name().value)) return -1;
        // A journal of another run is refused before the server is asked anything.
        if (journaled && settings.resume && !open_journal(console, settings, familyVariable, *family, journal))
            return -1;
    }
    RunContext ctx{settings, console, *shell, scratch, journaled ? &journal : nullptr, &progress,
                   settings.plan ? &callTimes : nullptr, invalid_parameters_text(settings.serverKind)};
    int status = -1;
    console.print(corvane ? "\nTesting Connection to Corvane...\n" : "\nTesting Connection to VANDOR...\n");
    const std::string testCommand = std::string(corvane ? "corv report -testServer > " : "Report -testServer > ") +
                                    platform::null_device();
    console.flush();
    if (run_client(*shell, console, testCommand) != 0) {
        console.print(corvane ? "\n\nNo Corvane connection established \n\n"
                              : "\n\nNo VANDOR connection established \n\n");
    } else {
        // A run that cannot reach the server leaves an earlier journal as it was.
        if (journaled && !settings.resume) open_journal(console, settings, familyVariable, *family, journal);
        status = run_export(ctx, maps);
    }
    progress.end();
    scratch.remove_all();
    status = stopped(status);
    if (journaled) close_journal(console, journal, status);
    // A plan and a verification write no export file.
    if (status == 0 && !settings.plan && settings.verifyFile.empty())
        console.print("\n\nExport File Name: %s\n\n", settings.outputFileName.c_str());
    return status;
}

int run_ferrox(const std::vector<std::string>& args, Console& console, Shell& shell) {
    return run_ferrox(args, console, shell, [](const char* name) { return platform::get_env(name); });
}
