// End-to-end parts exports of ferrox_cvn and ferrox_vandor against simulated servers:
// for every way of selecting parts, the whole element import file, saved labels and
// directories files, console text and the arguments the server received are compared
// with the expected files; failing parts, -jobs, the raw part file backup, and tagsmith
// on the saved files of an export.
#include <grp.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace {

namespace fs = std::filesystem;
using e2e::SimKind;

/// The expected file `name` with the exporting folder and identity filled in: they
/// stand there as {DIR}, {USER}, {GROUP} and {HOST}, for the length, a colon and the
/// value (an identity that cannot be found is exported under its fallback name).
std::string expected(const std::string& name, const fs::path& cwd) {
    std::string text = e2e::expected_text("parts/" + name);
    char host[256] = {};
    const passwd* user = ::getpwuid(::geteuid());
    const group* grp = ::getgrgid(::getegid());
    const std::map<std::string, std::string> values{
        {"{DIR}", e2e::native_path(cwd)},
        {"{USER}", user ? user->pw_name : "guest"},
        // A standalone Windows user's primary group is "None".
        {"{GROUP}", e2e::under_wine() ? "None" : grp ? grp->gr_name : "staff"},
        {"{HOST}", ::gethostname(host, sizeof host - 1) == 0 ? host : "myhostname"}};
    for (const auto& [token, value] : values)
        for (std::size_t at; (at = text.find(token)) != std::string::npos;)
            text.replace(at, token.size(), std::to_string(value.size()) + ":" + value);
    return text;
}

enum class Server {
    fixture, faults, quoting, generated, large, awkward, vfixture, vfaults, vgenerated, vlarge, vawkward
};

/// The generator's histories that lose lineage: forks no part row marks, children dated
/// before their parents, equal change times, parts made anew.
const std::vector<std::string> kAwkward{"--branch-rows", "0.6", "--skew",  "0.15",
                                        "--same-times",  "0.15", "--anew", "0.3"};

SimKind kind_of(Server server) { return server >= Server::vfixture ? SimKind::vandor : SimKind::corvane; }

bool make(e2e::ServerRun& run, Server server) {
    switch (server) {
        case Server::fixture: case Server::vfixture: return run.fixture();
        case Server::faults: return run.sql(e2e::expected_text("parts/faults.sql"));
        case Server::quoting: return run.sql(e2e::expected_text("parts/quoting.sql"));
        case Server::vfaults: return run.sql(e2e::expected_text("parts/vandor_faults.sql"));
        default: break;
    }
    if (server == Server::awkward || server == Server::vawkward)
        return run.generated(
            {.seed = 7, .parts = 6, .revisions = 9, .branchProb = 0.4, .noteSizes = {}, .more = kAwkward});
    const bool large = server == Server::large || server == Server::vlarge;
    return run.generated({.seed = 5, .parts = large ? 150 : 4, .revisions = 7, .branchProb = 0.4, .noteSizes = {}});
}

/// The client's faults: SIM_FAIL, and shell lines its Report command runs first (in the
/// run's folder, through a wrapper in `wrapDir`).
std::map<std::string, std::string> client_env(const std::string& fail, const std::string& wrapper = "",
                                              const fs::path& wrapDir = {}) {
    std::map<std::string, std::string> env{{"TZ", "UTC"}};
    if (!fail.empty()) env["SIM_FAIL"] = fail;
    if (wrapper.empty()) return env;
    e2e::write_text(wrapDir / "Report", "#!/bin/sh\n" + wrapper + "\nexec " + e2e::sim_bin_dir() + "/Report \"$@\"\n");
    fs::permissions(wrapDir / "Report", fs::perms::owner_all);
    env["PATH"] = wrapDir.string() + ":" + e2e::sim_bin_dir() + ":" + std::getenv("PATH");
    return env;
}

const std::vector<std::string> kWholeExport{"SavedDirsFile.txt", "SavedLabelsFile.txt",
                                            "partsExport.txt", "partsRawFile000.raw"};
const std::vector<std::string> kPartlyFailed{"SavedDirsFile.txt", "SavedLabelsFile.txt", "failedParts.raw",
                                             "partsExport.txt", "partsRawFile000.raw"};

struct Case {
    const char* stem;     // its expected files: .console, .log, and .export when an
                          // export file is left
    const char* export_;  // stem of the export files when another case has the same
    Server server;
    std::vector<std::string> args;
    std::map<std::string, std::string> inputs;  // files written into the folder first
    const char* fail;  // SIM_FAIL
    int status;
    std::vector<std::string> left;  // the folder's files afterwards, inputs included
    const char* wrapper = "";       // shell lines the client's Report command runs first
};

void check(const Case& c) {
    SCOPED_TRACE(c.stem);
    if (*c.wrapper && e2e::under_wine()) return;  // the wrapper is a shell script
    e2e::ServerRun run(kind_of(c.server));
    ASSERT_TRUE(make(run, c.server));
    e2e::ScratchDir wrapDir;
    for (const auto& [name, text] : c.inputs) e2e::write_text(run.work() / name, text);
    const e2e::RunResult r = run.run(c.args, client_env(c.fail, c.wrapper, wrapDir.path()));
    EXPECT_EQ(r.status, c.status) << r.out << r.err;
    EXPECT_EQ(e2e::steady(r.out), expected(std::string(c.stem) + ".console", run.work()));
    EXPECT_EQ(run.log(), e2e::lines_of(expected(std::string(c.stem) + ".log", run.work())));
    // A failed export keeps its journal for -resume; a verification keeps none.
    std::vector<std::string> left = c.left;
    const bool verifies = std::find(c.args.begin(), c.args.end(), "-verify") != c.args.end();
    if (c.status != 0 && !verifies) left.push_back("ferrox.journal");
    std::sort(left.begin(), left.end());
    EXPECT_EQ(run.files_left(), left);
    // The raw rows of the parts listed as failed, as the selection has them.
    if (std::count(left.begin(), left.end(), "failedParts.raw")) {
        std::string rows;
        for (const std::string& row : e2e::lines_of(run.output("partsRawFile000.raw")))
            if (r.out.find("\n    " + row.substr(0, row.find('|')) + ": ") != std::string::npos) rows += row + "\n";
        EXPECT_EQ(run.output("failedParts.raw"), rows);
    }
    // A committed-versions file named by the user holds the last part's answer alone.
    if (std::find(c.left.begin(), c.left.end(), "my c.raw") != c.left.end()) {
        EXPECT_EQ(run.output("my c.raw"),
                  "src/main.c|R2|1.2.1.1|13|2019/03/10 10:00:00|R2_L1|2019/03/10 12:00:00\n"
                  "src/main.c|R2|1.3|14|2019/04/10 10:00:00|R2_L2|2019/04/10 12:00:00\n");
    }
    // A selection that yields nothing leaves the raw part file and its backup as they were.
    const auto before = c.inputs.find("partsRawFile000.raw"), backup = c.inputs.find("partsRawFile000.raw0");
    const std::string raw0 = e2e::read_text(run.work() / "partsRawFile000.raw0");  // an input, as it was
    if (c.status == 0 || backup == c.inputs.end()) {
        EXPECT_EQ(raw0, before == c.inputs.end() ? "" : before->second);
    } else {
        EXPECT_TRUE(raw0 == backup->second && e2e::read_text(run.work() / before->first) == before->second);
    }
    if (std::find(c.left.begin(), c.left.end(), "partsExport.txt") == c.left.end()) return;
    // The saved files are the export's head (globals and types) and its directories.
    const std::string text = expected(std::string(c.export_ ? c.export_ : c.stem) + ".export", run.work());
    const std::size_t dirs = text.find("DIR_BEGIN"), elements = text.find("ELEMENT_BEGIN");
    EXPECT_EQ(run.output("partsExport.txt"), text);
    EXPECT_EQ(run.output("SavedLabelsFile.txt"), text.substr(0, dirs));
    EXPECT_EQ(run.output("SavedDirsFile.txt"), text.substr(dirs, elements - dirs));
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

const std::string kDeepPath =
    "deep/level00_of_a_long_path/level01_of_a_long_path/level02_of_a_long_path/level03_of_a_long_path/"
    "level04_of_a_long_path/level05_of_a_long_path/level06_of_a_long_path/file.c";

const std::string kPartSpec45 = [] {
    std::string text = "docs/Read Me.txt\ninclude/defs.h\nit's|a comment\n";
    for (int i = 1; i <= 41; ++i) text += "p" + std::to_string(i) + "\n";
    return text + "src/main.c";
}();

}  // namespace

TEST(PartsExport, EachSelectionModeWritesTheWholeExport) {
    // clang-format off
    const Case cases[] = {
        {"release_r1", nullptr, Server::fixture, {"-parts", "-release", "R1"}, {}, "", 0, kWholeExport},
        // src/main.c: 1 -> 2 -> 3 and 2 -> 2.1.1, rows for 3 and 2.1.1 only: 2 is found as the
        // fork and written first, 2.1.1 on a branch it lists, 3 after 2 on the main line.
        {"release_r2", nullptr, Server::fixture, {"-parts", "-release", "R2"}, {}, "", 0, kWholeExport},
        // The raw part file of the run before is kept as the backup, the earlier export
        // and backup are replaced.
        {"release_r1_again", "release_r1", Server::fixture, {"-parts", "-release", "R1"},
         {{"partsRawFile000.raw", "an earlier raw\n"}, {"partsRawFile000.raw0", "x\n"}, {"partsExport.txt", "x\n"}}, "",
         0, with(kWholeExport, {"partsRawFile000.raw0"})},
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
        {"awkward", nullptr, Server::awkward, {"-parts", "-relspec", "rel.txt"}, {{"rel.txt", "R1\nR2\n"}}, "", 0,
         with(kWholeExport, {"rel.txt"})},
        // 45 entries in batches of 20 (a quote doubled, a comment after "|"), the parts
        // of R2 among them.
        {"partspec_batches", "release_r2", Server::fixture, {"-parts", "-release", "R2", "-partspec", "parts.txt"},
         {{"parts.txt", kPartSpec45}}, "", 0, with(kWholeExport, {"parts.txt"})},
        // An empty part specification asks nothing; blanks after a release name stay,
        // before it they go.
        {"partspec_empty", nullptr, Server::fixture, {"-parts", "-release", "R2", "-partspec", "parts.txt"},
         {{"parts.txt", ""}}, "", 255, {"parts.txt"}},
        {"relspec_blanks", nullptr, Server::fixture, {"-parts", "-relspec", "rel.txt"},
         {{"rel.txt", "R8 | first\n\n  R9\nR'3"}}, "", 255, {"rel.txt"}},
        // Vandor: include/defs.h is listed in R1 with versionid 0 only.
        {"vandor_release_r1", nullptr, Server::vfixture, {"-parts", "-release", "R1"}, {}, "", 0, kWholeExport},
        {"vandor_relspec", nullptr, Server::vfixture, {"-parts", "-relspec", "rel.txt", "-sidlabels", "-componentlabels"},
         {{"rel.txt", release_spec(2)}}, "", 0, with(kWholeExport, {"rel.txt"})},
        // Batches and a like pattern over the release in-list.
        {"vandor_relspec_256", "vandor_relspec", Server::vfixture,
         {"-parts", "-relspec", "rel.txt", "-sidlabels", "-componentlabels"}, {{"rel.txt", release_spec(256)}}, "", 0,
         with(kWholeExport, {"rel.txt"})},
        {"vandor_partspec", nullptr, Server::vfixture,
         {"-parts", "-relspec", "rel.txt", "-partspec", "parts.txt", "-partindex", "2"},
         {{"rel.txt", "R1\nR2\n"}, {"parts.txt", "docs/Read Me.txt\n\ninclude/def%\nsrc/main.c"}}, "", 0,
         with(kWholeExport, {"parts.txt", "rel.txt"})},
        // The committed versions are asked for in the releases of each part's own rows.
        {"vandor_where", nullptr, Server::vfixture,
         {"-parts", "-where", "releaseName <> 'R9' and pathname <> '$HOME'", "-target", "UNIX", "-crlf"}, {}, "", 0,
         kWholeExport},
        // A blank line and a versionid 0 row of another part inside a part; the last row
        // without a line end; committed files named by the user, which stay.
        {"vandor_infile", nullptr, Server::vfixture, {"-parts", "-infile", "old.raw", "-committedFile", "my c.raw"},
         {{"old.raw", "docs/Read Me.txt|R1|1.1|21|docs|2019/01/20 10:00:00|2019/01/20 10:00:00|0644\n\n"
                      "include/defs.h|R1||0|core|2019/04/05 10:00:00|2019/04/05 10:00:00|0755\n"
                      "docs/Read Me.txt|R2|1.2|22|docs|2019/01/20 10:00:00|2019/04/20 10:00:00|0644\n"
                      "src/main.c|R2|1.3|14|core|2019/01/10 10:00:00|2019/04/10 10:00:00|0644"}},
         "", 0, {"SavedDirsFile.txt", "SavedLabelsFile.txt", "my c.raw", "old.raw", "partsExport.txt"}},
        {"vandor_since", nullptr, Server::vfixture, {"-parts", "-release", "R2", "-since", "2019/04/10 10:00:00"}, {},
         "", 0, kWholeExport},
        {"vandor_generated", nullptr, Server::vgenerated, {"-parts", "-release", "R2"}, {}, "", 0, kWholeExport},
        {"vandor_awkward", nullptr, Server::vawkward, {"-parts", "-relspec", "rel.txt"}, {{"rel.txt", "R1\nR2\n"}}, "",
         0, with(kWholeExport, {"rel.txt"})},
        // The rows of failed parts as an -infile ("%" and "_" are no patterns there); all
        // exported, the list goes.
        {"infile_failed", nullptr, Server::quoting, {"-parts", "-infile", "failedParts.raw"},
         {{"failedParts.raw", "docs/50% & more.txt|R'Q||asmith|1|2020/02/03 10:00:00|0644|21\n" + kDeepPath +
                                  "|R'Q||asmith|1|2020/02/04 10:00:00|0644|31\n"}},
         "", 0, {"SavedDirsFile.txt", "SavedLabelsFile.txt", "partsExport.txt"}},
        // The selection only, and what the export would take; the raw part file stays.
        {"plan", nullptr, Server::fixture, {"-parts", "-release", "R2", "-plan"}, {}, "", 0, {"partsRawFile000.raw"}},
        {"vandor_plan", nullptr, Server::vfixture, {"-parts", "-relspec", "rel.txt", "-plan", "-jobs", "4"},
         {{"rel.txt", "R1\nR9\n"}}, "", 0, {"partsRawFile000.raw", "rel.txt"}},
        {"defects_plan", nullptr, Server::fixture, {"-defects", "-nomap", "-plan"}, {}, "", 0, {}},
    };
    // clang-format on
    for (const Case& c : cases) check(c);
}

TEST(PartsExport, FailedPartsAreListedAndTheOthersExported) {
    // clang-format off
    const Case cases[] = {
        {"fail_middle", nullptr, Server::fixture, {"-parts", "-release", "R2"}, {}, "RevisionView .*include/defs", 255,
         kPartlyFailed},
        {"fail_last", nullptr, Server::fixture, {"-parts", "-release", "R2"}, {}, "RevisionView .*src/main", 255,
         kPartlyFailed},
        {"fail_all", nullptr, Server::fixture, {"-parts", "-release", "R2"}, {}, "RevisionView", 255,
         {"failedParts.raw", "partsRawFile000.raw"}},
        // No revisions, a row naming none; the branch point's SID is looked up.
        {"faults", nullptr, Server::faults, {"-parts", "-release", "R1"}, {}, "", 255, kPartlyFailed},
        // The lookup fails after the part's first version: nothing of it is left.
        {"faults_lookup", nullptr, Server::faults, {"-parts", "-release", "R1"}, {}, "^cvnselect", 255, kPartlyFailed},
        // A failed part list leaves no partial raw part file behind.
        {"fail_list", nullptr, Server::fixture, {"-parts", "-release", "R2"}, {}, "PartFullView", 255, {}},
        {"no_release", nullptr, Server::fixture, {"-parts", "-o", "p.txt"}, {}, "", 255, {}},
        // A date alone is its midnight; later than every version, nothing is exported.
        {"since_none", nullptr, Server::fixture, {"-parts", "-release", "R2", "-since", "2030/01/01"}, {}, "", 255,
         {"partsRawFile000.raw"}},
        {"relspec_missing", nullptr, Server::fixture, {"-parts", "-relspec", "rel.txt"}, {}, "", 255, {}},
        {"partspec_missing", nullptr, Server::fixture, {"-parts", "-release", "R2", "-partspec", "parts.txt"}, {}, "",
         255, {}},
        // A failed batch or pattern stops the selection at once.
        {"partspec_pattern_fails", nullptr, Server::fixture,
         {"-parts", "-release", "R2", "-partspec", "parts.txt", "-partindex", "1"},
         {{"parts.txt", "docs/Read Me.txt\ninclude/def%\nsrc/main.c\n"}}, "like 'include", 255, {"parts.txt"}},
        {"partspec_batch_fails", nullptr, Server::fixture,
         {"-parts", "-release", "R2", "-partspec", "parts.txt", "-partindex", "1"},
         {{"parts.txt", "docs/Read Me.txt\ninclude/defs.h\nsrc/main.c\n"}}, "include/defs.h", 255, {"parts.txt"}},
        {"output_clash", nullptr, Server::fixture, {"-parts", "-release", "R1", "-o", "revTmpFile007.OUT"}, {}, "", 255, {}},
        // A release that holds no part is named; the raw part file and its backup stay.
        {"no_parts", nullptr, Server::fixture, {"-parts", "-release", "R9"},
         {{"partsRawFile000.raw", "earlier\n"}, {"partsRawFile000.raw0", "before\n"}}, "", 255,
         {"partsRawFile000.raw", "partsRawFile000.raw0"}},
        {"vandor_fail_middle", nullptr, Server::vfixture, {"-parts", "-release", "R2"}, {}, "versions .*include/defs",
         255, kPartlyFailed},
        {"vandor_fail_last", nullptr, Server::vfixture, {"-parts", "-release", "R2"}, {},
         "committedVersions .*src/main", 255, kPartlyFailed},
        // The committed versions of include/defs.h are gone once their command succeeded.
        {"vandor_unreadable", "vandor_fail_middle", Server::vfixture, {"-parts", "-release", "R2"}, {},
         "", 255, kPartlyFailed, "case \"$*\" in *committedVersions*defs.h*) rm vandorCommittedfile001.raw ;; esac"},
        // No versions, no change date, versionid 0 only, the branch point example with a
        // quote in its path and SIDs, and a part of two Fileview rows.
        {"vandor_faults", nullptr, Server::vfaults, {"-parts", "-relspec", "rel.txt", "-sidlabels"},
         {{"rel.txt", "R1\nR2\n"}}, "", 255, with(kPartlyFailed, {"rel.txt"})},
        // g/nested.c: branch 4 left out by the date, 4/6 written: both branch types declared.
        {"vandor_faults_since", nullptr, Server::vfaults, {"-parts", "-relspec", "rel.txt", "-since", "2020/06/06"},
         {{"rel.txt", "R1\nR2\n"}}, "", 255, with(kPartlyFailed, {"rel.txt"})},
        // -verify writes nothing but the raw part file. A label removed, a SubBranch dropped, a
        // version moved onto another branch, an element of no selected part; the file a walk
        // from the head wrote (a branch point missing), cut short by a wrong length prefix.
        {"verify_damaged", nullptr, Server::fixture, {"-parts", "-relspec", "rel.txt", "-verify", "old.txt"},
         {{"rel.txt", "R1\nR2\n"}, {"old.txt", e2e::expected_text("parts/verify_damaged.input")}}, "", 255,
         {"old.txt", "partsRawFile000.raw", "rel.txt"}},
        {"verify_ok", nullptr, Server::fixture, {"-parts", "-release", "R2", "-verify", "ok.txt"},
         {{"ok.txt", expected("release_r2.export", "/x")}}, "", 0, {"ok.txt", "partsRawFile000.raw"}},
        {"verify_old_walk", nullptr, Server::fixture, {"-parts", "-release", "R2", "-verify", "old.txt"},
         {{"old.txt", e2e::expected_text("parts/verify_old_walk.input")}}, "", 255, {"old.txt", "partsRawFile000.raw"}},
        {"vandor_no_parts", nullptr, Server::vfixture, {"-parts", "-infile", "zero.raw"},
         {{"zero.raw", "include/defs.h|R1||0|core|2019/04/05 10:00:00|2019/04/05 10:00:00|0755\n\n"}}, "", 255,
         {"zero.raw"}},
    };
    // clang-format on
    for (const Case& c : cases) check(c);
}

// Every client call also talks on its error stream: what it says comes, in both runs, just
// before the part that uses its answer, on one console with ferrox's own output. Corvane
// commands see the migration variable from the first history report on, whatever -jobs.
TEST(PartsExport, MoreJobsWriteTheSameFilesAndConsole) {
    for (Server server : {Server::large, Server::vlarge}) {
        e2e::ServerRun run(kind_of(server));
        ASSERT_TRUE(make(run, server));
        std::vector<std::vector<std::string>> runs;  // of each -jobs
        for (const char* jobs : {"1", "4"}) {
            SCOPED_TRACE(jobs);
            // Parts numbered 80 to 89 fail, in every batch of either run.
            std::map<std::string, std::string> env = client_env("(RevisionView|versions) .*_8[0-9]\\.");
            env.insert({{"SIM_SAY", "."}, {"SIM_ENV_LOG", e2e::native_path(run.work() / "env.log")}});
            // The -jobs 4 run also keeps a progress line on its error stream, which ends cleared,
            // and is the other's without it.
            const bool progress = std::string(jobs) == "4";
            std::vector<std::string> words{"-parts", "-release", "R1", "-jobs", jobs};
            if (progress) words.push_back("-progress");
            e2e::RunOptions options = run.options(env);
            options.oneStream = true;
            e2e::RunResult r = e2e::run_program(run.program(), words, options);
            EXPECT_EQ(r.status, 255);
            const std::size_t last = r.out.rfind('\r'), shown = r.out.rfind('\r', last - 1);
            EXPECT_EQ(progress, last != std::string::npos && r.out.find_first_not_of(' ', shown + 1) == last);
            EXPECT_EQ(progress, std::regex_search(r.out, std::regex("\r  ([0-9]+) of \\1 parts, [0-9]+ failed, "
                                                                    "[0-9]:[0-5][0-9]:[0-5][0-9] elapsed, about 0:00:00 left\r")));
            for (const char* shownOrCleared : {"\r  [0-9]+ of [0-9]+ parts[^\r]*", "\r +\r"})
                r.out = std::regex_replace(r.out, std::regex(shownOrCleared), "");
            for (const std::string& call : e2e::lines_of(e2e::read_text(run.work() / "env.log"))) {
                const bool history = call.find("RevisionView") != std::string::npos ||
                                     call.find(" cvnselect ") != std::string::npos;
                EXPECT_EQ(call.starts_with("CVN_MIGRATE=1 "), history) << call;
            }
            fs::remove(run.work() / "env.log");
            std::string said;  // the part named by the last client message
            for (const std::string& line : e2e::lines_of(r.out)) {
                if (line.find(": said for ") != std::string::npos) said = line;
                if (line.starts_with("Processing Part:  ")) {
                    EXPECT_NE(said.find(line.substr(18)), std::string::npos) << line << " after " << said;
                }
            }
            // The journal too is the same whatever -jobs.
            const std::vector<std::string> left = with(kPartlyFailed, {"ferrox.journal"});
            ASSERT_EQ(run.files_left(), left);
            std::vector<std::string> outputs{r.out};
            for (const std::string& name : left) {
                outputs.push_back(run.output(name));
                fs::remove(run.work() / name);
            }
            // Every part the server listed is taken up once, in the order listed.
            std::vector<std::string> listed, processed;
            for (const std::string& row : e2e::lines_of(outputs.back()))
                if (row.find("||0|") == std::string::npos &&  // no Vandor version in the release
                    (listed.empty() || !row.starts_with(listed.back() + "|")))
                    listed.push_back(row.substr(0, row.find('|')));
            for (const std::string& line : e2e::lines_of(r.out))
                if (line.starts_with("Processing Part:  ")) processed.push_back(line.substr(18));
            EXPECT_EQ(processed, listed);
            runs.push_back(outputs);
        }
        EXPECT_EQ(runs[0], runs[1]);
    }
}

// Generated servers of both kinds with the histories that lose lineage (forks no row marks,
// children dated before their parents, equal times, parts made anew): every export, by
// every way of selecting, passes the check of each element as it is written and -verify;
// -verify finds a dropped SubBranch, a removed label and a version moved onto a branch.
TEST(PartsExport, EveryExportOfAGeneratedServerPassesItsChecks) {
    std::vector<std::string> awkward = kAwkward;
    awkward.insert(awkward.end(), {"--releases", "3"});
    const std::vector<std::vector<std::string>> selections{
        {"-release", "R2"}, {"-relspec", "rel.txt", "-partspec", "parts.txt"}, {"-where", "releaseName <> 'R1'"},
        {"-infile", "old.raw"}, {"-relspec", "rel.txt", "-since", "2021/01/01"}, {"-relspec", "rel.txt"}};
    for (Server server : {Server::generated, Server::vgenerated})
        for (const std::uint64_t seed : {3, 4}) {
            if (seed == 4 && e2e::under_wine()) continue;  // two minutes a seed there
            SCOPED_TRACE(std::to_string(seed));
            e2e::ServerRun run(kind_of(server));
            ASSERT_TRUE(run.generated({.seed = seed, .parts = 24, .revisions = 16, .branchProb = 0.35, .noteSizes = {},
                                       .more = awkward}));
            e2e::write_text(run.work() / "rel.txt", "R1\nR3\n");
            e2e::write_text(run.work() / "parts.txt", "src/%\ninclude/%\n");
            for (std::vector<std::string> args : selections) {
                // Seconds a run under wine; the other ways of selecting run the same code there.
                if (e2e::under_wine() && args[0] != "-release" && args.back() != "2021/01/01") continue;
                SCOPED_TRACE(args[1]);
                args.insert(args.begin(), "-parts");
                const e2e::RunResult r = run.run(args, client_env(""));
                EXPECT_EQ(r.status, 0) << r.out;
                if (args[1] == "-release") fs::copy_file(run.work() / "partsRawFile000.raw", run.work() / "old.raw");
                args.insert(args.end(), {"-verify", "partsExport.txt", "-jobs", "3"});
                EXPECT_THAT(run.run(args, client_env("")).out, testing::HasSubstr(": 0 problems\n"));
            }
            EXPECT_EQ(run.files_left(),
                      with(kWholeExport, {"old.raw", "parts.txt", "partsRawFile000.raw0", "rel.txt"}));
            // The last export, damaged four ways, one at a time.
            const std::string text = run.output("partsExport.txt");
            for (const std::string key : {"SubBranch", "Label", "OnBranch", "VERSION_END"}) {
                std::string damaged = text;
                const std::size_t line = damaged.find("\n" + key + " ") + 1;
                const std::size_t end = damaged.find('\n', line) + 1;
                if (key == "VERSION_END") {  // the first element's last version written twice
                    const std::size_t after = damaged.find('\n', damaged.rfind(key, damaged.find("ELEMENT_END"))) + 1;
                    const std::size_t begin = damaged.rfind("VERSION_BEGIN", after);
                    damaged.insert(after, damaged.substr(begin, after - begin));
                } else if (key == "OnBranch") {  // the element's first version onto its later one's branch
                    ASSERT_NE(line, 0u);
                    const std::size_t first = damaged.find("\nExtractCmd ", damaged.rfind("ELEMENT_BEGIN", line));
                    damaged.insert(damaged.find('\n', first + 1) + 1, damaged.substr(line, end - line));
                } else {
                    ASSERT_NE(line, 0u) << key;
                    damaged.erase(line, end - line);
                }
                e2e::write_text(run.work() / "damaged.txt", damaged);
                const e2e::RunResult r =
                    run.run({"-parts", "-relspec", "rel.txt", "-verify", "damaged.txt"}, client_env(""));
                EXPECT_EQ(r.status, 255) << key;
                EXPECT_THAT(r.out, testing::Not(testing::HasSubstr(": 0 problems\n"))) << key;
            }
        }
    // A part of 5,000 versions: its element goes out in pieces before it is checked whole.
    e2e::ServerRun run(SimKind::vandor);
    ASSERT_TRUE(run.generated({.parts = 1, .revisions = 5000, .noteSizes = {}}));
    EXPECT_EQ(run.run({"-parts", "-release", "R2"}, client_env("")).status, 0);
    EXPECT_GT(run.output("partsExport.txt").size(), 1u << 20);
}

TEST(PartsExport, TagsmithTurnsTheSavedFilesIntoLabelCommands) {
    e2e::ServerRun run(SimKind::corvane);
    ASSERT_TRUE(run.fixture());
    e2e::write_text(run.work() / "rel.txt", "R1\nR2\n");
    ASSERT_EQ(run.run({"-parts", "-relspec", "rel.txt"}, client_env("")).status, 0);
    const e2e::RunResult r = e2e::run_program(
        e2e::program("tagsmith"), {"SavedDirsFile.txt", "SavedLabelsFile.txt", "labelCommands.bat"}, run.options());
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(run.output("labelCommands.bat"), e2e::expected_text("parts/tagsmith.bat"));
}
