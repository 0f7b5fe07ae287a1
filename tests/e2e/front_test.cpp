// End-to-end runs of ferrox_cvn and ferrox_vandor against the simulated server: the whole
// console text and exit status of runs that end in the front end, interrupts, and the
// input and output files a run refuses.
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim_support.h"

namespace {

using e2e::SimKind;

constexpr int kFailure = 255;  // the run status -1 as the operating system reports it

const std::string kBanner =
    "\n\nferrox: export of server data to Sabrex import files\n"
    "Part of the Sabrex migration tools; check each import file before loading it.\n\n";

const std::string kCorvaneUsageError =
    "\nERROR:  Invalid Parameters\n\nCorrect Usage:\n\nferrox_cvn"
    "\n\n     -users | -defects | -features |  -parts\n     -o  outputFileName\n     -map | -nomap\n"
    "     -where sql query string for CVN or VANDOR Server\n     -partspec partSpecFile\n"
    "     -relspec  relSpecFile  |  -release releaseName\n     -partindex nn\n     -crlf \n     -target NT | UNIX\n"
    "     -jobs nn\n\n";

const std::string kVandorUsageError =
    "\nERROR:  Invalid Parameters\n\nCorrect Usage:\n\nferrox_vandor"
    "\n\n     -users | -defects | -features |  -parts\n     -o  outputFileName\n     -map | -nomap\n"
    "     -partspec partSpecFile\n     -relspec  relSpecFile  |  -release releaseName\n     -partindex nn\n"
    "     -crlf \n     -target NT | UNIX\n     -componentlabels\n     -sidlabels\n     -jobs nn\n\n";

std::string testing_line(SimKind kind) {
    return kind == SimKind::corvane ? "\nTesting Connection to Corvane...\n" : "\nTesting Connection to VANDOR...\n";
}

std::string logged_test_command(SimKind kind) {
    return kind == SimKind::corvane ? "corv report -testServer" : "Report -testServer";
}

}  // namespace

TEST(FrontEnd, RefusedCommandLinesShowTheUsageOfTheKindAndContactNoServer) {
    const std::pair<std::vector<std::string>, std::string> commandLines[] = {
        {{"-defects"}, "at least two words must follow the program name"},
        {{"-parts", "-release", std::string(64, 'R')}, "the value of \"-release\" is longer than 63 characters"},
    };
    for (SimKind kind : {SimKind::corvane, SimKind::vandor}) {
        for (const auto& [args, why] : commandLines) {
            e2e::ServerRun run(kind);
            ASSERT_TRUE(run.fixture());
            e2e::RunResult r = run.run(args);
            EXPECT_EQ(r.status, kFailure) << why;
            EXPECT_EQ(r.out, kBanner + (kind == SimKind::corvane ? kCorvaneUsageError : kVandorUsageError) +
                                 "   Refused: " + why + "\n\n");
            EXPECT_EQ(r.err, "");
            EXPECT_EQ(run.log(), std::vector<std::string>{});
            EXPECT_EQ(run.files_left(), std::vector<std::string>{});
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
        // A bad command line is reported before the missing variable.
        {"bad options and no family", SimKind::vandor, {"-users"}, {}, {"VANDOR_FAMILY"},
         kVandorUsageError + "   Refused: at least two words must follow the program name\n\n", {}},
    };
    for (const Case& c : cases) {
        e2e::ServerRun run(c.kind);
        ASSERT_TRUE(run.fixture());
        e2e::RunResult r = run.run(c.args, c.env, c.unset);
        EXPECT_EQ(r.status, kFailure) << c.what;
        EXPECT_EQ(r.out, kBanner + c.out) << c.what;
        EXPECT_EQ(run.log(), c.log) << c.what;
        EXPECT_EQ(run.files_left(), std::vector<std::string>{}) << c.what;
    }
}

TEST(FrontEnd, NoExportOptionTestsTheConnectionAndSucceeds) {
    for (SimKind kind : {SimKind::corvane, SimKind::vandor}) {
        e2e::ServerRun run(kind);
        ASSERT_TRUE(run.fixture());
        e2e::RunResult r = run.run({"-crlf", "-nomap"});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, kBanner + testing_line(kind) + "\n\nExport File Name: \n\n");
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(run.log(), std::vector<std::string>{logged_test_command(kind)});
        // The connection test's output is discarded, not written to a file named "nul".
        EXPECT_EQ(run.files_left(), std::vector<std::string>{});
    }
}

TEST(FrontEnd, HelpNeedsNeitherTheFamilyVariableNorTheServer) {
    for (SimKind kind : {SimKind::corvane, SimKind::vandor}) {
        const std::string& error = kind == SimKind::corvane ? kCorvaneUsageError : kVandorUsageError;
        const std::string usage = error.substr(error.find("Correct Usage:\n\n") + 16);
        for (const char* word : {"-h", "--help", "/?"}) {
            e2e::ServerRun run(kind);
            ASSERT_TRUE(run.fixture());
            e2e::RunResult r = run.run({word}, {}, {"CVN_FAMILY", "VANDOR_FAMILY"});
            EXPECT_EQ(r.status, 0) << word;
            EXPECT_EQ(r.out, kBanner + "\nUsage:\n\n" + usage) << word;
            EXPECT_EQ(run.log(), std::vector<std::string>{}) << word;
        }
    }
}

TEST(FrontEnd, AnInterruptedExportLeavesTheEarlierFileAndNothingElse) {
    // The delayed calls take a second each, so the run is inside them when it is stopped:
    // the notes of a series, or the single report call.
    struct Case {
        int signal;
        const char* slowCall;
        const char* stopAfter;
    };
    const Case cases[] = {{SIGINT, "-long", "1.5"}, {SIGTERM, "-long", "1.5"}, {SIGTERM, "-raw", "0.5"}};
    for (const Case& c : cases) {
        e2e::ServerRun run(SimKind::corvane);
        ASSERT_TRUE(run.fixture());
        e2e::write_text(run.work() / "defectsExport.txt", "an earlier export\n");
        const std::string line = "'" + run.program() + "' -defects -map -jobs 2 & p=$!; sleep " + c.stopAfter +
                                 "; kill -" + std::to_string(c.signal) + " $p; wait $p; echo status=$?";
        e2e::RunResult r = e2e::run_program(
            "/bin/sh", {"-c", line}, run.options({{"SIM_DELAY", c.slowCall}, {"SIM_DELAY_MS", "1000"}}));
        EXPECT_TRUE(r.out.ends_with("\n\nERROR:  Interrupted: the export was stopped before it was complete; no "
                                    "export file was written\n\nstatus=255\n"))
            << c.slowCall << r.out;
        ::usleep(1200 * 1000);  // a client left running would write its note by now
        EXPECT_EQ(run.files_left(), std::vector<std::string>{"defectsExport.txt"}) << c.slowCall;
        EXPECT_EQ(run.output("defectsExport.txt"), "an earlier export\n") << c.slowCall;
    }
}

TEST(FrontEnd, AScratchNameTheFolderRefusesIsReportedAndLeftAlone) {
    e2e::ServerRun run(SimKind::vandor);
    ASSERT_TRUE(run.fixture());
    std::filesystem::create_directory(run.work() / "userRawFile000.raw");
    e2e::RunResult r = run.run({"-users", "-map"});
    EXPECT_EQ(r.status, kFailure);
    EXPECT_TRUE(r.out.ends_with("\n\nERROR:  cannot write userRawFile000.raw in the current folder\n\n")) << r.out;
    EXPECT_EQ(run.files_left(), std::vector<std::string>{"userRawFile000.raw"});
}

TEST(FrontEnd, BadFilesAreRefusedNamingTheFileAndLeaveEveryFileAsItWas) {
    struct Case {
        SimKind kind;
        std::vector<std::string> args;  // the bad file is the last word
        std::string content;            // "/": a folder; a view name: that report of the server
        std::string why;                // the message's reason, or the whole message
    };
    const Case cases[] = {
        {SimKind::corvane, {"-users", "-infile", "dir"}, "/", "it is a folder"},
        // Opens, but every read fails.
        {SimKind::vandor, {"-defects", "-infile", "/proc/self/mem"}, "", "it cannot be read to its end"},
        {SimKind::corvane, {"-users", "-infile", "bin.raw"}, std::string("a|b\0c|d\n", 8),
         "it holds a NUL byte on line 1, so it is no report file"},
        {SimKind::corvane, {"-users", "-infile", "defects.raw"}, "DefectView",
         "line 1 has 30 fields, which no line of the report this export reads has"},
        {SimKind::vandor, {"-features", "-nomap", "-infile", "users.raw"}, "Users",
         "line 1 has 9 fields, which no line of the report this export reads has"},
        {SimKind::corvane, {"-features", "-infile", "long.raw"}, std::string(50'000'000, 'x'),
         "line 1 is longer than 16777216 bytes"},
        {SimKind::vandor, {"-defects", "-infile", "missing.raw"}, "",
         "\n\nERROR:  No Defects Input File Found: missing.raw \n\n"},
        {SimKind::corvane, {"-defects", "-infile", "empty.raw"}, "",
         "\n\nERROR: No Records Found in File: empty.raw \n\n"},
        {SimKind::vandor, {"-defects", "-o", "out"}, "/", "\n\nCan't Open Export Output File: out - Exiting\n\n"},
    };
    for (const Case& c : cases) {
        const std::string& input = c.args.back();
        SCOPED_TRACE(input);
        e2e::ServerRun run(c.kind);
        ASSERT_TRUE(run.fixture());
        std::string content = c.content;
        if (content == "DefectView" || content == "Users")
            content = c.kind == SimKind::corvane ? run.client("corv", {"Report", "-raw", "-view", content})
                                                 : run.client("Report", {"-raw", "-view", content});
        if (content == "/")
            std::filesystem::create_directory(run.work() / input);
        else if (input != "missing.raw" && input[0] != '/')
            e2e::write_text(run.work() / input, content);
        const std::string output = c.args[0].substr(1) + "Export.txt";
        e2e::write_text(run.work() / output, "an earlier export\n");
        const std::vector<std::string> before = run.files_left();

        e2e::RunResult r = run.run(c.args);
        EXPECT_EQ(r.status, kFailure);
        EXPECT_TRUE(r.out.ends_with(c.why.starts_with("\n") ? c.why
                                                            : "\n\nERROR:  The raw file " + input +
                                                                  " cannot be exported: " + c.why + "\n\n"))
            << r.out.substr(r.out.size() > 400 ? r.out.size() - 400 : 0);
        EXPECT_EQ(run.files_left(), before);
        EXPECT_EQ(run.output(output), "an earlier export\n");
        EXPECT_TRUE(run.output(input) == (content == "/" ? "" : content));
    }
}
