// Server databases for end-to-end tests, made by running the simulator's generator.
#include "sim_support.h"

#include <gtest/gtest.h>

#include <sstream>

#include "e2e_support.h"

namespace e2e {

std::string simgen_path() { return sim_bin_dir() + "/simgen"; }

const char* kind_name(SimKind kind) { return kind == SimKind::corvane ? "corvane" : "vandor"; }

const char* family_variable(SimKind kind) {
    return kind == SimKind::corvane ? "CVN_FAMILY" : "VANDOR_FAMILY";
}

std::filesystem::path fixture_path(SimKind kind) {
    return std::filesystem::path(source_dir()) / "sim" / "fixtures" / (std::string(kind_name(kind)) + ".sql");
}

namespace {

bool run_simgen(SimKind kind, const std::filesystem::path& db, std::vector<std::string> options,
                const std::string& extraSql) {
    std::filesystem::path sqlFile = db;
    sqlFile += ".extra.sql";
    if (!extraSql.empty()) {
        write_file(sqlFile, extraSql);
        options.insert(options.end(), {"--sql", sqlFile.string()});
    }
    std::vector<std::string> args{kind_name(kind), db.string()};
    args.insert(args.end(), options.begin(), options.end());
    RunResult result = run_program(simgen_path(), args, RunOptions{});
    std::error_code ignored;
    std::filesystem::remove(sqlFile, ignored);
    if (result.status != 0) {
        ADD_FAILURE() << "simgen failed (" << result.status << "): " << result.err;
        return false;
    }
    return true;
}

}  // namespace

bool create_server(SimKind kind, const std::filesystem::path& db, const std::string& extraSql) {
    return run_simgen(kind, db, {"--fixture", fixture_path(kind).string()}, extraSql);
}

bool create_server_sql(SimKind kind, const std::filesystem::path& db, const std::string& sql) {
    return run_simgen(kind, db, {}, sql);
}

bool create_server_generated(SimKind kind, const std::filesystem::path& db,
                             const SimGenParams& params, const std::string& extraSql) {
    std::ostringstream branchProb;
    branchProb << params.branchProb;
    std::vector<std::string> options{
        "--seed", std::to_string(params.seed), "--parts", std::to_string(params.parts),
        "--revisions", std::to_string(params.revisions), "--branch-prob", branchProb.str(),
        "--branch-depth", std::to_string(params.branchDepth), "--releases", std::to_string(params.releases),
        "--workareas", std::to_string(params.workareas), "--defects", std::to_string(params.defects),
        "--features", std::to_string(params.features), "--users", std::to_string(params.users),
        "--note-size", std::to_string(params.noteSize)};
    if (params.configFields) options.insert(options.end(), {"--config-fields", std::to_string(*params.configFields)});
    if (!params.noteSizes.empty()) {
        std::string list;
        for (long size : params.noteSizes) list += (list.empty() ? "" : ",") + std::to_string(size);
        options.insert(options.end(), {"--note-sizes", list});
    }
    return run_simgen(kind, db, options, extraSql);
}

std::string config_field_sql(const std::string& recordKind, int number, const std::string& name) {
    std::string view = recordKind == "defect" ? "DefectView" : "FeatureView";
    std::string quotedName;
    for (char c : name) quotedName += c == '\'' ? std::string("''") : std::string(1, c);
    return "ALTER TABLE " + view + " ADD COLUMN \"" + name + "\" TEXT;\n"
           "INSERT INTO configInfo VALUES ('" + recordKind + "', " + std::to_string(number * 10) + ", '" +
           recordKind + "|" + std::to_string(number) + "|" + quotedName + "|text|64');\n";
}

std::map<std::string, std::string> sim_env(SimKind kind, const std::filesystem::path& db,
                                           const std::filesystem::path& log) {
    std::map<std::string, std::string> env{{family_variable(kind), db.string()}};
    if (!log.empty()) env["SIM_LOG"] = log.string();
    return env;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

std::vector<std::string> read_sim_log(const std::filesystem::path& log) { return lines_of(read_file(log)); }

}  // namespace e2e
