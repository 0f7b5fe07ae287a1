// Import files read back with an independent RFC 4180 reader give the server's values.
#include <gtest/gtest.h>

#include "defect_file.h"
#include "feature_file.h"
#include "record_notes.h"
#include "tracking_test_support.h"

using tracking_test::ExportTest;
using tracking_test::parse_csv;
using tracking_test::read_text;
using tracking_test::write_text;

namespace {

// Texts that break naive CSV writers and readers. Raw report fields hold no "|" and
// no line end; notes hold anything.
const std::vector<std::string> kValues = {"plain",
                                          "with \"quotes\"",
                                          "\"",
                                          "\"\"",
                                          "a,b",
                                          ",",
                                          "trailing blank ",
                                          "caf\xc3\xa9 \xe2\x82\xac",
                                          "'single'",
                                          "",
                                          "x\"y,z\"",
                                          "tab\tin",
                                          "back\\slash",
                                          "semi;colon",
                                          "  blank-led"};
const std::vector<std::string> kNotes = {
    "one line", "two\nlines", "crlf\r\nlines\r\n",        "\"quoted\"\n\"again\"",
    ",,,",      "",           "\xe2\x9c\x93 non-ascii\n", "ends with quote\""};

}  // namespace

class CsvRoundTrip : public ExportTest {};

TEST_F(CsvRoundTrip, PlainFilesOfBothKindsGiveBackEveryValue) {
    struct Case {
        ExportKind kind;
        ServerKind server;
        std::size_t fixed;
        std::size_t firstConfig;
    };
    const std::vector<std::string> config = {"C\"1", "C,2", "C 3"};
    const Case cases[] = {{ExportKind::Defects, ServerKind::Corvane, 24, 26},
                          {ExportKind::Defects, ServerKind::Vandor, 24, 24},
                          {ExportKind::Features, ServerKind::Corvane, 21, 23},
                          {ExportKind::Features, ServerKind::Vandor, 19, 19}};
    for (const Case& c : cases) {
        settings.exportKind = c.kind;
        settings.serverKind = c.server;
        settings.mapValues = 0;
        settings.outputFileName = "out.csv";
        server.notes.clear();
        const std::size_t width = c.firstConfig + config.size();
        std::vector<std::vector<std::string>> rows;
        std::string raw;
        for (std::size_t r = 0; r < 12; ++r) {
            std::vector<std::string> row;
            for (std::size_t f = 0; f < width; ++f)
                row.push_back(kValues[(r * 7 + f * 3) % kValues.size()]);
            row[1] = "R" + std::to_string(r);
            server.notes[row[1]] = kNotes[r % kNotes.size()];
            for (std::size_t f = 0; f < width; ++f) raw += (f ? "|" : "") + row[f];
            raw += r % 2 ? "\r\n" : "\n";
            rows.push_back(row);
        }
        write_text("raw.txt", raw);
        ASSERT_EQ(c.kind == ExportKind::Defects ? write_defect_file(ctx, "raw.txt", config)
                                                : write_feature_file(ctx, "raw.txt", config),
                  0);
        const auto records = parse_csv(read_text("out.csv"));
        ASSERT_EQ(records.size(), rows.size() + 1);
        const std::size_t columns = c.fixed + config.size() + 1;
        EXPECT_EQ(records[0].size(), columns);
        EXPECT_EQ(records[0][c.fixed], "C\"1");
        for (std::size_t r = 0; r < rows.size(); ++r) {
            const auto& got = records[r + 1];
            ASSERT_EQ(got.size(), columns) << "record " << r;
            std::vector<std::string> expected(rows[r].begin(), rows[r].begin() + c.fixed);
            expected.insert(expected.end(), rows[r].begin() + c.firstConfig, rows[r].end());
            // The field reader drops the blanks that lead a raw field.
            for (std::string& value : expected) value.erase(0, value.find_first_not_of(' '));
            // The note arrives with LF line ends; an empty one is named as migrated.
            std::string note = server.notes[rows[r][1]];
            for (std::size_t p; (p = note.find("\r\n")) != std::string::npos;) note.erase(p, 1);
            expected.push_back(note.empty() ? "Migrated Note" : note);
            EXPECT_EQ(got, expected) << "record " << r;
        }
    }
}

TEST_F(CsvRoundTrip, LongRawLinesStayOneRecord) {
    settings.exportKind = ExportKind::Defects;
    settings.mapValues = 1;
    const std::string abstract(5000, 'a');
    write_text("defectRawFile000.raw", "p|L1|c|r|o|open|x|1|" + abstract + "\np|L2\n");
    ASSERT_EQ(write_defect_file(ctx, "defectRawFile000.raw", {}), 0);
    const auto records = parse_csv(read_text("defectsExport.txt"));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[1][0], "L1");
    EXPECT_EQ(records[1][4], abstract);
    EXPECT_EQ(records[2][0], "L2");
}
