// Configurable field names and the export entries' checks of the raw report.
#include "field_info.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tracking_test_support.h"

using tracking_test::ExportTest;
using tracking_test::read_text;
using tracking_test::write_text;

TEST(ConfigFieldNames, TakesTheThirdFieldOfEveryFieldLine) {
    struct Case {
        const char* what;
        std::string file;
        std::vector<std::string> names;
    };
    std::string many;
    std::vector<std::string> first20;
    for (int i = 1; i <= 25; ++i) {
        many += "defect|" + std::to_string(i) + "|Field" + std::to_string(i) + "|text|64\n";
        if (i <= 20) first20.push_back("Field" + std::to_string(i));
    }
    const std::string longName(300, 'L');
    const Case cases[] = {
        {"prefix, severity and blank lines skipped",
         "defect|Prefix|D|x\n\ndefect|1|Symptom|text|64\ndefect|Severity|1,2,3\n"
         "defect|2|Frequency|text|64\n",
         {"Symptom", "Frequency"}},
        {"severity inside a longer name skips the line too",
         "defect|1|OldSeverityCode|text|8\ndefect|2|Work around|text|8\n",
         {"Work around"}},
        {"crlf line ends and leading blanks",
         "defect|1|  Symptom\r\ndefect|2|Freq|t\r\n",
         {"Symptom", "Freq"}},
        {"more than twenty: the first twenty", many, first20},
        {"a long name is carried whole", "defect|1|" + longName + "|text|64\n", {longName}},
        {"unended last line", "defect|1|Symptom", {"Symptom"}},
        {"empty file", "", {}},
    };
    for (const Case& c : cases) {
        std::istringstream in(c.file);
        EXPECT_EQ(read_config_field_names(in), c.names) << c.what;
    }
}

class ExportEntry : public ExportTest {};

TEST_F(ExportEntry, MapRunAsksForNoConfigurationInfo) {
    settings.exportKind = ExportKind::Defects;
    server.rawAnswer = "p|D1|c\n";
    server.configAnswer = "defect|1|Symptom|text|64\n";
    EXPECT_EQ(export_defects(ctx), 0);
    ASSERT_EQ(server.commands.size(), 2u);
    EXPECT_EQ(server.commands[0],
              "corv Report -raw -view DefectView -where '1=1 order by name' "
              ">defectRawFile000.raw");
    EXPECT_EQ(server.commands[1], "corv defect -view 'D1' -long > 'defectD1.out'");
    EXPECT_EQ(files(), std::vector<std::string>{"defectsExport.txt"});
}

TEST_F(ExportEntry, NomapRunPutsTheConfigurableFieldsInTheHeader) {
    settings.exportKind = ExportKind::Features;
    settings.serverKind = ServerKind::Vandor;
    settings.mapValues = 0;
    settings.outputFileName = "f.csv";
    server.rawAnswer = "p|F1\n";
    server.configAnswer = "feature|Prefix|F\nfeature|1|Symptom|text|64\n";
    EXPECT_EQ(export_features(ctx), 0);
    EXPECT_EQ(server.commands.at(1), "Feature  -configInfo -raw >featureConfigFile000.raw");
    const std::string text = read_text("f.csv");
    EXPECT_TRUE(text.starts_with("\"prefix\",\"name\"")) << text;
    EXPECT_NE(text.find(",\"originArea\",\"Symptom\",\"Notes_Log\"\n"), std::string::npos) << text;
    // The configuration-info file is consumed.
    EXPECT_EQ(files(), std::vector<std::string>{"f.csv"});
}

TEST_F(ExportEntry, NomapRunWithoutConfigurationInfoFails) {
    settings.exportKind = ExportKind::Defects;
    settings.mapValues = 0;
    server.rawAnswer = "p|D1\n";
    EXPECT_EQ(export_defects(ctx), -1);
    EXPECT_TRUE(console.outText.ends_with("\n Corvane Command Unsuccessful \n"))
        << console.outText;
    EXPECT_FALSE(std::filesystem::exists("defectsExport.txt"));
}

TEST_F(ExportEntry, StopsBeforeWritingWhenTheReportFailsOrTheRawFileIsMissingOrEmpty) {
    struct Case {
        ExportKind kind;
        int reportStatus;
        std::string raw;
        std::string inFile;
        std::string lastMessage;
    };
    const Case cases[] = {
        // A failed report ends the export even when it left part of an answer behind.
        {ExportKind::Defects, 2, "", "", "\n Corvane Command Unsuccessful \n"},
        {ExportKind::Features, 2, "|f1|partial answer\n", "", "\n Corvane Command Unsuccessful \n"},
        {ExportKind::Defects, 0, "", "missing.raw",
         "\n\nERROR:  No Defects Input File Found: missing.raw \n\n"},
        {ExportKind::Features, 0, "", "missing.raw",
         "\n\nERROR:  No Features Input File Found: missing.raw \n\n"},
        {ExportKind::Defects, 0, "", "",
         "\n\nERROR: No Records Found in File: defectRawFile000.raw \n\n"},
    };
    for (const Case& c : cases) {
        settings.exportKind = c.kind;
        settings.inFile = c.inFile;
        server.reportStatus = c.reportStatus;
        server.rawAnswer = c.raw;
        console.outText.clear();
        const int status =
            c.kind == ExportKind::Defects ? export_defects(ctx) : export_features(ctx);
        EXPECT_EQ(status, -1);
        EXPECT_TRUE(console.outText.ends_with(c.lastMessage)) << console.outText;
        // No output file; a raw file stays for inspection.
        for (const std::string& name : files()) EXPECT_TRUE(name.ends_with(".raw")) << name;
    }
}
