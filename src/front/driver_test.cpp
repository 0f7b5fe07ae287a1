// The run driver: the server kind from the invocation name, and the whole console text,
// status and server traffic of the ways a run ends that the end-to-end runs do not show.
#include "driver.h"

#include <gtest/gtest.h>

#include <map>

#include "platform.h"
#include "run_lock.h"
#include "test_support.h"

namespace {

constexpr const char* kBanner =
    "\n\nferrox: export of server data to Sabrex import files\n"
    "Part of the Sabrex migration tools; check each import file before loading it.\n\n";

const std::map<std::string, std::string> kBothFamilies = {{"CVN_FAMILY", "/srv/cvn.db"},
                                                          {"VANDOR_FAMILY", "/srv/vandor.db"}};

struct RunOutcome {
    int status = 0;
    std::string out;
    std::vector<std::string> commands;
};

/// One run in a fresh current folder; `failures` as FakeShell's.
RunOutcome run_driver(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
                      const std::map<std::string, int>& failures = {}) {
    test_support::FakeShell shell;
    shell.failures = failures;
    BufferConsole console;
    EnvLookup lookup = [&env](const char* name) -> std::optional<std::string> {
        auto it = env.find(name);
        if (it == env.end()) return std::nullopt;
        return it->second;
    };
    RunOutcome result;
    result.status = run_ferrox(args, console, shell, lookup);
    result.out = console.outText;
    EXPECT_EQ(console.errText, "");
    result.commands = shell.commands;
    return result;
}

}  // namespace

TEST(ServerKind, FollowsTheMarkerAnywhereInTheInvocationName) {
    const std::pair<const char*, ServerKind> cases[] = {
        {"ferrox_vandor", ServerKind::Vandor},
        {"ferrox", ServerKind::Corvane},
        {"", ServerKind::Corvane},
        {"C:\\tools\\ferrox_vandor.exe", ServerKind::Vandor},
        // The whole name is searched, folders included.
        {"/opt/migrate_vandor/ferrox_cvn", ServerKind::Vandor},
        // Case-sensitive, and the underscore belongs to the marker.
        {"FERROX_VANDOR", ServerKind::Corvane},
        {"ferroxvandor", ServerKind::Corvane},
        {"ferrox-vandor", ServerKind::Corvane},
    };
    for (const auto& [name, kind] : cases) EXPECT_EQ(server_kind_from_invocation(name), kind) << name;
}

TEST(RunFerrox, RunsThatStopBeforeTheExport) {
    struct Case {
        const char* what;
        std::vector<std::string> args;
        std::map<std::string, std::string> env;
        std::map<std::string, int> failures;
        std::string out;                    // after the banner
        std::vector<std::string> commands;  // sent to the server
    };
    const Case cases[] = {
        // An empty value names no server.
        {"empty family", {"ferrox_vandor", "-crlf", "-map"}, {{"VANDOR_FAMILY", ""}}, {},
         "\n\nVANDOR_FAMILY not set \n\n", {}},
        // An output file that the run itself writes or reads is refused before any query.
        {"output named like a scratch file", {"ferrox_cvn", "-defects", "-o", "defectRawFile000.raw"}, kBothFamilies, {},
         "\n\nERROR:  The export file defectRawFile000.raw would overwrite defectRawFile000.raw, which this run uses; "
         "choose another name with -o\n\n",
         {}},
        {"output in a missing folder", {"ferrox_cvn", "-users", "-o", "nowhere/u.txt"}, kBothFamilies, {},
         "\n\nERROR:  Cannot write the export file nowhere/u.txt: its folder nowhere does not exist\n\n", {}},
    };
    for (const Case& c : cases) {
        test_support::InScratchDir dir;
        RunOutcome r = run_driver(c.args, c.env, c.failures);
        EXPECT_EQ(r.status, -1) << c.what;
        EXPECT_EQ(r.out, kBanner + c.out) << c.what;
        EXPECT_EQ(r.commands, c.commands) << c.what;
        EXPECT_EQ(dir.files(), std::vector<std::string>{}) << c.what;
    }
}

// Two runs in one folder would share scratch files: the second is refused while the
// first runs, and a lock left by a run that ended without removing it is taken over.
TEST(RunFerrox, OneRunAtATimeInAFolder) {
    const std::string host = platform::host_name().value;
    const std::string live = std::to_string(platform::current_process_id()) + " " + host + "\n";
    struct Case {
        std::string lock;
        int status;
        std::string out;  // after the banner
        std::vector<std::string> left;
    };
    const Case cases[] = {
        {live, -1,
         "\n\nERROR:  Another ferrox run (process " + std::to_string(platform::current_process_id()) + " on " + host +
             ") is working in this folder: lock file ferrox.lock\n"
             "Two runs must not share a folder, as their scratch files have the same names.\n"
             "Remove ferrox.lock only when no run is using this folder.\n\n",
         {kRunLockFile, "u.raw"}},
        {"2147483646 " + host + "\n", 0,
         "\nTesting Connection to Corvane...\n\nReading Raw Input File: u.raw\n\n\nGenerating Users Export File\n\n"
         "\n0 Users exported.\n\n\n\nExport File Name: usersExport.txt\n\n",
         {"u.raw", "usersExport.txt"}},
    };
    for (const Case& c : cases) {
        test_support::InScratchDir dir;
        test_support::write_text(kRunLockFile, c.lock);
        test_support::write_text("u.raw", "");
        RunOutcome r = run_driver({"ferrox_cvn", "-users", "-infile", "u.raw"}, kBothFamilies);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, kBanner + c.out);
        // A lock the run did not take stays; its own is gone with it. An -infile file stays.
        EXPECT_EQ(dir.files(), c.left);
    }
}
