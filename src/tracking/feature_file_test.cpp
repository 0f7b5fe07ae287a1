// Feature import files: the columns that differ from the defect file, compared whole.
#include "feature_file.h"

#include <gtest/gtest.h>

#include "fields.h"
#include "tracking_test_support.h"

using tracking_test::ExportTest;
using tracking_test::read_text;
using tracking_test::write_text;

TEST(FeatureRecordWalk, MappedColumnsOfBothServerKinds) {
    // The priority is the first configurable field: 23 on Corvane, 19 on Vandor. The
    // severity is constant whatever the server holds.
    const std::map<std::size_t, std::string> common = {
        {1, "F1"},  {3, "ann"}, {5, "closed"}, {6, "a, \"b\""}, {10, "2021/01/01 00:00:00"},
        {16, "bob"}};
    auto corvane = common;
    corvane.insert({{19, "candidate"}, {23, "mustfix"}});
    auto vandor = common;
    vandor.insert({{19, "mustfix"}, {23, "candidate"}});
    const std::string expected =
        "\"F1\",\"ann\",\"Closed\",\"5-Enhancement\",\"a, \"\"b\"\"\",\"2021/01/01 00:00:00\","
        "\"bob\",\"1-Resolve Immediately\"";
    EXPECT_EQ(
        write_mapped_feature_record(split_fields(tracking_test::numbered_line(24, corvane)), ServerKind::Corvane),
        expected);
    EXPECT_EQ(
        write_mapped_feature_record(split_fields(tracking_test::numbered_line(24, vandor)), ServerKind::Vandor),
        expected);
}

class FeatureFile : public ExportTest {};

TEST_F(FeatureFile, MappedVandorFileWithItsOwnMessages) {
    settings.exportKind = ExportKind::Features;
    settings.serverKind = ServerKind::Vandor;
    write_text("featureRawFile000.raw",
               tracking_test::numbered_line(20, {{1, "F1"}, {5, "working"}, {19, "n/a"}}) + "\n" +
                   tracking_test::numbered_line(20, {{1, "F2"}, {5, ""}}) + "\n");
    server.notes["F2"] = "tab\there";
    server.failing["F1"] = true;
    EXPECT_EQ(write_feature_file(ctx, "featureRawFile000.raw", {}), 0);
    EXPECT_EQ(read_text("FeatureExport.out"),
              "\"old_id\",\"Owner\",\"state\",\"Severity\",\"Headline\",\"Submit_Date\","
              "\"Submitter\",\"Priority\",\"Notes_Log\"\n"
              "\"F1\",\"v3\",\"Opened\",\"5-Enhancement\",\"v6\",\"v10\",\"v16\","
              "\"4-Low Priority\",\"Migrated Note\"\n"
              "\"F2\",\"v3\",\"\",\"5-Enhancement\",\"v6\",\"v10\",\"v16\","
              "\"3-Normal Queue\",\"tab\there\"\n");
    EXPECT_EQ(console.outText,
              "\n\nGenerating Export File FeatureExport.out\n\n"
              "\nFeature Information Not Found for Feature F1\n"
              "\r 1  Features Processed \r 2  Features Processed \n2 Features exported.\n\n"
              "\nWARNING: 1 note could not be fetched and was exported as \"Migrated Note\": F1\n");
    EXPECT_EQ(server.commands,
              (std::vector<std::string>{"Feature -view 'F1' -long > 'featureF1.out'",
                                        "Feature -view 'F2' -long > 'featureF2.out'"}));
    EXPECT_EQ(files(), std::vector<std::string>{"FeatureExport.out"});
}

TEST_F(FeatureFile, MissingRawFileHasTheFeatureMessage) {
    settings.exportKind = ExportKind::Features;
    EXPECT_EQ(write_feature_file(ctx, "none.raw", {}), -1);
    EXPECT_EQ(console.outText, "\n\nERROR:  No Features Input File Found: none.raw \n\n");
    EXPECT_TRUE(files().empty());
}
