// The five history steps on small histories of both kinds: marks, branches, labels,
// order, "-since", failures, and the change-time conversion.
#include "revision_tree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform.h"

namespace {

/// Records what the steps hand to the writer, one line per call.
class RecordingSink : public VersionSink {
public:
    bool globals_written() const override { return globals; }
    int write_globals() override {
        log += "globals\n";
        if (failGlobals) return -1;
        globals = true;
        return 0;
    }
    int write_element_header(const OrderedEntry& e) override {
        log += "header " + name(e) + "\n";
        return 0;
    }
    int write_version_block(const OrderedEntry& e) override {
        log += "version " + name(e) + "\n";
        return failVersion == name(e) ? 1 : 0;
    }
    static std::string name(const OrderedEntry& e) {
        return e.revision.revisionname.empty() ? e.version.id : e.revision.revisionname;
    }
    bool globals = false;
    bool failGlobals = false;
    std::string failVersion;
    std::string log;
};

std::string join(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& n : names) text += (text.empty() ? "" : ",") + n;
    return text;
}

/// One line per ordered entry: name, onbranch, branch path, sub-branches, labels,
/// and whether a part row came with it.
std::string describe(const std::vector<OrderedEntry>& ordered) {
    std::string text;
    for (const OrderedEntry& e : ordered) {
        bool row = e.partRow || e.committedRow;
        text += RecordingSink::name(e) + " on=" + (e.onbranch ? "1" : "0") + " path=" + e.branchPath +
                " sub=" + join(e.subbranches) + " labels=" + join(e.labels) + (row ? " row" : "") + "\n";
    }
    return text;
}

std::string day(int d) {
    char text[32];
    std::snprintf(text, sizeof text, "2020/01/%02d 10:00:00", d);
    return text;
}

/// Runs steps 1 to 4 on a model and describes the ordered list.
struct Harness {
    explicit Harness(ServerKind kind) : model(kind) { settings.serverKind = kind; }

    void version(const std::string& id, const std::string& previous, int d) {
        model.append_revision(VersionRecord{"lib/f.c", "1." + id, id, previous, day(d)});
    }
    void committed(const std::string& id, const std::string& release, const std::string& level = "") {
        CommittedVersionRecord r;
        r.pathname = "lib/f.c";
        r.releasename = release;
        r.sid = "1." + id;
        r.versionid = id;
        r.levelname = level;
        r.compname = "core";
        model.append_part_row(r);
    }
    void revision(const std::string& name, const std::string& ancestor, int d) {
        model.append_revision(RevisionRecord{"src/a.c", day(d), name, ancestor, "", "s" + name});
    }
    void partRow(const std::string& name, const std::string& release, const std::string& workArea = "") {
        model.append_part_row(PartFullViewRecord{"src/a.c", release, workArea, "joe", name, "", "", "s" + name});
    }
    int order() {
        for (auto step : {link_ancestors, find_all_children, mark_important_nodes, create_ordered_list})
            if (int rc = step(steps); rc != 0) return rc;
        return 0;
    }

    HistoryModel model;
    RunSettings settings;
    BufferConsole console;
    RecordingSink sink;
    HistorySteps steps{model, settings, console, sink};
};

}  // namespace

TEST(HistorySteps, VandorBranchPointBetweenMarkedVersions) {
    // 1 -> 2 -> 3 and 2 -> 4; rows for 1, 3 and 4: 2 becomes the branch point.
    Harness h(ServerKind::Vandor);
    h.version("1", "0", 1);
    h.version("2", "1", 2);
    h.version("3", "2", 3);
    h.version("4", "2", 4);
    h.committed("1", "R1", "dev");
    h.committed("3", "R1");
    h.committed("4", "R2", "prod");
    ASSERT_EQ(h.order(), 0);
    EXPECT_EQ(describe(h.model.ordered()),
              "1 on=0 path= sub= labels=RELEASE-R1,LEVEL-dev row\n"
              "2 on=0 path= sub=4 labels=\n"
              "3 on=0 path= sub= labels=RELEASE-R1 row\n"
              "4 on=1 path=4 sub= labels=RELEASE-R2,LEVEL-prod row\n");

    ASSERT_EQ(write_ordered_list(h.steps), 0);
    EXPECT_EQ(h.sink.log, "globals\nheader 1\nversion 1\nversion 2\nversion 3\nversion 4\n");
    EXPECT_TRUE(h.model.revisions().empty());  // the part's lists are released
    EXPECT_EQ(h.console.outText, "");
}

TEST(HistorySteps, NestedBranchesAndAnUnmarkedTopThatStaysOut) {
    // 1 -> 2 -> 3, 2 -> 4 -> 5, 4 -> 6; rows for 3, 5 and 6. 1 has a single child
    // with marks below, so it is not written; 2 and 4 are branch points.
    Harness h(ServerKind::Vandor);
    for (int i = 1; i <= 6; ++i) {
        static const char* parents[] = {"0", "1", "2", "2", "4", "4"};
        h.version(std::to_string(i), parents[i - 1], i);
    }
    h.settings.levelLabels = false;
    h.committed("3", "R1", "dev");
    h.committed("5", "R1");
    h.committed("6", "R2");
    ASSERT_EQ(h.order(), 0);
    EXPECT_EQ(describe(h.model.ordered()),
              "2 on=0 path= sub=4 labels=\n"
              "3 on=0 path= sub= labels=RELEASE-R1 row\n"
              "4 on=1 path=4 sub=6 labels=\n"
              "5 on=0 path=4 sub= labels=RELEASE-R1 row\n"
              "6 on=1 path=4/6 sub= labels=RELEASE-R2 row\n");
}

TEST(HistorySteps, TwoRowsOnOneVersionKeepTheFirstRowAndTheLabelsOfBoth) {
    Harness h(ServerKind::Corvane);
    h.revision("r1", "", 1);
    h.partRow("r1", "R1", "w1");
    h.partRow("r1", "R2", "w1");
    h.partRow("r1", "R1", "");
    ASSERT_EQ(h.order(), 0);
    EXPECT_EQ(describe(h.model.ordered()), "r1 on=0 path= sub= labels=RELEASE-R1,DRIVER-w1,RELEASE-R2 row\n");
    EXPECT_EQ(h.model.ordered()[0].partRow->releasename, "R1");
}

TEST(HistorySteps, VandorLabelRulesFollowTheRunsFlags) {
    Harness vdr(ServerKind::Vandor);
    vdr.settings.sidLabels = true;
    vdr.settings.componentLabels = true;
    vdr.version("1", "0", 1);
    vdr.committed("1", "R1", "qa");
    ASSERT_EQ(vdr.order(), 0);
    EXPECT_EQ(join(vdr.model.ordered()[0].labels), "RELEASE-R1,SID-1.1,COMPONENT-core,LEVEL-qa");
}

TEST(HistorySteps, OrderIsByTimeWithTiesInListOrder) {
    Harness h(ServerKind::Vandor);
    h.version("1", "0", 5);
    h.version("2", "0", 3);
    h.version("3", "0", 5);
    h.version("4", "0", 1);
    h.model.append_revision(VersionRecord{"lib/f.c", "", "5", "0", ""});  // no date at all
    for (const char* id : {"1", "2", "3", "4", "5"}) h.committed(id, "R1");
    ASSERT_EQ(h.order(), 0);
    std::string order;
    for (const OrderedEntry& e : h.model.ordered()) order += e.version.id;
    EXPECT_EQ(order, "54213");
    EXPECT_EQ(h.model.ordered()[0].changeTime, -1);
}

TEST(HistorySteps, SinceKeepsVersionsFromThatTimeOn) {
    struct Case {
        const char* since;
        std::string versions;
    };
    const Case cases[] = {{"", "123"}, {"2020/01/02 10:00:00", "23"}, {"2020/01/02 10:00:01", "3"}};
    for (const Case& c : cases) {
        Harness h(ServerKind::Vandor);
        h.settings.sinceDate = c.since;
        for (int i = 1; i <= 3; ++i) h.version(std::to_string(i), i == 1 ? "0" : std::to_string(i - 1), i);
        for (const char* id : {"1", "2", "3"}) h.committed(id, "R1");
        ASSERT_EQ(h.order(), 0);
        std::string kept;
        for (const OrderedEntry& e : h.model.ordered()) kept += e.version.id;
        EXPECT_EQ(kept, c.versions) << c.since;
    }
}

TEST(HistorySteps, HeaderIsTheFirstEntryWithAReleaseElseTheLast) {
    Harness h(ServerKind::Vandor);
    h.version("1", "0", 1);
    h.version("2", "1", 2);
    h.version("3", "2", 3);
    h.committed("1", "");
    h.committed("2", "R2");
    h.committed("3", "R3");
    ASSERT_EQ(run_history_steps(h.steps), 0);
    EXPECT_EQ(h.sink.log, "globals\nheader 2\nversion 1\nversion 2\nversion 3\n");

    Harness none(ServerKind::Vandor);
    none.version("1", "0", 1);
    none.version("2", "1", 2);
    none.committed("1", "");
    none.committed("2", "");
    none.sink.globals = true;  // written by an earlier part: not written again
    ASSERT_EQ(run_history_steps(none.steps), 0);
    EXPECT_EQ(none.sink.log, "header 2\nversion 1\nversion 2\n");
}

TEST(HistorySteps, AnyNumberOfChildrenPerNode) {
    Harness h(ServerKind::Vandor);
    h.version("root", "0", 1);
    std::string expectedSubs;
    for (int i = 0; i < 40; ++i) {
        std::string id = "c" + std::to_string(i);
        h.version(id, "root", 2);
        h.committed(id, "R1");
        if (i > 0) expectedSubs += (expectedSubs.empty() ? "" : ",") + id;
    }
    ASSERT_EQ(h.order(), 0);
    ASSERT_EQ(h.model.ordered().size(), 41u);
    EXPECT_EQ(h.model.revisions()[0].childCount(), 40u);
    EXPECT_EQ(join(h.model.ordered()[0].subbranches), expectedSubs);
    EXPECT_EQ(h.model.ordered()[40].branchPath, "c39");
    EXPECT_TRUE(h.model.ordered()[40].onbranch);
}

TEST(HistorySteps, FailuresNameTheirStepAndStopThePart) {
    struct Case {
        const char* title;
        ServerKind kind;
        std::vector<std::vector<std::string>> revisions;  // name, ancestor
        std::vector<std::string> rows;                    // names the part rows match
        std::string console;
        std::string sinkLog;
    };
    const Case cases[] = {
        {"a Vandor row naming no version", ServerKind::Vandor,
         {{"1", "0"}}, {"9"},
         "\n\nERROR:  VersionID 9 not found in Versions Tree \n\n"
         "\n\nERROR:  Error in mark_important_nodes()\n\n", ""},
        {"a version that is its own parent", ServerKind::Vandor,
         {{"1", "1"}}, {"1"},
         "\n\nERROR:  Version 1 is its own ancestor\n\n"
         "\n\nERROR:\t Error in link_ancestors()\n\n", ""},
        {"a cycle through three revisions", ServerKind::Corvane,
         {{"r1", "r3"}, {"r2", "r1"}, {"r3", "r2"}, {"r0", ""}}, {"r2"},
         "\n\nERROR:  Revision r1 is its own ancestor\n\n"
         "\n\nERROR:\t Error in link_ancestors()\n\n", ""},
        {"a cycle only repeated names make", ServerKind::Corvane,
         {{"x", ""}, {"y", "x"}, {"x", "y"}}, {"y"},
         "\n\nERROR:  Revision y descends from itself\n\n"
         "\n\nERROR:\tError in find_all_children()\n\n", ""},
    };
    for (const Case& c : cases) {
        Harness h(c.kind);
        for (const auto& r : c.revisions) {
            if (c.kind == ServerKind::Corvane)
                h.revision(r[0], r[1], 1);
            else
                h.version(r[0], r[1], 1);
        }
        for (const std::string& row : c.rows) {
            if (c.kind == ServerKind::Corvane)
                h.partRow(row, "R1");
            else
                h.committed(row, "R1");
        }
        EXPECT_EQ(run_history_steps(h.steps), -1) << c.title;
        EXPECT_EQ(h.console.outText, c.console) << c.title;
        EXPECT_EQ(h.sink.log, c.sinkLog) << c.title;
    }
}

TEST(HistorySteps, WriterFailuresEndTheStep) {
    Harness globals(ServerKind::Vandor);
    globals.sink.failGlobals = true;
    globals.version("1", "0", 1);
    globals.committed("1", "R1");
    EXPECT_EQ(run_history_steps(globals.steps), -1);
    EXPECT_EQ(globals.console.outText,
              "\n\nERROR:\t Globals Not Written\n\n\n\nERROR:  Error in write_ordered_list()\n\n");
    EXPECT_FALSE(globals.sink.globals);  // the next part tries again

    Harness version(ServerKind::Vandor);
    version.sink.failVersion = "1";
    version.version("1", "0", 1);
    version.version("2", "1", 2);
    version.committed("1", "R1");
    version.committed("2", "R1");
    EXPECT_EQ(run_history_steps(version.steps), 1);  // the writer's own result
    EXPECT_EQ(version.sink.log, "globals\nheader 1\nversion 1\n");
    EXPECT_EQ(version.console.outText, "\n\nERROR:  Error in write_ordered_list()\n\n");
    EXPECT_FALSE(version.model.revisions().empty());  // left for the caller to empty
}

TEST(ParseChangeTime, ReadsFixedPositionsAsLocalTime) {
    platform::set_env("TZ", "UTC");
    struct Case {
        const char* text;
        std::int64_t seconds;
    };
    const Case cases[] = {
        {"2020/01/01 00:00:00", 1577836800},
        {"2020/01/02 03:04:05", 1577934245},
        {"2020-01-02T03:04:05", 1577934245},  // any character may stand between fields
        {"2020/ 1/ 2  3: 4: 5", 1577934245},  // leading blanks as atoi skips them
        {"2020/13/01 00:00:00", 1609459200},  // out-of-range fields roll over
        {"2038/01/19 03:14:08", 2147483648},  // past 32 bits
        {"2040/06/01 12:00:00", 2222164800},
        {"2020/01/01", 1577836800},           // missing time reads as midnight
        {"1969/12/31 23:59:59", -1},          // before the epoch: not converted
        {"", -1},
        {"garbage", -1},
    };
    for (const Case& c : cases) EXPECT_EQ(parse_change_time(c.text), c.seconds) << c.text;
}
