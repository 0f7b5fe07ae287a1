// The view report's failure in the words of its server kind. The report commands of every
// kind and export, and their -infile form, are pinned by the end-to-end runs.
#include "report_file.h"

#include <gtest/gtest.h>

#include "test_support.h"

class Reports : public test_support::ExportTest {};

TEST_F(Reports, AFailedViewReportSaysSoInTheKindsWords) {
    run.settings.serverKind = ServerKind::Vandor;
    run.settings.exportKind = ExportKind::Defects;
    run.shell.status = 3;
    std::string raw;
    EXPECT_EQ(generate_view_report(run.ctx, raw), -1);
    EXPECT_EQ(raw, "defectRawFile000.raw");
    EXPECT_EQ(run.console.outText,
              "\nCommand String is : Report -raw -view DefectView -where \"1=1 order by name\"\n"
              "\n\nGenerating Raw File from VANDOR, Please Be Patient\n\n"
              "\n VANDOR Command Unsuccessful \n");
    EXPECT_EQ(run.shell.commands,
              std::vector<std::string>{"Report -raw -view DefectView -where '1=1 order by name' >defectRawFile000.raw"});
}
