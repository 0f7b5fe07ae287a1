// The simulated server client answers the command lines ferrox composes, refuses what it
// cannot read, honours the test variables, and its generator makes the data it promises.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e_support.h"
#include "sim_support.h"

namespace {

using e2e::lines_of;
using e2e::RunResult;
using e2e::SimKind;

/// Runs a command line through /bin/sh in `dir`, as ferrox's command interpreter would.
RunResult shell(const std::filesystem::path& dir, const std::string& line,
                std::map<std::string, std::string> env) {
    e2e::RunOptions options;
    options.cwd = dir;
    options.setEnv = std::move(env);
    return e2e::run_program("/bin/sh", {"-c", line}, options);
}

/// Runs the simulator under `name` with `args` (no shell in between).
RunResult client(const std::string& name, const std::vector<std::string>& args,
                 std::map<std::string, std::string> env, std::vector<std::string> unset = {}) {
    e2e::RunOptions options;
    options.setEnv = std::move(env);
    options.unsetEnv = std::move(unset);
    return e2e::run_program(e2e::sim_bin_dir() + "/" + name, args, options);
}

std::size_t count_fields(const std::string& line) {
    return static_cast<std::size_t>(std::count(line.begin(), line.end(), '|')) + 1;
}

TEST(SimBuild, ClientExistsUnderEveryNameBesidesTheGenerator) {
    for (const char* name : {"corv", "cvnselect", "Report", "Defect", "Feature", "File", "simgen"})
        EXPECT_TRUE(std::filesystem::exists(e2e::sim_bin_dir() + "/" + name)) << name;
}

// --- The command lines ferrox composes, run through the shell, answered from the fixture.

struct Composed {
    const char* what;
    const char* line;    // exactly as ferrox hands it to the command interpreter
    const char* output;  // the file the line redirects into
    const char* expected;
};

void check_composed(SimKind kind, const std::vector<Composed>& cases) {
    e2e::ScratchDir dir;
    ASSERT_TRUE(e2e::create_server(kind, dir / "server.db"));
    for (const auto& c : cases) {
        RunResult result = shell(dir.path(), c.line, e2e::sim_env(kind, dir / "server.db"));
        EXPECT_EQ(result.status, 0) << c.what << "\n" << result.err;
        EXPECT_EQ(result.err, "") << c.what;
        EXPECT_EQ(e2e::read_file(dir / c.output), c.expected) << c.what;
    }
}

TEST(SimComposed, CorvaneCommandsAnswerFromTheFixture) {
    check_composed(SimKind::corvane, {
        {"connection test", "corv report -testServer > out.txt", "out.txt", ""},
        {"defect view report",
         "corv Report -raw -view DefectView -where \"1=1 order by name\" >defectRawFile000.raw",
         "defectRawFile000.raw",
         "d|1001|ui|R1|asmith|working||2|Crash on \"Save As\", twice|14|linux|R1_d1||2019/04/02 10:00:00|"
         "2019/03/19 09:12:44|2019/03/20 08:00:00|2019/03/21 11:30:00||Ann Smith|dev|CR-1200|pobrien|"
         "Pat O'Brien|support|101|103|core_dump|always|use \"Save\" instead|mustfix\n"
         "d|1002|db|R2|jmuller|verify|program_defect|4|  Größe wrong, see résumé|3|win32|||"
         "2020/01/15 16:45:00|2020/01/12 07:00:01|2020/01/12 09:00:00||| Jürgen Müller |qa||asmith|"
         "Ann Smith|dev|102|101|lost_data|once||candidate\n"
         "d|1003|net|R2|pobrien||||No note on the server|0|aix||1001|2020/02/01 00:00:00|"
         "2020/02/01 00:00:00||||Pat O'Brien|support||pobrien|Pat O'Brien|support|103|103||||\n"},
        {"users report",
         "corv Report -raw -view Users -where \"1=1 and dropDate is null\" >userRawFile000.raw",
         "userRawFile000.raw",
         "asmith|Ann Smith|Build team, room \"B2\"|asmith@example.com|dev|2019/01/07 09:00:00|"
         "2020/03/01 10:30:00|yes|\n"
         "jmuller| Jürgen Müller || jmuller@example.com|qa|2019/02/11 08:15:00|2019/02/11 08:15:00|yesterday|\n"
         "pobrien|Pat O'Brien|Support, nights|pobrien@example.com|support|2019/03/01 12:00:00|"
         "2019/05/01 12:00:00|no|\n"},
        {"defect configuration info", "corv Defect  -configInfo -raw >defectConfigFile000.raw",
         "defectConfigFile000.raw",
         "defect|Prefix|d|text|8\ndefect|1|Symptom|text|64\ndefect|Severity|1,2,3,4|text|2\n"
         "defect|2|Frequency|text|64\ndefect|3|Workaround|text|64\ndefect|4|Priority|text|64\n"},
        {"feature long view", "corv feature -view 5001 -long > feature5001.out", "feature5001.out",
         "Users ask for a \"dark\" theme.\r\nGröße of icons stays.\r\n"},
        {"whole-release part query: live work area rows left out",
         "corv  Report -general PartFullView   -select \"nupathname,releasename,workareaname, "
         "userlogin,revisionname,lastupdate, fmode,sourceid\" -where \" releaseName = 'R2'  and "
         "(workareaname is null or workareaid not in (select workareaid from workareaview))  and "
         "dropdate is null  order by nupathName,releasename,lastUpdate desc\" >partsRawFile000.raw",
         "partsRawFile000.raw",
         "docs/Read Me.txt|R2||pobrien|2|2019/04/20 10:00:00|0644|100012\n"
         "include/defs.h|R2||asmith|1|2019/04/05 10:00:00|0755|100021\n"
         "src/main.c|R2||asmith|3|2019/04/10 10:00:00|0644|100004\n"
         "src/main.c|R2|old01|jmuller|2.1.1|2019/03/10 10:00:00|0644|100003\n"},
        {"batch part query with the fix/integrate clause",
         "corv Report -general PartFullView  -select \"nupathname,releasename,workareaname,"
         "userlogin,revisionname,lastupdate, fmode,sourceid\" -where \"releaseName in ('R2') and "
         "nupathname in ('src/main.c','include/defs.h') and (workareaname is null or workareaid not in "
         "(select workareaid from workareaview) or workareaid in (select workareaid from workareaview "
         "where state in ('fix','integrate'))) and dropdate is null  order by "
         "nupathName,releasename,lastUpdate desc\" >partsRawFile000.raw",
         "partsRawFile000.raw",
         "include/defs.h|R2||asmith|1|2019/04/05 10:00:00|0755|100021\n"
         "src/main.c|R2|wa01|jmuller|2.1.2|2019/05/10 10:00:00|0644|100005\n"
         "src/main.c|R2||asmith|3|2019/04/10 10:00:00|0644|100004\n"
         "src/main.c|R2|old01|jmuller|2.1.1|2019/03/10 10:00:00|0644|100003\n"},
        {"wildcard part query over the release in-list, dropped part left out",
         "corv  Report -general PartFullView   -select \"nupathname,releasename,workareaname, "
         "userlogin,revisionname,lastupdate, fmode,sourceid\" -where \"releaseName in ('R1') and "
         "nupathname like 'inc%' and (workareaname is null or workareaid not in (select workareaid "
         "from workareaview))  and dropdate is null  order by nupathName,releasename,lastUpdate desc\" "
         ">wild.raw",
         "wild.raw", ""},
        {"revision history of a part, newest first",
         "corv Report -general RevisionView  -select "
         "\"nupathname,changedate,revisionname,ancestorrevision,nuadddate,sourceid\" -where "
         "\"nupathname = 'src/main.c' order by changeDate desc\">revTmpFile000.out",
         "revTmpFile000.out",
         "src/main.c|2019/05/10 10:00:00|2.1.2|2.1.1|2019/05/10 10:00:00|100005\n"
         "src/main.c|2019/04/10 10:00:00|3|2|2019/04/10 10:00:00|100004\n"
         "src/main.c|2019/03/10 10:00:00|2.1.1|2|2019/03/10 10:00:00|100003\n"
         "src/main.c|2019/02/10 10:00:00|2|1|2019/02/10 10:00:00|100002\n"
         "src/main.c|2019/01/10 10:00:00|1||2019/01/10 10:00:00|100001\n"},
        {"revision history of a part with a blank in its name",
         "corv Report -general RevisionView  -select "
         "\"nupathname,changedate,revisionname,ancestorrevision,nuadddate,sourceid\" -where "
         "\"nupathname = 'docs/Read Me.txt' order by changeDate desc\">revTmpFile000.out",
         "revTmpFile000.out",
         "docs/Read Me.txt|2019/04/20 10:00:00|2|1|2019/04/20 10:00:00|100012\n"
         "docs/Read Me.txt|2019/01/20 10:00:00|1||2019/01/20 10:00:00|100011\n"},
        {"SID and release lookup",
         "cvnselect \"sid,releasename from versions where revisionname='2.1.1' and sourceid in "
         "(select oid from revisionview where revisionname='2.1.1' and nupathname='src/main.c')\" > "
         "tmpsid000.raw",
         "tmpsid000.raw", "1.2.1.1|R2\n"},
    });
}

TEST(SimComposed, VandorCommandsAnswerFromTheFixture) {
    check_composed(SimKind::vandor, {
        {"connection test", "Report -testServer > out.txt", "out.txt", ""},
        {"feature view report",
         "Report -raw -view FeatureView -where \"1=1 order by name\" >featureRawFile000.raw",
         "featureRawFile000.raw",
         "f|5001|ui|asmith|Ann Smith|design|Dark mode, \"like the others\"|30||2019/05/01 10:00:00|"
         "2019/04/01 10:00:00|2019/04/02 10:00:00|||dev||jmuller| Jürgen Müller |qa|candidate|ACME, Inc.\n"
         "f|5002|tools|pobrien|Pat O'Brien|closed| Export to CSV|200||2020/06/01 10:00:00|"
         "2019/11/01 10:00:00|2019/11/02 10:00:00|2019/11/03 10:00:00|2020/06/01 10:00:00|support|CR-77|"
         "asmith|Ann Smith|dev|n/a|\n"},
        {"feature configuration info", "Feature  -configInfo -raw >featureConfigFile000.raw",
         "featureConfigFile000.raw",
         "feature|Prefix|f|text|8\nfeature|1|Priority|text|64\nfeature|Severity|5|text|2\n"
         "feature|2|Customer|text|64\n"},
        {"defect long view keeps CR LF", "Defect -view 1001 -long > defect1001.out", "defect1001.out",
         "Steps: open a file, choose \"Save As\".\r\nRésumé: it crashes, twice.\r\n  Indented, as pasted.\r\n"},
        {"whole-release part query with its unquoted select list",
         "Report -general Fileview -select pathname,releasename,versionsid,versionid,compname,adddate,"
         "lastupdate,fmode  -where \" releaseName = 'R1'  and dropdate is null order by "
         "pathname,releasename, versionsid,lastupdate \" >partsRawFile000.raw",
         "partsRawFile000.raw",
         "docs/Read Me.txt|R1|1.1|21|docs|2019/01/20 10:00:00|2019/01/20 10:00:00|0644\n"
         "include/defs.h|R1||0|core|2019/04/05 10:00:00|2019/04/05 10:00:00|0755\n"
         "src/main.c|R1|1.2|12|core|2019/01/10 10:00:00|2019/02/10 10:00:00|0644\n"},
        {"wildcard part query: pattern right after the in-list",
         "Report -general Fileview -select pathname,releasename,versionsid,versionid,compname,adddate,"
         "lastupdate,fmode  -where \"releaseName in ('R1','R2')and pathname like 'src/%' and dropdate "
         "is null order by pathname,releasename, versionsid,lastupdate \" >wild.raw",
         "wild.raw",
         "src/main.c|R1|1.2|12|core|2019/01/10 10:00:00|2019/02/10 10:00:00|0644\n"
         "src/main.c|R2|1.3|14|core|2019/01/10 10:00:00|2019/04/10 10:00:00|0644\n"},
        {"committed versions of a part, noDelta left out",
         "Report -general committedVersions  -select \"pathname,releasename,sid, "
         "versionid,changedate,levelname,commitdate\"   -where \"releaseName = 'R2'  and pathname "
         "='src/main.c'  and changetype != 'noDelta' order by pathname,sid,commitdate,changedate\" > "
         "vandorCommittedfile000.raw",
         "vandorCommittedfile000.raw",
         "src/main.c|R2|1.2.1.1|13|2019/03/10 10:00:00|R2_L1|2019/03/10 12:00:00\n"
         "src/main.c|R2|1.3|14|2019/04/10 10:00:00|R2_L2|2019/04/10 12:00:00\n"},
        {"versions of a part, oldest first",
         "Report -general versions   -select \"sid,id,previousid,changedate\"   -where \"sourceid in "
         "(select sourceid from fileview where pathname = 'src/main.c') order by changedate asc \""
         ">verTmpFile000.out",
         "verTmpFile000.out",
         "1.1|11|0|2019/01/10 10:00:00\n1.2|12|11|2019/02/10 10:00:00\n1.2.1.1|13|12|2019/03/10 10:00:00\n"
         "1.3|14|12|2019/04/10 10:00:00\n1.2.1.2|15|13|2019/05/10 10:00:00\n"},
        {"release lookup of a SID",
         "Report -general Fileview -select \"releasename\" -where \"versionsid ='1.3' and "
         "pathname='src/main.c'\" > tmprel000.raw",
         "tmprel000.raw", "R2\n"},
    });
}

// --- Refusals: every malformed or failing request is loud.

TEST(SimRefusals, UnknownShapesAndFailingSqlExitWithTwoAndNameTheCommand) {
    e2e::ScratchDir dir;
    ASSERT_TRUE(e2e::create_server(SimKind::corvane, dir / "c.db"));
    ASSERT_TRUE(e2e::create_server(SimKind::vandor, dir / "v.db"));
    std::map<std::string, std::string> env{{"CVN_FAMILY", (dir / "c.db").string()},
                                           {"VANDOR_FAMILY", (dir / "v.db").string()}};
    struct Case {
        const char* name;
        std::vector<std::string> args;
        const char* errorPart;
    };
    const std::vector<Case> cases = {
        {"corv", {}, "unknown command: corv"},
        {"corv", {"Report"}, "unknown command: corv Report"},
        {"corv", {"Report", "-raw", "-view", "DefectView", "-where"}, "unknown command"},
        {"corv", {"Report", "-raw", "-view", "DefectView", "-where", "1=1", "extra"}, "unknown command"},
        {"corv", {"Report", "-general", "PartFullView", "-where", "1=1"}, "unknown command"},
        {"corv", {"Report", "-raw", "-view", "DefectView;", "-where", "1=1"}, "unknown command"},
        {"corv", {"Part", "-extract", "-release", "R1", "src/main.c"}, "unknown command"},
        {"corv", {"defect", "-view", "1001"}, "unknown command"},
        {"corv", {"Defect", "-configInfo"}, "unknown command"},
        {"File", {"-extract", "-release", "R1", "src/main.c"}, "unknown command: File -extract"},
        {"Report", {"-testserver"}, "unknown command"},
        {"cvnselect", {"sid,releasename", "from versions"}, "unknown command"},
        {"corv", {"Report", "-raw", "-view", "NoSuchView", "-where", "1=1"}, "no such table: NoSuchView"},
        {"Report", {"-general", "Fileview", "-select", "pathname,nosuch", "-where", "1=1"},
         "no such column: nosuch"},
        {"Report", {"-raw", "-view", "Fileview", "-where", "releaseName = 'R1' and"}, "SQL error"},
        // A Corvane query against a Vandor server does not quietly answer.
        {"Report", {"-general", "PartFullView", "-select", "nupathname", "-where", "1=1"},
         "no such table: PartFullView"},
    };
    for (const auto& c : cases) {
        RunResult result = client(c.name, c.args, env);
        EXPECT_EQ(result.status, 2) << c.name << " " << c.errorPart;
        EXPECT_EQ(result.out, "") << c.errorPart;
        EXPECT_EQ(result.err.rfind(std::string(c.name) + ": ", 0), 0u) << result.err;
        EXPECT_NE(result.err.find(c.errorPart), std::string::npos) << result.err;
    }
}

TEST(SimRefusals, MissingRecordFamilyOrDatabaseFails) {
    e2e::ScratchDir dir;
    ASSERT_TRUE(e2e::create_server(SimKind::corvane, dir / "c.db"));
    e2e::write_file(dir / "text.db", "this is not a database, just some text that is long enough\n");
    struct Case {
        const char* what;
        const char* name;
        std::vector<std::string> args;
        std::map<std::string, std::string> env;
        int status;
        const char* error;
    };
    const std::vector<Case> cases = {
        {"long view of an unknown record", "corv", {"defect", "-view", "1003", "-long"},
         e2e::sim_env(SimKind::corvane, dir / "c.db"), 1, "corv: no defect named 1003\n"},
        {"family variable missing", "corv", {"report", "-testServer"}, {}, 2, "corv: CVN_FAMILY not set\n"},
        {"wrong family variable for the command", "Report", {"-testServer"},
         e2e::sim_env(SimKind::corvane, dir / "c.db"), 2, "Report: VANDOR_FAMILY not set\n"},
        {"database file missing", "corv", {"report", "-testServer"},
         e2e::sim_env(SimKind::corvane, dir / "none.db"), 2, nullptr},
        {"not a database", "corv", {"report", "-testServer"},
         e2e::sim_env(SimKind::corvane, dir / "text.db"), 2, nullptr},
    };
    for (const auto& c : cases) {
        RunResult result = client(c.name, c.args, c.env, {"CVN_FAMILY", "VANDOR_FAMILY"});
        EXPECT_EQ(result.status, c.status) << c.what;
        EXPECT_EQ(result.out, "") << c.what;
        if (c.error)
            EXPECT_EQ(result.err, c.error) << c.what;
        else
            EXPECT_NE(result.err, "") << c.what;
    }
}

// --- The test variables.

TEST(SimEnvironment, LogHoldsEveryCallAsReceivedAfterTheShell) {
    e2e::ScratchDir dir;
    ASSERT_TRUE(e2e::create_server(SimKind::corvane, dir / "c.db"));
    auto env = e2e::sim_env(SimKind::corvane, dir / "c.db", dir / "sim.log");
    env["SIM_FAIL"] = "^corv defect";
    for (const char* line : {
             "corv report -testServer > /dev/null",
             "corv Report -raw -view DefectView -where \"1=1 order by name\" >defectRawFile000.raw",
             "corv  Report -general PartFullView   -select \"a, b\" -where \"x = 'y  z'\" >p.raw",
             "corv defect -view 1001 -long > defect1001.out",
             "corv Part -extract > /dev/null",
         })
        shell(dir.path(), line, env);
    EXPECT_EQ(e2e::read_sim_log(dir / "sim.log"),
              (std::vector<std::string>{
                  "corv report -testServer",
                  "corv Report -raw -view DefectView -where 1=1 order by name",
                  "corv Report -general PartFullView -select a, b -where x = 'y  z'",
                  "corv defect -view 1001 -long",
                  "corv Part -extract",
              }));
}

TEST(SimEnvironment, FailPatternFailsOnlyMatchingCommandsSilently) {
    e2e::ScratchDir dir;
    ASSERT_TRUE(e2e::create_server(SimKind::vandor, dir / "v.db"));
    auto env = e2e::sim_env(SimKind::vandor, dir / "v.db");
    env["SIM_FAIL"] = "-general (versions|committedVersions) ";
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int status;
    };
    const std::vector<Case> cases = {
        {"Report", {"-general", "versions", "-select", "sid", "-where", "1=1"}, 1},
        {"Report", {"-general", "committedVersions", "-select", "sid"}, 1},
        {"Report", {"-general", "Fileview", "-select", "releasename", "-where", "versionsid = '1.3'"}, 0},
        {"Report", {"-testServer"}, 0},
    };
    for (const auto& c : cases) {
        RunResult result = client(c.name, c.args, env);
        EXPECT_EQ(result.status, c.status) << c.args[1];
        if (c.status != 0) {
            EXPECT_EQ(result.out, "");
            EXPECT_EQ(result.err, "");
        }
    }
    env["SIM_FAIL"] = "(unclosed";
    RunResult bad = client("Report", {"-testServer"}, env);
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("SIM_FAIL is not a valid regular expression"), std::string::npos) << bad.err;
}

// A sleep gives a lower bound that holds however busy the machine is; an upper bound
// would not, so the unmatched call is only checked to answer.
TEST(SimEnvironment, DelayPatternSlowsMatchingCommands) {
    e2e::ScratchDir dir;
    ASSERT_TRUE(e2e::create_server(SimKind::vandor, dir / "v.db"));
    auto env = e2e::sim_env(SimKind::vandor, dir / "v.db");
    env["SIM_DELAY"] = "^Defect ";
    env["SIM_DELAY_MS"] = "300";
    auto elapsed_ms = [&](const std::string& name, const std::vector<std::string>& args) {
        auto start = std::chrono::steady_clock::now();
        RunResult result = client(name, args, env);
        EXPECT_EQ(result.status, 0) << result.err;
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count();
    };
    EXPECT_GE(elapsed_ms("Defect", {"-view", "1001", "-long"}), 300);
    RunResult unmatched = client("Feature", {"-view", "5001", "-long"}, env);
    EXPECT_EQ(unmatched.status, 0) << unmatched.err;
}

// --- The generator.

/// Every table's rows, as the client prints them, for comparing whole databases.
std::string dump(SimKind kind, const std::filesystem::path& db) {
    std::vector<std::string> tables{"Users", "configInfo", "DefectView", "FeatureView", "defectLong",
                                    "featureLong", "versions"};
    if (kind == SimKind::corvane)
        tables.insert(tables.end(), {"PartFullView", "workareaview", "RevisionView"});
    else
        tables.insert(tables.end(), {"Fileview", "committedVersions"});
    std::string all;
    for (const auto& table : tables) {
        RunResult result = client(kind == SimKind::corvane ? "cvnselect" : "Report",
                                  kind == SimKind::corvane
                                      ? std::vector<std::string>{"* from " + table}
                                      : std::vector<std::string>{"-raw", "-view", table},
                                  e2e::sim_env(kind, db));
        EXPECT_EQ(result.status, 0) << result.err;
        all += table + "\n" + result.out;
    }
    return all;
}

TEST(SimGenerator, SameSeedSameServerOtherSeedOtherServer) {
    e2e::ScratchDir dir;
    for (SimKind kind : {SimKind::corvane, SimKind::vandor}) {
        e2e::SimGenParams params;
        params.parts = 6;
        params.revisions = 30;
        params.defects = 20;
        params.features = 10;
        params.users = 8;
        params.noteSize = 300;
        ASSERT_TRUE(e2e::create_server_generated(kind, dir / "a.db", params));
        ASSERT_TRUE(e2e::create_server_generated(kind, dir / "b.db", params));
        params.seed = 2;
        ASSERT_TRUE(e2e::create_server_generated(kind, dir / "c.db", params));
        std::string a = dump(kind, dir / "a.db");
        EXPECT_GT(a.size(), 10000u);
        EXPECT_EQ(a, dump(kind, dir / "b.db")) << e2e::kind_name(kind);
        EXPECT_NE(a, dump(kind, dir / "c.db")) << e2e::kind_name(kind);
    }
}

TEST(SimGenerator, RecordsHaveTheirKindsLayoutAndRealisticText) {
    e2e::ScratchDir dir;
    struct Case {
        SimKind kind;
        const char* command;
        std::vector<std::string> args;
        std::size_t fields;
    };
    // 24 fixed defect fields (+2 for Corvane), 19 fixed feature fields (+4 for Corvane), 25
    // configurable fields each.
    const std::vector<Case> cases = {
        {SimKind::corvane, "corv", {"Report", "-raw", "-view", "DefectView", "-where", "1=1 order by name"}, 26 + 25},
        {SimKind::corvane, "corv", {"Report", "-raw", "-view", "FeatureView", "-where", "1=1 order by name"}, 23 + 25},
        {SimKind::vandor, "Report", {"-raw", "-view", "DefectView", "-where", "1=1 order by name"}, 24 + 25},
        {SimKind::vandor, "Report", {"-raw", "-view", "FeatureView", "-where", "1=1 order by name"}, 19 + 25},
    };
    for (const auto& c : cases) {
        e2e::SimGenParams params;
        params.defects = 300;
        params.features = 300;
        params.configFields = 25;
        ASSERT_TRUE(e2e::create_server_generated(c.kind, dir / "s.db", params));
        RunResult result = client(c.command, c.args, e2e::sim_env(c.kind, dir / "s.db"));
        ASSERT_EQ(result.status, 0) << result.err;
        auto rows = lines_of(result.out);
        ASSERT_EQ(rows.size(), 300u);  // no value holds a line end
        for (const auto& row : rows) ASSERT_EQ(count_fields(row), c.fields) << row;
        EXPECT_NE(result.out.find('"'), std::string::npos);
        EXPECT_NE(result.out.find(", "), std::string::npos);
        EXPECT_NE(result.out.find("|  "), std::string::npos);  // a value led by blanks
        EXPECT_NE(result.out.find("\xc3"), std::string::npos);  // non-ASCII letters

        std::string word = c.args[c.args.size() - 3] == "DefectView" ? "Defect" : "Feature";
        std::vector<std::string> configArgs{"-configInfo", "-raw"};
        std::string name = word;
        if (c.kind == SimKind::corvane) {
            configArgs.insert(configArgs.begin(), word);
            name = "corv";
        }
        RunResult config = client(name, configArgs, e2e::sim_env(c.kind, dir / "s.db"));
        ASSERT_EQ(config.status, 0) << config.err;
        std::size_t fieldLines = 0;
        for (const auto& line : lines_of(config.out))
            if (line.find("Prefix") == std::string::npos && line.find("Severity") == std::string::npos)
                ++fieldLines;
        EXPECT_EQ(fieldLines, 25u);
    }
}

TEST(SimGenerator, NotesHaveTheirExactSizesAndKeepTheirBytes) {
    e2e::ScratchDir dir;
    e2e::SimGenParams params;
    params.defects = 4;
    params.features = 2;
    params.noteSizes = {64000, 64001, 0};
    params.noteSize = 3000;
    ASSERT_TRUE(e2e::create_server_generated(SimKind::vandor, dir / "v.db", params));
    auto env = e2e::sim_env(SimKind::vandor, dir / "v.db");
    struct Case {
        const char* name;
        const char* record;
        std::size_t low, high;
    };
    for (const Case& c : std::vector<Case>{{"Defect", "1000", 64000, 64000},
                                           {"Defect", "1001", 64001, 64001},
                                           {"Defect", "1002", 0, 0},
                                           {"Defect", "1003", 1500, 4500},
                                           {"Feature", "5000", 64000, 64000}}) {
        RunResult result = client(c.name, {"-view", c.record, "-long"}, env);
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_GE(result.out.size(), c.low) << c.record;
        EXPECT_LE(result.out.size(), c.high) << c.record;
        if (result.out.size() > 1000) {
            EXPECT_NE(result.out.find("\r\n"), std::string::npos);
            EXPECT_NE(result.out.find('"'), std::string::npos);
        }
    }
}

TEST(SimGenerator, UsersIncludeTheAwkwardSuperuserFlags) {
    e2e::ScratchDir dir;
    e2e::SimGenParams params;
    params.users = 10;
    ASSERT_TRUE(e2e::create_server_generated(SimKind::corvane, dir / "c.db", params));
    RunResult all = client("cvnselect", {"superUser, dropDate is null from Users"},
                           e2e::sim_env(SimKind::corvane, dir / "c.db"));
    ASSERT_EQ(all.status, 0) << all.err;
    auto rows = lines_of(all.out);
    ASSERT_EQ(rows.size(), 10u);
    std::vector<std::string> first(rows.begin(), rows.begin() + 6);
    EXPECT_EQ(first, (std::vector<std::string>{"yes|1", "yesterday|1", "Yes|1", "no|1", "|1", "yes|0"}));
}

/// Checks one generated revision tree through the client: counts, branching, and that every
/// ancestor exists and is older.
TEST(SimGenerator, LargeRevisionTreesAreConsistentAndBranched) {
    e2e::ScratchDir dir;
    e2e::SimGenParams params;
    params.parts = 1;
    params.revisions = 100000;
    params.releases = 4;
    struct Case {
        SimKind kind;
        std::string query;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {SimKind::corvane, "count(*), count(distinct revisionname) from RevisionView", "100000|100000\n"},
        {SimKind::corvane,
         "count(*) from RevisionView r where ancestorrevision is not null and not exists (select 1 from "
         "RevisionView a where a.revisionname = r.ancestorrevision and a.changedate < r.changedate)",
         "0\n"},
        {SimKind::corvane,
         "sum(revisionname like '%.%') > 10000, sum(revisionname like '%.%.%.%.%') > 100, "
         "max(length(revisionname) - length(replace(revisionname, '.', ''))) <= 6 from RevisionView",
         "1|1|1\n"},
        {SimKind::corvane, "count(distinct releasename) from PartFullView", "4\n"},
        {SimKind::vandor, "count(*), count(distinct id) from versions", "100000|100000\n"},
        {SimKind::vandor,
         "count(*) from versions v where previousid != '0' and not exists (select 1 from versions p where "
         "p.id = v.previousid and p.changedate < v.changedate)",
         "0\n"},
        {SimKind::vandor, "count(*) = (select count(*) from versions) from committedVersions", "1\n"},
    };
    std::set<SimKind> created;
    for (const auto& c : cases) {
        if (!created.count(c.kind)) {
            ASSERT_TRUE(e2e::create_server_generated(c.kind, dir / (std::string(e2e::kind_name(c.kind)) + ".db"), params));
            created.insert(c.kind);
        }
        // The select tool runs plain SQL over either kind's database.
        auto db = dir / (std::string(e2e::kind_name(c.kind)) + ".db");
        RunResult result = client("cvnselect", {c.query}, {{"CVN_FAMILY", db.string()}});
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out, c.expected) << c.query;
    }
}

TEST(SimGenerator, TwentyThousandDefectsWithTwoKilobyteNotes) {
    e2e::ScratchDir dir;
    e2e::SimGenParams params;
    params.defects = 20000;
    params.noteSize = 2048;
    ASSERT_TRUE(e2e::create_server_generated(SimKind::corvane, dir / "c.db", params));
    RunResult result = client("cvnselect", {"count(*), avg(length(note)) between 1900 and 2200 from defectLong"},
                              e2e::sim_env(SimKind::corvane, dir / "c.db"));
    EXPECT_EQ(result.out, "20000|1\n") << result.err;
}

TEST(SimGenerator, SchemaPlusSqlAndConfigFieldHelper) {
    e2e::ScratchDir dir;
    std::string sql = e2e::config_field_sql("defect", 1, "Customer's Severity") +
                      e2e::config_field_sql("defect", 2, "Symptom") +
                      "INSERT INTO DefectView (name, \"Customer's Severity\", Symptom) VALUES ('7', 'high', 'core_dump');\n";
    ASSERT_TRUE(e2e::create_server_sql(SimKind::vandor, dir / "v.db", sql));
    auto env = e2e::sim_env(SimKind::vandor, dir / "v.db");
    RunResult config = client("Defect", {"-configInfo", "-raw"}, env);
    EXPECT_EQ(config.out,
              "defect|Prefix|d|text|8\ndefect|1|Customer's Severity|text|64\ndefect|Severity|1,2,3,4|text|2\n"
              "defect|2|Symptom|text|64\n");
    RunResult rows = client("Report", {"-raw", "-view", "DefectView"}, env);
    // name at position 1, 22 empty fixed fields after it, then the two configurable fields.
    EXPECT_EQ(rows.out, "|7" + std::string(23, '|') + "high|core_dump\n");

    // A broken SQL text is reported, not ignored.
    e2e::write_file(dir / "bad.sql", "INSERT INTO nowhere VALUES (1);");
    RunResult bad = e2e::run_program(e2e::simgen_path(), {"vandor", (dir / "w.db").string(), "--sql", (dir / "bad.sql").string()}, {});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("no such table: nowhere"), std::string::npos) << bad.err;
}

}  // namespace
