// The run driver: server kind from the invocation name, and the whole console text
// and server traffic of each way a run can end before or after the export.
#include "driver.h"

#include <gtest/gtest.h>

#include <map>

#include "platform.h"

namespace {

constexpr const char* kBanner =
    "\n\nferrox: export of server data to Sabrex import files\n"
    "Part of the Sabrex migration tools; check each import file before loading it.\n\n";

/// Records every command line; the connection test answers `testStatus`, every later
/// command `laterStatus` (and writes nothing, so an export finds no data).
class FakeShell : public Shell {
public:
    int run(const std::string& commandLine) override {
        commands.push_back(commandLine);
        return commands.size() == 1 ? testStatus : laterStatus;
    }
    std::vector<std::string> commands;
    int testStatus = 0;
    int laterStatus = 1;
};

struct RunOutcome {
    int status = 0;
    std::string out;
    std::string err;
    std::vector<std::string> commands;
};

RunOutcome run_driver(std::vector<std::string> args, const std::map<std::string, std::string>& env,
        int testStatus = 0) {
    BufferConsole console;
    FakeShell shell;
    shell.testStatus = testStatus;
    EnvLookup lookup = [&env](const char* name) -> std::optional<std::string> {
        auto it = env.find(name);
        if (it == env.end()) return std::nullopt;
        return it->second;
    };
    RunOutcome result;
    result.status = run_ferrox(args, console, shell, lookup);
    result.out = console.outText;
    result.err = console.errText;
    result.commands = shell.commands;
    return result;
}

const std::string kCorvaneUsageError =
    "\nERROR:  Invalid Parameters\n\nCorrect Usage:\n\nferrox_cvn"
    "\n\n     -users | -defects | -features |  -parts\n     -o  outputFileName\n     -map | -nomap\n"
    "     -where sql query string for CVN or VANDOR Server\n     -partspec partSpecFile\n"
    "     -relspec  relSpecFile  |  -release releaseName\n     -partindex nn\n     -crlf \n"
    "     -target NT | UNIX\n\n";

const std::string kVandorUsageError =
    "\nERROR:  Invalid Parameters\n\nCorrect Usage:\n\nferrox_vandor"
    "\n\n     -users | -defects | -features |  -parts\n     -o  outputFileName\n     -map | -nomap\n"
    "     -partspec partSpecFile\n     -relspec  relSpecFile  |  -release releaseName\n"
    "     -partindex nn\n     -crlf \n     -target NT | UNIX\n     -componentlabels\n"
    "     -sidlabels\n\n";

const std::map<std::string, std::string> kBothFamilies = {{"CVN_FAMILY", "/srv/cvn.db"},
                                                          {"VANDOR_FAMILY", "/srv/vandor.db"}};

std::string test_command(const char* start) { return std::string(start) + platform::null_device(); }

}  // namespace

TEST(ServerKind, FollowsTheMarkerAnywhereInTheInvocationName) {
    const std::pair<const char*, ServerKind> cases[] = {
        {"ferrox_cvn", ServerKind::Corvane},
        {"ferrox_vandor", ServerKind::Vandor},
        {"ferrox", ServerKind::Corvane},
        {"", ServerKind::Corvane},
        {"./bin/ferrox_vandor", ServerKind::Vandor},
        {"C:\\tools\\ferrox_vandor.exe", ServerKind::Vandor},
        // The whole name is searched, folders included.
        {"/opt/migrate_vandor/ferrox_cvn", ServerKind::Vandor},
        {"/opt/migrate/ferrox_cvn", ServerKind::Corvane},
        // Case-sensitive, and the underscore belongs to the marker.
        {"FERROX_VANDOR", ServerKind::Corvane},
        {"ferrox_Vandor", ServerKind::Corvane},
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
        int testStatus;
        std::string out;                    // after the banner
        std::vector<std::string> commands;  // sent to the server
    };
    const Case cases[] = {
        {"bad option, first kind", {"ferrox_cvn", "-defects", "-bogus"}, kBothFamilies, 0,
         kCorvaneUsageError + "   Refused: \"-bogus\" is not an option\n\n", {}},
        {"bad option, second kind", {"ferrox_vandor", "-defects", "-bogus"}, kBothFamilies, 0,
         kVandorUsageError + "   Refused: \"-bogus\" is not an option\n\n", {}},
        {"too few words", {"/usr/local/bin/ferrox_vandor", "-users"}, kBothFamilies, 0,
         kVandorUsageError + "   Refused: at least two words must follow the program name\n\n", {}},
        {"no words at all", {"ferrox"}, kBothFamilies, 0,
         kCorvaneUsageError + "   Refused: at least two words must follow the program name\n\n", {}},
        // The usage error wins over a missing family variable.
        {"bad option and no family", {"ferrox_cvn", "-release", "R1", "-parts"}, {}, 0,
         kCorvaneUsageError + "   Refused: \"-release\" must come after \"-parts\"\n\n", {}},
        {"no family, first kind", {"ferrox_cvn", "-defects", "-map"}, {{"VANDOR_FAMILY", "x"}}, 0,
         "\n\nCVN_FAMILY not set \n\n", {}},
        {"no family, second kind", {"ferrox_vandor", "-defects", "-map"}, {{"CVN_FAMILY", "x"}}, 0,
         "\n\nVANDOR_FAMILY not set \n\n", {}},
        // An empty value names no server.
        {"empty family", {"ferrox_vandor", "-crlf", "-map"}, {{"VANDOR_FAMILY", ""}}, 0,
         "\n\nVANDOR_FAMILY not set \n\n", {}},
        {"no connection, first kind", {"ferrox_cvn", "-users", "-map"}, kBothFamilies, 1,
         "\nTesting Connection to Corvane...\n\n\nNo Corvane connection established \n\n",
         {test_command("corv report -testServer > ")}},
        {"no connection, second kind", {"ferrox_vandor", "-users", "-map"}, kBothFamilies, -1,
         "\nTesting Connection to VANDOR...\n\n\nNo VANDOR connection established \n\n",
         {test_command("Report -testServer > ")}},
    };
    for (const Case& c : cases) {
        RunOutcome r = run_driver(c.args, c.env, c.testStatus);
        EXPECT_EQ(r.status, -1) << c.what;
        EXPECT_EQ(r.out, kBanner + c.out) << c.what;
        EXPECT_EQ(r.err, "") << c.what;
        EXPECT_EQ(r.commands, c.commands) << c.what;
    }
}

TEST(RunFerrox, NoExportOptionTestsTheConnectionAndSucceeds) {
    struct Case {
        std::vector<std::string> args;
        std::map<std::string, std::string> env;
        std::string out;
        std::string command;
    };
    const Case cases[] = {
        {{"ferrox_cvn", "-o", "named.txt"}, kBothFamilies,
         "\nTesting Connection to Corvane...\n\n\nExport File Name: named.txt\n\n",
         test_command("corv report -testServer > ")},
        {{"ferrox_vandor", "-crlf", "-map"}, {{"VANDOR_FAMILY", "x"}},
         "\nTesting Connection to VANDOR...\n\n\nExport File Name: \n\n", test_command("Report -testServer > ")},
    };
    for (const Case& c : cases) {
        RunOutcome r = run_driver(c.args, c.env);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, kBanner + c.out);
        EXPECT_EQ(r.commands, std::vector<std::string>{c.command});
    }
}

TEST(RunFerrox, AFailedExportEndsWithItsStatusAndNoFileName) {
    // The server answers the connection test, then fails every command, so no export
    // can succeed whatever it sends.
    const std::vector<std::string> exportOptions[] = {
        {"-defects", "-map"}, {"-features", "-nomap"}, {"-users", "-map"}, {"-parts", "-release", "R1"}};
    for (const auto& kind : {"ferrox_cvn", "ferrox_vandor"}) {
        for (const auto& options : exportOptions) {
            std::vector<std::string> args{kind};
            args.insert(args.end(), options.begin(), options.end());
            RunOutcome r = run_driver(args, kBothFamilies);
            EXPECT_NE(r.status, 0) << ::testing::PrintToString(args);
            EXPECT_EQ(r.out.find("Export File Name"), std::string::npos) << r.out;
            ASSERT_FALSE(r.commands.empty());
            EXPECT_NE(r.commands[0].find("-testServer > "), std::string::npos) << r.commands[0];
        }
    }
}
