// The element writer where no export of a server's reports reaches: an element too
// long to hold that fails after it began to go out, and values past every field width
// of the reports. Everything else is pinned by the whole export files of tests/e2e.
#include "element_writer.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

using test_support::InScratchDir;
using test_support::read_text;

/// A Corvane writer; made after the test's InScratchDir, whose folder it writes in.
struct WriterFixture : test_support::TestRun<> {
    WriterFixture() { settings.targetNT = false; }
    ExportIdentity identity{"joe", "joe", "dev", "box"};
    HistoryModel model{ServerKind::Corvane};
    ElementWriter writer{ctx, identity, model};
};

/// A version of `path` in release R1.
OrderedEntry entry(const std::string& path, const std::string& name, std::int64_t time) {
    OrderedEntry e;
    e.changeTime = time;
    e.revision = {path, "", name, "", "", ""};
    e.partRow = std::make_unique<PartFullViewRecord>();
    e.partRow->releasename = "R1";
    return e;
}

}  // namespace

TEST(ElementWriter, AFailedLongElementIsCutBackOffTheFile) {
    InScratchDir scratch;
    WriterFixture f;
    auto part = [&f](const std::string& path, int versions, bool end) {
        for (int i = 0; i < versions; ++i) {
            OrderedEntry e = entry(path, "r" + std::to_string(i), i);
            ASSERT_EQ(i == 0 ? f.writer.write_element_header(e) : 0, 0);
            ASSERT_EQ(f.writer.write_version_block(e), 0);
        }
        ASSERT_EQ(end ? f.writer.write_element_end() : 0, 0);
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
    WriterFixture f;
    f.identity = {};  // no lookup found anything: the fallbacks stand in
    // Past every field width the server's reports use: a 300-character path, labels
    // and a branch that agree in their first 70 characters.
    const std::string dir(250, 'd'), path = dir + "/" + std::string(49, 'f'), x(70, 'x');
    OrderedEntry e = entry(path, "r1", 1);
    e.labels = {x + "-one", x + "-two"};
    e.onbranch = true;
    e.branchPath = x + "/" + x + "b";
    ASSERT_EQ(f.writer.write_globals(), 0);
    ASSERT_EQ(f.writer.write_element_header(e), 0);
    ASSERT_EQ(f.writer.write_version_block(e), 0);
    ASSERT_EQ(f.writer.write_element_end(), 0);
    ASSERT_EQ(f.writer.combine_export_files(), 0);
    const std::string text = read_text("partsExport.txt");
    for (const std::string& line :
         {"Name 300:" + path, "DirName 250:" + dir, "Label 78:CVN-" + x + "-one", "Label 78:CVN-" + x + "-two",
          "LbType 78:CVN-" + x + "-one", "LbType 78:CVN-" + x + "-two",
          "OnBranch 164:CVN-BRANCH-" + x + "/CVN-BRANCH-" + x + "b", "BrType 82:CVN-BRANCH-" + x + "b",
          std::string("EventUser 5:guest\nEventGroup 5:staff\nEventName 5:guest\nEventHost 10:myhostname")})
        EXPECT_NE(text.find(line + "\n"), std::string::npos) << line;
}
