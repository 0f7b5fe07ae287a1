// The run driver: the server kind from the invocation name, and one run at a time in a
// folder. The runs that end before the export are pinned by the end-to-end front end runs.
#include "driver.h"

#include <gtest/gtest.h>

#include <filesystem>

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
// first holds the lock; a lock file left by a run that was killed is taken over, and the
// files it recorded are removed (not a folder that took one of their names, nor a file of
// the user's named like the export's temporary file).
TEST(RunFerrox, OneRunAtATimeInAFolder) {
    const std::string stale = "2147483646 far-host\ndefects.txt.partial\nfeature%0A1.out\nmissing.out\nsub\n";
    struct Case {
        bool held;  // another open of the lock file holds the system's lock
        int status;
        std::string out;  // after the banner
        std::vector<std::string> left;
    };
    const Case cases[] = {
        {true, -1,
         "\n\nERROR:  Another ferrox run (process 2147483646 on far-host) is working in this folder: lock file "
         "ferrox.lock\nTwo runs must not share a folder, as their scratch files have the same names.\n\n",
         {"defects.txt.partial", "feature\n1.out", kRunLockFile, "sub", "u.raw", "usersExport.txt.partial"}},
        {false, 0,
         "\nWARNING:  A ferrox run (process 2147483646 on far-host) ended in this folder without cleaning up: its "
         "lock is taken over and the files it left are removed: defects.txt.partial, feature\n1.out\n"
         "\nTesting Connection to Corvane...\n\nReading Raw Input File: u.raw\n\n\nGenerating Users Export File\n\n"
         "\n0 Users exported.\n\n\n\nExport File Name: usersExport.txt\n\n",
         {"sub", "u.raw", "usersExport.txt", "usersExport.txt.partial"}},
    };
    for (const Case& c : cases) {
        test_support::InScratchDir dir;
        test_support::write_text(kRunLockFile, stale);
        for (const char* left : {"u.raw", "defects.txt.partial", "feature\n1.out", "usersExport.txt.partial"}) test_support::write_text(left, "");
        std::filesystem::create_directory("sub");
        platform::FileLock other;
        std::string content, why;
        if (c.held) {
            ASSERT_EQ(other.acquire(kRunLockFile, content, why), platform::FileLock::Outcome::Held) << why;
        }
        const auto [runStatus, console] = run_driver({"ferrox_cvn", "-users", "-infile", "u.raw"});
        EXPECT_EQ(runStatus, c.status);
        EXPECT_EQ(console, kBanner + c.out);
        // A lock the run did not take stays; its own is gone with it. An -infile file stays.
        EXPECT_EQ(dir.files(), c.left);
    }
}
