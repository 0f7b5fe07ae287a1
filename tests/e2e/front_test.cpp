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

}  // namespace

// Refused command lines show the usage block of the kind; a bad command line is reported
// before a missing family variable; help needs neither the variable nor the server; no
// export option tests the connection, whose output is discarded (no file "nul"); an output
// file the run itself writes or reads, or in a missing folder, is refused before any query.
TEST(FrontEnd, RunsThatEndInTheFrontEnd) {
    const std::vector<std::string> noFamily{"CVN_FAMILY", "VANDOR_FAMILY"};
    // clang-format off
    const e2e::ExpectedRun cases[] = {
        {"corvane_one_word", SimKind::corvane, {"-defects"}, kFailure},
        {"vandor_one_word", SimKind::vandor, {"-defects"}, kFailure},
        {"corvane_long_release", SimKind::corvane, {"-parts", "-release", std::string(64, 'R')}, kFailure},
        {"vandor_long_release", SimKind::vandor, {"-parts", "-release", std::string(64, 'R')}, kFailure},
        {"no_cvn_family", SimKind::corvane, {"-defects", "-map"}, kFailure, {}, {}, {{"VANDOR_FAMILY", "x.db"}},
         {"CVN_FAMILY"}},
        {"empty_family", SimKind::vandor, {"-crlf", "-map"}, kFailure, {}, {}, {{"VANDOR_FAMILY", ""}}},
        {"bad_options_no_family", SimKind::vandor, {"-users"}, kFailure, {}, {}, {}, noFamily},
        {"corvane_help", SimKind::corvane, {"-h"}, 0, {}, {}, {}, noFamily},
        {"corvane_help", SimKind::corvane, {"--help"}, 0, {}, {}, {}, noFamily},
        {"vandor_help", SimKind::vandor, {"/?"}, 0, {}, {}, {}, noFamily},
        {"corvane_connection", SimKind::corvane, {"-crlf", "-nomap"}, 0},
        {"vandor_connection", SimKind::vandor, {"-crlf", "-nomap"}, 0},
        {"output_like_scratch", SimKind::corvane, {"-defects", "-o", "defectRawFile000.raw"}, kFailure},
        {"output_in_missing_folder", SimKind::corvane, {"-users", "-o", "nowhere/u.txt"}, kFailure},
    };
    // clang-format on
    for (const e2e::ExpectedRun& c : cases) e2e::check_run("front", c);
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
