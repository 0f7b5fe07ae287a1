// The simulated server client refuses loudly what it cannot answer, so that a wrongly
// composed command fails its test. Its answers to well-formed commands, and the
// generator's servers, are pinned by the whole-file runs of the exporter.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e_support.h"

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
        {"corv", {"report", "-testServer"}, {{"CVN_FAMILY", (dir / "c.db").string()}, {"SIM_FAULT", "2:explode"}}, 2,
         "SIM_FAULT must be K:fail, K:truncate or K:kill, with SIM_LOG set\n"},
    };
    for (const auto& c : cases) {
        RunResult result = client(c.name, c.args, c.env);
        EXPECT_EQ(result.status, c.status) << c.name << " " << c.error;
        EXPECT_EQ(result.out, "") << c.error;
        EXPECT_TRUE(result.err.starts_with(c.name + ": " + c.error)) << result.err;
        EXPECT_TRUE(result.err.ends_with("\n") && result.err.size() > c.name.size() + 3) << result.err;
    }
}

}  // namespace
