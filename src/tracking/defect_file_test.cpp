// Defect import files of both layouts and server kinds, compared whole.
#include "defect_file.h"

#include <gtest/gtest.h>

#include "fields.h"
#include "record_notes.h"
#include "tracking_test_support.h"

using tracking_test::ExportTest;
using tracking_test::read_text;
using tracking_test::write_text;

TEST(DefectRecordWalk, TakesEachColumnFromItsPositionForEachServerKind) {
    // Corvane's configurable fields start at 26, Vandor's at 24; the symptom is the
    // first of them and the priority the fourth.
    const std::map<std::size_t, std::string> common = {{1, "D1"},      {4, "ann"},
                                                       {5, "verify"},  {7, "2"},
                                                       {8, "a \"b\""}, {14, "2020/01/02 03:04:05"},
                                                       {21, "bob"}};
    auto corvane = common;
    corvane.insert({{24, "core_dump"}, {26, "lost_data"}, {29, "mustfix"}, {27, "n/a"}});
    auto vandor = common;
    vandor.insert({{24, "lost_data"}, {27, "mustfix"}, {26, "core_dump"}});
    const std::string expected =
        "\"D1\",\"ann\",\"Resolved\",\"2-Major\",\"a \"\"b\"\"\",\"2020/01/02 03:04:05\","
        "\"bob\",\"Data Loss\",\"1-Resolve Immediately\"";
    EXPECT_EQ(write_mapped_defect_record(split_fields(tracking_test::numbered_line(30, corvane)), ServerKind::Corvane),
              expected);
    EXPECT_EQ(write_mapped_defect_record(split_fields(tracking_test::numbered_line(28, vandor)), ServerKind::Vandor),
              expected);
}

TEST(DefectRecordWalk, ShortLinesReadAsEmptyFields) {
    struct Case {
        std::string line;
        std::string mapped;
    };
    const Case cases[] = {
        // Ends before the configurable fields: empty symptom and priority.
        {tracking_test::numbered_line(24, {{1, "D2"}, {5, ""}, {7, "9"}}),
         "\"D2\",\"v4\",\"\",\"4-Minor\",\"v8\",\"v14\",\"v21\",\"Unexpected Behavior\","
         "\"3-Normal Queue\""},
        // A blank line: every server value empty.
        {"",
         "\"\",\"\",\"\",\"4-Minor\",\"\",\"\",\"\",\"Unexpected Behavior\",\"3-Normal Queue\""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(write_mapped_defect_record(split_fields(c.line), ServerKind::Corvane), c.mapped);
}

class DefectFile : public ExportTest {};

TEST_F(DefectFile, MappedCorvaneFileWithNotes) {
    settings.exportKind = ExportKind::Defects;
    settings.outputFileName = "out.csv";
    write_text("defectRawFile000.raw",
               tracking_test::numbered_line(30, {{1, "D1"},
                             {4, "o\"neil"},
                             {5, "working"},
                             {7, "1"},
                             {8, "crash"},
                             {26, "core_dump"},
                             {29, "candidate"}}) +
                   "\r\n" + tracking_test::numbered_line(26, {{1, "D2"}, {5, "closed"}, {8, "x"}}) + "\n");
    server.notes["D1"] = "first line\r\nsecond \"quoted\" line\r\n";
    EXPECT_EQ(write_defect_file(ctx, "defectRawFile000.raw", {}), 0);
    EXPECT_EQ(read_text("out.csv"),
              "\"old_id\",\"Owner\",\"State\",\"Severity\",\"Headline\",\"Submit_Date\","
              "\"Submitter\",\"Symptoms\",\"Priority\",\"Notes_Log\"\n"
              "\"D1\",\"o\"\"neil\",\"Opened\",\"1-Critical\",\"crash\",\"v14\",\"v21\","
              "\"System Crash\",\"2-Give High Attention\","
              "\"first line\nsecond \"\"quoted\"\" line\n\"\n"
              "\"D2\",\"v4\",\"Closed\",\"4-Minor\",\"x\",\"v14\",\"v21\","
              "\"Unexpected Behavior\",\"3-Normal Queue\",\"Migrated Note\"\n");
    EXPECT_EQ(console.outText,
              "\n\nGenerating Export File out.csv\n\n"
              "\r 1\t Defects Processed \r 2\t Defects Processed \n2 Defects exported.\n\n");
    EXPECT_EQ(server.commands,
              (std::vector<std::string>{"corv defect -view 'D1' -long > 'defectD1.out'",
                                        "corv defect -view 'D2' -long > 'defectD2.out'"}));
    // The scratch raw file and the notes files are gone.
    EXPECT_EQ(files(), std::vector<std::string>{"out.csv"});
}

TEST_F(DefectFile, PlainVandorFileKeepsAnInFileAndAnUnendedLastLine) {
    settings.exportKind = ExportKind::Defects;
    settings.serverKind = ServerKind::Vandor;
    settings.mapValues = 0;
    settings.inFile = "kept.raw";
    write_text("kept.raw", tracking_test::numbered_line(25, {{1, "7"}}));
    server.notes["7"] = "n";
    EXPECT_EQ(write_defect_file(ctx, "kept.raw", {"Symptom"}), 0);
    std::string expected = defect_header(false, {"Symptom"});
    expected += "\"v0\",\"7\"";
    for (int i = 2; i < 25; ++i) expected += ",\"v" + std::to_string(i) + "\"";
    expected += ",\"n\"\n";
    EXPECT_EQ(read_text("defectsExport.txt"), expected);
    EXPECT_EQ(files(), (std::vector<std::string>{"defectsExport.txt", "kept.raw"}));
}

TEST_F(DefectFile, FailuresAndEmptyInput) {
    settings.exportKind = ExportKind::Defects;
    // No raw file.
    EXPECT_EQ(write_defect_file(ctx, "missing.raw", {}), -1);
    EXPECT_EQ(console.outText, "\n\nERROR:  No Defects Input File Found: missing.raw \n\n");
    // An output file that cannot be opened leaves the raw file in place.
    console.outText.clear();
    write_text("defectRawFile000.raw", "x|D1\n");
    std::filesystem::create_directory("taken");
    settings.outputFileName = "taken";
    EXPECT_EQ(write_defect_file(ctx, "defectRawFile000.raw", {}), -1);
    EXPECT_EQ(console.outText, "\n\nCan't Open Export Output File: taken - Exiting\n\n");
    EXPECT_EQ(files(), (std::vector<std::string>{"defectRawFile000.raw", "taken"}));
    // A raw file without lines: the header-only output file is removed.
    std::filesystem::remove("taken");
    settings.outputFileName.clear();
    write_text("defectRawFile000.raw", "");
    EXPECT_EQ(write_defect_file(ctx, "defectRawFile000.raw", {}), 0);
    EXPECT_TRUE(files().empty());
}

TEST_F(DefectFile, EveryRecordGetsItsOwnNoteAcrossBatchesAndRepeatedNames) {
    settings.exportKind = ExportKind::Defects;
    std::string raw;
    for (int i = 0; i < 70; ++i) {
        // Every fifth record repeats the name before it, every seventh differs from it
        // in letter case only: each pair may share one scratch file.
        std::string name = "N" + std::to_string(i % 5 == 4 ? i - 1 : i);
        if (i % 7 == 6) name = "n" + std::to_string(i - 1);
        raw += "p|" + name + "\n";
        server.notes[name] = "note of " + name;
    }
    write_text("defectRawFile000.raw", raw);
    ASSERT_EQ(write_defect_file(ctx, "defectRawFile000.raw", {}), 0);
    const auto records = tracking_test::parse_csv(read_text("defectsExport.txt"));
    ASSERT_EQ(records.size(), 71u);
    for (std::size_t i = 1; i < records.size(); ++i)
        EXPECT_EQ(records[i][9], "note of " + records[i][0]) << "record " << i;
    EXPECT_EQ(server.commands.size(), 70u);
    EXPECT_TRUE(console.outText.ends_with("\r 70\t Defects Processed \n70 Defects exported.\n\n")) << console.outText;
    EXPECT_EQ(files(), std::vector<std::string>{"defectsExport.txt"});
}
