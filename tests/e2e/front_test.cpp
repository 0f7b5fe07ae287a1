// End-to-end runs of ferrox_cvn and ferrox_vandor against the simulated server: the whole
// console text and exit status of runs that end in the front end, interrupts, and the
// input and output files a run refuses.
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "e2e_support.h"

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
        {"output_like_report", SimKind::corvane, {"-defects", "-o", "unmappedValues.txt"}, kFailure},
        {"output_in_missing_folder", SimKind::corvane, {"-users", "-o", "nowhere/u.txt"}, kFailure},
    };
    // clang-format on
    for (const e2e::ExpectedRun& c : cases) e2e::check_run("front", c);
}

TEST(FrontEnd, AnInterruptedExportLeavesTheEarlierFileAndNothingElse) {
    // The delayed calls take a second each, so the run is inside them when it is stopped:
    // the notes of a series, or the single report call. The signal, the slow call, when
    // the signal comes.
    const std::tuple<int, const char*, const char*> cases[] = {
        {SIGINT, "-long", "1.5"}, {SIGTERM, "-long", "1.5"}, {SIGTERM, "-raw", "0.5"}};
    for (const auto& [signal, slowCall, stopAfter] : cases) {
        e2e::ServerRun run(SimKind::corvane);
        ASSERT_TRUE(run.fixture());
        e2e::write_text(run.work() / "defectsExport.txt", "an earlier export\n");
        const std::string line = "'" + run.program() + "' -defects -map -jobs 2 & p=$!; sleep " + stopAfter +
                                 "; kill -" + std::to_string(signal) + " $p; wait $p; echo status=$?";
        e2e::RunResult r = e2e::run_program(
            "/bin/sh", {"-c", line}, run.options({{"SIM_DELAY", slowCall}, {"SIM_DELAY_MS", "1000"}}));
        EXPECT_TRUE(r.out.ends_with("\n\nERROR:  Interrupted: the export was stopped before it was complete; no "
                                    "export file was written\n\nstatus=255\n"))
            << slowCall << r.out;
        ::usleep(1200 * 1000);  // a client left running would write its note by now
        EXPECT_EQ(run.files_left(), std::vector<std::string>{"defectsExport.txt"}) << slowCall;
        EXPECT_EQ(run.output("defectsExport.txt"), "an earlier export\n") << slowCall;
    }
}

// An input that is no report file, or none at all, is refused naming it; every file stays
// as it was, the earlier export included.
TEST(FrontEnd, BadInputFilesAreRefusedNamingTheFile) {
    const std::string earlier = "an earlier export\n";
    // clang-format off
    const e2e::ExpectedRun cases[] = {
        // Opens, but every read fails.
        {"input_unreadable", SimKind::vandor, {"-defects", "-infile", "/proc/self/mem"}, kFailure, {"defectsExport.txt"},
         {{"defectsExport.txt", earlier}}},
        {"input_nul_byte", SimKind::corvane, {"-users", "-infile", "bin.raw"}, kFailure, {"bin.raw", "usersExport.txt"},
         {{"bin.raw", std::string("a|b\0c|d\n", 8)}, {"usersExport.txt", earlier}}},
        // Reports of another export.
        {"input_of_defects", SimKind::corvane, {"-users", "-infile", "d.raw"}, kFailure, {"d.raw", "usersExport.txt"},
         {{"d.raw", e2e::expected_text("front/defect_view.raw")}, {"usersExport.txt", earlier}}},
        {"input_of_users", SimKind::vandor, {"-features", "-nomap", "-infile", "u.raw"}, kFailure,
         {"featuresExport.txt", "u.raw"}, {{"u.raw", e2e::expected_text("front/users_view.raw")}, {"featuresExport.txt", earlier}}},
        {"input_long_line", SimKind::corvane, {"-features", "-infile", "long.raw"}, kFailure,
         {"featuresExport.txt", "long.raw"}, {{"long.raw", std::string(50'000'000, 'x')}, {"featuresExport.txt", earlier}}},
        {"input_missing", SimKind::vandor, {"-defects", "-infile", "missing.raw"}, kFailure, {"defectsExport.txt"},
         {{"defectsExport.txt", earlier}}},
        {"input_empty", SimKind::corvane, {"-defects", "-infile", "empty.raw"}, kFailure, {"defectsExport.txt", "empty.raw"},
         {{"empty.raw", ""}, {"defectsExport.txt", earlier}}},
    };
    // clang-format on
    for (const e2e::ExpectedRun& c : cases) e2e::check_run("front", c);
}

// A folder where the run wants a file: an -infile file, the export file, a scratch file.
TEST(FrontEnd, AFolderInPlaceOfAFileIsRefusedAndLeftAlone) {
    const std::tuple<SimKind, std::vector<std::string>, std::string> cases[] = {
        {SimKind::corvane, {"-users", "-infile", "dir"}, "ERROR:  The raw file dir cannot be exported: it is a folder"},
        {SimKind::vandor, {"-defects", "-o", "dir"}, "Can't Open Export Output File: dir - Exiting"},
        {SimKind::vandor, {"-users", "-map"},
         "ERROR:  cannot write userRawFile000.raw in the current folder"},
    };
    for (const auto& [kind, args, message] : cases) {
        e2e::ServerRun run(kind);
        ASSERT_TRUE(run.fixture());
        std::filesystem::create_directories(run.work() / "dir");
        std::filesystem::create_directory(run.work() / "userRawFile000.raw");
        e2e::RunResult r = run.run(args);
        EXPECT_EQ(r.status, kFailure);
        EXPECT_TRUE(r.out.ends_with("\n\n" + message + "\n\n")) << r.out;
        EXPECT_EQ(run.files_left(), (std::vector<std::string>{"dir", "userRawFile000.raw"}));
    }
}
