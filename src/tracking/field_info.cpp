// Entries of the defect and feature exports: raw report, configurable fields, writer.
#include "field_info.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "defect_file.h"
#include "feature_file.h"
#include "fields.h"
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

int export_tracking_records(RunContext& ctx, const TrackingMaps& maps, const char* missingInputMessage,
                            FileWriter writer) {
    // A report of an earlier run must not pass for this one's, whatever this one ends in.
    std::remove(kUnmappedValuesFile);
    std::string rawFileName;
    std::string shapeWarning;
    // A failed report may still have left part of its answer in the raw file; exporting
    // that would report success for a partial export, so the failure ends the run here.
    if (generate_view_report(ctx, rawFileName, &shapeWarning) != 0) return -1;
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
    std::vector<std::string> configFieldNames;
    // Without the configuration report the -nomap file would lack its configurable
    // columns while every record still carried their values.
    if (ctx.settings.mapValues == 0 && load_configurable_fields(ctx, configFieldNames) != 0) return -1;
    const int status = writer(ctx, rawFileName, configFieldNames, maps);
    if (status == 0) ctx.console.print("%s", shapeWarning.c_str());
    return status;
}

}  // namespace

int export_defects(RunContext& ctx, const TrackingMaps& maps) {
    return export_tracking_records(ctx, maps, "\n\nERROR:  No Defects Input File Found: %s \n\n",
                                   write_defect_file);
}

int export_features(RunContext& ctx, const TrackingMaps& maps) {
    return export_tracking_records(ctx, maps, "\n\nERROR:  No Features Input File Found: %s \n\n",
                                   write_feature_file);
}
