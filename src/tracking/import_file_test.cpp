// Defect and feature import files at the edges the whole-file end-to-end runs do not
// reach: failures, kept input files, note batches, placeholder notes.
#include "import_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "defect_file.h"
#include "feature_file.h"
#include "field_info.h"
#include "test_support.h"

using test_support::read_text;
using test_support::write_text;

namespace {

class ImportFile : public test_support::ExportTest {};

// The -map columns of a record with only a name: every mapping falls back.
std::string bare_defect(const std::string& name, const std::string& note) {
    return "\"" + name + "\",\"\",\"\",\"4-Minor\",\"\",\"\",\"\",\"Unexpected Behavior\",\"3-Normal Queue\",\"" +
           note + "\"\n";
}

const std::string kDefectHeader =
    "\"old_id\",\"Owner\",\"State\",\"Severity\",\"Headline\",\"Submit_Date\",\"Submitter\",\"Symptoms\","
    "\"Priority\",\"Notes_Log\"\n";

}  // namespace

TEST_F(ImportFile, MissingInputUnopenableOutputAndEmptyInput) {
    run.settings.exportKind = ExportKind::Defects;
    EXPECT_EQ(write_defect_file(run.ctx, "missing.raw", {}), -1);
    EXPECT_EQ(write_feature_file(run.ctx, "missing.raw", {}), -1);
    EXPECT_EQ(run.console.outText, "\n\nERROR:  No Defects Input File Found: missing.raw \n\n"
                                   "\n\nERROR:  No Features Input File Found: missing.raw \n\n");
    // An output file that cannot be opened leaves the raw file in place.
    run.console.outText.clear();
    write_text("defectRawFile000.raw", "x|D1\n");
    std::filesystem::create_directory("taken");
    run.settings.outputFileName = "taken";
    EXPECT_EQ(write_defect_file(run.ctx, "defectRawFile000.raw", {}), -1);
    EXPECT_EQ(run.console.outText, "\n\nCan't Open Export Output File: taken - Exiting\n\n");
    EXPECT_EQ(files(), (std::vector<std::string>{"defectRawFile000.raw", "taken"}));
    // A raw file without lines: no output file, not even a header-only one.
    std::filesystem::remove("taken");
    write_text("defectRawFile000.raw", "");
    EXPECT_EQ(write_defect_file(run.ctx, "defectRawFile000.raw", {}), 0);
    EXPECT_EQ(files(), std::vector<std::string>{});
}

TEST_F(ImportFile, AnInFileStaysAndItsUnendedLastLineIsARecord) {
    run.settings.exportKind = ExportKind::Defects;
    run.settings.inFile = "kept.raw";
    write_text("kept.raw", "p|7\r\np|8");
    run.shell.answers = {{"defect7.out", "n\r\n"}, {"defect8.out", ""}};
    EXPECT_EQ(write_defect_file(run.ctx, "kept.raw", {}), 0);
    EXPECT_EQ(read_text("defectsExport.txt"), kDefectHeader + bare_defect("7", "n\n") + bare_defect("8", "Migrated Note"));
    EXPECT_EQ(run.console.outText, "\n\nGenerating Export File defectsExport.txt\n\n"
                                   "\r 1\t Defects Processed \r 2\t Defects Processed \n2 Defects exported.\n\n");
    EXPECT_EQ(files(), (std::vector<std::string>{"defectsExport.txt", "kept.raw"}));
}

TEST_F(ImportFile, EveryRecordGetsItsOwnNoteAcrossBatchesAndRepeatedNames) {
    run.settings.exportKind = ExportKind::Defects;
    std::string raw, expected = kDefectHeader;
    for (int i = 0; i < 70; ++i) {
        // Every fifth record repeats the name before it: the two share a scratch file.
        const std::string name = "N" + std::to_string(i % 5 == 4 ? i - 1 : i);
        raw += "p|" + name + "\n";
        run.shell.answers["defect" + name + ".out"] = "note of " + name;
        expected += bare_defect(name, "note of " + name);
    }
    write_text("defectRawFile000.raw", raw);
    ASSERT_EQ(write_defect_file(run.ctx, "defectRawFile000.raw", {}), 0);
    EXPECT_TRUE(read_text("defectsExport.txt") == expected);
    EXPECT_EQ(run.shell.commands.size(), 70u);
    EXPECT_EQ(files(), std::vector<std::string>{"defectsExport.txt"});
}

TEST_F(ImportFile, NotesThatCannotBeFetchedAreCountedAndTheFirstFiveNamed) {
    run.settings.exportKind = ExportKind::Features;
    run.settings.serverKind = ServerKind::Vandor;
    std::string raw;
    for (const char* name : {"F1", "F2", "F3", "F4", "F5", "F6", "F7"}) {
        raw += std::string("f|") + name + "\n";
        run.shell.failures[std::string("'") + name + "'"] = 1;
    }
    write_text("featureRawFile000.raw", "f|ok\n" + raw + "|\n");
    run.shell.answers["featureok.out"] = "fine";
    EXPECT_EQ(write_feature_file(run.ctx, "featureRawFile000.raw", {}), 0);
    std::string console = "\n\nGenerating Export File FeatureExport.out\n\n\r 1  Features Processed ";
    for (int i = 1; i <= 7; ++i)
        console += "\nFeature Information Not Found for Feature F" + std::to_string(i) + "\n\r " + std::to_string(i + 1) +
                   "  Features Processed ";
    EXPECT_EQ(run.console.outText,
              console + "\r 9  Features Processed \n9 Features exported.\n\n\nWARNING: 8 notes could not be fetched and "
                        "were exported as \"Migrated Note\": F1, F2, F3, F4, F5, ...\n");
    const std::string text = read_text("FeatureExport.out");
    EXPECT_TRUE(text.starts_with("\"old_id\",\"Owner\",\"state\",\"Severity\",\"Headline\",\"Submit_Date\","
                                 "\"Submitter\",\"Priority\",\"Notes_Log\"\n"
                                 "\"ok\",\"\",\"\",\"5-Enhancement\",\"\",\"\",\"\",\"3-Normal Queue\",\"fine\"\n"))
        << text;
    EXPECT_EQ(files(), std::vector<std::string>{"FeatureExport.out"});
}
