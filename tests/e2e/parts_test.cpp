// End-to-end parts exports of ferrox_cvn against simulated Corvane servers: for every
// way of selecting parts, the whole element import file, saved labels and directories
// files, console text and the arguments the server received are compared with the
// expected files; failing parts, the raw part file backup, and tagsmith on the saved
// files of an export.
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "e2e_support.h"
#include "sim_support.h"

namespace {

namespace fs = std::filesystem;
using e2e::SimKind;

fs::path expected_path(const std::string& name) {
    return fs::path(e2e::source_dir()) / "tests/e2e/expected/parts" / name;
}

/// The expected file `name` with the exporting folder and identity filled in: they
/// stand there as {DIR}, {USER}, {GROUP} and {HOST}, for the length, a colon and the
/// value (an identity that cannot be found is exported under its fallback name).
std::string expected(const std::string& name, const fs::path& cwd) {
    std::string text = e2e::read_text(expected_path(name));
    char host[256] = {};
    const passwd* user = ::getpwuid(::geteuid());
    const group* grp = ::getgrgid(::getegid());
    const std::map<std::string, std::string> values{
        {"{DIR}", cwd.string()},
        {"{USER}", user ? user->pw_name : "guest"},
        {"{GROUP}", grp ? grp->gr_name : "staff"},
        {"{HOST}", ::gethostname(host, sizeof host - 1) == 0 ? host : "myhostname"}};
    for (const auto& [token, value] : values)
        for (std::size_t at; (at = text.find(token)) != std::string::npos;)
            text.replace(at, token.size(), std::to_string(value.size()) + ":" + value);
    return text;
}

enum class Server { fixture, faults, quoting, generated, large };

/// A simulated server and the folder ferrox runs in, kept apart.
class PartsRun {
  public:
    explicit PartsRun(Server server) {
        const fs::path sql = expected_path(server == Server::faults ? "faults.sql" : "quoting.sql");
        e2e::SimGenParams params;
        params.seed = 5;
        params.parts = server == Server::large ? 150 : 4;
        params.revisions = 7;
        params.branchProb = 0.4;
        if (server == Server::fixture)
            ready_ = e2e::create_server(SimKind::corvane, db());
        else if (server == Server::generated || server == Server::large)
            ready_ = e2e::create_server_generated(SimKind::corvane, db(), params);
        else
            ready_ = e2e::create_server_sql(SimKind::corvane, db(), e2e::read_text(sql));
    }
    bool ready() const { return ready_; }

    e2e::RunResult run(const std::vector<std::string>& args, const std::string& fail = "") {
        e2e::RunOptions options;
        options.cwd = work_.path();
        options.setEnv = e2e::sim_env(SimKind::corvane, db(), log());
        options.setEnv["TZ"] = "UTC";
        if (!fail.empty()) options.setEnv["SIM_FAIL"] = fail;
        std::error_code ec;
        fs::remove(log(), ec);
        return e2e::run_program(e2e::bin_dir() + "/ferrox_cvn", args, options);
    }

    std::vector<std::string> files_left() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(work_.path()))
            names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string file(const std::string& name) const { return e2e::read_text(work_.path() / name); }
    std::string log_text() const { return e2e::read_text(log()); }
    const fs::path& cwd() const { return work_.path(); }

  private:
    fs::path db() const { return server_.path() / "server.db"; }
    fs::path log() const { return server_.path() / "sim.log"; }

    bool ready_ = false;
    e2e::ScratchDir server_;
    e2e::ScratchDir work_;
};

const std::vector<std::string> kWholeExport{"SavedDirsFile.txt", "SavedLabelsFile.txt",
                                            "partsExport.txt", "partsRawFile000.raw"};

struct Case {
    const char* stem;     // its expected files: .console, .log, and .export when an
                          // export file is left
    const char* export_;  // stem of the export files when another case has the same
    Server server;
    std::vector<std::string> args;
    std::map<std::string, std::string> inputs;  // files written into the folder first
    std::string fail;                           // SIM_FAIL
    int status;
    std::vector<std::string> left;  // the folder's files afterwards, inputs included
};

void check(const Case& c) {
    SCOPED_TRACE(c.stem);
    PartsRun run(c.server);
    ASSERT_TRUE(run.ready());
    for (const auto& [name, text] : c.inputs) e2e::write_text(run.cwd() / name, text);
    const e2e::RunResult r = run.run(c.args, c.fail);
    EXPECT_EQ(r.status, c.status) << r.out << r.err;
    EXPECT_EQ(r.out, expected(std::string(c.stem) + ".console", run.cwd()));
    EXPECT_EQ(run.log_text(), expected(std::string(c.stem) + ".log", run.cwd()));
    EXPECT_EQ(run.files_left(), c.left);
    if (std::find(c.left.begin(), c.left.end(), "partsExport.txt") == c.left.end()) return;
    // The saved files are the export's head (globals and types) and its directories.
    const std::string text =
        expected(std::string(c.export_ ? c.export_ : c.stem) + ".export", run.cwd());
    const std::size_t dirs = text.find("DIR_BEGIN"), elements = text.find("ELEMENT_BEGIN");
    EXPECT_EQ(run.file("partsExport.txt"), text);
    EXPECT_EQ(run.file("SavedLabelsFile.txt"), text.substr(0, dirs));
    EXPECT_EQ(run.file("SavedDirsFile.txt"), text.substr(dirs, elements - dirs));
}

std::vector<std::string> with(std::vector<std::string> names,
                              const std::vector<std::string>& more) {
    names.insert(names.end(), more.begin(), more.end());
    std::sort(names.begin(), names.end());
    return names;
}

std::string release_spec(int releases) {
    std::string text = "R1|the first release\n\n";
    for (int r = 2; r <= releases; ++r)
        text += "R" + std::to_string(r) + (r < releases ? "\n" : "");
    return text;
}

}  // namespace

TEST(PartsExport, EachSelectionModeWritesTheWholeExport) {
    // clang-format off
    const Case cases[] = {
        {"release_r1", nullptr, Server::fixture, {"-parts", "-release", "R1"}, {}, "", 0, kWholeExport},
        {"release_r2", nullptr, Server::fixture, {"-parts", "-release", "R2"}, {}, "", 0, kWholeExport},
        // Names with a comment after "|", a blank line, no line end after the last name.
        {"relspec", nullptr, Server::fixture, {"-parts", "-relspec", "rel.txt"}, {{"rel.txt", release_spec(2)}}, "",
         0, with(kWholeExport, {"rel.txt"})},
        // 256 names: the in-list is sent whole, and the export is the same.
        {"relspec_256", "relspec", Server::fixture, {"-parts", "-relspec", "rel.txt"},
         {{"rel.txt", release_spec(256)}}, "", 0, with(kWholeExport, {"rel.txt"})},
        // Batches of two lines (a blank one among them), a like pattern sent at once,
        // the last name without a line end; batches admit fix/integrate work areas.
        {"partspec_workareas", nullptr, Server::fixture,
         {"-parts", "-release", "R2", "-partspec", "parts.txt", "-partindex", "2", "-workareas"},
         {{"parts.txt", "docs/Read Me.txt\n\ninclude/def%\nsrc/main.c"}}, "", 0, with(kWholeExport, {"parts.txt"})},
        {"where", nullptr, Server::fixture,
         {"-parts", "-where", "releaseName = 'R2' and workareaname is null and nupathname <> '$HOME'"}, {}, "", 0,
         kWholeExport},
        // A raw file of an earlier run: a blank line, and a last part without a line end.
        {"infile", nullptr, Server::fixture, {"-parts", "-infile", "old.raw"},
         {{"old.raw", "src/main.c|R1||asmith|2|2019/02/10 10:00:00|0644|100002\n\n"
                      "docs/Read Me.txt|R2||pobrien|2|2019/04/20 10:00:00|0644|100012"}},
         "", 0, {"SavedDirsFile.txt", "SavedLabelsFile.txt", "old.raw", "partsExport.txt"}},
        {"since", nullptr, Server::fixture, {"-parts", "-release", "R2", "-since", "2019/04/06 00:00:00"}, {}, "", 0,
         kWholeExport},
        {"unix_crlf_revisionlabels", nullptr, Server::fixture,
         {"-parts", "-release", "R1", "-target", "UNIX", "-crlf", "-revisionlabels"}, {}, "", 0, kWholeExport},
        {"quoting_nt", nullptr, Server::quoting, {"-parts", "-release", "R'Q"}, {}, "", 0, kWholeExport},
        {"quoting_unix", nullptr, Server::quoting,
         {"-parts", "-release", "R'Q", "-target", "UNIX", "-partspec", "parts.txt"},
         {{"parts.txt", "src/it's $HOME.c\ndocs/50% & more.txt\n"}}, "", 0, with(kWholeExport, {"parts.txt"})},
        {"generated", nullptr, Server::generated, {"-parts", "-release", "R2"}, {}, "", 0, kWholeExport},
    };
    // clang-format on
    for (const Case& c : cases) check(c);
}

TEST(PartsExport, FailedPartsAreListedAndTheOthersExported) {
    // clang-format off
    const Case cases[] = {
        {"fail_middle", nullptr, Server::fixture, {"-parts", "-release", "R2"}, {}, "RevisionView .*include/defs", 255,
         kWholeExport},
        {"fail_last", nullptr, Server::fixture, {"-parts", "-release", "R2"}, {}, "RevisionView .*src/main", 255,
         kWholeExport},
        {"fail_all", nullptr, Server::fixture, {"-parts", "-release", "R2"}, {}, "RevisionView", 255, {"partsRawFile000.raw"}},
        // No revisions, a row naming none; the branch point's SID is looked up.
        {"faults", nullptr, Server::faults, {"-parts", "-release", "R1"}, {}, "", 255, kWholeExport},
        // The lookup fails after the part's first version: nothing of it is left.
        {"faults_lookup", nullptr, Server::faults, {"-parts", "-release", "R1"}, {}, "^cvnselect", 255, kWholeExport},
        // A failed part list leaves no partial raw part file behind.
        {"fail_list", nullptr, Server::fixture, {"-parts", "-release", "R2"}, {}, "PartFullView", 255, {}},
        {"no_release", nullptr, Server::fixture, {"-parts", "-o", "p.txt"}, {}, "", 255, {}},
        {"output_clash", nullptr, Server::fixture, {"-parts", "-release", "R1", "-o", "revTmpFile007.OUT"}, {}, "", 255, {}},
        {"no_parts", nullptr, Server::fixture, {"-parts", "-release", "R9"}, {}, "", 255, {"partsRawFile000.raw"}},
    };
    // clang-format on
    for (const Case& c : cases) check(c);
}

TEST(PartsExport, EachRunKeepsTheRawPartFileOfTheRunBefore) {
    PartsRun run(Server::fixture);
    ASSERT_TRUE(run.ready());
    const std::string r1 =
        "docs/Read Me.txt|R1||pobrien|1|2019/01/20 10:00:00|0644|100011\n"
        "src/main.c|R1||asmith|2|2019/02/10 10:00:00|0644|100002\n";
    const std::string r2 =
        "docs/Read Me.txt|R2||pobrien|2|2019/04/20 10:00:00|0644|100012\n"
        "include/defs.h|R2||asmith|1|2019/04/05 10:00:00|0755|100021\n"
        "src/main.c|R2||asmith|3|2019/04/10 10:00:00|0644|100004\n"
        "src/main.c|R2|old01|jmuller|2.1.1|2019/03/10 10:00:00|0644|100003\n";
    const char* renamed =
        "\nRaw Part File : partsRawFile000.raw  Renamed to : partsRawFile000.raw0\n";
    struct Step {
        const char* release;
        bool renames;
        std::string raw;
        std::string backup;
    };
    for (const Step& step :
         {Step{"R1", false, r1, ""}, Step{"R2", true, r2, r1}, Step{"R1", true, r1, r2}}) {
        const e2e::RunResult r = run.run({"-parts", "-release", step.release});
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(r.out.find(renamed) != std::string::npos, step.renames) << r.out;
        EXPECT_EQ(run.file("partsRawFile000.raw"), step.raw);
        EXPECT_EQ(run.file("partsRawFile000.raw0"), step.backup);
    }
    EXPECT_EQ(run.file("partsExport.txt"),
              expected("release_r1.export", run.cwd()));  // the earlier one replaced
}

TEST(PartsExport, TagsmithTurnsTheSavedFilesIntoLabelCommands) {
    PartsRun run(Server::fixture);
    ASSERT_TRUE(run.ready());
    ASSERT_EQ(run.run({"-parts", "-relspec", "rel.txt"}).status, 255);  // no such file yet
    e2e::write_text(run.cwd() / "rel.txt", "R1\nR2\n");
    ASSERT_EQ(run.run({"-parts", "-relspec", "rel.txt"}).status, 0);
    e2e::RunOptions options;
    options.cwd = run.cwd();
    const e2e::RunResult r = e2e::run_program(
        e2e::bin_dir() + "/tagsmith",
        {"SavedDirsFile.txt", "SavedLabelsFile.txt", "labelCommands.bat"}, options);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(run.file("labelCommands.bat"), e2e::read_text(expected_path("tagsmith.bat")));
}

TEST(PartsExport, EveryPartOfALargeReleaseIsExportedOnceInItsOrder) {
    PartsRun run(Server::large);
    ASSERT_TRUE(run.ready());
    ASSERT_EQ(run.run({"-parts", "-release", "R1"}).status, 0);
    // The parts the server lists, in the order it lists them, each once.
    std::vector<std::string> listed;
    for (const std::string& row : e2e::lines_of(run.file("partsRawFile000.raw"))) {
        const std::string path = row.substr(0, row.find('|'));
        if (listed.empty() || listed.back() != path) listed.push_back(path);
    }
    std::vector<std::string> exported;
    for (const std::string& line : e2e::lines_of(run.file("partsExport.txt")))
        if (line.starts_with("Name ")) exported.push_back(line.substr(line.find(':') + 1));
    EXPECT_GT(listed.size(), 130u);
    EXPECT_EQ(exported, listed);
}
