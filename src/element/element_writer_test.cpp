// Whole-file tests of the element import file, the saved files and the combining step.
#include "element_writer.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "lookups.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

using test_support::FakeShell;
using test_support::InScratchDir;
using test_support::read_text;
using test_support::write_text;

/// The global section as written from folder `cwd`.
std::string globals(const std::string& cwd, bool corvane) {
    return "EXPORT_FORMAT 5\nGLOBALS_BEGIN\nExportFromDir " + std::to_string(cwd.size()) + ":" +
           cwd + "\nNumElements 0\nNumVersions 0\n" +
           (corvane ? "ExporterKind 12\nNeedCmd 4:corv\n" : "ExporterKind 13\nNeedCmd 4:File\n") +
           "GLOBALS_END\n";
}

/// The event lines of the identity {"joe", "joe", "dev", "box"}, without the time.
constexpr const char* kIdentityLines =
    "EventUser 3:joe\nEventGroup 3:dev\nEventName 3:joe\nEventHost 3:box\n";

struct WriterFixture {
    explicit WriterFixture(ServerKind kind) : model(kind) {
        settings.serverKind = kind;
        identity = {"joe", "joe", "dev", "box"};
    }
    RunSettings settings;
    ExportIdentity identity;
    BufferConsole console;
    FakeShell shell;
    HistoryModel model{ServerKind::Corvane};
    ScratchFiles scratch;
    RunContext ctx{settings, console, shell, scratch};
    ElementWriter writer{ctx, identity, model};
};

OrderedEntry cvn_entry(std::string path, std::string name, std::int64_t time) {
    OrderedEntry e;
    e.changeTime = time;
    e.revision.nupathname = std::move(path);
    e.revision.revisionname = std::move(name);
    return e;
}

std::unique_ptr<PartFullViewRecord> cvn_row(std::string release, std::string workArea, std::string fmode) {
    auto r = std::make_unique<PartFullViewRecord>();
    r->releasename = std::move(release);
    r->workareaname = std::move(workArea);
    r->fmode = std::move(fmode);
    return r;
}

}  // namespace

TEST(ElementWriter, VandorExportWithoutTypesStillHasACompleteTypesSection) {
    InScratchDir scratch;
    WriterFixture f(ServerKind::Vandor);
    f.identity = {};  // nothing found: the fallbacks are written
    f.settings.outputFileName = "out.txt";
    f.settings.targetNT = false;
    OrderedEntry e;
    e.changeTime = 4102444800;  // 2100: past 32 bits
    e.version = {"lib/f.c", "1.1", "7", "0", ""};
    e.committedRow = std::make_unique<CommittedVersionRecord>();
    e.committedRow->releasename = "R1";
    e.committedRow->sid = "1.1";
    e.committedRow->fmode = "7";

    ASSERT_EQ(f.writer.write_globals(), 0);
    ASSERT_EQ(f.writer.write_element_header(e), 0);
    ASSERT_EQ(f.writer.write_version_block(e), 0);
    ASSERT_EQ(f.writer.write_element_end(), 0);
    ASSERT_EQ(f.writer.combine_export_files(), 0);

    std::string who = "EventUser 5:guest\nEventGroup 5:staff\nEventName 5:guest\nEventHost 10:myhostname\n";
    EXPECT_EQ(read_text("out.txt"), globals(scratch.cwd(), false) +
                                    "TYPES_BEGIN\nTYPES_END\n"
                                    "DIR_BEGIN\nDirName 1:.\nDIR_END\nDIR_BEGIN\nDirName 3:lib\nDIR_END\n"
                                    "ELEMENT_BEGIN\nName 7:lib/f.c\nMode 519\n" + who + "EventTime 4102444800\n"
                                    "VERSION_BEGIN\nVersionId 1:7\n" + who + "EventTime 4102444800\n"
                                    "ExtractCmd 67:File -extract lib/f.c -nokeys  -release R1  -version 1.1  -stdout >\n"
                                    "VERSION_END\nELEMENT_END\n");
    EXPECT_EQ(f.identity.hostName, "myhostname");
}

TEST(ElementWriter, ExtractCommandForms) {
    struct Case {
        const char* title;
        ServerKind kind;
        bool targetNT;
        bool crlf;
        std::string path;
        bool withRow;
        std::string answer;  // canned lookup answer when there is no row
        std::string expected;
    };
    const Case cases[] = {
        {"Vandor row without SID", ServerKind::Vandor, true, false, "f.c", true, "",
         "cmd /c File -extract f.c -nokeys  -release R1  -stdout >"},
        {"Vandor release looked up", ServerKind::Vandor, false, false, "f.c", false, "R5\n",
         "File -extract f.c -nokeys  -release R5  -version 2.3  -stdout >"},
        {"Corvane answer without a separator", ServerKind::Corvane, false, false, "a.c", false,
         "1.9\n", "corv Part -extract a.c -nokeys  -release   -version 1.9  -stdout >"},
    };
    for (const Case& c : cases) {
        InScratchDir scratch;
        WriterFixture f(c.kind);
        f.settings.targetNT = c.targetNT;
        f.settings.crlf = c.crlf;
        f.shell.answers[kSidScratchFile] = c.answer;
        f.shell.answers[kReleaseScratchFile] = c.answer;
        OrderedEntry e = cvn_entry(c.path, "r1", 1);
        e.version = {c.path, "2.3", "9", "0", ""};
        if (c.withRow) {
            e.partRow = cvn_row("R1", "w1", "");
            e.committedRow = std::make_unique<CommittedVersionRecord>();
            e.committedRow->releasename = "R1";
        }
        ASSERT_EQ(f.writer.write_element_header(e), 0) << c.title;
        ASSERT_EQ(f.writer.write_version_block(e), 0) << c.title << f.console.outText;
        ASSERT_EQ(f.writer.write_element_end(), 0) << c.title;
        std::string text = read_text(kVersionsScratchFile);
        EXPECT_NE(text.find(encode_text_line("ExtractCmd", c.expected)), std::string::npos)
            << c.title << "\n" << text;
    }
}

TEST(ElementWriter, BranchAndSubBranchLines) {
    struct Case {
        bool onbranch;
        std::string branchPath;
        std::vector<std::string> subbranches;
        std::string lines;  // branch lines of the version block
        std::string types;  // branch type blocks
    };
    const Case cases[] = {
        {true, "R1/R2", {}, "OnBranch 27:CVN-BRANCH-R1/CVN-BRANCH-R2\n",
         "BRTYPE_BEGIN\nBrType 13:CVN-BRANCH-R2\nBRTYPE_END\n"},
        {false, "b", {"b", "c", "CVN-BRANCH-d"}, "OnBranch 12:CVN-BRANCH-b\nSubBranch 12:CVN-BRANCH-c\nSubBranch 12:CVN-BRANCH-d\n",
         "BRTYPE_BEGIN\nBrType 12:CVN-BRANCH-b\nBRTYPE_END\n"},
        {true, "CVN-BRANCH-x", {}, "OnBranch 23:CVN-BRANCH-CVN-BRANCH-x\n",
         "BRTYPE_BEGIN\nBrType 12:CVN-BRANCH-x\nBRTYPE_END\n"},
        {false, "", {"s"}, "SubBranch 12:CVN-BRANCH-s\n", ""},
    };
    for (const Case& c : cases) {
        InScratchDir scratch;
        WriterFixture f(ServerKind::Corvane);
        f.settings.targetNT = false;
        OrderedEntry e = cvn_entry("a.c", "r1", 1);
        e.partRow = cvn_row("R1", "", "");
        e.onbranch = c.onbranch;
        e.branchPath = c.branchPath;
        e.subbranches = c.subbranches;
        ASSERT_EQ(f.writer.write_globals(), 0);
        ASSERT_EQ(f.writer.write_element_header(e), 0);
        ASSERT_EQ(f.writer.write_version_block(e), 0);
        ASSERT_EQ(f.writer.write_element_end(), 0);
        ASSERT_EQ(f.writer.combine_export_files(), 0);
        std::string text = read_text("partsExport.txt");
        std::string extract = "ExtractCmd 54:corv Part -extract a.c -nokeys  -release R1  -stdout >\n";
        EXPECT_NE(text.find(extract + c.lines + "VERSION_END\n"), std::string::npos) << c.branchPath << "\n" << text;
        EXPECT_NE(text.find("TYPES_BEGIN\n" + c.types + "TYPES_END\n"), std::string::npos) << c.branchPath;
        // A part at the top level declares no directory; the "." block is still there.
        EXPECT_EQ(read_text(kSavedDirsFile), "DIR_BEGIN\nDirName 1:.\nDIR_END\n");
    }
}

TEST(ElementWriter, ModesAndBranchForms) {
    struct ModeCase {
        const char* fmode;
        int mode;
    };
    for (const ModeCase& c : {ModeCase{"", 33188}, ModeCase{"755", 33261}, ModeCase{"0755", 33261},
                              ModeCase{"1755", 33188}, ModeCase{"00644", 33188}, ModeCase{"7", 519},
                              ModeCase{"64x", 4148}})
        EXPECT_EQ(element_mode(c.fmode), c.mode) << c.fmode;
    EXPECT_EQ(branch_form("a/b", "P-"), "P-a/P-b");
    EXPECT_EQ(branch_form("a", "P-"), "P-a");
    EXPECT_EQ(encode_text_line("Name", ""), "Name 0:\n");
    EXPECT_EQ(encode_text_line("Name", "a b|c\"d"), "Name 7:a b|c\"d\n");
}

TEST(ElementWriter, AFailedPartLeavesNothingAndAnUnendedElementIsReported) {
    InScratchDir scratch;
    WriterFixture f(ServerKind::Corvane);
    f.settings.targetNT = false;
    OrderedEntry bad =
        cvn_entry("bad/x.c", "r1", 1);  // its directory, label and branch are its own
    bad.partRow = cvn_row("R1", "", "");
    bad.labels = {"DRIVER-bad"};
    bad.onbranch = true;
    bad.branchPath = "b";
    OrderedEntry good = cvn_entry("good.c", "r2", 2);
    good.partRow = cvn_row("R1", "", "");
    good.labels = {"RELEASE-R1"};

    EXPECT_EQ(f.writer.write_element_end(), -1);  // nothing begun: nothing written
    EXPECT_EQ(f.writer.write_version_block(good), -1);
    ASSERT_EQ(f.writer.write_globals(), 0);
    ASSERT_EQ(f.writer.write_element_header(bad), 0);
    ASSERT_EQ(f.writer.write_version_block(bad), 0);
    f.writer.discard_element();  // the part failed after its first version
    ASSERT_EQ(f.writer.write_element_header(good), 0);
    ASSERT_EQ(f.writer.write_version_block(good), 0);
    ASSERT_EQ(f.writer.write_element_end(), 0);
    EXPECT_EQ(f.writer.write_element_end(), -1);  // a second end for the same part
    ASSERT_EQ(f.writer.write_element_header(bad), 0);
    ASSERT_EQ(f.writer.write_element_header(good), 0);  // bad.c: begun and never ended
    EXPECT_EQ(f.writer.combine_export_files(), -1);     // good.c: the same
    EXPECT_EQ(f.console.outText,
              "\n\nERROR:  Element Information must be written before Version information \n\n"
              "\n\nERROR:  The element of Part bad/x.c was begun but never ended\n\n"
              "\n\nERROR:  The element of Part good.c was begun but never ended\n\n");
    f.writer.discard_element();
    EXPECT_EQ(f.writer.elementCount(), 1);
    EXPECT_EQ(f.writer.versionCount(), 1);
    ASSERT_EQ(f.writer.combine_export_files(), 0);
    EXPECT_EQ(
        read_text("partsExport.txt"),
        globals(scratch.cwd(), true) +
            "TYPES_BEGIN\nLBTYPE_BEGIN\nLbType 14:CVN-RELEASE-R1\nLBTYPE_END\nTYPES_END\n" +
            "DIR_BEGIN\nDirName 1:.\nDIR_END\nELEMENT_BEGIN\nName 6:good.c\nMode 33188\n" +
            kIdentityLines + "EventTime 2\nVERSION_BEGIN\nVersionId 2:r2\n" + kIdentityLines +
            "EventTime 2\nExtractCmd 57:corv Part -extract good.c -nokeys  -release R1  -stdout >\n"
            "Label 14:CVN-RELEASE-R1\nVERSION_END\nELEMENT_END\n");
}

TEST(ElementWriter, FailedCombineLeavesTheEarlierExportUntouched) {
    struct Case {
        const char* title;
        bool globals;
        bool element;
        std::string console;
    };
    const Case cases[] = {
        {"nothing written", false, false,
         "\n\nERROR:\t No Label Information Found in File: labelstmpfile000.tmp: \n\n"},
        {"globals but no element", true, false,
         "\n\nERROR:  No Versions Information Found in File: versionstmpfile000.tmp: \n\n"},
    };
    for (const Case& c : cases) {
        InScratchDir scratch;
        write_text("partsExport.txt", "earlier\n");
        // Scratch files left by an earlier run are not taken for this run's.
        write_text(kLabelsScratchFile, "stale\n");
        write_text(kVersionsScratchFile, "stale\n");
        WriterFixture f(ServerKind::Corvane);
        if (c.globals) {
            ASSERT_EQ(f.writer.write_globals(), 0);
        }
        EXPECT_EQ(f.writer.combine_export_files(), -1) << c.title;
        EXPECT_EQ(f.console.outText, c.console) << c.title;
        EXPECT_EQ(read_text("partsExport.txt"), "earlier\n") << c.title;
        EXPECT_FALSE(fs::exists("partsExport.txt.tmp")) << c.title;
    }
}

TEST(ElementWriter, LookupFailureEndsTheVersionBlock) {
    InScratchDir scratch;
    WriterFixture f(ServerKind::Vandor);
    f.shell.answers[kReleaseScratchFile] = "";
    OrderedEntry e;
    e.version = {"f.c", "2.3", "9", "0", ""};
    ASSERT_EQ(f.writer.write_element_header(e), 0);
    EXPECT_EQ(f.writer.write_version_block(e), -1);
    EXPECT_EQ(f.console.outText,
              "\n\n\t\t Retrieving  ReleaseName for file: f.c and SID : 2.3\n\n"
              "\n\nERROR:  Can't retrieve the Release for file: f.c and sid: 2.3\n\n"
              "\n\nERROR:  Can't retrieve the Release for file: f.c and sid: 2.3\n\n");
    EXPECT_TRUE(fs::exists(kReleaseScratchFile));  // kept for a look at the answer
}

TEST(ElementWriter, AFailedLongElementIsCutBackOffTheFile) {
    InScratchDir scratch;
    WriterFixture f(ServerKind::Corvane);
    f.settings.targetNT = false;
    auto part = [&f](const std::string& path, int versions, bool end) {
        for (int i = 0; i < versions; ++i) {
            OrderedEntry e = cvn_entry(path, "r" + std::to_string(i), i);
            e.partRow = cvn_row("R1", "", "");
            if (i == 0) {
                ASSERT_EQ(f.writer.write_element_header(e), 0);
            }
            ASSERT_EQ(f.writer.write_version_block(e), 0);
        }
        if (end) {
            ASSERT_EQ(f.writer.write_element_end(), 0);
        }
    };
    ASSERT_EQ(f.writer.write_globals(), 0);
    part("first.c", 2, true);
    part("long.c", 5000, false);  // well past what is held in memory at once
    f.writer.discard_element();
    part("last.c", 1, true);
    EXPECT_EQ(f.writer.elementCount(), 2);
    EXPECT_EQ(f.writer.versionCount(), 3);
    ASSERT_EQ(f.writer.combine_export_files(), 0);
    std::string text = read_text("partsExport.txt");
    EXPECT_EQ(text.find("long.c"), std::string::npos);
    std::string tail = text.substr(text.find("ELEMENT_BEGIN\nName 7:first.c"));
    EXPECT_EQ(tail.find("ELEMENT_BEGIN\nName 6:last.c"), tail.find("ELEMENT_END\n") + 12);
    EXPECT_EQ(tail.size() - tail.rfind("ELEMENT_END\n"), 12u);
}

TEST(ElementWriter, LongValuesAreCarriedWholeAndStayDistinct) {
    InScratchDir scratch;
    WriterFixture f(ServerKind::Corvane);
    f.settings.targetNT = false;
    // Past every field width the server's reports use: a 300-character path, labels
    // and a branch that agree in their first 70 characters.
    std::string dir(250, 'd');
    std::string path = dir + "/" + std::string(49, 'f');
    std::string common(70, 'x');
    OrderedEntry e = cvn_entry(path, "r1", 1);
    e.partRow = cvn_row("R1", "", "");
    e.labels = {common + "-one", common + "-two"};
    e.onbranch = true;
    e.branchPath = common + "/" + common + "b";
    ASSERT_EQ(f.writer.write_globals(), 0);
    ASSERT_EQ(f.writer.write_element_header(e), 0);
    ASSERT_EQ(f.writer.write_version_block(e), 0);
    ASSERT_EQ(f.writer.write_element_end(), 0);
    ASSERT_EQ(f.writer.combine_export_files(), 0);
    std::string text = read_text("partsExport.txt");
    for (const std::string& line :
         {encode_text_line("Name", path), encode_text_line("DirName", dir),
          encode_text_line("Label", "CVN-" + common + "-one"), encode_text_line("Label", "CVN-" + common + "-two"),
          encode_text_line("LbType", "CVN-" + common + "-one"), encode_text_line("LbType", "CVN-" + common + "-two"),
          encode_text_line("OnBranch", "CVN-BRANCH-" + common + "/CVN-BRANCH-" + common + "b"),
          encode_text_line("BrType", "CVN-BRANCH-" + common + "b")})
        EXPECT_NE(text.find(line), std::string::npos) << line;
    EXPECT_EQ(path.size(), 300u);
}
