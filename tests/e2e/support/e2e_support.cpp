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
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

#include "csv_records.h"

extern char** environ;

namespace e2e {

std::string bin_dir() { return FERROX_BIN_DIR; }
std::string sim_bin_dir() { return FERROX_SIM_BIN_DIR; }
std::string source_dir() { return FERROX_SOURCE_DIR; }

std::string wine_build_dir() {
    const char* dir = std::getenv("FERROX_E2E_WINE");
    return dir ? dir : "";
}

bool under_wine() { return !wine_build_dir().empty(); }

std::string expected_text(const std::string& name) {
    const std::filesystem::path path = source_dir() + "/tests/e2e/expected/" + name;
    std::filesystem::path variant = path;
    variant.replace_extension(".wine" + path.extension().string());
    return read_text(under_wine() && std::filesystem::exists(variant) ? variant : path);
}

std::string program(const std::string& name) {
    return under_wine() ? wine_build_dir() + "/bin/" + name + ".exe" : bin_dir() + "/" + name;
}

std::string native_path(const std::filesystem::path& path) {
    std::string text = path.string();
    if (!under_wine()) return text;
    std::replace(text.begin(), text.end(), '/', '\\');
    return "Z:" + text;
}

std::string to_crlf(const std::string& text) {
    std::string crlf;
    for (char c : text) crlf += c == '\n' ? "\r\n" : std::string(1, c);
    return crlf;
}

std::string from_native(const std::string& text, const std::string& what) {
    if (!under_wine()) return text;
    std::string lf;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] != '\r' || i + 1 == text.size() || text[i + 1] != '\n') lf += text[i];
    EXPECT_TRUE(to_crlf(lf) == text) << what << " has an LF where CR LF belongs:\n" << text.substr(0, 400);
    return lf;
}

RunOptions program_options(const std::filesystem::path& cwd) {
    RunOptions options;
    options.cwd = cwd;
    if (!under_wine()) return options;
    options.launcher = FERROX_WINE;
    options.crlf = true;
    return options;
}

namespace {

RunResult run_once(const std::string& program, const std::vector<std::string>& args, const RunOptions& options) {
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
    if (options.simOnPath && !options.launcher.empty())
        env["WINEPATH"] = native_path(wine_build_dir() + "/bin") + ";" + native_path(wine_build_dir() + "/sim-bin");
    else if (options.simOnPath)
        env["PATH"] = sim_bin_dir() + ":" + env["PATH"];
    std::vector<std::string> envStrings;
    for (const auto& [name, value] : env) envStrings.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& s : envStrings) envp.push_back(s.data());
    envp.push_back(nullptr);

    std::vector<std::string> argvStrings{program};
    if (!options.launcher.empty()) argvStrings.insert(argvStrings.begin(), options.launcher);
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
        ::dup2(options.oneStream ? out : err, 2);
        ::execve(argv[0], argv.data(), envp.data());
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

/// The files of a folder and one more file, to be put back as they were.
class Snapshot {
public:
    Snapshot(const std::filesystem::path& folder, const std::filesystem::path& file) : folder_(folder), file_(file) {
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.is_regular_file()) files_[entry.path()] = read_text(entry.path());
        if (std::filesystem::exists(file)) files_[file] = read_text(file);
    }
    void restore() const {
        for (const auto& entry : std::filesystem::directory_iterator(folder_))
            if (!files_.count(entry.path())) std::filesystem::remove_all(entry.path());
        std::error_code absent;
        std::filesystem::remove(file_, absent);
        for (const auto& [path, text] : files_) write_text(path, text);
    }

private:
    std::filesystem::path folder_, file_;
    std::map<std::filesystem::path, std::string> files_;
};

/// The Linux path of a Z:\... path.
std::filesystem::path linux_path(std::string native) {
    std::replace(native.begin(), native.end(), '\\', '/');
    return native.starts_with("Z:") ? native.substr(2) : native;
}

}  // namespace

RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const RunOptions& options) {
    if (options.launcher.empty()) return run_once(program, args, options);
    const auto log = options.setEnv.find("SIM_LOG");
    const Snapshot before(options.cwd.empty() ? std::filesystem::current_path() : options.cwd,
                          log == options.setEnv.end() ? "" : linux_path(log->second));
    RunResult result = run_once(program, args, options);
    if ((result.out + result.err).find("as an internal or external command") != std::string::npos) {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::ofstream(std::string(FERROX_BUILD_DIR) + "/wine-reruns.txt", std::ios::app)
            << (test ? std::string(test->test_suite_name()) + "." + test->name() : "") << ": " << program << "\n";
        before.restore();
        result = run_once(program, args, options);
    }
    if (options.crlf) {
        result.out = from_native(result.out, "the console");
        result.err = from_native(result.err, "the error stream");
    }
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
    RunOptions options = program_options(work_.path());
    options.setEnv = {{kind_ == SimKind::corvane ? "CVN_FAMILY" : "VANDOR_FAMILY", native_path(db())},
                      {"SIM_LOG", native_path(server_ / "sim.log")}};
    for (const auto& [name, value] : env) options.setEnv[name] = value;
    for (const auto& name : unset) options.setEnv.erase(name);
    options.unsetEnv = unset;
    options.simOnPath = !env.count("PATH");
    return options;
}

std::string ServerRun::program() const { return e2e::program(kind_ == SimKind::corvane ? "ferrox_cvn" : "ferrox_vandor"); }

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
    for (const auto& [name, text] : c.inputs) EXPECT_TRUE(read_text(run.work() / name) == text) << name << " changed";
    std::string written;  // the file the run wrote, if any, besides its journal and list of notes not fetched
    for (const std::string& name : c.left)
        if (!c.inputs.count(name) && name != "ferrox.journal" && name != "notesNotFetched.txt") written += run.output(name);
    if (std::count(c.left.begin(), c.left.end(), "notesNotFetched.txt")) {
        EXPECT_EQ(run.output("notesNotFetched.txt"), file(".notes"));
    }
    EXPECT_TRUE(written == file(".export")) << written.size() << " bytes written";
}

}  // namespace e2e
