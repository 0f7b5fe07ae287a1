// Defect and feature import files at the edges the whole-file end-to-end runs do not
// reach: failures, kept input files, note batches, placeholder notes.
#include "import_file.h"

#include <gtest/gtest.h>


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
