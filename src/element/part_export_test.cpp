// Whole exports of small histories, from report rows to the combined import file, for
// both server kinds: the rows are parsed, loaded, run through the five history steps
// and written, part after part, as the retrieval paths do.
#include <gtest/gtest.h>

#include "element_writer.h"
#include "lookups.h"
#include "platform.h"
#include "test_support.h"
#include "writer_test_support.h"

namespace {

using test_support::InScratchDir;
using test_support::read_text;
using writer_test::FakeShell;
using writer_test::globals;
using writer_test::kIdentityLines;

/// One part as the server reports it: part rows (for Vandor, Fileview rows first and
/// then committedVersions rows) and revision rows, each a raw report line.
struct RawPart {
    std::string path;
    std::vector<std::string> fileviewRows;  // Vandor only
    std::vector<std::string> partRows;
    std::vector<std::string> revisionRows;
};

struct ExportRun {
    std::string exportText;
    std::string console;
    std::vector<std::string> commands;
    int elements = 0;
    int versions = 0;
};

ExportRun export_parts_of(ServerKind kind, const std::vector<RawPart>& parts, const std::string& lookupAnswer) {
    RunSettings settings;
    settings.serverKind = kind;
    ExportIdentity identity{"joe", "joe", "dev", "box"};
    BufferConsole console;
    FakeShell shell;
    shell.answers[kSidScratchFile] = lookupAnswer;
    shell.answers[kReleaseScratchFile] = lookupAnswer;
    HistoryModel model(kind);
    ScratchFiles scratch;
    RunContext ctx{settings, console, shell, scratch};
    ElementWriter writer(ctx, identity, model);
    HistorySteps steps{model, settings, console, writer};
    for (const RawPart& part : parts) {
        for (const std::string& line : part.fileviewRows) model.append_part_row(*parse_committed_row(line, 0));
        for (const std::string& line : part.partRows) {
            if (kind == ServerKind::Corvane)
                model.append_part_row(parse_part_row(line));
            else
                model.append_part_row(*parse_committed_row(line, 1));
        }
        for (const std::string& line : part.revisionRows) {
            if (kind == ServerKind::Corvane)
                model.append_revision(parse_revision_row(line));
            else
                model.append_revision(parse_version_row(line, part.path));
        }
        EXPECT_EQ(run_history_steps(steps), 0) << part.path << console.outText;
        writer.write_element_end();
        model.release_part_rows();
    }
    EXPECT_EQ(writer.combine_export_files(), 0) << console.outText;
    return {read_text("partsExport.txt"), console.outText, shell.commands, writer.elementCount(), writer.versionCount()};
}

std::string version(const std::string& idLine, const std::string& time, const std::string& extractLine,
                    const std::string& rest) {
    return "VERSION_BEGIN\n" + idLine + "\n" + kIdentityLines + "EventTime " + time + "\n" + extractLine + "\n" + rest +
           "VERSION_END\n";
}

std::string element(const std::string& nameLine, int mode, const std::string& time, const std::string& versions) {
    return "ELEMENT_BEGIN\n" + nameLine + "\nMode " + std::to_string(mode) + "\n" + kIdentityLines + "EventTime " + time +
           "\n" + versions + "ELEMENT_END\n";
}

const char* const kDirs =
    "DIR_BEGIN\nDirName 1:.\nDIR_END\nDIR_BEGIN\nDirName 4:docs\nDIR_END\n"
    "DIR_BEGIN\nDirName 7:include\nDIR_END\nDIR_BEGIN\nDirName 3:src\nDIR_END\n";

}  // namespace

TEST(PartExport, WholeExportsOfEachServerKind) {
    struct Case {
        const char* title;
        ServerKind kind;
        std::vector<RawPart> parts;
        std::string lookupAnswer;
        std::string types;
        std::string elements;
        std::string console;
        std::vector<std::string> commands;
    };
    const Case cases[] = {
        // Release R2. src/main.c: 1 -> 2 -> 3 and 2 -> 2.1.1 -> 2.1.2; the walk starts at
        // the newest revision, which has no children, so no branch point is added.
        {"Corvane release with a work-area branch", ServerKind::Corvane,
         {
            {"docs/Read Me.txt", {},
             {"docs/Read Me.txt|R2||pobrien|2|2019/04/20 10:00:00|0644|100012"},
             {"docs/Read Me.txt|2019/04/20 10:00:00|2|1|2019/04/20 10:00:00|100012",
              "docs/Read Me.txt|2019/01/20 10:00:00|1||2019/01/20 10:00:00|100011"}},
            {"include/defs.h", {},
             {"include/defs.h|R2||asmith|1|2019/04/05 10:00:00|0755|100021"},
             {"include/defs.h|2019/04/05 10:00:00|1||2019/04/05 10:00:00|100021"}},
            {"src/main.c", {},
             {"src/main.c|R2||asmith|3|2019/04/10 10:00:00|0644|100004",
              "src/main.c|R2|wa01|jmuller|2.1.2|2019/05/10 10:00:00|0644|100005",
              "src/main.c|R2|old01|jmuller|2.1.1|2019/03/10 10:00:00|0644|100003"},
             {"src/main.c|2019/05/10 10:00:00|2.1.2|2.1.1|2019/05/10 10:00:00|100005",
              "src/main.c|2019/04/10 10:00:00|3|2|2019/04/10 10:00:00|100004",
              "src/main.c|2019/03/10 10:00:00|2.1.1|2|2019/03/10 10:00:00|100003",
              "src/main.c|2019/02/10 10:00:00|2|1|2019/02/10 10:00:00|100002",
              "src/main.c|2019/01/10 10:00:00|1||2019/01/10 10:00:00|100001"}},
         },
         "",
         "TYPES_BEGIN\n"
         "LBTYPE_BEGIN\nLbType 14:CVN-RELEASE-R2\nLBTYPE_END\n"
         "LBTYPE_BEGIN\nLbType 16:CVN-DRIVER-old01\nLBTYPE_END\n"
         "LBTYPE_BEGIN\nLbType 15:CVN-DRIVER-wa01\nLBTYPE_END\n"
         "TYPES_END\n",
         element("Name 16:docs/Read Me.txt", 33188, "1555754400",
                 version("VersionId 1:2", "1555754400",
                         "ExtractCmd 76:cmd /c corv Part -extract \"docs/Read Me.txt\" -nokeys  -release R2  -stdout >",
                         "Label 14:CVN-RELEASE-R2\n")) +
         element("Name 14:include/defs.h", 33261, "1554458400",
                 version("VersionId 1:1", "1554458400",
                         "ExtractCmd 72:cmd /c corv Part -extract include/defs.h -nokeys  -release R2  -stdout >",
                         "Label 14:CVN-RELEASE-R2\n")) +
         element("Name 10:src/main.c", 33188, "1552212000",
                 version("VersionId 5:2.1.1", "1552212000",
                         "ExtractCmd 84:cmd /c corv Part -extract src/main.c -nokeys  -release R2  -version old01  -stdout >",
                         "Label 14:CVN-RELEASE-R2\nLabel 16:CVN-DRIVER-old01\n") +
                 version("VersionId 1:3", "1554890400",
                         "ExtractCmd 68:cmd /c corv Part -extract src/main.c -nokeys  -release R2  -stdout >",
                         "Label 14:CVN-RELEASE-R2\n") +
                 version("VersionId 5:2.1.2", "1557482400",
                         "ExtractCmd 83:cmd /c corv Part -extract src/main.c -nokeys  -release R2  -version wa01  -stdout >",
                         "Label 14:CVN-RELEASE-R2\nLabel 15:CVN-DRIVER-wa01\n")),
         "",
         {}},
        // Release R2. src/main.c: 11 -> 12 -> 14 and 12 -> 13 -> 15; 13 and 14 are in R2,
        // so 12 is their branch point and 14, the later child, starts a branch. 12 has no
        // part row, so its release is looked up.
        {"Vandor release with a branch point looked up", ServerKind::Vandor,
         {
            {"docs/Read Me.txt",
             {"docs/Read Me.txt|R2|1.2|22|docs|2019/01/20 10:00:00|2019/04/20 10:00:00|0644"},
             {"docs/Read Me.txt|R2|1.2|22|2019/04/20 10:00:00|R2_L2|2019/04/20 12:00:00"},
             {"1.1|21|0|2019/01/20 10:00:00", "1.2|22|21|2019/04/20 10:00:00"}},
            {"include/defs.h",
             {"include/defs.h|R1||0|core|2019/04/05 10:00:00|2019/04/05 10:00:00|0755",
              "include/defs.h|R2|1.1|31|core|2019/04/05 10:00:00|2019/04/05 10:00:00|0755"},
             {"include/defs.h|R2|1.1|31|2019/04/05 10:00:00|R2_L2|2019/04/05 12:00:00"},
             {"1.1|31|0|2019/04/05 10:00:00"}},
            {"src/main.c",
             {"src/main.c|R2|1.3|14|core|2019/01/10 10:00:00|2019/04/10 10:00:00|0644"},
             {"src/main.c|R2|1.2.1.1|13|2019/03/10 10:00:00|R2_L1|2019/03/10 12:00:00",
              "src/main.c|R2|1.3|14|2019/04/10 10:00:00|R2_L2|2019/04/10 12:00:00"},
             {"1.1|11|0|2019/01/10 10:00:00", "1.2|12|11|2019/02/10 10:00:00", "1.2.1.1|13|12|2019/03/10 10:00:00",
              "1.3|14|12|2019/04/10 10:00:00", "1.2.1.2|15|13|2019/05/10 10:00:00"}},
         },
         "R1\n",
         "TYPES_BEGIN\n"
         "LBTYPE_BEGIN\nLbType 17:VANDOR-RELEASE-R2\nLBTYPE_END\n"
         "LBTYPE_BEGIN\nLbType 18:VANDOR-LEVEL-R2_L2\nLBTYPE_END\n"
         "LBTYPE_BEGIN\nLbType 18:VANDOR-LEVEL-R2_L1\nLBTYPE_END\n"
         "BRTYPE_BEGIN\nBrType 16:VANDOR-BRANCH-14\nBRTYPE_END\n"
         "TYPES_END\n",
         element("Name 16:docs/Read Me.txt", 33188, "1555754400",
                 version("VersionId 2:22", "1555754400",
                         "ExtractCmd 85:cmd /c File -extract \"docs/Read Me.txt\" -nokeys  -release R2  -version 1.2  -stdout >",
                         "Label 17:VANDOR-RELEASE-R2\nLabel 18:VANDOR-LEVEL-R2_L2\n")) +
         element("Name 14:include/defs.h", 33261, "1554458400",
                 version("VersionId 2:31", "1554458400",
                         "ExtractCmd 81:cmd /c File -extract include/defs.h -nokeys  -release R2  -version 1.1  -stdout >",
                         "Label 17:VANDOR-RELEASE-R2\nLabel 18:VANDOR-LEVEL-R2_L2\n")) +
         element("Name 10:src/main.c", 33188, "1552212000",
                 version("VersionId 2:12", "1549792800",
                         "ExtractCmd 77:cmd /c File -extract src/main.c -nokeys  -release R1  -version 1.2  -stdout >",
                         "SubBranch 16:VANDOR-BRANCH-14\n") +
                 version("VersionId 2:13", "1552212000",
                         "ExtractCmd 81:cmd /c File -extract src/main.c -nokeys  -release R2  -version 1.2.1.1  -stdout >",
                         "Label 17:VANDOR-RELEASE-R2\nLabel 18:VANDOR-LEVEL-R2_L1\n") +
                 version("VersionId 2:14", "1554890400",
                         "ExtractCmd 77:cmd /c File -extract src/main.c -nokeys  -release R2  -version 1.3  -stdout >",
                         "OnBranch 16:VANDOR-BRANCH-14\nLabel 17:VANDOR-RELEASE-R2\nLabel 18:VANDOR-LEVEL-R2_L2\n")),
         "\n\n\t\t Retrieving  ReleaseName for file: src/main.c and SID : 1.2\n\n",
         {compose_sid_release_command("1.2", "src/main.c")}},
    };
    platform::set_env("TZ", "UTC");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        InScratchDir scratch;
        ExportRun run = export_parts_of(c.kind, c.parts, c.lookupAnswer);
        EXPECT_EQ(run.exportText, globals(scratch.cwd(), c.kind == ServerKind::Corvane) + c.types + kDirs + c.elements);
        EXPECT_EQ(run.console, c.console);
        EXPECT_EQ(run.commands, c.commands);
        EXPECT_EQ(run.elements, 3);
        EXPECT_EQ(run.versions, 5);
    }
}
