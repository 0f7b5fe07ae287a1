// Server values built to break out: shell code in both quote kinds, "../", long text, a
// NUL byte and invalid UTF-8, as record names, fields, user names, part paths, revision
// and work area names and release names. Each reaches its command lines, file names and
// output files; no canary may appear, and every file must read back as the server's value.
// The values of tests/windows/hostile-values.txt, written for sh and cmd.exe, go through
// the platform's interpreter (cmd.exe under wine) as conditions, names, labels and paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace {

namespace fs = std::filesystem;
using e2e::SimKind;

const std::vector<std::string> kHostile = {
    "q'; touch canary; echo '", "d\"; touch canary; echo \"", "$(touch canary)`touch canary`&touch canary",
    "../../canary", std::string(3000, 'L'), std::string("nul\0byte", 8), "bad\xff\xfe\xc3(utf8", "%PATH%^&<>!",
    "*?[ab]~{a,b}#c\t\\x/y",
};

bool has_nul(const std::string& value) { return value.find('\0') != std::string::npos; }

/// A text literal that holds any byte, NUL included.
std::string literal(const std::string& value) {
    std::string hex;
    for (unsigned char c : value) hex += "0123456789ABCDEF"[c >> 4], hex += "0123456789ABCDEF"[c & 15];
    return "CAST(X'" + hex + "' AS TEXT)";
}

std::string path_of(std::size_t i) { return "dir" + std::to_string(i) + "/file" + kHostile[i] + ".c"; }

/// Each value as a defect (name, owner, headline, note), a user, and a part with a
/// branch revision and a work area, in release RH and in a release of its own name.
std::string hostile_sql() {
    std::string sql = "CREATE TEMP TABLE h(i, v);\n";
    for (std::size_t i = 0; i < kHostile.size(); ++i)
        sql += "INSERT INTO h VALUES(" + std::to_string(i) + ", " + literal(kHostile[i]) + ");\n";
    return sql + R"(CREATE TEMP VIEW p AS SELECT i, v, 'dir' || i || '/file' || v || '.c' AS path FROM h;
INSERT INTO DefectView(prefix, name, ownerLogin, abstract) SELECT 'd', 'H' || i || v, v, v FROM h;
INSERT INTO DefectView(prefix, name) VALUES('d', '');
INSERT INTO defectLong SELECT 'H' || i || v, 'note ' || v FROM h;
INSERT INTO Users(login, name, email) SELECT 'u' || i || v, v, v FROM h;
INSERT INTO RevisionView SELECT path, '2020/02/01 10:00:00', '1', NULL, '2020/02/01 10:00:00', '9' || i, '99' || i FROM p
  UNION ALL SELECT path, '2020/02/02 10:00:00', '1.1.' || v, '1', '2020/02/02 10:00:00', '8' || i, '88' || i FROM p;
INSERT INTO PartFullView SELECT path, 'RH', NULL, v, '1', '2020/02/01 10:00:00', '0644', '9' || i, NULL, NULL FROM p
  UNION ALL SELECT path, 'RH', 'w' || i || v, 'asmith', '1.1.' || v, '2020/02/02 10:00:00', '0644', '8' || i, '77' || i, NULL
  FROM p UNION ALL SELECT path, 'R' || i || v, NULL, 'asmith', '1', '2020/02/01 10:00:00', '0644', '9' || i, NULL, NULL FROM p;
)";
}

/// Runs `line` through sh in `dir` with a `name` on PATH that prints each argument in [].
std::string run_with_recorder(const fs::path& dir, const std::string& name, const std::string& line) {
    fs::create_directories(dir / "recorder");
    e2e::write_text(dir / "recorder" / name, "#!/bin/sh\nfor a; do printf '[%s]' \"$a\"; done; echo\n");
    fs::permissions(dir / "recorder" / name, fs::perms::owner_all);
    const e2e::RunOptions options{dir, {{"PATH", (dir / "recorder").string() + ":/usr/bin:/bin"}}, {}, false};
    return e2e::run_program("/bin/sh", {"-c", line}, options).out;
}

}  // namespace

TEST(HostileValues, ReachCommandsFilesAndOutputsAsPlainValues) {
    if (e2e::under_wine()) GTEST_SKIP() << "Linux file names and sh; cmd.exe's values are the next test's";
    e2e::ServerRun run(SimKind::corvane);
    ASSERT_TRUE(run.fixture(hostile_sql()));
    std::string relspec;
    for (std::size_t i = 0; i < kHostile.size(); ++i)
        if (!has_nul(kHostile[i])) relspec += "R" + std::to_string(i) + kHostile[i] + "\n";
    e2e::write_text(run.work() / "rels.txt", relspec);

    // Defects: names reach the notes command and its scratch file name, values the CSV.
    const e2e::RunResult d = run.run({"-defects", "-map"});
    EXPECT_EQ(d.status, 0);
    const auto records = e2e::parse_csv(run.output("defectsExport.txt"));
    ASSERT_EQ(records.size(), 5 + kHostile.size());  // the header, a nameless defect, the fixture's 3
    for (std::size_t i = 0; i < kHostile.size(); ++i) {
        const std::vector<std::string>& record = records[5 + i];
        const bool fileName = i != 3 && i != 4 && i != 5 && i != 8;  // no "/", 3000 letters or a NUL byte
        EXPECT_EQ(record[0], "H" + std::to_string(i) + kHostile[i]);
        EXPECT_EQ(record[1] + record[4], kHostile[i] + kHostile[i]);
        EXPECT_EQ(record[9], fileName ? "note " + kHostile[i] : "Migrated Note") << i;
        EXPECT_EQ(d.out.find("Defect " + std::string(record[0].c_str()) + " has a name that cannot be part of a file "
                               "name") != std::string::npos,
                  !fileName) << i;
    }
    // The nameless defect, the fixture's 1003 without a long view, then the first five.
    EXPECT_NE(d.out.find("\nWARNING: 6 notes could not be fetched and were exported as \"Migrated Note\": (no name), "
                         "1003, H3../../canary, H4" + std::string(3000, 'L') + ", H5nul, ...\n"),
              std::string::npos);
    // Users: one block of sixteen lines per user, every value as the server holds it.
    EXPECT_EQ(run.run({"-users", "-map"}).status, 0);
    const std::string users = run.output("usersExport.txt");
    EXPECT_EQ(e2e::lines_of(users).size(), 16 * (3 + kHostile.size()));
    for (std::size_t i = 0; i < kHostile.size(); ++i)
        EXPECT_NE(users.find("USER\tu" + std::to_string(i) + kHostile[i] + "\n#  encrypted\t  = xxxxxxx\n   password\t  = u" +
                             std::to_string(i) + kHostile[i] + "\n   is_active\t  = TRUE\n   is_subscribed_to_all_dbs  = "
                             "TRUE\n   email\t  = " + kHostile[i] + "\n   fullname\t  = " + kHostile[i] + "\n"),
                  std::string::npos) << i;

    // Parts, once by release RH and once by the releases of the hostile names; the path
    // with a NUL byte cannot be carried by any command line and fails on its own.
    for (const std::vector<std::string>& args : {std::vector<std::string>{"-release", "RH"}, {"-relspec", "rels.txt"}}) {
        std::vector<std::string> words = {"-parts", "-target", "UNIX"};
        words.insert(words.end(), args.begin(), args.end());
        const e2e::RunResult r = run.run(words);
        EXPECT_EQ(r.status, args[0] == "-release" ? 255 : 0) << r.out.substr(r.out.size() - 300);
        const std::string parts = run.output("partsExport.txt");
        EXPECT_TRUE(e2e::blocks_balanced(parts));
        std::string extracts;  // what every extraction command hands over, run as the importer will
        for (const std::string& line : e2e::lines_of(parts)) {
            if (!line.starts_with("ExtractCmd ")) continue;
            run_with_recorder(run.work(), "corv", line.substr(line.find(':') + 1) + "x");
            extracts += run.output("x");
        }
        ASSERT_EQ(e2e::run_program(e2e::bin_dir() + "/tagsmith", {"SavedDirsFile.txt", "SavedLabelsFile.txt", "l.cmd"},
                                   run.options()).status, 0);
        const std::string labels = run_with_recorder(run.work(), "sbxcmd", "sh l.cmd");
        for (std::size_t i = 0; i < kHostile.size(); ++i) {
            const std::string n = std::to_string(i), v = kHostile[i], path = path_of(i);
            const bool release = args[0] == "-release";
            EXPECT_EQ(parts.find("\nName " + std::to_string(path.size()) + ":" + path + "\n") != std::string::npos,
                      !has_nul(v)) << i;
            EXPECT_EQ(extracts.find("[Part][-extract][" + path + "][-nokeys][-release]" +
                                    (release ? "[RH][-version][w" : "[R") + n + v + "]") != std::string::npos,
                      !has_nul(v)) << i;
            EXPECT_EQ(labels.find((release ? "[CVN-DRIVER-w" : "[CVN-RELEASE-R") + n + v + "][dir" + n) != std::string::npos,
                      !has_nul(v)) << i;
        }
    }
    for (const fs::path& canary : {run.work() / "canary", run.work() / "../canary", run.work() / "../../canary"})
        EXPECT_FALSE(fs::exists(canary)) << canary;
}

namespace {

/// The values of hostile-values.txt that the platform's programs can take: arguments and
/// command files reach a Windows program in its code page, so none beyond ASCII there.
std::vector<std::string> interpreter_values() {
    std::vector<std::string> values;
    for (const std::string& line : e2e::lines_of(e2e::read_text(e2e::source_dir() + "/tests/windows/hostile-values.txt")))
        if (!line.empty() && line[0] != '#' &&
            (!e2e::under_wine() || std::all_of(line.begin(), line.end(), [](unsigned char c) { return c < 128; })))
            values.push_back(line);
    return values;
}

std::string sql_text(const std::string& value) { return "'" + std::regex_replace(value, std::regex("'"), "''") + "'"; }

/// The simulated client's log of `run`'s command file `name` in `dir`, run by the platform's
/// interpreter (sh, or cmd.exe under wine) with the client standing in for sbxcmd.
std::vector<std::string> run_command_file(const fs::path& dir, const std::string& name) {
    e2e::RunOptions options = e2e::program_options(dir);
    options.crlf = false;
    options.setEnv = {{"SIM_LOG", e2e::native_path(dir / "sbxcmd.log")}, {"FERROX_CANARY", "leaked"}};
    if (e2e::under_wine()) {
        e2e::run_program("cmd", {"/c", name}, options);  // sbxcmd.exe is the client's copy in sim-bin
    } else {
        fs::create_directories(dir / "tools");
        fs::create_symlink(e2e::sim_bin_dir() + "/simclient", dir / "tools" / "sbxcmd");
        options.setEnv["PATH"] = (dir / "tools").string() + ":" + std::getenv("PATH");
        e2e::run_program("/bin/sh", {name}, options);
    }
    return e2e::lines_of(e2e::read_text(dir / "sbxcmd.log"));
}

}  // namespace

// Values written for the interpreters (quotes, %VAR%, ^, !, &, |, <, >, $(), backquotes)
// reach the client as typed: as -where conditions, record names, and tagsmith's labels
// and directories run by the platform's interpreter. FERROX_CANARY is set: a variable
// expanded shows as "leaked"; a command run leaves a canary file.
TEST(HostileValues, PassTheInterpreterAsTyped) {
    const std::vector<std::string> values = interpreter_values();
    e2e::ServerRun run(SimKind::corvane);
    std::string sql;
    std::vector<std::string> names{"1001", "1002", "1003"}, entries;  // the fixture's defects first
    for (const std::string& v : values) {
        // Names that can name the note's scratch file on either system (no control character);
        // the raw file splits at "|" and drops leading blanks. tagsmith takes a value up to a ":".
        if (!std::regex_search(v, std::regex("[\"<>|:*?\\\\/\\x01-\\x1f]|[ .]$|^ "))) {
            names.push_back(v);
            sql += "INSERT INTO DefectView (prefix, name, state, abstract) VALUES ('d', " + sql_text(v) + ", 'open', 'h');\n";
            sql += "INSERT INTO defectLong VALUES (" + sql_text(v) + ", CAST(" + sql_text("note of " + v) + " AS BLOB));\n";
        }
        if (v.find(':') == std::string::npos) entries.push_back(v);
    }
    ASSERT_TRUE(run.fixture(sql));
    const std::map<std::string, std::string> canary{{"FERROX_CANARY", "leaked"}};
    std::vector<std::string> calls;  // of every run, in order
    for (const std::string& v : values) {
        const std::string condition = "login <> " + sql_text(v);
        EXPECT_EQ(run.run({"-users", "-where", condition}, canary).status, 0) << v;
        calls.insert(calls.end(), {"corv report -testServer", "corv Report -raw -view Users -where " + condition});
    }
    EXPECT_EQ(run.run({"-defects", "-map"}, canary).status, 0);
    std::sort(names.begin(), names.end());
    calls.insert(calls.end(), {"corv report -testServer", "corv Report -raw -view DefectView -where 1=1 order by name"});
    for (const std::string& name : names) calls.push_back("corv defect -view " + name + " -long");
    EXPECT_EQ(run.log(), calls);
    EXPECT_FALSE(fs::exists(run.work() / "canary.txt"));

    // tagsmith writes every label for every directory: the values go in once as the labels
    // of one directory and once as the directories of one label.
    for (const bool asLabels : {true, false}) {
        e2e::ScratchDir dir;
        const std::vector<std::string> one{asLabels ? "src" : "RELEASE-R1"};
        const std::vector<std::string>& labels = asLabels ? entries : one;
        const std::vector<std::string>& dirs = asLabels ? one : entries;
        std::string labelText = "TYPES_BEGIN\n", dirText;
        for (const std::string& l : labels) labelText += "LBTYPE_BEGIN\nLbType " + std::to_string(l.size()) + ":" + l + "\nLBTYPE_END\n";
        for (const std::string& d : dirs) dirText += "DIR_BEGIN\nDirName " + std::to_string(d.size()) + ":" + d + "\nDIR_END\n";
        e2e::write_text(dir / "labels.txt", labelText + "TYPES_END\n");
        e2e::write_text(dir / "dirs.txt", dirText);
        ASSERT_EQ(e2e::run_program(e2e::program("tagsmith"), {"dirs.txt", "labels.txt", "commands.bat"},
                                   e2e::program_options(dir.path())).status, 0);
        std::vector<std::string> mklabel;
        for (const std::string& d : dirs)
            for (const std::string& l : labels) mklabel.push_back("sbxcmd mklabel " + l + " " + d);
        EXPECT_EQ(run_command_file(dir.path(), "commands.bat"), mklabel);
        EXPECT_FALSE(fs::exists(dir / "canary.txt"));
    }
}

// Each value as a part "V/V" in the release V of a server of each kind: the extract commands
// of its export, run as the importing side runs them (sh for -target UNIX; under wine each
// line as a Windows command line), hand the client every path and release as they are.
TEST(HostileValues, PartPathsReachTheExtractCommandsAsTyped) {
    std::vector<std::string> paths;  // the raw part file splits at "|" and drops leading blanks
    for (const std::string& v : interpreter_values())
        if (v.find('|') == std::string::npos && v[0] != ' ') paths.push_back(v);
    for (const SimKind kind : {SimKind::corvane, SimKind::vandor}) {
        const bool cvn = kind == SimKind::corvane;
        std::string sql;
        std::vector<std::string> extracts;
        for (std::size_t i = 0; i < paths.size(); ++i) {
            const std::string v = sql_text(paths[i]), p = sql_text(paths[i] + "/" + paths[i]), s = "'s" + std::to_string(i) + "'";
            const std::string day = "'2020/01/01 10:00:00'";
            sql += cvn ? "INSERT INTO RevisionView VALUES (" + p + ", " + day + ", '1', NULL, " + day + ", " + s + ", 'o');\n"
                         "INSERT INTO PartFullView VALUES (" + p + ", " + v + ", NULL, 'asmith', '1', " + day + ", '0644', " + s +
                         ", NULL, NULL);\n"
                       : "INSERT INTO Fileview VALUES (" + p + ", " + v + ", '1.1', '1', 'c', " + day + ", " + day + ", '0644', " +
                         s + ", NULL);\nINSERT INTO committedVersions VALUES (" + p + ", " + v + ", '1.1', '1', " + day + ", " +
                         v + ", " + day + ", 'delta');\nINSERT INTO versions VALUES ('1.1', '1', '0', " + day + ", " + s + ");\n";
            const std::string& n = paths[i];
            extracts.push_back(cvn ? "corv Part -extract " + n + "/" + n + " -nokeys -release " + n + " -stdout"
                                   : "File -extract " + n + "/" + n + " -nokeys -release " + n + " -version 1.1 -stdout");
        }
        e2e::ServerRun run(kind);
        ASSERT_TRUE(run.sql(sql));
        std::vector<std::string> args{"-parts", "-where", "1=1"};
        if (!e2e::under_wine()) args.insert(args.end(), {"-target", "UNIX"});
        EXPECT_EQ(run.run(args).status, 0);
        std::string lines;
        for (const std::string& line : e2e::lines_of(run.output("partsExport.txt")))
            if (line.starts_with("ExtractCmd ")) lines += line.substr(line.find(':') + 1) + " extracted.out\n";
        e2e::write_text(run.work() / "lines.txt", lines);
        e2e::RunOptions options = e2e::program_options(run.work());
        options.crlf = false;
        options.setEnv["SIM_LOG"] = e2e::native_path(run.work() / "extract.log");
        if (e2e::under_wine())
            e2e::run_program(e2e::wine_build_dir() + "/check/run-lines.exe", {"lines.txt"}, options);
        else
            e2e::run_program("/bin/sh", {"lines.txt"}, options);
        std::vector<std::string> log = e2e::lines_of(e2e::read_text(run.work() / "extract.log"));
        std::sort(log.begin(), log.end());
        std::sort(extracts.begin(), extracts.end());
        EXPECT_EQ(log, extracts);
        EXPECT_FALSE(fs::exists(run.work() / "canary.txt"));
    }
}
