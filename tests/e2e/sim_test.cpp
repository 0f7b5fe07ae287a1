// The simulated server client refuses loudly what it cannot answer, so that a wrongly
// composed command fails its test; its test variables work; its generator keeps the
// promises the other tests rely on. Its answers to well-formed commands are pinned by
// the whole-file runs of the exporter against the fixtures.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e_support.h"
#include "sim_support.h"

namespace {

using e2e::RunResult;
using e2e::SimKind;

/// Runs the simulator under `name` with `args` (no shell in between).
RunResult client(const std::string& name, const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env) {
    e2e::RunOptions options;
    options.setEnv = env;
    options.unsetEnv = {"CVN_FAMILY", "VANDOR_FAMILY", "SIM_LOG", "SIM_FAIL", "SIM_DELAY"};
    return e2e::run_program(e2e::sim_bin_dir() + "/" + name, args, options);
}

TEST(SimClient, RefusesWhatItCannotAnswerWithStatusAndCommandName) {
    e2e::ScratchDir dir;
    ASSERT_TRUE(e2e::create_server(SimKind::corvane, dir / "c.db"));
    ASSERT_TRUE(e2e::create_server(SimKind::vandor, dir / "v.db"));
    e2e::write_text(dir / "text.db", "this is not a database, just some text that is long enough\n");
    const std::map<std::string, std::string> both{{"CVN_FAMILY", (dir / "c.db").string()},
                                                  {"VANDOR_FAMILY", (dir / "v.db").string()}};
    struct Case {
        std::string name;
        std::vector<std::string> args;
        std::map<std::string, std::string> env;
        int status;
        std::string error;  // the start of the message after "<name>: "
    };
    const std::vector<Case> cases = {
        {"corv", {"Report"}, both, 2, "unknown command: corv Report\n"},
        {"corv", {"Report", "-raw", "-view", "DefectView", "-wher", "1=1"}, both, 2, "unknown command"},
        {"corv", {"Report", "-raw", "-view", "DefectView;", "-where", "1=1"}, both, 2, "unknown command"},
        {"corv", {"Part", "-extract", "-release", "R1", "src/main.c"}, both, 2, "unknown command"},
        {"Report", {"-testserver"}, both, 2, "unknown command"},
        {"cvnselect", {"sid,releasename", "from versions"}, both, 2, "unknown command"},
        {"Report", {"-general", "Fileview", "-select", "pathname,nosuch", "-where", "1=1"}, both, 2,
         "SQL error in \"SELECT pathname,nosuch FROM Fileview WHERE 1=1\": no such column: nosuch\n"},
        // A Corvane query against a Vandor server does not quietly answer.
        {"Report", {"-general", "PartFullView", "-select", "nupathname"}, both, 2, "SQL error"},
        {"corv", {"defect", "-view", "1003", "-long"}, both, 1, "no defect named 1003\n"},
        {"Report", {"-testServer"}, {{"CVN_FAMILY", (dir / "c.db").string()}}, 2, "VANDOR_FAMILY not set\n"},
        {"corv", {"report", "-testServer"}, {{"CVN_FAMILY", (dir / "text.db").string()}}, 2, ""},
        {"corv", {"report", "-testServer"}, {{"CVN_FAMILY", (dir / "c.db").string()}, {"SIM_FAIL", "(unclosed"}}, 2,
         "SIM_FAIL is not a valid regular expression"},
    };
    for (const auto& c : cases) {
        RunResult result = client(c.name, c.args, c.env);
        EXPECT_EQ(result.status, c.status) << c.name << " " << c.error;
        EXPECT_EQ(result.out, "") << c.error;
        EXPECT_TRUE(result.err.starts_with(c.name + ": " + c.error)) << result.err;
        EXPECT_TRUE(result.err.ends_with("\n") && result.err.size() > c.name.size() + 3) << result.err;
    }
}

TEST(SimClient, LogsEveryCallAsReceivedAfterTheShellAndFailsOnlyMatchingCalls) {
    e2e::ScratchDir dir;
    ASSERT_TRUE(e2e::create_server(SimKind::corvane, dir / "c.db"));
    auto env = e2e::sim_env(SimKind::corvane, dir / "c.db", dir / "sim.log");
    env["SIM_FAIL"] = "^corv defect";
    struct Case {
        std::string line;
        int status;
    };
    const Case cases[] = {
        {"corv report -testServer > /dev/null", 0},
        {"corv  Report -general PartFullView   -select \"nupathname, sourceid\" -where \"x = 'y  z'\" >p.raw", 2},
        {"corv defect -view 1001 -long > defect1001.out", 1},
        {"corv Defect -configInfo -raw > config.raw", 0},
    };
    e2e::RunOptions options;
    options.cwd = dir.path();
    options.setEnv = env;
    for (const Case& c : cases)
        EXPECT_EQ(e2e::run_program("/bin/sh", {"-c", c.line}, options).status, c.status) << c.line;
    EXPECT_EQ(e2e::read_text(dir / "defect1001.out"), "");  // an injected failure answers nothing
    EXPECT_EQ(e2e::read_sim_log(dir / "sim.log"),
              (std::vector<std::string>{
                  "corv report -testServer",
                  "corv Report -general PartFullView -select nupathname, sourceid -where x = 'y  z'",
                  "corv defect -view 1001 -long",
                  "corv Defect -configInfo -raw",
              }));
}

// The generated histories the history steps and the benchmarks run on: every ancestor
// exists and is older, and there are branches, nested ones too. The first users carry
// the awkward superuser flags.
TEST(SimGenerator, RevisionTreesAreConsistentAndUsersAwkward) {
    e2e::ScratchDir dir;
    e2e::SimGenParams params;
    params.parts = 3;
    params.revisions = 300;
    params.users = 6;
    const std::pair<SimKind, std::string> cases[] = {
        {SimKind::corvane,
         "count(*), sum(ancestorrevision is null), sum(revisionname like '%.%.%.%.%') > 0 from RevisionView r "
         "where ancestorrevision is null or exists (select 1 from RevisionView a where a.nupathname = r.nupathname "
         "and a.revisionname = r.ancestorrevision and a.changedate < r.changedate)"},
        {SimKind::vandor,
         "count(*), sum(previousid = '0'), sum(sid like '%.%.%.%.%') > 0 from versions v where previousid = '0' or "
         "exists (select 1 from versions p where p.id = v.previousid and p.changedate < v.changedate)"},
    };
    for (const auto& [kind, query] : cases) {
        ASSERT_TRUE(e2e::create_server_generated(kind, dir / "s.db", params));
        // The select tool runs plain SQL over either kind's database.
        RunResult result = client("cvnselect", {"(select group_concat(superUser, ',') from Users), " + query},
                                  {{"CVN_FAMILY", (dir / "s.db").string()}});
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out, "yes,yesterday,Yes,no,,yes|900|3|1\n") << query;
    }
}

}  // namespace
