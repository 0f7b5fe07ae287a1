// Entries of the defect and feature exports: raw report, configurable fields, writer.
#include "field_info.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "defect_file.h"
#include "run_files.h"
#include "feature_file.h"
#include "fields.h"
#include "output_file.h"
#include "record_notes.h"
#include "report_file.h"

std::vector<std::string> read_config_field_names(std::istream& in) {
    std::vector<std::string> names;
    std::string line;
    while (read_line(in, line)) {
        // The report also prints the record prefix and the severity values; those
        // lines describe no configurable field.
        if (line.empty() || line.find("Prefix") != std::string::npos ||
            line.find("Severity") != std::string::npos)
            continue;
        names.push_back(field_at(split_fields(line), 2));
    }
    return names;
}

int load_configurable_fields(RunContext& ctx, std::vector<std::string>& configFieldNames) {
    configFieldNames.clear();
    std::string configFileName;
    const int status = generate_config_info(ctx, configFileName);
    {
        std::ifstream in(configFileName, std::ios::binary);
        if (!in) {
            ctx.console.print("\n\nNo Configurable Field Information Found\n\n");
            return status;
        }
        configFieldNames = read_config_field_names(in);
    }
    if (configFieldNames.size() > kMaxConfigFields) {
        std::string others;
        for (std::size_t i = kMaxConfigFields; i < configFieldNames.size(); ++i)
            others += (others.empty() ? "" : ", ") + configFieldNames[i];
        ctx.console.print("\nWARNING: The import file carries the first %zu configurable fields; left out: %s\n",
                          kMaxConfigFields, others.c_str());
    }
    ctx.scratch.remove(configFileName);
    return status;
}

namespace {

using FileWriter = int (*)(RunContext&, const std::string&, const std::vector<std::string>&,
                          const TrackingMaps&);

/// The raw report of the export: the earlier run's (-resume), written into the report's
/// scratch file, or the report run now and kept in the journal.
int view_report(RunContext& ctx, std::string& rawFileName, std::string& shapeWarning) {
    const std::optional<std::vector<std::string>> earlier =
        ctx.journal ? ctx.journal->find("selection") : std::nullopt;
    if (earlier && ctx.settings.inFile.empty() && earlier->size() == 1) {
        rawFileName = view_raw_file_name(ctx.settings.exportKind);
        ctx.scratch.add(rawFileName);
        std::string why;
        if (write_whole_file(rawFileName, earlier->front(), why, &ctx.scratch)) return 0;
        ctx.console.print("\n\nERROR:  cannot write %s in the current folder: %s\n\n", rawFileName.c_str(),
                          why.c_str());
        return -1;
    }
    // A failed report may still have left part of its answer in the raw file; exporting
    // that would report success for a partial export, so the failure ends the run here.
    if (generate_view_report(ctx, rawFileName, &shapeWarning) != 0) return -1;
    if (ctx.journal && ctx.settings.inFile.empty()) {
        ctx.journal->add_file("selection", rawFileName);
        ctx.journal->flush();
    }
    return 0;
}

/// The configurable field names: the earlier run's (-resume), or the report's, kept in
/// the journal. The report's status.
int configurable_fields(RunContext& ctx, std::vector<std::string>& configFieldNames) {
    if (std::optional<std::vector<std::string>> earlier = ctx.journal ? ctx.journal->find("config") : std::nullopt) {
        configFieldNames = std::move(*earlier);
        return 0;
    }
    const int status = load_configurable_fields(ctx, configFieldNames);
    if (status == 0 && ctx.journal) ctx.journal->add("config", configFieldNames);
    return status;
}

int export_tracking_records(RunContext& ctx, const TrackingMaps& maps, const char* missingInputMessage,
                            FileWriter writer) {
    std::string rawFileName;
    std::string shapeWarning;
    // What an earlier export reported or left undone is not this one's to report,
    // whatever this one ends in.
    if (!ctx.settings.plan) {
        ctx.scratch.remove(kNotesNotFetchedFile);
        std::remove(kUnmappedValuesFile);
    }
    if (view_report(ctx, rawFileName, shapeWarning) != 0) return -1;
    {
        std::ifstream raw(rawFileName, std::ios::binary);
        if (!raw) {
            ctx.console.print(missingInputMessage, rawFileName.c_str());
            return -1;
        }
    }
    std::error_code error;
    const auto size = std::filesystem::file_size(rawFileName, error);
    if (error || size == 0) {
        ctx.console.print("\n\nERROR: No Records Found in File: %s \n\n", rawFileName.c_str());
        return -1;
    }
    if (ctx.settings.plan) return plan_tracking_export(ctx, rawFileName);
    std::vector<std::string> configFieldNames;
    // Without the configuration report the -nomap file would lack its configurable
    // columns while every record still carried their values.
    if (ctx.settings.mapValues == 0 && configurable_fields(ctx, configFieldNames) != 0) return -1;
    const int status = writer(ctx, rawFileName, configFieldNames, maps);
    if (status == 0) ctx.console.print("%s", shapeWarning.c_str());
    return status;
}

}  // namespace

int plan_tracking_export(RunContext& ctx, const std::string& rawFileName) {
    const bool users = ctx.settings.exportKind == ExportKind::Users;
    PlanFigures figures;
    std::ifstream raw(rawFileName, std::ios::binary);
    std::size_t records = 0;
    for (std::string line; read_line(raw, line);) {
        // A users line without a "|" is no user.
        if (users && line.find('|') == std::string::npos) continue;
        ++records;
        if (!users && plan_note_fetch(ctx.settings, field_at(split_fields(line), 1)).kind == NoteFetch::Kind::Command)
            ++figures.calls;
    }
    figures.records = records;
    figures.callsAre = users ? "the users export makes none after its report" : "one long view a record for its note";
    if (ctx.settings.mapValues == 0 && !users) {
        ++figures.calls;
        figures.callsAre += ", and the configuration report";
    }
    print_plan(ctx.console, ctx.settings, figures, ctx.callTimes ? *ctx.callTimes : CallTimes{});
    return 0;
}

int export_defects(RunContext& ctx, const TrackingMaps& maps) {
    return export_tracking_records(ctx, maps, "\n\nERROR:  No Defects Input File Found: %s \n\n",
                                   write_defect_file);
}

int export_features(RunContext& ctx, const TrackingMaps& maps) {
    return export_tracking_records(ctx, maps, "\n\nERROR:  No Features Input File Found: %s \n\n",
                                   write_feature_file);
}
