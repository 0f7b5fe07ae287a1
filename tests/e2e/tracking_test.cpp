// End-to-end runs of the defect, feature and users exports of ferrox_cvn and
// ferrox_vandor against the simulated server: whole import files and console text
// compared with expected files, and generated servers read back with an independent CSV
// reader.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "sim_support.h"

namespace {

namespace fs = std::filesystem;
using e2e::SimKind;

fs::path expected_path(const std::string& name) {
    return fs::path(e2e::source_dir()) / "tests/e2e/expected/tracking" / name;
}

/// Compares `actual` with the reviewed expected file `name`.
void expect_file(const std::string& name, const std::string& actual) {
    ASSERT_TRUE(fs::exists(expected_path(name))) << name;
    EXPECT_EQ(actual, e2e::read_text(expected_path(name))) << name;
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
        e2e::ServerRun run(c.kind);
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
        e2e::ServerRun run(c.kind);
        e2e::SimGenParams params;
        params.defects = 40;
        params.features = 40;
        params.configFields = 25;
        params.noteSizes = {64000, 64001, 0};
        ASSERT_TRUE(run.generated(params));
        const e2e::RunResult r = run.run({export_option(c.exportName), "-nomap", "-o", "out.csv"});
        ASSERT_EQ(r.status, 0) << r.out << r.err;

        // The server's own answers, fetched without ferrox.
        const bool corvane = c.kind == SimKind::corvane;
        const std::string record = defects ? "defect" : "feature";
        std::vector<std::string> report = {"-raw", "-view", defects ? "DefectView" : "FeatureView"};
        if (corvane) report.insert(report.begin(), "Report");
        std::vector<std::string> lines = split(run.client(corvane ? "corv" : "Report", report), '\n');
        lines.pop_back();  // after the last line end
        ASSERT_EQ(lines.size(), 40u);
        auto note_of = [&](const std::string& name) {
            return corvane ? run.client("corv", {record, "-view", name, "-long"})
                           : run.client(defects ? "Defect" : "Feature", {"-view", name, "-long"});
        };
        // 25 configurable fields exist, named by the generator; the file carries the first 20.
        std::vector<std::string> configNames = defects ? std::vector<std::string>{"Symptom", "Frequency", "Workaround", "Priority"}
                                                       : std::vector<std::string>{"Priority", "Customer", "TargetRelease"};
        while (configNames.size() < 20)
            configNames.push_back((configNames.size() < 9 ? "Field0" : "Field") + std::to_string(configNames.size() + 1));

        const auto records = e2e::parse_csv(run.output("out.csv"));
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
            std::string note = note_of(fields[1]);
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
