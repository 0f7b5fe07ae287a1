// Composes and runs the raw view and configuration-info reports of the tracking exports.
#include "report_file.h"

#include "platform.h"

namespace {

const char* view_name(ExportKind kind) {
    switch (kind) {
        case ExportKind::Defects: return "DefectView ";
        case ExportKind::Features: return "FeatureView ";
        case ExportKind::Users: return "Users ";
        default: return "";
    }
}

}  // namespace

std::string view_raw_file_name(ExportKind kind) {
    switch (kind) {
        case ExportKind::Defects: return "defectRawFile000.raw";
        case ExportKind::Features: return "featureRawFile000.raw";
        case ExportKind::Users: return "userRawFile000.raw";
        default: return "";
    }
}

const char* command_failed_message(ServerKind kind) {
    return kind == ServerKind::Corvane ? "\n Corvane Command Unsuccessful \n"
                                       : "\n VANDOR Command Unsuccessful \n";
}

namespace {

std::string view_report_head(const RunSettings& settings) {
    return (settings.corvane() ? "corv Report -raw -view " : "Report -raw -view ") +
           std::string(view_name(settings.exportKind)) + "-where ";
}

}  // namespace

std::string view_report_condition(const RunSettings& settings) {
    // The user's clause stands alone: no ordering or drop-date condition is added.
    if (!settings.whereClause.empty()) return settings.whereClause;
    return settings.exportKind == ExportKind::Users ? "1=1 and dropDate is null" : "1=1 order by name";
}

std::string compose_view_report_command(const RunSettings& settings) {
    return view_report_head(settings) + "\"" + view_report_condition(settings) + "\"";
}

std::string view_report_command_line(const RunSettings& settings, const std::string& rawFileName) {
    return view_report_head(settings) + platform::quote_argument(view_report_condition(settings)) + " >" +
           rawFileName;
}

int generate_view_report(RunContext& ctx, std::string& rawFileName) {
    const RunSettings& settings = ctx.settings;
    if (!settings.inFile.empty()) {
        rawFileName = settings.inFile;
        ctx.console.print("\nReading Raw Input File: %s\n", rawFileName.c_str());
        return 0;
    }
    rawFileName = view_raw_file_name(settings.exportKind);
    ctx.console.print("\nCommand String is : %s\n", compose_view_report_command(settings).c_str());
    ctx.console.print(settings.corvane()
                          ? "\n\nGenerating Raw File from Corvane, Please Be Patient\n\n"
                          : "\n\nGenerating Raw File from VANDOR, Please Be Patient\n\n");
    ctx.console.flush();
    if (!ctx.scratch.prepare(ctx.console, rawFileName)) return -1;
    if (ctx.shell.run(view_report_command_line(settings, rawFileName)) != 0) {
        ctx.console.print("%s", command_failed_message(settings.serverKind));
        return -1;
    }
    return 0;
}

int generate_config_info(RunContext& ctx, std::string& configFileName) {
    const RunSettings& settings = ctx.settings;
    configFileName.clear();
    std::string command = settings.corvane() ? "corv " : "";
    if (settings.exportKind == ExportKind::Defects) {
        command += "Defect ";
        configFileName = "defectConfigFile000.raw";
    } else if (settings.exportKind == ExportKind::Features) {
        command += "Feature ";
        configFileName = "featureConfigFile000.raw";
    } else {
        return 0;  // the users export has no configurable fields
    }
    command += " -configInfo -raw >" + configFileName;
    if (settings.corvane()) ctx.console.print("\n\nGenerating Configuration File from Corvane\n\n");
    ctx.console.flush();
    if (!ctx.scratch.prepare(ctx.console, configFileName)) return -1;
    if (ctx.shell.run(command) != 0) {
        ctx.console.print("%s", command_failed_message(settings.serverKind));
        return -1;
    }
    return 0;
}
