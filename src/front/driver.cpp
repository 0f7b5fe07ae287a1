// The run driver of ferrox: one pass from the defaults to the chosen export's status.
#include "driver.h"

#include "field_info.h"
#include "options.h"
#include "parts_export.h"
#include "platform.h"
#include "run_context.h"
#include "users.h"

namespace {

constexpr const char* kBanner =
    "\n\nferrox: export of server data to Sabrex import files\n"
    "Part of the Sabrex migration tools; check each import file before loading it.\n\n";

constexpr const char* kCorvaneUsage =
    "\n\n     -users | -defects | -features |  -parts\n"
    "     -o  outputFileName\n"
    "     -map | -nomap\n"
    "     -where sql query string for CVN or VANDOR Server\n"
    "     -partspec partSpecFile\n"
    "     -relspec  relSpecFile  |  -release releaseName\n"
    "     -partindex nn\n"
    "     -crlf \n"
    "     -target NT | UNIX\n\n";

constexpr const char* kVandorUsage =
    "\n\n     -users | -defects | -features |  -parts\n"
    "     -o  outputFileName\n"
    "     -map | -nomap\n"
    "     -partspec partSpecFile\n"
    "     -relspec  relSpecFile  |  -release releaseName\n"
    "     -partindex nn\n"
    "     -crlf \n"
    "     -target NT | UNIX\n"
    "     -componentlabels\n"
    "     -sidlabels\n\n";

int run_export(RunContext& ctx) {
    switch (ctx.settings.exportKind) {
        case ExportKind::Defects: return export_defects(ctx);
        case ExportKind::Features: return export_features(ctx);
        case ExportKind::Users: return export_users(ctx);
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

std::string usage_text(ServerKind kind) {
    return kind == ServerKind::Corvane ? std::string("ferrox_cvn") + kCorvaneUsage
                                       : std::string("ferrox_vandor") + kVandorUsage;
}

int run_ferrox(const std::vector<std::string>& args, Console& console, Shell& shell,
               const EnvLookup& getEnv) {
    RunSettings settings;  // the defaults of every run
    ExportIdentity identity;
    settings.serverKind = server_kind_from_invocation(args.empty() ? std::string_view() : args[0]);
    const bool corvane = settings.corvane();

    console.print("%s", kBanner);

    if (parse_options(args, settings) != 0) {
        console.print("\nERROR:  Invalid Parameters\n\nCorrect Usage:\n\n%s",
                      usage_text(settings.serverKind).c_str());
        return -1;
    }

    // Only presence is checked; the server client reads the value itself.
    const char* familyVariable = corvane ? "CVN_FAMILY" : "VANDOR_FAMILY";
    if (!getEnv(familyVariable)) {
        console.print("\n\n%s not set \n\n", familyVariable);
        return -1;
    }

    console.print(corvane ? "\nTesting Connection to Corvane...\n" : "\nTesting Connection to VANDOR...\n");
    const std::string testCommand = std::string(corvane ? "corv report -testServer > " : "Report -testServer > ") +
                                    platform::null_device();
    console.flush();
    if (shell.run(testCommand) != 0) {
        console.print(corvane ? "\n\nNo Corvane connection established \n\n"
                              : "\n\nNo VANDOR connection established \n\n");
        return -1;
    }

    RunContext ctx{settings, identity, console, shell};
    const int status = run_export(ctx);
    if (status == 0) console.print("\n\nExport File Name: %s\n\n", settings.outputFileName.c_str());
    return status;
}

int run_ferrox(const std::vector<std::string>& args, Console& console, Shell& shell) {
    return run_ferrox(args, console, shell, [](const char* name) { return platform::get_env(name); });
}
