// Server databases for end-to-end tests, made by running the simulator's generator.
#include "sim_support.h"

#include <gtest/gtest.h>

#include <sstream>

#include "e2e_support.h"

namespace e2e {

const char* kind_name(SimKind kind) { return kind == SimKind::corvane ? "corvane" : "vandor"; }

namespace {

bool run_simgen(SimKind kind, const std::filesystem::path& db, std::vector<std::string> options) {
    options.insert(options.begin(), {kind_name(kind), db.string()});
    RunResult result = run_program(sim_bin_dir() + "/simgen", options, RunOptions{});
    if (result.status != 0) {
        ADD_FAILURE() << "simgen failed (" << result.status << "): " << result.err;
        return false;
    }
    return true;
}

/// The options that have simgen run `sql` after everything else; none for no SQL.
std::vector<std::string> sql_options(const std::filesystem::path& db, const std::string& sql) {
    if (sql.empty()) return {};
    std::filesystem::path sqlFile = db;
    sqlFile += ".extra.sql";
    write_text(sqlFile, sql);
    return {"--sql", sqlFile.string()};
}

}  // namespace

bool create_server(SimKind kind, const std::filesystem::path& db, const std::string& extraSql) {
    const std::filesystem::path fixture =
        std::filesystem::path(source_dir()) / "sim" / "fixtures" / (std::string(kind_name(kind)) + ".sql");
    std::vector<std::string> options{"--fixture", fixture.string()};
    for (std::string& option : sql_options(db, extraSql)) options.push_back(std::move(option));
    return run_simgen(kind, db, options);
}

bool create_server_sql(SimKind kind, const std::filesystem::path& db, const std::string& sql) {
    return run_simgen(kind, db, sql_options(db, sql));
}

bool create_server_generated(SimKind kind, const std::filesystem::path& db, const SimGenParams& params) {
    std::vector<std::string> options{
        "--seed", std::to_string(params.seed), "--parts", std::to_string(params.parts),
        "--revisions", std::to_string(params.revisions), "--defects", std::to_string(params.defects),
        "--features", std::to_string(params.features), "--users", std::to_string(params.users),
        "--note-size", std::to_string(params.noteSize)};
    if (params.branchProb >= 0) options.insert(options.end(), {"--branch-prob", std::to_string(params.branchProb)});
    if (params.configFields >= 0) options.insert(options.end(), {"--config-fields", std::to_string(params.configFields)});
    if (!params.noteSizes.empty()) {
        // Appended piece by piece: g++ 12 at -O3 takes "literal" + a temporary string for
        // an overlapping copy and fails the Release build (-Wrestrict).
        std::string list;
        for (long size : params.noteSizes) {
            if (!list.empty()) list += ',';
            list += std::to_string(size);
        }
        options.insert(options.end(), {"--note-sizes", list});
    }
    return run_simgen(kind, db, options);
}

std::map<std::string, std::string> sim_env(SimKind kind, const std::filesystem::path& db,
                                           const std::filesystem::path& log) {
    std::map<std::string, std::string> env{{kind == SimKind::corvane ? "CVN_FAMILY" : "VANDOR_FAMILY", db.string()}};
    if (!log.empty()) env["SIM_LOG"] = log.string();
    return env;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::vector<std::string>> parse_csv(const std::string& text) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '"') {
            ADD_FAILURE() << "unquoted value at byte " << i;
            break;
        }
        std::string value;
        for (++i; i < text.size() && !(text[i] == '"' && text.compare(i, 2, "\"\"") != 0); ++i) {
            if (text[i] == '"') ++i;  // "" stands for one quote
            value += text[i];
        }
        record.push_back(value);
        if (++i < text.size() && text[i] == ',') continue;
        if (i >= text.size() || text[i] != '\n') {
            ADD_FAILURE() << "no separator or line end after the value ending at byte " << i;
            break;
        }
        records.push_back(record);
        record.clear();
    }
    return records;
}

bool blocks_balanced(const std::string& text) {
    std::vector<std::string> open;
    for (const std::string& line : lines_of(text)) {
        if (line.ends_with("_BEGIN")) open.push_back(line.substr(0, line.size() - 6));
        if (!line.ends_with("_END")) continue;
        if (open.empty() || open.back() != line.substr(0, line.size() - 4)) return false;
        open.pop_back();
    }
    return open.empty();
}

std::vector<std::string> read_sim_log(const std::filesystem::path& log) { return lines_of(read_text(log)); }

RunOptions ServerRun::options(const std::map<std::string, std::string>& env,
                              const std::vector<std::string>& unset) const {
    RunOptions options;
    options.cwd = work_.path();
    options.setEnv = sim_env(kind_, db(), server_ / "sim.log");
    for (const auto& [name, value] : env) options.setEnv[name] = value;
    for (const auto& name : unset) options.setEnv.erase(name);
    options.unsetEnv = unset;
    options.simOnPath = !env.count("PATH");
    return options;
}

std::string ServerRun::program() const {
    return bin_dir() + (kind_ == SimKind::corvane ? "/ferrox_cvn" : "/ferrox_vandor");
}

RunResult ServerRun::run(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
                         const std::vector<std::string>& unset) const {
    return run_program(program(), args, options(env, unset));
}

std::string ServerRun::client(const std::string& command, const std::vector<std::string>& args) const {
    RunOptions options;
    options.cwd = server_.path();
    options.setEnv = sim_env(kind_, db());
    RunResult result = run_program(sim_bin_dir() + "/" + command, args, options);
    EXPECT_EQ(result.status, 0) << command << " " << ::testing::PrintToString(args) << result.err;
    return result.out;
}

void check_run(const std::string& folder, const ExpectedRun& c) {
    SCOPED_TRACE(c.stem);
    const std::filesystem::path expected = std::filesystem::path(source_dir()) / "tests/e2e/expected" / folder / c.stem;
    auto file = [&](const char* suffix) { return read_text(expected.string() + suffix); };
    ServerRun run(c.kind);
    ASSERT_TRUE(c.generated ? run.generated(*c.generated) : run.fixture());
    for (const auto& [name, text] : c.inputs) write_text(run.work() / name, text);
    const RunResult r = run.run(c.args, c.env, c.unset);
    EXPECT_EQ(r.status, c.status) << r.out;
    EXPECT_EQ(r.out, file(".console"));
    EXPECT_EQ(r.err, file(".err"));
    EXPECT_EQ(run.log(), lines_of(file(".log")));
    EXPECT_EQ(run.files_left(), c.left);
    for (const auto& [name, text] : c.inputs) EXPECT_TRUE(run.output(name) == text) << name << " changed";
    std::string written;  // the file the run wrote, if any
    for (const std::string& name : c.left)
        if (!c.inputs.count(name)) written += run.output(name);
    EXPECT_TRUE(written == file(".export")) << written.size() << " bytes written";
}

}  // namespace e2e
