// SID and release lookups: command text, values that must not change its meaning,
// and the reading of the answer file.
#include "lookups.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <sstream>

#include "platform.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

using test_support::InScratchDir;
using test_support::read_text;
using test_support::write_text;

}  // namespace

TEST(Lookups, ComposeTheDocumentedCommands) {
    EXPECT_EQ(compose_revision_sid_command("r5", "src/a.c"),
              "cvnselect 'sid,releasename from versions where revisionname='\\''r5'\\'' and sourceid in (select oid "
              "from revisionview where revisionname='\\''r5'\\'' and nupathname='\\''src/a.c'\\'')' > tmpsid000.raw");
    EXPECT_EQ(compose_sid_release_command("1.4", "lib/f.c"),
              "Report -general Fileview -select releasename -where 'versionsid ='\\''1.4'\\'' and "
              "pathname='\\''lib/f.c'\\''' > tmprel000.raw");
    EXPECT_EQ(sql_literal_text("o'neil''s"), "o''neil''''s");
}

TEST(Lookups, ServerValuesCannotChangeTheCommandsMeaning) {
    // The composed line is run by the real command interpreter with the client
    // replaced by printf: the client must receive the intended text, nothing ran.
    InScratchDir scratch;
    const std::string hostile[] = {
        "a'b",
        "x\" ; touch pwned ; \"",
        "$(touch pwned)`touch pwned`$HOME",
        "back\\slash\\",
        "semi;colon|pipe&amp>gt<lt",
    };
    for (const std::string& value : hostile) {
        std::string command = compose_sid_release_command(value, value);
        ASSERT_EQ(command.rfind("Report ", 0), 0u);
        command.replace(0, 7, "printf '%s|' ");
        ASSERT_EQ(platform::run_command(command), 0) << command;
        std::string sql = sql_literal_text(value);
        EXPECT_EQ(read_text(kReleaseScratchFile), "-general|Fileview|-select|releasename|-where|versionsid ='" + sql +
                                                  "' and pathname='" + sql + "'|")
            << value;
        EXPECT_FALSE(fs::exists("pwned")) << value;
    }
}

TEST(Lookups, RevisionSidReadsTheFirstAnswerLine) {
    struct Case {
        const char* title;
        std::string answer;
        int status;
        bool writeAnswer;
        int result;
        std::string sid;
        std::string release;
        std::string console;  // after the "Retrieving" line
        bool fileKept;
    };
    const Case cases[] = {
        {"sid and release", "1.4|R9\n", 0, true, 0, "1.4", "R9", "", false},
        {"the first line with a separator", "header\r\n1.5|R8\r\n1.6|R7\r\n", 0, true, 0, "1.5", "R8", "", false},
        {"a line without a separator", "1.9", 0, true, 0, "1.9", "", "", false},
        {"an empty answer", "", 0, true, -1, "", "",
         "\n\nERROR:  Can't retrieve the SID and Release for Revision r5\n\n", true},
        {"the command fails", "1.4|R9\n", 3, false, -1, "", "", "", true},
    };
    for (const Case& c : cases) {
        InScratchDir scratch;
        test_support::TestRun<> run;
        test_support::FakeShell& shell = run.shell;
        BufferConsole& console = run.console;
        if (c.writeAnswer) shell.answers[kSidScratchFile] = c.answer;
        shell.status = c.status;
        std::string sid, release;
        EXPECT_EQ(lookup_revision_sid(run.ctx, "r5", "src/a.c", sid, release), c.result) << c.title;
        EXPECT_EQ(sid, c.sid) << c.title;
        EXPECT_EQ(release, c.release) << c.title;
        EXPECT_EQ(console.outText, "\n\n\t    Retrieving Revision Data for Revisionname: r5: \n\n" + c.console)
            << c.title;
        EXPECT_EQ(fs::exists(kSidScratchFile), c.fileKept) << c.title;
        EXPECT_EQ(shell.commands.size(), 1u) << c.title;
    }
    EXPECT_EQ(platform::get_env("CVN_MIGRATE").value_or(""), "1");
}

TEST(Lookups, SidReleaseReadsTheReleaseAndKeepsTheSid) {
    struct Case {
        std::string answer;
        int result;
        std::string release;
        std::string sidResult;
        std::string console;
    };
    const Case cases[] = {
        {"R3\n", 0, "R3", "2.3", ""},
        {"R3|extra\n", 0, "R3", "2.3", ""},
        {"\n", -1, "", "", "\n\nERROR:  Can't retrieve the Release for file: lib/f.c and sid: 2.3\n\n"},
    };
    for (const Case& c : cases) {
        InScratchDir scratch;
        test_support::TestRun<> run;
        run.shell.answers[kReleaseScratchFile] = c.answer;
        BufferConsole& console = run.console;
        std::string release, sidResult;
        EXPECT_EQ(lookup_sid_release(run.ctx, "2.3", "lib/f.c", release, sidResult), c.result) << c.answer;
        EXPECT_EQ(release, c.release) << c.answer;
        EXPECT_EQ(sidResult, c.sidResult) << c.answer;
        EXPECT_EQ(console.outText, "\n\n\t\t Retrieving  ReleaseName for file: lib/f.c and SID : 2.3\n\n" + c.console);
    }
}

namespace {

/// The simulated server's client folder beside this test's build folder, or empty.
fs::path sim_bin_dir() {
    std::error_code ec;
    fs::path self = fs::canonical("/proc/self/exe", ec);
    if (ec) return {};
    fs::path dir = self.parent_path().parent_path() / "sim-bin";
    return fs::exists(dir / "simgen") && fs::exists(dir / "cvnselect") ? dir : fs::path();
}

/// Sets an environment variable for one test and puts the old value back after it.
class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::string& value) : name_(std::move(name)), old_(platform::get_env(name_.c_str())) {
        platform::set_env(name_, value);
    }
    ~ScopedEnv() { platform::set_env(name_, old_.value_or("")); }

private:
    std::string name_;
    std::optional<std::string> old_;
};

}  // namespace

TEST(Lookups, AnswerAgainstTheSimulatedServer) {
    fs::path sim = sim_bin_dir();
    if (sim.empty()) GTEST_SKIP() << "the simulated server client is not built";
    InScratchDir scratch;
    fs::path source = fs::path(__FILE__).parent_path().parent_path().parent_path() / "sim" / "fixtures";
    ASSERT_EQ(platform::run_command((sim / "simgen").string() + " corvane c.db --fixture " +
                                    platform::quote_argument((source / "corvane.sql").string())), 0);
    ASSERT_EQ(platform::run_command((sim / "simgen").string() + " vandor v.db --fixture " +
                                    platform::quote_argument((source / "vandor.sql").string())), 0);
    ScopedEnv path("PATH", sim.string() + ":" + platform::get_env("PATH").value_or(""));
    ScopedEnv cvn("CVN_FAMILY", (fs::current_path() / "c.db").string());
    ScopedEnv vandor("VANDOR_FAMILY", (fs::current_path() / "v.db").string());
    struct Case {
        bool corvane;
        std::string key;  // revision name or SID
        std::string path;
        int result;
        std::string first;   // SID or release
        std::string second;  // release or SID
    };
    const Case cases[] = {
        {true, "2.1.1", "src/main.c", 0, "1.2.1.1", "R2"},
        {true, "2", "docs/Read Me.txt", 0, "1.2", "R2"},
        {true, "x'y", "src/main.c", -1, "", ""},  // a valid query that finds nothing
        {false, "1.2", "src/main.c", 0, "R1", "1.2"},
        {false, "1.1", "it's.c", -1, "", ""},
    };
    for (const Case& c : cases) {
        test_support::TestRun<SystemShell> run;
        BufferConsole& console = run.console;
        std::string first, second;
        int result = c.corvane ? lookup_revision_sid(run.ctx, c.key, c.path, first, second)
                               : lookup_sid_release(run.ctx, c.key, c.path, first, second);
        EXPECT_EQ(result, c.result) << c.key << console.outText;
        EXPECT_EQ(first, c.first) << c.key;
        EXPECT_EQ(second, c.second) << c.key;
        // No answer is the lookup's own message: the command itself ran without fault.
        if (c.result != 0) {
            EXPECT_NE(console.outText.find("Can't retrieve"), std::string::npos) << c.key;
        }
    }
}
