// End-to-end runs of ferrox_cvn and ferrox_vandor against the simulated server: the whole
// console text and exit status of runs that end in the front end, interrupts, and the
// input and output files a run refuses.
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
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
constexpr const char* kJournal = "ferrox.journal";  // kept by an export that failed

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
        // -resume without a journal, or with another run's, before the server is asked.
        {"resume_no_journal", SimKind::corvane, {"-users", "-map", "-resume"}, kFailure},
        {"resume_other_run", SimKind::corvane, {"-users", "-map", "-resume"}, kFailure, {kJournal},
         {{kJournal, "ferrox-journal 16\n6:server6:Vandor\n"}}},
    };
    // clang-format on
    for (const e2e::ExpectedRun& c : cases) e2e::check_run("front", c);
}

TEST(FrontEnd, AnInterruptedExportLeavesTheEarlierFileAndNothingElse) {
    if (e2e::under_wine()) GTEST_SKIP() << "POSIX signals; the console events are scripts/windows-check.sh's";
    // The delayed calls take a second each, so the run is inside them when it is stopped:
    // the notes of a series, or the single report call. The signal, the slow call, when
    // the signal comes; and a client that ignores the request to end (it is killed).
    const std::tuple<int, const char*, const char*, const char*> cases[] = {
        {SIGINT, "-long", "1.5", ""}, {SIGTERM, "-long", "1.5", ""}, {SIGTERM, "-raw", "0.5", ""},
        {SIGINT, "-long", "0.5", "case \"$*\" in *-long*) trap '' TERM; sleep 5 ;; esac"}};
    for (const auto& [signal, slowCall, stopAfter, wrapper] : cases) {
        e2e::ServerRun run(SimKind::corvane);
        ASSERT_TRUE(run.fixture());
        e2e::write_text(run.work() / "defectsExport.txt", "an earlier export\n");
        e2e::ScratchDir wrap;
        e2e::write_text(wrap / "corv", std::string("#!/bin/sh\n") + wrapper + "\nexec " + e2e::sim_bin_dir() + "/corv \"$@\"\n");
        std::filesystem::permissions(wrap / "corv", std::filesystem::perms::owner_all);
        // The stubborn client gets two seconds before it is killed: the run is over by four.
        const std::string line = "'" + run.program() + "' -defects -map -jobs 2 & p=$!; sleep " + stopAfter +
                                 "; kill -" + std::to_string(signal) + " $p; " +
                                 (*wrapper ? "sleep 4; kill -0 $p 2>/dev/null && echo >still-running; " : "") +
                                 "wait $p; echo status=$?";
        e2e::RunResult r = e2e::run_program(
            "/bin/sh", {"-c", line},
            run.options({{"SIM_DELAY", slowCall}, {"SIM_DELAY_MS", "1000"},
                         {"PATH", wrap.path().string() + ":" + e2e::sim_bin_dir() + ":" + std::getenv("PATH")}}));
        EXPECT_TRUE(r.out.ends_with("\n\nERROR:  Interrupted: the export was stopped before it was complete; no "
                                    "export file was written\n\n\nThe journal ferrox.journal is kept: the same "
                                    "command with -resume fetches only what this run did not finish\nstatus=255\n"))
            << slowCall << r.out;
        ::usleep(1200 * 1000);  // a client left running would write its note by now
        EXPECT_EQ(run.files_left(), (std::vector<std::string>{"defectsExport.txt", kJournal})) << slowCall;
        EXPECT_EQ(run.output("defectsExport.txt"), "an earlier export\n") << slowCall;
    }
}

// An input that is no report file, or none at all, is refused naming it; every file stays
// as it was, the earlier export included. One with odd lines is exported with a warning.
TEST(FrontEnd, BadInputFilesAreRefusedNamingTheFile) {
    const std::string earlier = "an earlier export\n";
    // clang-format off
    const e2e::ExpectedRun cases[] = {
        // Opens, but every read fails.
        {"input_unreadable", SimKind::vandor, {"-defects", "-infile", "/proc/self/mem"}, kFailure, {"defectsExport.txt", kJournal},
         {{"defectsExport.txt", earlier}}},
        {"input_nul_byte", SimKind::corvane, {"-users", "-infile", "bin.raw"}, kFailure, {"bin.raw", kJournal, "usersExport.txt"},
         {{"bin.raw", std::string("a|b\0c|d\n", 8)}, {"usersExport.txt", earlier}}},
        // Reports of another export.
        {"input_of_defects", SimKind::corvane, {"-users", "-infile", "d.raw"}, kFailure, {"d.raw", kJournal, "usersExport.txt"},
         {{"d.raw", e2e::expected_text("front/defect_view.raw")}, {"usersExport.txt", earlier}}},
        {"input_of_users", SimKind::vandor, {"-features", "-nomap", "-infile", "u.raw"}, kFailure,
         {"featuresExport.txt", kJournal, "u.raw"}, {{"u.raw", e2e::expected_text("front/users_view.raw")}, {"featuresExport.txt", earlier}}},
        {"input_long_line", SimKind::corvane, {"-features", "-infile", "long.raw"}, kFailure,
         {"featuresExport.txt", kJournal, "long.raw"}, {{"long.raw", std::string(50'000'000, 'x')}, {"featuresExport.txt", earlier}}},
        {"input_missing", SimKind::vandor, {"-defects", "-infile", "missing.raw"}, kFailure, {"defectsExport.txt", kJournal},
         {{"defectsExport.txt", earlier}}},
        {"input_empty", SimKind::corvane, {"-defects", "-infile", "empty.raw"}, kFailure, {"defectsExport.txt", "empty.raw", kJournal},
         {{"empty.raw", ""}, {"defectsExport.txt", earlier}}},
        // A report of this kind with odd lines is exported as it reads, and they are counted.
        {"input_odd_lines", SimKind::vandor, {"-users", "-map", "-infile", "odd.raw"}, 0, {"odd.raw", "usersExport.txt"},
         {{"odd.raw", "ann|Ann|info|a@x|a|d|u|yes|\nno separator\nbob|Bob\n\n"}}},
    };
    // clang-format on
    for (const e2e::ExpectedRun& c : cases) e2e::check_run("front", c);
}

// A folder where the run wants a file: an -infile file, the export file, a scratch file, a
// saved file (which goes in place before the export file: the earlier export stays).
TEST(FrontEnd, AFolderInPlaceOfAFileIsRefusedAndLeftAlone) {
    if (e2e::under_wine()) GTEST_SKIP() << "the reasons are the Linux C library's texts";
    const std::tuple<SimKind, std::vector<std::string>, std::string, std::vector<std::string>> cases[] = {
        {SimKind::corvane, {"-users", "-infile", "dir"}, "ERROR:  The raw file dir cannot be exported: it is a folder",
         {kJournal}},
        {SimKind::vandor, {"-defects", "-o", "dir"}, "Can't Open Export Output File: dir - Exiting\n\n   Reason: Is a directory",
         {kJournal}},
        {SimKind::vandor, {"-users", "-map"}, "ERROR:  cannot write userRawFile000.raw in the current folder", {kJournal}},
        {SimKind::corvane, {"-parts", "-release", "R1"},
         "ERROR:  Can't keep the saved file SavedLabelsFile.txt: Is a directory\n\n\n\nERROR:\tCan't combine the export files ",
         {kJournal, "partsRawFile000.raw"}},
    };
    for (const auto& [kind, args, message, more] : cases) {
        e2e::ServerRun run(kind);
        ASSERT_TRUE(run.fixture());
        for (const char* folder : {"dir", "userRawFile000.raw", "SavedLabelsFile.txt"})
            std::filesystem::create_directories(run.work() / folder);
        e2e::write_text(run.work() / "partsExport.txt", "an earlier export\n");
        e2e::RunResult r = run.run(args);
        EXPECT_EQ(r.status, kFailure);
        EXPECT_NE(r.out.find("\n\n" + message + "\n\n"), std::string::npos) << r.out;
        std::vector<std::string> left{"SavedLabelsFile.txt", "dir", "partsExport.txt", "userRawFile000.raw"};
        left.insert(left.end(), more.begin(), more.end());
        std::sort(left.begin(), left.end());
        EXPECT_EQ(run.files_left(), left);
        EXPECT_EQ(run.output("partsExport.txt"), "an earlier export\n");
    }
}

// A client that wants the terminal (a password prompt, a write under "stty tostop") fails
// at once, as it has none, instead of stopping the run for ever; the run is in a terminal
// of its own, as at a user's console. Nor does a client hold any of ferrox's files open.
TEST(FrontEnd, AClientThatWantsTheTerminalFailsInsteadOfHanging) {
    if (e2e::under_wine()) GTEST_SKIP() << "a terminal of script(1) and fd inheritance";
    const std::pair<const char*, const char*> cases[] = {
        {"read answer </dev/tty", "No Corvane connection established"},
        {"stty tostop </dev/tty && echo hello >/dev/tty", "No Corvane connection established"},
        {"! ls -l /proc/$$/fd | grep -v ' 1 -> ' | grep -F \"$PWD/\"",
         "WARNING: 1 note could not be fetched and was exported as \"Migrated Note\": 1003"},
    };
    for (const auto& [wants, says] : cases) {
        e2e::ServerRun run(SimKind::corvane);
        ASSERT_TRUE(run.fixture());
        e2e::ScratchDir wrap;
        e2e::write_text(wrap / "corv", std::string("#!/bin/sh\n") + wants + " || exit 1\nexec " + e2e::sim_bin_dir() +
                                           "/corv \"$@\"\n");
        std::filesystem::permissions(wrap / "corv", std::filesystem::perms::owner_all);
        const std::string path = wrap.path().string() + ":" + e2e::sim_bin_dir() + ":" + std::getenv("PATH");
        const e2e::RunResult r = e2e::run_program(
            "/usr/bin/timeout",
            {"-s", "KILL", "60", "script", "-qec", "'" + run.program() + "' -defects -map -jobs 2", "/dev/null"},
            run.options({{"PATH", path}}));
        const bool exported = std::string(says).starts_with("WARNING");
        EXPECT_EQ(r.status, exported ? 0 : kFailure) << wants;
        EXPECT_NE(r.out.find(says), std::string::npos) << wants << r.out;
        // 1003's note is missing on the server: its placeholder keeps the journal and is listed.
        const std::vector<std::string> left{"defectsExport.txt", "ferrox.journal", "notesNotFetched.txt"};
        EXPECT_EQ(run.files_left(), exported ? left : std::vector<std::string>{}) << wants;
    }
}

// Two runs that take over one stale lock at once: one runs, the other is refused. A lock
// is held by the system, not by a process number that a new process may have again.
TEST(FrontEnd, TwoRunsTakingOverOneStaleLockCannotBothRun) {
    if (e2e::under_wine()) GTEST_SKIP() << "flock and sh";
    e2e::ServerRun run(SimKind::vandor);
    ASSERT_TRUE(run.fixture());
    e2e::write_text(run.work() / "ferrox.lock", "999999 gone-host\nusersExport.txt.partial\n");
    e2e::write_text(run.work() / "usersExport.txt.partial", "half");
    const std::string line = "P=\"$0\"; \"$P\" -users -map >a.out 2>&1 & \"$P\" -users -map >b.out 2>&1 & wait";
    e2e::run_program("/bin/sh", {"-c", line, run.program()},
                     run.options({{"SIM_DELAY", "testServer"}, {"SIM_DELAY_MS", "700"}}));
    const std::string a = run.output("a.out"), b = run.output("b.out");
    auto has = [](const std::string& text, const char* what) { return text.find(what) != std::string::npos; };
    EXPECT_TRUE(has(a, "Export File Name") != has(b, "Export File Name")) << a << b;
    EXPECT_TRUE(has(a, "Another ferrox run (process ") != has(b, "Another ferrox run (process ")) << a << b;
    EXPECT_TRUE(has(a + b, "its lock is taken over and the files it left are removed: usersExport.txt.partial\n"));
    EXPECT_EQ(run.files_left(), (std::vector<std::string>{"a.out", "b.out", "usersExport.txt"}));
}

// A reader that goes away (| head) ends the run as an interrupt does; a run killed outright
// leaves its lock and files to the next run in the folder, which removes them and says so.
TEST(FrontEnd, ABrokenPipeOrAKilledRunLeavesNothingBehind) {
    if (e2e::under_wine()) GTEST_SKIP() << "POSIX pipes and signals";
    const std::pair<const char*, const char*> cases[] = {
        {"{ \"$0\" -defects -map; echo $? >status; } | head -c 300 >/dev/null", "255\n"},
        {"\"$0\" -defects -map >/dev/null & p=$!; sleep 1; kill -9 $p; sleep 1; "
         "\"$0\" -defects -map >second.out; echo $? >status", "0\n"},
    };
    for (const auto& [line, status] : cases) {
        e2e::ServerRun run(SimKind::corvane);
        ASSERT_TRUE(run.fixture());
        e2e::write_text(run.work() / "defectsExport.txt", "an earlier export\n");
        e2e::run_program("/bin/sh", {"-c", line, run.program()},
                         run.options({{"SIM_DELAY", "-view 1001 -long"}, {"SIM_DELAY_MS", "1500"}}));
        EXPECT_EQ(run.output("status"), status) << line;
        const bool killed = std::string(status) == "0\n";
        // The journal stays for a -resume; the fixture's defect 1003 has no note to fetch.
        std::vector<std::string> left{"defectsExport.txt", kJournal, "status"};
        if (killed) left.insert(left.end(), {"notesNotFetched.txt", "second.out"});
        std::sort(left.begin(), left.end());
        EXPECT_EQ(run.files_left(), left) << line;
        EXPECT_EQ(run.output("defectsExport.txt"),
                  killed ? e2e::expected_text("tracking/corvane_defects_map.export") : "an earlier export\n");
        if (killed) {
            EXPECT_NE(run.output("second.out").find("its lock is taken over and the files it left are removed: "
                                                    "defectRawFile000.raw, defectsExport.txt.partial, defect1001.out\n"
                                                    "\nTesting Connection to Corvane...\n\nThe journal ferrox.journal "
                                                    "of an earlier run that did not finish is discarded"),
                      std::string::npos)
                << run.output("second.out");
        }
    }
}

// A working folder that cannot take the server's answers stops the run at once, naming the
// folder and the system's reason rather than blaming the server; the earlier export stays.
TEST(FrontEnd, AFullWorkingFolderStopsTheRunWithTheReason) {
    if (e2e::under_wine()) GTEST_SKIP() << "a tmpfs mount";
    e2e::ServerRun run(SimKind::corvane);
    ASSERT_TRUE(run.fixture());
    e2e::ScratchDir full, elsewhere;
    if (::mount("tmpfs", full.path().c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "no small file system can be mounted here: " << std::strerror(errno);
    struct Unmount {
        const std::filesystem::path& at;
        ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
    } unmount{full.path()};
    struct statvfs room {};
    ASSERT_EQ(::statvfs(full.path().c_str(), &room), 0);
    // Room for the lock file's page and no more.
    e2e::write_text(full / "filler", std::string(room.f_bavail * room.f_frsize - room.f_frsize, 'x'));
    e2e::write_text(elsewhere / "d.txt", "an earlier export\n");
    e2e::RunOptions options = run.options();
    options.cwd = full.path();
    const e2e::RunResult r = e2e::run_program(run.program(), {"-defects", "-map", "-o", (elsewhere / "d.txt").string()},
                                              options);
    EXPECT_EQ(r.status, kFailure);
    EXPECT_TRUE(r.out.ends_with("\n\nERROR:  The working folder " + full.path().string() +
                                " cannot take the server's answers: No space left on device\n"
                                "The run stopped; no export file was written.\n\n"))
        << r.out;
    EXPECT_EQ(r.out.find("Information Not Found"), std::string::npos);
    EXPECT_EQ(full.files(), std::vector<std::string>{"filler"});
    EXPECT_EQ(e2e::read_text(elsewhere / "d.txt"), "an earlier export\n");
}
