// Feature import file: both record layouts over the raw FeatureView fields.
#include "feature_file.h"

#include <algorithm>

#include "run_files.h"
#include "field_info.h"
#include "fields.h"
#include "import_file.h"
#include "value_maps.h"

namespace {

// Vandor records stop after originArea; Corvane ones carry releaseName and answer too.
const std::vector<std::string> kFixedNames = {
    "prefix",    "name",      "compName",    "ownerLogin", "ownerName",  "state",        "abstract",
    "age",       "duplicate", "lastUpdate",  "addDate",    "assignDate", "responseDate", "endDate",
    "ownerArea", "reference", "originLogin", "originName", "originArea", "releaseName",  "answer"};

std::size_t fixed_count(ServerKind server) { return server == ServerKind::Corvane ? 21 : 19; }

// Corvane has two unexported fields between the fixed and the configurable fields.
std::size_t first_config_position(ServerKind server) {
    return server == ServerKind::Corvane ? 23 : 19;
}

PlainLayout plain_layout(ServerKind server) {
    return {std::span<const std::string>(kFixedNames).first(fixed_count(server)),
            first_config_position(server)};
}

}  // namespace

std::string feature_header(bool mapValues, ServerKind server,
                           const std::vector<std::string>& configFieldNames) {
    if (mapValues)
        return compose_header({"old_id", "Owner", "state", "Severity", "Headline", "Submit_Date",
                               "Submitter", "Priority", "Notes_Log"});
    return plain_header(plain_layout(server).fixedNames, configFieldNames);
}

std::string compose_mapped_feature_record(const std::vector<std::string>& fields, ServerKind server,
                                        ValueMapper& values) {
    std::string mapped;
    std::string record;
    append_column(record, field_at(fields, 1));
    append_column(record, field_at(fields, 3));
    values.map(MappedField::State, field_at(fields, 5), mapped);
    append_column(record, mapped);
    append_column(record, "5-Enhancement");
    append_column(record, field_at(fields, 6));
    append_column(record, field_at(fields, 10));
    append_column(record, field_at(fields, 16));
    values.map(MappedField::Priority, field_at(fields, first_config_position(server)), mapped);
    append_column(record, mapped);
    return record;
}

std::string compose_plain_feature_record(const std::vector<std::string>& fields, ServerKind server,
                                       std::size_t configFieldCount) {
    return plain_record(plain_layout(server), fields, configFieldCount);
}

int write_feature_file(RunContext& ctx, const std::string& rawFileName,
                       const std::vector<std::string>& configFieldNames, const TrackingMaps& maps) {
    const bool mapValues = ctx.settings.mapValues != 0;
    const ServerKind server = ctx.settings.serverKind;
    const std::size_t configCount = std::min(configFieldNames.size(), kMaxConfigFields);
    ValueMapper values(maps.values);
    LoginMapper logins(maps.users);
    TrackingFileLayout layout;
    layout.header = feature_header(mapValues, server, configFieldNames);
    if (mapValues)
        layout.columns = [server, &values](const std::vector<std::string>& fields) {
            return compose_mapped_feature_record(fields, server, values);
        };
    else
        layout.columns = [server, configCount](const std::vector<std::string>& fields) {
            return compose_plain_feature_record(fields, server, configCount);
        };
    layout.missingInputMessage = "\n\nERROR:  No Features Input File Found: %s \n\n";
    layout.defaultOutputName = kFeaturesOutputFile;
    layout.progressFormat = "\r %d  Features Processed ";
    layout.countFormat = "%d Features exported.\n";
    layout.loginPositions = {3, 16};  // ownerLogin, originLogin
    if (mapValues) layout.values = &values;
    return write_tracking_file(ctx, rawFileName, layout, logins);
}
