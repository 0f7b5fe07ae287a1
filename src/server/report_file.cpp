// Composes and runs the raw view and configuration-info reports of the tracking exports.
#include "report_file.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>

#include "platform.h"
#include "run_files.h"

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
        case ExportKind::Defects: return kDefectRawFile;
        case ExportKind::Features: return kFeatureRawFile;
        case ExportKind::Users: return kUserRawFile;
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

namespace {

/// The field counts a line of the export kind's view report can have: a defect or
/// feature line at least its fixed fields (configurable ones follow), a user line its
/// eight used fields and fewer than any feature line.
std::pair<std::size_t, std::size_t> report_line_fields(const RunSettings& settings) {
    const bool corvane = settings.corvane();
    switch (settings.exportKind) {
        case ExportKind::Defects: return {corvane ? 26 : 24, SIZE_MAX};
        case ExportKind::Features: return {corvane ? 23 : 19, SIZE_MAX};
        default: return {8, 18};
    }
}

}  // namespace

int check_raw_file(RunContext& ctx, const std::string& name, bool given, std::string* warning) {
    auto refuse = [&](const std::string& why) {
        ctx.console.print("\n\nERROR:  The raw file %s cannot be exported: %s\n\n", name.c_str(), why.c_str());
        return -1;
    };
    std::error_code error;
    if (std::filesystem::is_directory(name, error)) return refuse("it is a folder");
    std::ifstream in(name, std::ios::binary);
    if (!in) return 0;  // the writers report a file that cannot be opened
    // Named copies: clang 14 cannot capture structured bindings in a lambda.
    const auto range = report_line_fields(ctx.settings);
    const std::size_t fewest = range.first, most = range.second;
    const bool users = ctx.settings.exportKind == ExportKind::Users;
    long long line = 1;
    std::size_t length = 0;
    std::size_t fields = 1;
    bool anyOfTheReport = false;  // a line with a field count the report's lines have
    long long skipped = 0, shortLines = 0, firstOdd = 0;
    // The exports read every line as the format has it: a users line without "|" is
    // skipped; any other line is a record whose missing fields are empty.
    auto end_of_line = [&](bool atEnd) {
        if (atEnd && length == 0) return;  // nothing after the last line end
        if (fields >= fewest && fields <= most) anyOfTheReport = true;
        if (fields >= fewest) return;
        if (users && fields == 1)
            ++skipped;
        else
            ++shortLines;
        if (firstOdd == 0) firstOdd = line;
    };
    std::array<char, 65536> chunk;
    // Read in chunks, so that a line of any length is measured without being held.
    while (in) {
        in.read(chunk.data(), chunk.size());
        for (std::streamsize i = 0; i < in.gcount(); ++i) {
            const char c = chunk[static_cast<std::size_t>(i)];
            if (c == '\n') {
                end_of_line(false);
                ++line;
                length = 0;
                fields = 1;
            } else if (++length > kRawLineLimit) {
                return refuse("line " + std::to_string(line) + " is longer than " + std::to_string(kRawLineLimit) +
                              " bytes");
            } else if (c == '\0' && given) {
                return refuse("it holds a NUL byte on line " + std::to_string(line) + ", so it is no report file");
            }
            fields += c == '|';
        }
    }
    if (in.bad()) return refuse("it cannot be read to its end");
    end_of_line(true);
    if (!given) return 0;
    // A file none of whose lines has the report's shape is another report (a defects
    // report given to "-users"), not this one with a few odd lines.
    if (!anyOfTheReport && (line > 1 || length > 0))
        return refuse("none of its lines has the field count of the report this export reads");
    const long long odd = skipped + shortLines;
    if (warning && odd > 0)
        *warning = strprintf(
            "\nWARNING:  %s has %lld %s: %lld skipped (no \"|\"), %lld short (missing fields exported empty); the "
            "first is line %lld\n",
            name.c_str(), odd, odd == 1 ? "line that is not a whole record" : "lines that are not whole records",
            skipped, shortLines, firstOdd);
    return 0;
}

int generate_view_report(RunContext& ctx, std::string& rawFileName, std::string* shapeWarning) {
    const RunSettings& settings = ctx.settings;
    if (!settings.inFile.empty()) {
        rawFileName = settings.inFile;
        ctx.console.print("\nReading Raw Input File: %s\n", rawFileName.c_str());
        return check_raw_file(ctx, rawFileName, true, shapeWarning);
    }
    rawFileName = view_raw_file_name(settings.exportKind);
    ctx.console.print("\nCommand String is : %s\n", compose_view_report_command(settings).c_str());
    ctx.console.print(settings.corvane()
                          ? "\n\nGenerating Raw File from Corvane, Please Be Patient\n\n"
                          : "\n\nGenerating Raw File from VANDOR, Please Be Patient\n\n");
    ctx.console.flush();
    if (!ctx.scratch.prepare(ctx.console, rawFileName)) return -1;
    if (run_client(ctx.shell, ctx.console, view_report_command_line(settings, rawFileName)) != 0) {
        ctx.console.print("%s", command_failed_message(settings.serverKind));
        return -1;
    }
    return check_raw_file(ctx, rawFileName, false, nullptr);
}

int generate_config_info(RunContext& ctx, std::string& configFileName) {
    const RunSettings& settings = ctx.settings;
    configFileName.clear();
    std::string command = settings.corvane() ? "corv " : "";
    if (settings.exportKind == ExportKind::Defects) {
        command += "Defect ";
        configFileName = kDefectConfigFile;
    } else if (settings.exportKind == ExportKind::Features) {
        command += "Feature ";
        configFileName = kFeatureConfigFile;
    } else {
        return 0;  // the users export has no configurable fields
    }
    command += " -configInfo -raw >" + configFileName;
    if (settings.corvane()) ctx.console.print("\n\nGenerating Configuration File from Corvane\n\n");
    ctx.console.flush();
    if (!ctx.scratch.prepare(ctx.console, configFileName)) return -1;
    if (run_client(ctx.shell, ctx.console, command) != 0) {
        ctx.console.print("%s", command_failed_message(settings.serverKind));
        return -1;
    }
    return 0;
}
