// HistoryModel: appends per kind, first-match searches, labels, sub-branches, registries.
#include "history_model.h"

#include <gtest/gtest.h>

namespace {

RevisionRecord rev(std::string name, std::string ancestor, std::string source) {
    RevisionRecord r;
    r.nupathname = "src/a.c";
    r.revisionname = std::move(name);
    r.ancestorrevision = std::move(ancestor);
    r.sourceid = std::move(source);
    return r;
}

PartFullViewRecord pfv(std::string release, std::string revisionName = "") {
    PartFullViewRecord r;
    r.nupathname = "src/a.c";
    r.releasename = std::move(release);
    r.revisionname = std::move(revisionName);
    return r;
}

VersionRecord ver(std::string id, std::string previous) {
    return {"src/a.c", "sid" + id, std::move(id), std::move(previous), ""};
}

}  // namespace

TEST(HistoryModel, AppendsOnlyRowsOfItsKindAndSkipsVersionZero) {
    HistoryModel cvn(ServerKind::Corvane);
    EXPECT_EQ(cvn.append_part_row(pfv("R1")), 0);
    EXPECT_EQ(cvn.append_part_row(CommittedVersionRecord{}), -1);
    EXPECT_EQ(cvn.append_revision(VersionRecord{}), -1);
    EXPECT_EQ(cvn.partRows().size(), 1u);
    EXPECT_TRUE(cvn.partRows()[0].partRow && !cvn.partRows()[0].committedRow);

    HistoryModel vdr(ServerKind::Vandor);
    CommittedVersionRecord zero;
    zero.versionid = "0";
    CommittedVersionRecord seven;
    seven.versionid = "7";
    EXPECT_EQ(vdr.append_part_row(zero), 0);
    EXPECT_EQ(vdr.append_part_row(seven), 0);
    EXPECT_EQ(vdr.append_part_row(PartFullViewRecord{}), -1);
    ASSERT_EQ(vdr.partRows().size(), 1u);
    EXPECT_EQ(vdr.partRows()[0].committedRow->versionid, "7");
}

TEST(HistoryModel, SearchesReturnTheMatchNearestTheFront) {
    HistoryModel m(ServerKind::Corvane);
    m.append_revision(rev("r3", "r2", "s3"));
    m.append_revision(rev("r2", "r1", "s2"));
    m.append_revision(rev("r2", "r1", "s2b"));  // a repeated name
    m.append_revision(rev("r1", "", "s1"));
    m.append_revision(rev("r4", "r2", "s2"));    // a repeated source id
    m.append_revision(rev("", "", "s0"));

    struct Case {
        const char* name;
        std::size_t byName;
    };
    for (const Case& c : {Case{"r2", 1}, Case{"r1", 3}, Case{"r9", kNoNode}, Case{"", kNoNode}})
        EXPECT_EQ(m.find_revision_by_name(c.name), c.byName) << c.name;
    EXPECT_EQ(m.find_revision_by_source("s2"), 1u);
    EXPECT_EQ(m.find_revision_by_source("s2b"), 2u);
    EXPECT_EQ(m.find_revision_by_source("nothing"), kNoNode);

    // Children of r2 from each start; roots (empty ancestor) are nobody's child, not
    // even of the node with the empty name.
    EXPECT_EQ(m.find_child_from("r2", 0), 0u);
    EXPECT_EQ(m.find_child_from("r2", 1), 4u);
    EXPECT_EQ(m.find_child_from("r2", 5), kNoNode);
    EXPECT_EQ(m.find_child_from("", 0), kNoNode);
    EXPECT_EQ(m.find_child_from("r1", 0), 1u);
    EXPECT_EQ(m.find_child_from("r1", 2), 2u);

    m.append_part_row(pfv("R1", "r2"));
    m.append_part_row(pfv("R2", "r1"));
    m.append_part_row(pfv("R3", "r2"));
    EXPECT_EQ(m.find_part_row_from("r2", 0), 0u);
    EXPECT_EQ(m.find_part_row_from("r2", 1), 2u);
    EXPECT_EQ(m.find_part_row_from("r2", 3), kNoNode);
}

TEST(HistoryModel, VandorRootsAndKeysFollowTheRoleTable) {
    HistoryModel m(ServerKind::Vandor);
    m.append_revision(ver("1", "0"));
    m.append_revision(ver("2", "1"));
    m.append_revision(ver("0", "0"));  // a node named "0" still gets no roots as children
    const RoleTable& roles = m.roles();
    EXPECT_TRUE(roles.isRoot(m.revisions()[0]));
    EXPECT_FALSE(roles.isRoot(m.revisions()[1]));
    EXPECT_EQ(roles.ancestorKey(m.revisions()[1]), "1");
    EXPECT_EQ(m.find_child_from("0", 0), kNoNode);
    EXPECT_EQ(m.find_child_from("1", 0), 1u);
    EXPECT_EQ(m.find_revision_by_source("2"), 1u);  // a version's match key is its id

    // The change date falls back to the matched row's commit date.
    RevisionNode& node = m.revisions()[0];
    EXPECT_EQ(roles.changeDate(node), "");
    node.committedRow = std::make_unique<CommittedVersionRecord>();
    node.committedRow->commitdate = "2020/01/01 00:00:00";
    EXPECT_EQ(roles.changeDate(node), "2020/01/01 00:00:00");
    node.version.changedate = "2021/01/01 00:00:00";
    EXPECT_EQ(roles.changeDate(node), "2021/01/01 00:00:00");

    RevisionNode cvn;
    cvn.revision.nuadddate = "2019/05/05 05:05:05";
    EXPECT_EQ(role_table(ServerKind::Corvane).changeDate(cvn), "2019/05/05 05:05:05");
}

TEST(HistoryModel, LabelsAreKeptOnceInOrder) {
    RevisionNode node;
    struct Case {
        const char* label;
        int result;
    };
    for (const Case& c : {Case{"RELEASE-R1", 0}, Case{"", 0}, Case{"DRIVER-w", 0}, Case{"RELEASE-R1", 1}})
        EXPECT_EQ(HistoryModel::add_label(node, c.label), c.result) << c.label;
    EXPECT_EQ(node.labels.names(), (std::vector<std::string>{"RELEASE-R1", "DRIVER-w"}));

    // Long lists switch to an index; order and uniqueness must survive the switch.
    RevisionNode many;
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < 100; ++i) HistoryModel::add_label(many, "L" + std::to_string(i));
    ASSERT_EQ(many.labels.size(), 100u);
    EXPECT_EQ(many.labels.names()[0], "L0");
    EXPECT_EQ(many.labels.names()[99], "L99");
    EXPECT_EQ(HistoryModel::add_label(many, "L50"), 1);
}

TEST(HistoryModel, SubBranchesKeepLeavesOtherThanTheNodesOwn) {
    struct Case {
        std::string ownPath;
        std::vector<std::string> added;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"", {"a/b", "c/b"}, {"b"}},
        {"", {"x", "", "y", "x"}, {"x", "y"}},
        {"main/b", {"b", "q/b", "c"}, {"c"}},  // the node's own leaf is never a sub-branch
        {"b", {"a/b/c"}, {"c"}},
    };
    for (const Case& c : cases) {
        RevisionNode node;
        node.branchPath = c.ownPath;
        for (const std::string& path : c.added) EXPECT_EQ(HistoryModel::add_subbranch(node, path), 0);
        EXPECT_EQ(node.subbranches.names(), c.expected) << c.ownPath;
    }
}

TEST(HistoryModel, RegistriesShareDeclaredNamesAndKeepBranchLeaves) {
    HistoryModel m(ServerKind::Corvane);
    EXPECT_EQ(m.register_declared_name(""), 1);
    EXPECT_EQ(m.register_declared_name("src"), 0);
    EXPECT_EQ(m.register_declared_name("src"), 1);  // later met as a label name
    EXPECT_EQ(m.register_declared_name("Src"), 0);  // comparisons are case-sensitive
    EXPECT_EQ(m.register_branch_type("x/y/R1"), 0);
    EXPECT_EQ(m.register_branch_type("R1"), 1);
    EXPECT_EQ(m.register_branch_type("R2"), 0);

    m.append_revision(rev("r1", "", "s1"));
    m.append_part_row(pfv("R1"));
    m.release_history(false);
    EXPECT_TRUE(m.revisions().empty());
    EXPECT_TRUE(m.partRows().empty());
    EXPECT_EQ(m.find_revision_by_name("r1"), kNoNode);  // indexes go with the lists
    EXPECT_EQ(m.register_declared_name("src"), 1);     // registries live on
    EXPECT_EQ(m.register_branch_type("R2"), 1);

    m.release_history(true);
    EXPECT_EQ(m.declaredNameCount(), 0u);
    EXPECT_EQ(m.register_declared_name("src"), 0);
    EXPECT_EQ(m.register_branch_type("R2"), 0);
}

TEST(HistoryRows, ParseEachReportsColumnsIntoItsFields) {
    // Corvane rows are read back whole by the parts exports; a short one stays short.
    PartFullViewRecord shortRow = parse_part_row("src/b.c|R2");
    EXPECT_EQ(shortRow.releasename, "R2");
    EXPECT_EQ(shortRow.sourceid, "");

    auto fileview = parse_committed_row("f.c|R1|1.3|42|comp|2020/01/01|2020/02/02|644", 0);
    ASSERT_TRUE(fileview);
    EXPECT_EQ(fileview->sid, "1.3");
    EXPECT_EQ(fileview->versionid, "42");
    EXPECT_EQ(fileview->compname, "comp");
    EXPECT_EQ(fileview->commitdate, "2020/01/01");
    EXPECT_EQ(fileview->changedate, "2020/02/02");
    EXPECT_EQ(fileview->fmode, "644");
    auto committed = parse_committed_row("f.c|R1|1.3|42|2020/02/02|prod|2020/03/03", 1);
    ASSERT_TRUE(committed);
    EXPECT_EQ(committed->changedate, "2020/02/02");
    EXPECT_EQ(committed->levelname, "prod");
    EXPECT_EQ(committed->commitdate, "2020/03/03");
    EXPECT_EQ(committed->compname, "");
    EXPECT_FALSE(parse_committed_row("f.c", 2));

    VersionRecord v = parse_version_row("1.3|42|41|2020/02/02 00:00:00", "f.c");
    EXPECT_EQ(v.pathname, "f.c");
    EXPECT_EQ(v.previousid, "41");
}
