// The history steps where no export of a server's reports reaches: a long history walked
// without recursion, many children, and the change-time conversion at its edges.
// Everything else, histories that close on themselves included, is pinned by the whole
// export files of tests/e2e.
#include "revision_tree.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform.h"

namespace {

/// Takes every call as written.
class NullSink : public VersionSink {
public:
    bool globals_written() const override { return true; }
    int write_globals() override { return 0; }
    int write_element_header(const OrderedEntry&) override { return 0; }
    int write_version_block(const OrderedEntry&) override { return 0; }
};

struct Harness {
    explicit Harness(ServerKind kind) : model(kind) { settings.serverKind = kind; }
    /// A version (Vandor) or revision (Corvane) and a part row that marks it.
    void add(const std::string& name, const std::string& parent, bool marked = true) {
        if (model.kind() == ServerKind::Vandor) {
            model.append_revision(VersionRecord{"f.c", "1." + name, name, parent, "2020/01/01 10:00:00"});
            if (marked) model.append_part_row(CommittedVersionRecord{"f.c", "R1", "", "", "", "", "", "", name});
        } else {
            model.append_revision(RevisionRecord{"f.c", "2020/01/01 10:00:00", name, parent, "", "s" + name});
            if (marked) model.append_part_row(PartFullViewRecord{"f.c", "R1", "", "", name, "", "", "s" + name});
        }
    }
    HistoryModel model;
    RunSettings settings;
    BufferConsole console;
    NullSink sink;
    HistorySteps steps{model, settings, console, sink};
};

}  // namespace

TEST(HistorySteps, LongHistoriesAndWideForksAreWalkedWhole) {
    // 100,000 versions in one line, the first and the last marked: every walk is a
    // loop, not a recursion that the line would take past the stack.
    Harness line(ServerKind::Vandor);
    line.add("v0", "0");
    for (int i = 1; i < 100000; ++i) line.add("v" + std::to_string(i), "v" + std::to_string(i - 1), i == 99999);
    ASSERT_EQ(run_history_steps(line.steps), 0);
    EXPECT_EQ(line.console.outText, "");
    // 40 children of one version, more than a fixed table of children would hold.
    Harness fork(ServerKind::Corvane);
    fork.add("root", "", false);
    for (int i = 0; i < 40; ++i) fork.add("c" + std::to_string(i), "root");
    for (auto step : {link_ancestors, find_all_children, mark_important_nodes, create_ordered_list})
        ASSERT_EQ(step(fork.steps), 0);
    ASSERT_EQ(fork.model.ordered().size(), 41u);
    EXPECT_EQ(fork.model.ordered()[0].subbranches.size(), 39u);
    EXPECT_EQ(fork.model.ordered()[40].branchPath, "c39");
}

TEST(ParseChangeTime, ReadsFixedPositionsAsLocalTime) {
    const std::optional<std::string> zone = platform::get_env("TZ");  // put back at the end
    platform::set_env("TZ", "UTC");
    const std::pair<const char*, std::int64_t> cases[] = {
        {"2020/01/02 03:04:05", 1577934245},
        {"2020-01-02T03:04:05", 1577934245},  // any character may stand between fields
        {"2020/ 1/ 2  3: 4: 5", 1577934245},  // leading blanks as atoi skips them
        {"2020/13/01 00:00:00", 1609459200},  // out-of-range fields roll over
        {"2038/01/19 03:14:08", 2147483648},  // past 32 bits
        {"2020/01/01", 1577836800},           // missing time reads as midnight
        {"1969/12/31 23:59:59", -1},          // before the epoch: not converted
        {"garbage", -1},
    };
    for (const auto& [text, seconds] : cases) EXPECT_EQ(parse_change_time(text), seconds) << text;
    if (zone) platform::set_env("TZ", *zone);
    else ::unsetenv("TZ");
}
