// The run driver: the server kind from the invocation name, and one run at a time in a
// folder. The runs that end before the export are pinned by the end-to-end front end runs.
#include "driver.h"

#include <gtest/gtest.h>

#include <tuple>

#include "platform.h"
#include "run_lock.h"
#include "test_support.h"

namespace {

constexpr const char* kBanner =
    "\n\nferrox: export of server data to Sabrex import files\n"
    "Part of the Sabrex migration tools; check each import file before loading it.\n\n";

/// One run in the current folder, both family variables set: its status and console.
std::pair<int, std::string> run_driver(const std::vector<std::string>& args) {
    test_support::FakeShell shell;
    BufferConsole console;
    EnvLookup lookup = [](const char* name) -> std::optional<std::string> {
        if (std::string(name) != "CVN_FAMILY" && std::string(name) != "VANDOR_FAMILY") return std::nullopt;
        return std::string("/srv/") + name + ".db";
    };
    const int status = run_ferrox(args, console, shell, lookup);
    EXPECT_EQ(console.errText, "");
    return {status, console.outText};
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

// Two runs in one folder would share scratch files: the second is refused while the
// first runs, and a lock left by a run that ended without removing it is taken over.
TEST(RunFerrox, OneRunAtATimeInAFolder) {
    const std::string host = platform::host_name().value;
    const std::string live = std::to_string(platform::current_process_id()) + " " + host + "\n";
    // The lock file, the status, the console after the banner, the files left.
    const std::tuple<std::string, int, std::string, std::vector<std::string>> cases[] = {
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
    for (const auto& [lock, status, out, left] : cases) {
        test_support::InScratchDir dir;
        test_support::write_text(kRunLockFile, lock);
        test_support::write_text("u.raw", "");
        const auto [runStatus, console] = run_driver({"ferrox_cvn", "-users", "-infile", "u.raw"});
        EXPECT_EQ(runStatus, status);
        EXPECT_EQ(console, kBanner + out);
        // A lock the run did not take stays; its own is gone with it. An -infile file stays.
        EXPECT_EQ(dir.files(), left);
    }
}
