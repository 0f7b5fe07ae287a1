// Child processes, simulated servers and expected files for end-to-end tests (POSIX only,
// like the simulator).
#include "e2e_support.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <regex>
#include <cstring>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

#include "csv_records.h"

extern char** environ;

namespace e2e {

std::string bin_dir() { return FERROX_BIN_DIR; }
std::string sim_bin_dir() { return FERROX_SIM_BIN_DIR; }
std::string source_dir() { return FERROX_SOURCE_DIR; }
std::string expected_text(const std::string& name) { return read_text(source_dir() + "/tests/e2e/expected/" + name); }

RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const RunOptions& options) {
    std::filesystem::path outPath = std::filesystem::temp_directory_path() /
                                    ("ferrox-e2e-out-" + std::to_string(::getpid()));
    std::filesystem::path errPath = outPath;
    errPath += ".err";

    std::map<std::string, std::string> env;
    for (char** e = environ; *e; ++e) {
        const char* eq = std::strchr(*e, '=');
        if (eq) env[std::string(*e, static_cast<std::size_t>(eq - *e))] = eq + 1;
    }
    for (const auto& name : options.unsetEnv) env.erase(name);
    for (const auto& [name, value] : options.setEnv) env[name] = value;
    if (options.simOnPath) env["PATH"] = sim_bin_dir() + ":" + env["PATH"];
    std::vector<std::string> envStrings;
    for (const auto& [name, value] : env) envStrings.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& s : envStrings) envp.push_back(s.data());
    envp.push_back(nullptr);

    std::vector<std::string> argvStrings{program};
    argvStrings.insert(argvStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : argvStrings) argv.push_back(s.data());
    argv.push_back(nullptr);

    pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        if (!options.cwd.empty() && ::chdir(options.cwd.c_str()) != 0) ::_exit(126);
        int in = ::open("/dev/null", O_RDONLY);
        int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0) ::_exit(126);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::execve(program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    int raw = 0;
    while (::waitpid(pid, &raw, 0) < 0) {
    }
    RunResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = read_text(outPath);
    result.err = read_text(errPath);
    std::error_code ec;
    std::filesystem::remove(outPath, ec);
    std::filesystem::remove(errPath, ec);
    return result;
}

namespace {

const char* kind_name(SimKind kind) { return kind == SimKind::corvane ? "corvane" : "vandor"; }

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

bool ServerRun::fixture(const std::string& extraSql) const { return create_server(kind_, db(), extraSql); }
bool ServerRun::sql(const std::string& sql) const { return run_simgen(kind_, db(), sql_options(db(), sql)); }

bool ServerRun::generated(const SimGenParams& params) const {
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
    options.insert(options.end(), params.more.begin(), params.more.end());
    return run_simgen(kind_, db(), options);
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::vector<std::string>> parse_csv(const std::string& text) {
    const auto records = test_folder::csv_records(text);
    EXPECT_TRUE(records && (text.empty() || text.ends_with('\n'))) << "no CSV file of quoted values";
    return text.empty() || !records ? std::vector<std::vector<std::string>>{} : *records;
}

std::string steady(const std::string& console) {
    static const std::regex time("about [0-9:]+ \\(([0-9]+) calls x [0-9.]+ ms");
    return std::regex_replace(console, time, "about {T} ($1 calls x {MS} ms");
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

RunOptions ServerRun::options(const std::map<std::string, std::string>& env,
                              const std::vector<std::string>& unset) const {
    RunOptions options;
    options.cwd = work_.path();
    options.setEnv = {{kind_ == SimKind::corvane ? "CVN_FAMILY" : "VANDOR_FAMILY", db().string()},
                      {"SIM_LOG", (server_ / "sim.log").string()}};
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

void check_run(const std::string& folder, const ExpectedRun& c) {
    SCOPED_TRACE(c.stem);
    auto file = [&](const char* suffix) { return expected_text(folder + "/" + c.stem + suffix); };
    ServerRun run(c.kind);
    ASSERT_TRUE(c.generated ? run.generated(*c.generated) : run.fixture());
    for (const auto& [name, text] : c.inputs) write_text(run.work() / name, text);
    const RunResult r = run.run(c.args, c.env, c.unset);
    EXPECT_EQ(r.status, c.status) << r.out;
    EXPECT_EQ(steady(r.out), file(".console"));
    EXPECT_EQ(r.err, file(".err"));
    EXPECT_EQ(run.log(), lines_of(file(".log")));
    EXPECT_EQ(run.files_left(), c.left);
    for (const auto& [name, text] : c.inputs) EXPECT_TRUE(run.output(name) == text) << name << " changed";
    std::string written;  // the file the run wrote, if any, besides its journal and list of notes not fetched
    for (const std::string& name : c.left)
        if (!c.inputs.count(name) && name != "ferrox.journal" && name != "notesNotFetched.txt") written += run.output(name);
    if (std::count(c.left.begin(), c.left.end(), "notesNotFetched.txt")) {
        EXPECT_EQ(run.output("notesNotFetched.txt"), file(".notes"));
    }
    EXPECT_TRUE(written == file(".export")) << written.size() << " bytes written";
}

}  // namespace e2e
