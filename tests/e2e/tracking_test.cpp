// End-to-end runs of the defect, feature and users exports of ferrox_cvn and
// ferrox_vandor against the simulated server: whole import files and console text
// compared with expected files, generated servers read back with an independent CSV
// reader, and record names that must not reach the command interpreter as code.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "e2e_support.h"
#include "sim_support.h"

namespace {

namespace fs = std::filesystem;
using e2e::SimKind;

std::string program(SimKind kind) {
    return e2e::bin_dir() + (kind == SimKind::corvane ? "/ferrox_cvn" : "/ferrox_vandor");
}

fs::path expected_path(const std::string& name) {
    return fs::path(e2e::source_dir()) / "tests/e2e/expected/tracking" / name;
}

/// Compares `actual` with the expected file `name`. With FERROX_UPDATE_EXPECTED set the
/// file is written instead, to be reviewed before it is committed.
void expect_file(const std::string& name, const std::string& actual) {
    if (std::getenv("FERROX_UPDATE_EXPECTED")) {
        e2e::write_file(expected_path(name), actual);
        return;
    }
    ASSERT_TRUE(fs::exists(expected_path(name))) << name;
    EXPECT_EQ(actual, e2e::read_file(expected_path(name))) << name;
}

/// One server of one kind, kept apart from the folder the exporter runs in.
class TrackingRun {
  public:
    explicit TrackingRun(SimKind kind) : kind_(kind) {}

    bool fixture(const std::string& extraSql = "") {
        return e2e::create_server(kind_, db(), extraSql);
    }
    bool generated(const e2e::SimGenParams& params) {
        return e2e::create_server_generated(kind_, db(), params);
    }

    e2e::RunResult run(const std::vector<std::string>& args) {
        e2e::RunOptions options;
        options.cwd = work_.path();
        options.setEnv = e2e::sim_env(kind_, db());
        return e2e::run_program(program(kind_), args, options);
    }

    /// Runs one command of the simulated client directly, without a command interpreter:
    /// the server's own answer, independent of ferrox.
    std::string client(const std::string& command, const std::vector<std::string>& args) {
        e2e::RunOptions options;
        options.cwd = server_.path();
        options.setEnv = e2e::sim_env(kind_, db());
        e2e::RunResult r = e2e::run_program(e2e::sim_bin_dir() + "/" + command, args, options);
        EXPECT_EQ(r.status, 0) << command << " " << ::testing::PrintToString(args) << r.err;
        return r.out;
    }

    std::vector<std::string> files_left() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(work_.path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string output(const std::string& name) const {
        return e2e::read_file(work_.path() / name);
    }

  private:
    fs::path db() const { return server_.path() / "server.db"; }

    SimKind kind_;
    e2e::ScratchDir server_;
    e2e::ScratchDir work_;
};

/// An RFC 4180 reader of its own: quoted values with "" inside and line breaks inside
/// quotes, records ended by LF or CR LF. Malformed text fails the test.
std::vector<std::vector<std::string>> parse_csv(const std::string& text) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string value;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '"') {
            for (++i;; ++i) {
                if (i >= text.size()) {
                    ADD_FAILURE() << "unclosed quote";
                    return records;
                }
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        value += '"';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += text[i];
            }
        } else {
            while (i < text.size() && text[i] != ',' && text[i] != '\n' && text[i] != '\r') {
                if (text[i] == '"') ADD_FAILURE() << "quote inside an unquoted value at " << i;
                value += text[i++];
            }
        }
        if (i >= text.size() || text[i] == '\n' || text[i] == '\r') {
            record.push_back(value);
            records.push_back(record);
            record.clear();
            value.clear();
            if (i < text.size() && text[i] == '\r') ++i;
            if (i < text.size() && text[i] != '\n') ADD_FAILURE() << "CR without LF at " << i;
            ++i;
        } else if (text[i] == ',') {
            record.push_back(value);
            value.clear();
            ++i;
        } else {
            ADD_FAILURE() << "text after a closing quote at " << i;
            return records;
        }
    }
    return records;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t bar; (bar = text.find(separator, start)) != std::string::npos; start = bar + 1)
        parts.push_back(text.substr(start, bar - start));
    parts.push_back(text.substr(start));
    return parts;
}

std::string without_leading_blanks(const std::string& value) {
    const std::size_t first = value.find_first_not_of(' ');
    return first == std::string::npos ? "" : value.substr(first);
}

const char* export_option(const std::string& exportName) {
    return exportName == "defects" ? "-defects" : exportName == "features" ? "-features" : "-users";
}

}  // namespace

TEST(TrackingExports, FixtureFilesAndConsoleOfEachKindLayoutAndExport) {
    struct Case {
        SimKind kind;
        std::string exportName;
        std::string layout;  // "map", "nomap", or "" for users
        std::string outputName;
    };
    const Case cases[] = {
        {SimKind::corvane, "defects", "map", "defectsExport.txt"},
        {SimKind::corvane, "defects", "nomap", "defectsExport.txt"},
        {SimKind::corvane, "features", "map", "featuresExport.txt"},
        {SimKind::corvane, "features", "nomap", "featuresExport.txt"},
        {SimKind::corvane, "users", "", "usersExport.txt"},
        {SimKind::vandor, "defects", "map", "defectsExport.txt"},
        {SimKind::vandor, "defects", "nomap", "defectsExport.txt"},
        {SimKind::vandor, "features", "map", "featuresExport.txt"},
        {SimKind::vandor, "features", "nomap", "featuresExport.txt"},
        {SimKind::vandor, "users", "", "usersExport.txt"},
    };
    for (const Case& c : cases) {
        const std::string stem = std::string(e2e::kind_name(c.kind)) + "_" + c.exportName +
                                 (c.layout.empty() ? "" : "_" + c.layout);
        SCOPED_TRACE(stem);
        TrackingRun run(c.kind);
        ASSERT_TRUE(run.fixture());
        // The users export takes "-map" as well: the parse wants two words at least.
        const e2e::RunResult r =
            run.run({export_option(c.exportName), "-" + (c.layout.empty() ? "map" : c.layout)});
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        // Only the import file is left: raw, configuration and notes files are consumed.
        EXPECT_EQ(run.files_left(), std::vector<std::string>{c.outputName});
        expect_file(stem + (c.layout.empty() ? ".txt" : ".csv"), run.output(c.outputName));
        expect_file(stem + ".console", r.out);
    }
}

TEST(TrackingExports, GeneratedServersReadBackAsTheServersValues) {
    struct Case {
        SimKind kind;
        std::string exportName;
        std::size_t fixed;        // fixed columns of the -nomap file
        std::size_t firstConfig;  // raw position of the first configurable field
    };
    const Case cases[] = {{SimKind::corvane, "defects", 24, 26},
                          {SimKind::vandor, "defects", 24, 24},
                          {SimKind::corvane, "features", 21, 23},
                          {SimKind::vandor, "features", 19, 19}};
    for (const Case& c : cases) {
        const bool defects = c.exportName == "defects";
        SCOPED_TRACE(std::string(e2e::kind_name(c.kind)) + " " + c.exportName);
        TrackingRun run(c.kind);
        e2e::SimGenParams params;
        params.defects = 40;
        params.features = 40;
        params.configFields = 25;
        params.noteSizes = {64000, 64001, 0};
        ASSERT_TRUE(run.generated(params));
        const e2e::RunResult r = run.run({export_option(c.exportName), "-nomap", "-o", "out.csv"});
        ASSERT_EQ(r.status, 0) << r.out << r.err;

        // The server's own answers, fetched without ferrox.
        const std::string corv = c.kind == SimKind::corvane ? "corv" : "";
        auto client = [&](std::vector<std::string> args) {
            std::string command = defects ? "Defect" : "Feature";
            if (!corv.empty()) {
                args.insert(args.begin(), defects ? "defect" : "feature");
                command = corv;
            }
            return run.client(command, args);
        };
        std::vector<std::string> reportArgs = {"Report", "-raw",
                                               "-view",  defects ? "DefectView" : "FeatureView",
                                               "-where", "1=1 order by name"};
        if (corv.empty()) reportArgs.erase(reportArgs.begin());
        const std::string raw = run.client(corv.empty() ? "Report" : "corv", reportArgs);
        std::vector<std::string> lines = split(raw, '\n');
        if (!lines.empty() && lines.back().empty()) lines.pop_back();
        ASSERT_EQ(lines.size(), 40u);

        // 25 configurable fields exist; the import file carries the first 20: the third
        // field of the lines "<kind>|<number>|<name>|..." of the configuration report.
        std::vector<std::string> configNames;
        for (const std::string& line : split(client({"-configInfo", "-raw"}), '\n')) {
            const auto f = split(line, '|');
            if (f.size() > 2 && !f[1].empty() &&
                f[1].find_first_not_of("0123456789") == std::string::npos &&
                configNames.size() < 20)
                configNames.push_back(f[2]);
        }
        ASSERT_EQ(configNames.size(), 20u);

        const auto records = parse_csv(run.output("out.csv"));
        ASSERT_EQ(records.size(), lines.size() + 1);
        std::vector<std::string> header = records[0];
        ASSERT_EQ(header.size(), c.fixed + 21);
        EXPECT_EQ(std::vector<std::string>(header.begin() + c.fixed, header.end() - 1),
                  configNames);
        EXPECT_EQ(header.back(), "Notes_Log");

        std::size_t cut = 0;
        for (std::size_t n = 0; n < lines.size(); ++n) {
            const std::vector<std::string> fields = split(lines[n], '|');
            ASSERT_EQ(fields.size(), c.firstConfig + 25) << lines[n];
            std::vector<std::string> expected(fields.begin(), fields.begin() + c.fixed);
            expected.insert(expected.end(), fields.begin() + c.firstConfig,
                            fields.begin() + c.firstConfig + 20);
            for (std::string& value : expected) value = without_leading_blanks(value);
            std::string note = client({"-view", fields[1], "-long"});
            if (note.size() > 64000) {
                // The first 64000 bytes the server wrote; a CR LF pair cut in two still
                // ends its line.
                ++cut;
                EXPECT_NE(r.out.find("\nNote size\t for defect " +
                                     without_leading_blanks(fields[1]) + " is " +
                                     std::to_string(note.size()) + ", will be truncated to 64000"),
                          std::string::npos);
                note = note.substr(0, note.compare(63999, 2, "\r\n") == 0 ? 64001 : 64000);
            }
            for (std::size_t p; (p = note.find("\r\n")) != std::string::npos;) note.erase(p, 1);
            expected.push_back(note.empty() ? "Migrated Note" : note);
            EXPECT_TRUE(records[n + 1] == expected)
                << "record " << n << ": "
                << ::testing::PrintToString(records[n + 1]).substr(0, 2000);
        }
        // Exactly one note is over the limit, and only it is announced.
        EXPECT_EQ(cut, 1u);
        std::size_t announced = 0;
        for (std::size_t p = 0; (p = r.out.find("Note size", p)) != std::string::npos; ++p)
            ++announced;
        EXPECT_EQ(announced, 1u);
    }
}

TEST(TrackingExports, RecordNamesNeverRunAsCommands) {
    // Names the command interpreter would otherwise take as code or as two words, and
    // names that cannot be part of a scratch file name in the current folder.
    const std::vector<std::pair<std::string, std::string>> names = {
        {"1;touch x", "semicolon note"}, {"$(touch x)", "substitution note"},
        {"a b", "blank note"},           {"it's", "quote note"},
        {"`touch x`", "backtick note"},  {"a/b", "never fetched"},
        {"../x", "never fetched"},
    };
    for (SimKind kind : {SimKind::corvane, SimKind::vandor}) {
        SCOPED_TRACE(e2e::kind_name(kind));
        std::string sql;
        for (const auto& [name, note] : names) {
            std::string quoted = name;
            for (std::size_t p = 0; (p = quoted.find('\'', p)) != std::string::npos; p += 2)
                quoted.insert(p, "'");
            sql += "INSERT INTO DefectView(prefix, name, state) VALUES('d', '" + quoted +
                   "', 'open');\n";
            sql += "INSERT INTO defectLong VALUES('" + quoted + "', '" + note + "');\n";
        }
        TrackingRun run(kind);
        ASSERT_TRUE(run.fixture(sql));
        const e2e::RunResult r = run.run({"-defects", "-map"});
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_EQ(run.files_left(), std::vector<std::string>{"defectsExport.txt"});
        std::map<std::string, std::string> notes;
        for (const auto& record : parse_csv(run.output("defectsExport.txt"))) {
            ASSERT_EQ(record.size(), 10u);
            notes[record[0]] = record[9];
        }
        for (const auto& [name, note] : names) {
            const bool plain = name.find('/') == std::string::npos;
            EXPECT_EQ(notes[name], plain ? note : "Migrated Note") << name;
            EXPECT_EQ(
                r.out.find("WARNING: Defect " + name +
                           " has a name that cannot be part of a file name") != std::string::npos,
                !plain)
                << name;
        }
    }
}

TEST(TrackingExports, GeneratedUsersGetPrivilegesOnlyFromTheWordYes) {
    for (SimKind kind : {SimKind::corvane, SimKind::vandor}) {
        SCOPED_TRACE(e2e::kind_name(kind));
        TrackingRun run(kind);
        e2e::SimGenParams params;
        params.users = 8;
        ASSERT_TRUE(run.generated(params));
        const e2e::RunResult r = run.run({"-users", "-o", "users.txt"});
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        std::vector<std::string> reportArgs = {"Report", "-raw", "-view", "Users", "-where", "1=1"};
        if (kind == SimKind::vandor) reportArgs.erase(reportArgs.begin());
        const std::string raw =
            run.client(kind == SimKind::corvane ? "corv" : "Report", reportArgs);
        // login -> the flag every privilege line of the block must carry.
        std::map<std::string, std::string> wanted;
        std::size_t active = 0;
        for (const std::string& line : split(raw, '\n')) {
            if (line.empty()) continue;
            const auto f = split(line, '|');
            ASSERT_GE(f.size(), 9u);
            if (!f[8].empty()) continue;  // dropped users are not exported
            ++active;
            const std::map<std::string, std::string> flags = {{"yes", "TRUE"},
                                                              {"yesterday", "FALSE"},
                                                              {"Yes", "FALSE"},
                                                              {"no", "FALSE"},
                                                              {"", "FALSE"}};
            if (flags.count(f[7])) wanted[f[0]] = flags.at(f[7]);
        }
        // Every active user has one of the five flags, "yesterday" among them.
        EXPECT_EQ(wanted.size(), active) << raw;
        EXPECT_NE(raw.find("|yesterday|"), std::string::npos);
        const std::string text = run.output("users.txt");
        EXPECT_NE(r.out.find("\n" + std::to_string(active) + " Users exported.\n"),
                  std::string::npos)
            << r.out;
        for (const auto& [login, flag] : wanted) {
            const std::size_t block = text.find("USER\t" + login + "\n");
            ASSERT_NE(block, std::string::npos) << login;
            const std::string expected =
                "   is_superuser\t  = " + flag + "\n   is_appbuilder  = " + flag +
                "\n   is_packagehacker = FALSE\n   is_user_maint  = " + flag + "\n";
            EXPECT_EQ(text.find(expected, block), text.find("   is_superuser", block)) << login;
        }
    }
}
