// The exact view and configuration-info command lines of both server kinds.
#include "report_file.h"

#include <gtest/gtest.h>

#include <vector>

#include "test_support.h"

namespace {

using Harness = test_support::TestRun<>;

}  // namespace

TEST(ViewReport, ComposesTheCommandOfEachKindAndExport) {
    struct Case {
        ServerKind server;
        ExportKind kind;
        std::string where;
        std::string command;
    };
    const Case cases[] = {
        {ServerKind::Corvane, ExportKind::Defects, "",
         "corv Report -raw -view DefectView -where \"1=1 order by name\" >defectRawFile000.raw"},
        {ServerKind::Vandor, ExportKind::Features, "",
         "Report -raw -view FeatureView -where \"1=1 order by name\" >featureRawFile000.raw"},
        {ServerKind::Corvane, ExportKind::Users, "",
         "corv Report -raw -view Users -where \"1=1 and dropDate is null\" >userRawFile000.raw"},
        {ServerKind::Vandor, ExportKind::Users, "login like 'a%'",
         "Report -raw -view Users -where \"login like 'a%'\" >userRawFile000.raw"},
        {ServerKind::Corvane, ExportKind::Defects, "state='open'",
         "corv Report -raw -view DefectView -where \"state='open'\" >defectRawFile000.raw"},
    };
    for (const Case& c : cases) {
        Harness h;
        h.settings.serverKind = c.server;
        h.settings.exportKind = c.kind;
        h.settings.whereClause = c.where;
        std::string raw;
        EXPECT_EQ(generate_view_report(h.ctx, raw), 0);
        ASSERT_EQ(h.shell.commands.size(), 1u);
        // The documented text is what is printed; the line run quotes the condition.
        const std::string printed = c.command.substr(0, c.command.find(" >"));
        EXPECT_NE(h.console.outText.find("\nCommand String is : " + printed + "\n"), std::string::npos);
        EXPECT_TRUE(h.shell.commands[0].ends_with(c.command.substr(printed.size()))) << h.shell.commands[0];
        EXPECT_EQ(raw, view_raw_file_name(c.kind));
    }
}

TEST(ViewReport, PrintsTheCommandAndReportsAFailureWithTheKindsMessage) {
    Harness h;
    h.settings.serverKind = ServerKind::Vandor;
    h.settings.exportKind = ExportKind::Defects;
    h.shell.status = 3;
    std::string raw;
    EXPECT_EQ(generate_view_report(h.ctx, raw), -1);
    EXPECT_EQ(raw, "defectRawFile000.raw");
    EXPECT_EQ(h.console.outText,
              "\nCommand String is : Report -raw -view DefectView -where \"1=1 order by name\"\n"
              "\n\nGenerating Raw File from VANDOR, Please Be Patient\n\n"
              "\n VANDOR Command Unsuccessful \n");
}

TEST(ViewReport, InFileIsReadWithoutRunningAnything) {
    Harness h;
    h.settings.exportKind = ExportKind::Defects;
    h.settings.inFile = "old.raw";
    std::string raw;
    EXPECT_EQ(generate_view_report(h.ctx, raw), 0);
    EXPECT_EQ(raw, "old.raw");
    EXPECT_TRUE(h.shell.commands.empty());
    EXPECT_EQ(h.console.outText, "\nReading Raw Input File: old.raw\n");
}

TEST(ConfigInfo, ComposesPerKindAndSkipsUsers) {
    struct Case {
        ServerKind server;
        ExportKind kind;
        std::string command;  // empty: nothing is run
        std::string file;
    };
    const Case cases[] = {
        {ServerKind::Corvane, ExportKind::Defects,
         "corv Defect  -configInfo -raw >defectConfigFile000.raw", "defectConfigFile000.raw"},
        {ServerKind::Vandor, ExportKind::Features,
         "Feature  -configInfo -raw >featureConfigFile000.raw", "featureConfigFile000.raw"},
        {ServerKind::Corvane, ExportKind::Users, "", ""},
    };
    for (const Case& c : cases) {
        Harness h;
        h.settings.serverKind = c.server;
        h.settings.exportKind = c.kind;
        std::string file = "caller's name";
        EXPECT_EQ(generate_config_info(h.ctx, file), 0);
        EXPECT_EQ(file, c.file);
        if (c.command.empty()) {
            EXPECT_TRUE(h.shell.commands.empty());
        } else {
            ASSERT_EQ(h.shell.commands.size(), 1u);
            EXPECT_EQ(h.shell.commands[0], c.command);
        }
    }
}
