// Defect import file: both record layouts over the raw DefectView fields.
#include "defect_file.h"

#include <algorithm>

#include "run_files.h"
#include "field_info.h"
#include "fields.h"
#include "import_file.h"
#include "value_maps.h"

namespace {

const std::vector<std::string> kFixedNames = {
    "prefix",    "name",       "compName",  "releaseName", "ownerLogin",   "state",
    "answer",    "severity",   "abstract",  "age",         "envName",      "driverName",
    "duplicate", "lastUpdate", "addDate",   "assignDate",  "responseDate", "endDate",
    "ownerName", "ownerArea",  "reference", "originLogin", "originName",   "originArea"};

// Where the configurable fields begin: Corvane has two unexported fields before them.
std::size_t first_config_position(ServerKind server) {
    return server == ServerKind::Corvane ? 26 : 24;
}

PlainLayout plain_layout(ServerKind server) { return {kFixedNames, first_config_position(server)}; }

}  // namespace

std::string defect_header(bool mapValues, const std::vector<std::string>& configFieldNames) {
    if (mapValues)
        return compose_header({"old_id", "Owner", "State", "Severity", "Headline", "Submit_Date",
                               "Submitter", "Symptoms", "Priority", "Notes_Log"});
    return plain_header(kFixedNames, configFieldNames);
}

std::string compose_mapped_defect_record(const std::vector<std::string>& fields, ServerKind server,
                                        ValueMapper& values) {
    const std::size_t config = first_config_position(server);
    std::string mapped;
    std::string record;
    append_column(record, field_at(fields, 1));
    append_column(record, field_at(fields, 4));
    values.map(MappedField::State, field_at(fields, 5), mapped);
    append_column(record, mapped);
    values.map(MappedField::Severity, field_at(fields, 7), mapped);
    append_column(record, mapped);
    append_column(record, field_at(fields, 8));
    append_column(record, field_at(fields, 14));
    append_column(record, field_at(fields, 21));
    values.map(MappedField::Symptom, field_at(fields, config), mapped);
    append_column(record, mapped);
    values.map(MappedField::Priority, field_at(fields, config + 3), mapped);
    append_column(record, mapped);
    return record;
}

std::string compose_plain_defect_record(const std::vector<std::string>& fields, ServerKind server,
                                      std::size_t configFieldCount) {
    return plain_record(plain_layout(server), fields, configFieldCount);
}

int write_defect_file(RunContext& ctx, const std::string& rawFileName,
                      const std::vector<std::string>& configFieldNames, const TrackingMaps& maps) {
    const bool mapValues = ctx.settings.mapValues != 0;
    const ServerKind server = ctx.settings.serverKind;
    const std::size_t configCount = std::min(configFieldNames.size(), kMaxConfigFields);
    ValueMapper values(maps.values);
    LoginMapper logins(maps.users);
    TrackingFileLayout layout;
    layout.header = defect_header(mapValues, configFieldNames);
    if (mapValues)
        layout.columns = [server, &values](const std::vector<std::string>& fields) {
            return compose_mapped_defect_record(fields, server, values);
        };
    else
        layout.columns = [server, configCount](const std::vector<std::string>& fields) {
            return compose_plain_defect_record(fields, server, configCount);
        };
    layout.missingInputMessage = "\n\nERROR:  No Defects Input File Found: %s \n\n";
    layout.defaultOutputName = kDefectsOutputFile;
    layout.progressFormat = "\r %d\t Defects Processed ";
    layout.countFormat = "%d Defects exported.\n";
    layout.loginPositions = {4, 21};  // ownerLogin, originLogin
    if (mapValues) layout.values = &values;
    return write_tracking_file(ctx, rawFileName, layout, logins);
}
