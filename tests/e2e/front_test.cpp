// End-to-end runs of ferrox_cvn and ferrox_vandor against the simulated server: the whole
// console text and exit status of runs that end in the front end, and the exact view
// report command lines that each server kind sends for the tracking exports.
#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e_support.h"
#include "sim_support.h"

namespace {

namespace fs = std::filesystem;
using e2e::SimKind;

constexpr int kFailure = 255;  // the run status -1 as the operating system reports it

const std::string kBanner =
    "\n\nferrox: export of server data to Sabrex import files\n"
    "Part of the Sabrex migration tools; check each import file before loading it.\n\n";

const std::string kCorvaneUsageError =
    "\nERROR:  Invalid Parameters\n\nCorrect Usage:\n\nferrox_cvn"
    "\n\n     -users | -defects | -features |  -parts\n"
    "     -o  outputFileName\n"
    "     -map | -nomap\n"
    "     -where sql query string for CVN or VANDOR Server\n"
    "     -partspec partSpecFile\n"
    "     -relspec  relSpecFile  |  -release releaseName\n"
    "     -partindex nn\n"
    "     -crlf \n"
    "     -target NT | UNIX\n\n";

const std::string kVandorUsageError =
    "\nERROR:  Invalid Parameters\n\nCorrect Usage:\n\nferrox_vandor"
    "\n\n     -users | -defects | -features |  -parts\n"
    "     -o  outputFileName\n"
    "     -map | -nomap\n"
    "     -partspec partSpecFile\n"
    "     -relspec  relSpecFile  |  -release releaseName\n"
    "     -partindex nn\n"
    "     -crlf \n"
    "     -target NT | UNIX\n"
    "     -componentlabels\n"
    "     -sidlabels\n\n";

std::string program(SimKind kind) {
    return e2e::bin_dir() + (kind == SimKind::corvane ? "/ferrox_cvn" : "/ferrox_vandor");
}

std::string testing_line(SimKind kind) {
    return kind == SimKind::corvane ? "\nTesting Connection to Corvane...\n" : "\nTesting Connection to VANDOR...\n";
}

std::string logged_test_command(SimKind kind) {
    return kind == SimKind::corvane ? "corv report -testServer" : "Report -testServer";
}

/// A fixture server of one kind, kept apart from the folder the program runs in, so
/// that folder shows exactly what the run left behind.
class FrontRun {
public:
    explicit FrontRun(SimKind kind) : kind_(kind) {
        db_ = server_ / "server.db";
        log_ = server_ / "sim.log";
        ready_ = e2e::create_server(kind, db_);
    }

    bool ready() const { return ready_; }

    /// Runs the program of the server's kind in the run folder; `env` is applied on top
    /// of the family variable and SIM_LOG.
    e2e::RunResult run(const std::vector<std::string>& args, const std::map<std::string, std::string>& env = {},
                       const std::vector<std::string>& unset = {}) {
        e2e::RunOptions options;
        options.cwd = work_.path();
        options.setEnv = e2e::sim_env(kind_, db_, log_);
        for (const auto& [name, value] : env) options.setEnv[name] = value;
        for (const auto& name : unset) options.setEnv.erase(name);
        options.unsetEnv = unset;
        return e2e::run_program(program(kind_), args, options);
    }

    std::vector<std::string> log() const { return e2e::read_sim_log(log_); }

    std::vector<std::string> files_left() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(work_.path())) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    const fs::path& work() const { return work_.path(); }

private:
    SimKind kind_;
    e2e::ScratchDir server_;
    e2e::ScratchDir work_;
    fs::path db_;
    fs::path log_;
    bool ready_ = false;
};

const char* name_of(SimKind kind) { return e2e::kind_name(kind); }

}  // namespace

TEST(FrontEnd, RefusedCommandLinesShowTheUsageOfTheKindAndContactNoServer) {
    const std::pair<std::vector<std::string>, std::string> commandLines[] = {
        {{"-defects"}, "at least two words must follow the program name"},
        {{"-defects", "-bogus"}, "\"-bogus\" is not an option"},
        {{"-release", "R1", "-parts"}, "\"-release\" must come after \"-parts\""},
        {{"-parts", "-relspec", "rels.txt", "-release", "R1"}, "\"R1\" is not an option"},
        {{"-parts", "-release", "R1", "-relspec", "rels.txt"}, "\"-relspec\" cannot follow \"-release\" or \"-relspec\""},
        {{"-users", "-target", "unix"}, "\"-target\" takes NT or UNIX, not \"unix\""},
        {{"-users", "-partindex", "0"}, "\"-partindex\" needs a number of at least 1, not \"0\""},
        {{"-users", "-o"}, "\"-o\" needs a value after it"},
        {{"-users", "-o", ""}, "\"-o\" needs a value that is not empty"},
        {{"-parts", "-release", std::string(64, 'R')}, "the value of \"-release\" is longer than 63 characters"},
    };
    for (SimKind kind : {SimKind::corvane, SimKind::vandor}) {
        for (const auto& [args, why] : commandLines) {
            FrontRun run(kind);
            ASSERT_TRUE(run.ready());
            e2e::RunResult r = run.run(args);
            const std::string& usage = kind == SimKind::corvane ? kCorvaneUsageError : kVandorUsageError;
            EXPECT_EQ(r.status, kFailure) << name_of(kind) << " " << ::testing::PrintToString(args);
            EXPECT_EQ(r.out, kBanner + usage + "   Refused: " + why + "\n\n")
                << name_of(kind) << " " << ::testing::PrintToString(args);
            EXPECT_EQ(r.err, "");
            EXPECT_TRUE(run.log().empty()) << name_of(kind);
            EXPECT_TRUE(run.files_left().empty()) << name_of(kind);
        }
    }
}

TEST(FrontEnd, RunsThatStopAtTheFamilyVariableOrTheConnectionTest) {
    struct Case {
        const char* what;
        SimKind kind;
        std::vector<std::string> args;
        std::map<std::string, std::string> env;
        std::vector<std::string> unset;
        std::string out;  // after the banner
        std::vector<std::string> log;
    };
    const Case cases[] = {
        {"no CVN_FAMILY", SimKind::corvane, {"-defects", "-map"}, {{"VANDOR_FAMILY", "x.db"}}, {"CVN_FAMILY"},
         "\n\nCVN_FAMILY not set \n\n", {}},
        {"no VANDOR_FAMILY", SimKind::vandor, {"-defects", "-map"}, {{"CVN_FAMILY", "x.db"}}, {"VANDOR_FAMILY"},
         "\n\nVANDOR_FAMILY not set \n\n", {}},
        // A bad command line is reported before the missing variable.
        {"bad options and no family", SimKind::vandor, {"-users"}, {}, {"VANDOR_FAMILY"},
         kVandorUsageError + "   Refused: at least two words must follow the program name\n\n", {}},
        {"server refuses the test, first kind", SimKind::corvane, {"-users", "-map"}, {{"SIM_FAIL", "testServer"}}, {},
         testing_line(SimKind::corvane) + "\n\nNo Corvane connection established \n\n", {"corv report -testServer"}},
        {"server refuses the test, second kind", SimKind::vandor, {"-users", "-map"}, {{"SIM_FAIL", "testServer"}},
         {}, testing_line(SimKind::vandor) + "\n\nNo VANDOR connection established \n\n", {"Report -testServer"}},
        {"no database behind the variable", SimKind::corvane, {"-defects", "-map"},
         {{"CVN_FAMILY", "/nonexistent/server.db"}}, {},
         testing_line(SimKind::corvane) + "\n\nNo Corvane connection established \n\n", {"corv report -testServer"}},
    };
    for (const Case& c : cases) {
        FrontRun run(c.kind);
        ASSERT_TRUE(run.ready());
        e2e::RunResult r = run.run(c.args, c.env, c.unset);
        EXPECT_EQ(r.status, kFailure) << c.what;
        EXPECT_EQ(r.out, kBanner + c.out) << c.what;
        EXPECT_EQ(run.log(), c.log) << c.what;
        EXPECT_TRUE(run.files_left().empty()) << c.what;
    }
}

TEST(FrontEnd, NoExportOptionTestsTheConnectionAndSucceeds) {
    struct Case {
        SimKind kind;
        std::vector<std::string> args;
        std::string fileName;
    };
    const Case cases[] = {
        {SimKind::corvane, {"-o", "named.txt"}, "named.txt"},
        {SimKind::vandor, {"-crlf", "-nomap"}, ""},
        {SimKind::corvane, {"-where", "name='1001'", "-partindex", "5"}, ""},
    };
    for (const Case& c : cases) {
        FrontRun run(c.kind);
        ASSERT_TRUE(run.ready());
        e2e::RunResult r = run.run(c.args);
        EXPECT_EQ(r.status, 0) << name_of(c.kind);
        EXPECT_EQ(r.out, kBanner + testing_line(c.kind) + "\n\nExport File Name: " + c.fileName + "\n\n");
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(run.log(), std::vector<std::string>{logged_test_command(c.kind)});
        // The connection test's output is discarded, not written to a file named "nul".
        EXPECT_TRUE(run.files_left().empty()) << ::testing::PrintToString(run.files_left());
    }
}

TEST(FrontEnd, TrackingExportsSendTheViewReportOfTheirKind) {
    struct Case {
        SimKind kind;
        std::vector<std::string> args;
        std::string command;  // as printed by "Command String is"
        std::string logged;   // as the client received it, after the shell
    };
    const Case cases[] = {
        {SimKind::corvane, {"-defects", "-map"},
         "corv Report -raw -view DefectView -where \"1=1 order by name\"",
         "corv Report -raw -view DefectView -where 1=1 order by name"},
        {SimKind::vandor, {"-defects", "-map"}, "Report -raw -view DefectView -where \"1=1 order by name\"",
         "Report -raw -view DefectView -where 1=1 order by name"},
        {SimKind::corvane, {"-features", "-map"},
         "corv Report -raw -view FeatureView -where \"1=1 order by name\"",
         "corv Report -raw -view FeatureView -where 1=1 order by name"},
        {SimKind::vandor, {"-features", "-map"}, "Report -raw -view FeatureView -where \"1=1 order by name\"",
         "Report -raw -view FeatureView -where 1=1 order by name"},
        {SimKind::corvane, {"-users", "-map"}, "corv Report -raw -view Users -where \"1=1 and dropDate is null\"",
         "corv Report -raw -view Users -where 1=1 and dropDate is null"},
        {SimKind::vandor, {"-users", "-map"}, "Report -raw -view Users -where \"1=1 and dropDate is null\"",
         "Report -raw -view Users -where 1=1 and dropDate is null"},
        // A -where clause stands alone: no ordering and no drop-date condition.
        {SimKind::corvane, {"-defects", "-where", "state = 'verify'"},
         "corv Report -raw -view DefectView -where \"state = 'verify'\"",
         "corv Report -raw -view DefectView -where state = 'verify'"},
        {SimKind::vandor, {"-features", "-where", "name='5001'"},
         "Report -raw -view FeatureView -where \"name='5001'\"", "Report -raw -view FeatureView -where name='5001'"},
        {SimKind::vandor, {"-users", "-where", "login like 'a%'"},
         "Report -raw -view Users -where \"login like 'a%'\"", "Report -raw -view Users -where login like 'a%'"},
        {SimKind::corvane, {"-users", "-map", "-where", "superUser = 'no'"},
         "corv Report -raw -view Users -where \"superUser = 'no'\"",
         "corv Report -raw -view Users -where superUser = 'no'"},
    };
    for (const Case& c : cases) {
        FrontRun run(c.kind);
        ASSERT_TRUE(run.ready());
        e2e::RunResult r = run.run(c.args);
        const std::string start = kBanner + testing_line(c.kind) + "\nCommand String is : " + c.command + "\n" +
                                  (c.kind == SimKind::corvane
                                       ? "\n\nGenerating Raw File from Corvane, Please Be Patient\n\n"
                                       : "\n\nGenerating Raw File from VANDOR, Please Be Patient\n\n");
        EXPECT_EQ(r.out.substr(0, start.size()), start) << c.command;
        const std::vector<std::string> log = run.log();
        ASSERT_GE(log.size(), 2u) << c.command;
        EXPECT_EQ(log[0], logged_test_command(c.kind));
        EXPECT_EQ(log[1], c.logged);
        EXPECT_EQ(r.out.find("Export File Name") != std::string::npos, r.status == 0) << r.out;
    }
}

TEST(FrontEnd, InfileReadsTheGivenFileAndSendsNoViewReport) {
    struct Case {
        SimKind kind;
        std::vector<std::string> args;
        std::string file;
    };
    const Case cases[] = {
        {SimKind::corvane, {"-defects", "-infile", "saved defects.raw"}, "saved defects.raw"},
        {SimKind::vandor, {"-features", "-infile", "old.raw", "-where", "name='5001'"}, "old.raw"},
        {SimKind::vandor, {"-users", "-infile", "users.raw"}, "users.raw"},
    };
    for (const Case& c : cases) {
        FrontRun run(c.kind);
        ASSERT_TRUE(run.ready());
        e2e::RunResult r = run.run(c.args);
        const std::string start = kBanner + testing_line(c.kind) + "\nReading Raw Input File: " + c.file + "\n";
        EXPECT_EQ(r.out.substr(0, start.size()), start) << c.file;
        const std::vector<std::string> log = run.log();
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log[0], logged_test_command(c.kind));
        for (const std::string& line : log) EXPECT_EQ(line.find("-raw -view"), std::string::npos) << line;
        // The named file does not exist, so the export cannot succeed.
        EXPECT_EQ(r.status, kFailure) << r.out;
        EXPECT_EQ(r.out.find("Export File Name"), std::string::npos) << r.out;
    }
}

TEST(FrontEnd, AFailedViewReportEndsTheRunWithoutAFileName) {
    // The server fails the view report: the run fails, names no export file and leaves
    // no import file (an empty user list must not pass for a complete one).
    for (SimKind kind : {SimKind::corvane, SimKind::vandor}) {
        const std::string failed = kind == SimKind::corvane ? "\n Corvane Command Unsuccessful \n"
                                                            : "\n VANDOR Command Unsuccessful \n";
        for (const char* option : {"-defects", "-features", "-users"}) {
            FrontRun run(kind);
            ASSERT_TRUE(run.ready());
            e2e::RunResult r = run.run({option, "-map"}, {{"SIM_FAIL", "-raw -view"}});
            EXPECT_EQ(r.status, kFailure) << name_of(kind) << " " << option;
            EXPECT_TRUE(r.out.ends_with(failed)) << r.out;
            for (const char* file : {"defectsExport.txt", "featuresExport.txt", "usersExport.txt"})
                EXPECT_FALSE(fs::exists(run.work() / file)) << option << " wrote " << file;
        }
    }
}

TEST(FrontEnd, TheWholeInvocationPathChoosesTheServerKind) {
    struct Case {
        const char* path;  // where the program file is copied, inside a scratch folder
        const std::string& usage;
    };
    const Case cases[] = {
        {"tools_vandor/ferrox_cvn", kVandorUsageError},
        {"tools/ferrox_vandor", kVandorUsageError},
        {"tools/FERROX_VANDOR", kCorvaneUsageError},
        {"tools/ferrox", kCorvaneUsageError},
    };
    for (const Case& c : cases) {
        e2e::ScratchDir folder;
        const fs::path copy = folder / c.path;
        fs::create_directories(copy.parent_path());
        fs::copy_file(e2e::bin_dir() + "/ferrox", copy);
        e2e::RunOptions options;
        options.cwd = folder.path();
        e2e::RunResult r = e2e::run_program(copy.string(), {"-defects"}, options);
        EXPECT_EQ(r.status, kFailure) << c.path;
        EXPECT_EQ(r.out, kBanner + c.usage + "   Refused: at least two words must follow the program name\n\n")
            << c.path;
    }
}
