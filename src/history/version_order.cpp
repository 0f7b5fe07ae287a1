// The history step that orders one part's marked versions: branch paths and the order by
// effective time (writing them: version_writing.cpp).
#include "revision_tree.h"

#include <algorithm>
#include <climits>
#include <ctime>
#include <limits>
#include <optional>
#include <queue>
#include <string>
#include <vector>

#include "number_text.h"

namespace {

/// Hands branch paths down the tree: the second and later children with marked
/// descendants start branches; important nodes collect their children's branches as
/// sub-branches. Iterative for the same reason as mark_branch_points.
void assign_branch_paths(HistorySteps& s, std::size_t head) {
    std::vector<RevisionNode>& revs = s.model.revisions();
    struct Frame {
        std::size_t node;
        std::optional<std::string> pathOn;
        bool childFlag;
        int counted = 0;
        std::size_t pos = 0;
        std::size_t lastChild = kNoNode;
    };
    std::vector<Frame> stack;
    auto enter = [&](std::size_t index, std::optional<std::string> path, bool flag) {
        RevisionNode& n = revs[index];
        if (n.important) {
            if (path) n.branchPath = *path;
            n.onbranch = flag;
            if (flag) {
                std::string name(s.model.roles().nodeName(n));
                n.branchPath = path ? *path + "/" + name : name;
                path = n.branchPath;
            }
            flag = false;
        }
        stack.push_back(Frame{index, std::move(path), flag});
    };
    enter(head, std::nullopt, false);
    while (!stack.empty()) {
        std::size_t top = stack.size() - 1;
        RevisionNode& n = revs[stack[top].node];
        if (stack[top].lastChild != kNoNode) {
            const RevisionNode& c = revs[stack[top].lastChild];
            if (n.important)
                HistoryModel::add_subbranch(n, c.branchPath);
            else
                n.branchPath = c.branchPath;
            stack[top].lastChild = kNoNode;
        }
        std::size_t child = kNoNode;
        while (stack[top].pos < n.children.size()) {
            std::size_t c = n.children[stack[top].pos++];
            if (revs[c].importantCount > 0) {
                child = c;
                break;
            }
        }
        if (child == kNoNode) {
            stack.pop_back();
            continue;
        }
        if (++stack[top].counted >= 2) stack[top].childFlag = true;
        stack[top].lastChild = child;
        enter(child, stack[top].pathOn, stack[top].childFlag);
    }
}

/// Each important node's place among the part's written versions. The order is by
/// effective time: a version's own change time, or its nearest important ancestor's
/// effective time when that is later (a client clock behind the server's must not put a
/// version before the one it was made from); on equal times an ancestor comes before its
/// descendants, other versions keep list order. Several trees share the main line: each
/// later tree (by the time of its top) starts after the end of the main line before it,
/// so that no main-line version of one tree stands between two of another.
std::vector<std::size_t> write_ranks(const std::vector<RevisionNode>& revs, const std::vector<std::int64_t>& own) {
    const std::size_t n = revs.size();
    // Parents first, by climbing each node's unsettled ancestors once: the nearest
    // important ancestor (up), the depth below the tree's top, the top, and the latest
    // own time on the way down from the top (pathMax).
    std::vector<std::size_t> up(n, kNoNode), depth(n, 0), top(n, kNoNode);
    std::vector<std::int64_t> pathMax(n, 0);
    std::vector<char> settled(n, 0);
    std::vector<std::size_t> chain;
    for (std::size_t i = 0; i < n; ++i) {
        chain.clear();
        for (std::size_t at = i; at != kNoNode && !settled[at]; at = revs[at].ancestor) chain.push_back(at);
        for (std::size_t k = chain.size(); k-- > 0;) {
            const std::size_t node = chain[k], parent = revs[node].ancestor;
            settled[node] = 1;
            up[node] = parent == kNoNode ? kNoNode : revs[parent].important ? parent : up[parent];
            if (!revs[node].important) continue;
            const std::size_t above = up[node];
            depth[node] = above == kNoNode ? 0 : depth[above] + 1;
            top[node] = above == kNoNode ? node : top[above];
            pathMax[node] = above == kNoNode ? own[node] : std::max(own[node], pathMax[above]);
        }
    }
    // The trees by the time of their tops; each one's deepest main-line version.
    std::vector<std::size_t> tops, mainEnd(n, kNoNode);
    for (std::size_t i = 0; i < n; ++i) {
        if (!revs[i].important) continue;
        if (up[i] == kNoNode) tops.push_back(i);
        std::size_t& end = mainEnd[top[i]];
        if (revs[i].branchPath.empty() && (end == kNoNode || depth[i] > depth[end])) end = i;
    }
    std::stable_sort(tops.begin(), tops.end(), [&](std::size_t a, std::size_t b) { return own[a] < own[b]; });
    // A later tree's top follows the main line before it: its parent in the order.
    std::vector<std::int64_t> base(n, std::numeric_limits<std::int64_t>::min());
    std::vector<std::size_t> after(n, kNoNode);  // a top's predecessor in the order
    std::size_t mainLast = kNoNode;
    for (std::size_t t : tops) {
        if (mainLast != kNoNode) {
            after[t] = mainLast;
            base[t] = std::max(pathMax[mainLast], base[top[mainLast]]);
        }
        if (mainEnd[t] != kNoNode) mainLast = mainEnd[t];
    }
    auto effective = [&](std::size_t i) { return std::max(pathMax[i], base[top[i]]); };
    // A topological order that always takes the earliest (effective time, list place)
    // of the versions whose predecessor is placed: by effective time throughout, since
    // no version's time is below its predecessor's.
    std::vector<std::size_t> firstChild(n + 1, 0), children;
    auto parent_of = [&](std::size_t i) { return up[i] != kNoNode ? up[i] : after[i]; };
    for (std::size_t i = 0; i < n; ++i)
        if (revs[i].important && parent_of(i) != kNoNode) ++firstChild[parent_of(i) + 1];
    for (std::size_t i = 0; i < n; ++i) firstChild[i + 1] += firstChild[i];
    children.resize(firstChild[n]);
    std::vector<std::size_t> fill(firstChild.begin(), firstChild.end() - 1);
    for (std::size_t i = 0; i < n; ++i)
        if (revs[i].important && parent_of(i) != kNoNode) children[fill[parent_of(i)]++] = i;
    using Key = std::pair<std::int64_t, std::size_t>;
    std::priority_queue<Key, std::vector<Key>, std::greater<Key>> ready;
    for (std::size_t i = 0; i < n; ++i)
        if (revs[i].important && parent_of(i) == kNoNode) ready.emplace(effective(i), i);
    std::vector<std::size_t> rank(n, kNoNode);
    for (std::size_t placed = 0; !ready.empty(); ++placed) {
        const std::size_t i = ready.top().second;
        ready.pop();
        rank[i] = placed;
        for (std::size_t c = firstChild[i]; c < firstChild[i + 1]; ++c)
            ready.emplace(effective(children[c]), children[c]);
    }
    return rank;
}

}  // namespace

int create_ordered_list(HistorySteps& s) {
    std::vector<RevisionNode>& revs = s.model.revisions();
    const RoleTable& roles = s.model.roles();

    // Forks: the second and later important children start branches of their own.
    for (RevisionNode& parent : revs) {
        if (!parent.important || parent.childCount() < 2) continue;
        int importantChildren = 0;
        for (std::size_t c : parent.children) {
            RevisionNode& child = revs[c];
            if (!child.important || ++importantChildren < 2) continue;
            child.branchPath = std::string(roles.nodeName(child));
            HistoryModel::add_subbranch(parent, child.branchPath);
            child.onbranch = true;
        }
    }

    // Every tree from its root, each one's top on the main line.
    for (std::size_t start : walk_starts(revs))
        if (revs[start].importantCount > 0) assign_branch_paths(s, start);

    std::optional<std::int64_t> since;
    if (!s.settings.sinceDate.empty()) since = parse_change_time(s.settings.sinceDate);

    std::vector<std::int64_t> own(revs.size(), 0);
    for (std::size_t i = 0; i < revs.size(); ++i) {
        if (!revs[i].important) continue;
        const std::string_view date = roles.changeDate(revs[i]);
        // A Vandor version without a date of its own or of its commit: the earliest
        // time, so that it stands first, said by name rather than silently.
        own[i] = date.empty() ? kEarliestChangeTime : parse_change_time(date);
    }
    const std::vector<std::size_t> rank = write_ranks(revs, own);

    // Order first, then build each entry once in its place: entries are large, and
    // sorting them would move every one of them several times. "-since" compares the
    // server's own times, as EventTime carries them.
    std::vector<std::pair<std::size_t, std::size_t>> keep;
    for (std::size_t i = 0; i < revs.size(); ++i) {
        if (!revs[i].important) continue;
        const std::string_view date = roles.changeDate(revs[i]);
        if (since && own[i] < *since) continue;
        keep.emplace_back(rank[i], i);
        if (!corvane(s) && date.empty())
            s.console.print("\n\nWARNING:  Version %s of Part %s has no change date: it is exported "
                            "with the earliest time\n\n",
                            revs[i].version.id.c_str(), revs[i].version.pathname.c_str());
        if (corvane(s) && !revs[i].partRow)
            s.console.print("\n\nWARNING:  No PartFullView Data Found for Revisionname: %s: \n\n",
                            revs[i].revision.revisionname.c_str());
    }
    std::sort(keep.begin(), keep.end());

    std::vector<OrderedEntry>& ordered = s.model.ordered();
    ordered.clear();
    ordered.reserve(keep.size());
    for (const auto& [place, i] : keep) {
        const RevisionNode& node = revs[i];
        OrderedEntry& entry = ordered.emplace_back();
        entry.changeTime = own[i];
        entry.onbranch = node.onbranch;
        entry.branchPath = node.branchPath;
        if (corvane(s)) {
            entry.revision = node.revision;
            if (node.partRow) entry.partRow = std::make_unique<PartFullViewRecord>(*node.partRow);
        } else {
            entry.version = node.version;
            if (node.committedRow) entry.committedRow = std::make_unique<CommittedVersionRecord>(*node.committedRow);
        }
        entry.subbranches = node.subbranches.names();
        entry.labels = node.labels.names();
    }
    return 0;
}

namespace {

int clamp_int(long long v) {
    return static_cast<int>(std::clamp<long long>(v, INT_MIN / 2, INT_MAX / 2));
}

}  // namespace

std::int64_t parse_change_time(std::string_view text) {
    std::tm t{};
    t.tm_year = clamp_int(atoi_at(text, 0) - 1900);
    t.tm_mon = clamp_int(atoi_at(text, 5) - 1);
    t.tm_mday = clamp_int(atoi_at(text, 8));
    t.tm_hour = clamp_int(atoi_at(text, 11));
    t.tm_min = clamp_int(atoi_at(text, 14));
    t.tm_sec = clamp_int(atoi_at(text, 17));
    t.tm_isdst = -1;  // the system decides daylight saving, the same way for every date
    std::time_t converted = std::mktime(&t);
    // Some C libraries convert times before the epoch and some refuse them; refusing
    // them everywhere keeps the order of versions the same on every platform.
    if (converted < 0) return -1;
    return static_cast<std::int64_t>(converted);
}
