// The history steps that build and mark one part's revision trees (link, children,
// marking), and the run of all five steps.
#include "revision_tree.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

std::vector<std::string> part_row_labels(const PartRowNode& row, const RunSettings& settings) {
    std::vector<std::string> labels;
    auto add = [&labels](const char* prefix, const std::string& value) {
        if (!value.empty()) labels.push_back(prefix + value);
    };
    if (row.partRow) {
        add("RELEASE-", row.partRow->releasename);
        add("DRIVER-", row.partRow->workareaname);
        if (settings.revisionLabels) add("REVISION-", row.partRow->revisionname);
    } else if (row.committedRow) {
        add("RELEASE-", row.committedRow->releasename);
        if (settings.sidLabels) add("SID-", row.committedRow->sid);
        if (settings.componentLabels) add("COMPONENT-", row.committedRow->compname);
        if (settings.levelLabels) add("LEVEL-", row.committedRow->levelname);
    }
    return labels;
}

namespace {

std::string node_label(const HistorySteps& s, const RevisionNode& node) {
    return std::string(s.model.roles().nodeName(node));
}

void add_row_labels(RevisionNode& node, const PartRowNode& row, const RunSettings& settings) {
    for (const std::string& label : part_row_labels(row, settings))
        HistoryModel::add_label(node, label);
}

/// Every part row named like the node adds its labels (branch points get theirs so).
void labels_from_part_rows(HistorySteps& s, RevisionNode& node) {
    for (std::size_t r = s.model.find_part_row_from(s.model.roles().nodeName(node), 0); r != kNoNode;
         r = s.model.next_part_row_named_alike(r))
        add_row_labels(node, s.model.partRows()[r], s.settings);
}

/// Depth-first over the children with marked descendants; an unmarked node whose
/// marked descendants lie under two or more children, or that has none below it,
/// becomes important. Iterative, so a long chain cannot exhaust the stack.
void mark_branch_points(HistorySteps& s, std::size_t start) {
    std::vector<RevisionNode>& revs = s.model.revisions();
    struct Frame {
        std::size_t node;
        std::size_t pos = 0;
        bool anySmaller = false;
        bool anyCounted = false;
    };
    std::vector<Frame> stack{{start}};
    while (!stack.empty()) {
        std::size_t top = stack.size() - 1;
        const RevisionNode& node = revs[stack[top].node];
        if (stack[top].pos < node.children.size()) {
            std::size_t child = node.children[stack[top].pos++];
            if (revs[child].importantCount > 0) {
                stack[top].anyCounted = true;
                if (revs[child].importantCount < node.importantCount) stack[top].anySmaller = true;
                stack.push_back({child});
            }
            continue;
        }
        Frame done = stack.back();
        stack.pop_back();
        RevisionNode& n = revs[done.node];
        if (!n.important && (done.anySmaller || !done.anyCounted)) {
            n.important = true;
            labels_from_part_rows(s, n);
        }
    }
}

/// Number of marked nodes in each subtree, from the ancestor links, in linear time.
void count_marked_subtrees(std::vector<RevisionNode>& revs) {
    std::size_t n = revs.size();
    std::vector<std::size_t> pending(n, 0);  // children not yet added in
    for (const RevisionNode& node : revs)
        if (node.ancestor != kNoNode) ++pending[node.ancestor];
    std::vector<std::size_t> ready;
    for (std::size_t i = 0; i < n; ++i) {
        revs[i].importantCount = revs[i].important ? 1 : 0;
    }
    for (std::size_t i = 0; i < n; ++i)
        if (pending[i] == 0) ready.push_back(i);
    // Leaves first: a node is added into its parent once all its own children are in.
    while (!ready.empty()) {
        std::size_t i = ready.back();
        ready.pop_back();
        std::size_t parent = revs[i].ancestor;
        if (parent == kNoNode) continue;
        revs[parent].importantCount += revs[i].importantCount;
        if (--pending[parent] == 0) ready.push_back(parent);
    }
}

}  // namespace

std::vector<std::size_t> walk_starts(const std::vector<RevisionNode>& revs) {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < revs.size(); ++i)
        if (revs[i].ancestor == kNoNode) starts.push_back(i);
    return starts;
}


int link_ancestors(HistorySteps& s) {
    std::vector<RevisionNode>& revs = s.model.revisions();
    const RoleTable& roles = s.model.roles();
    for (RevisionNode& node : revs) {
        node.ancestor = roles.isRoot(node) ? kNoNode : s.model.find_revision_by_name(roles.ancestorKey(node));
    }
    // Refuse ancestor chains that close on themselves: every later walk up or down
    // the tree would run forever. 0 unseen, 1 on the chain being walked, 2 settled.
    std::vector<unsigned char> state(revs.size(), 0);
    std::vector<std::size_t> chain;
    for (std::size_t i = 0; i < revs.size(); ++i) {
        chain.clear();
        std::size_t at = i;
        while (at != kNoNode && state[at] == 0) {
            state[at] = 1;
            chain.push_back(at);
            at = revs[at].ancestor;
        }
        if (at != kNoNode && state[at] == 1) {
            s.console.print("\n\nERROR:  %s %s is its own ancestor\n\n",
                            corvane(s) ? "Revision" : "Version", node_label(s, revs[at]).c_str());
            return -1;
        }
        for (std::size_t c : chain) state[c] = 2;
    }
    return 0;
}

int find_all_children(HistorySteps& s) {
    std::vector<RevisionNode>& revs = s.model.revisions();
    // A node's children are the nodes whose ancestor key names it. The first node of
    // a name is the parent link_ancestors gave them, so they are gathered there in
    // list order; a later node of the same name has the very same children.
    for (RevisionNode& node : revs) node.children.clear();
    for (std::size_t i = 0; i < revs.size(); ++i)
        if (revs[i].ancestor != kNoNode) revs[revs[i].ancestor].children.push_back(i);
    for (std::size_t i = 0; s.model.hasRepeatedNames() && i < revs.size(); ++i) {
        std::size_t first = s.model.find_revision_by_name(s.model.roles().nodeName(revs[i]));
        if (first != kNoNode && first != i) revs[i].children = revs[first].children;
    }
    // Repeated node names can give a node children it is not the ancestor of, and so
    // a cycle that the ancestor links alone do not show. 0 unseen, 1 open, 2 done.
    std::vector<unsigned char> state(revs.size(), 0);
    std::vector<std::pair<std::size_t, std::size_t>> stack;
    for (std::size_t root = 0; root < revs.size(); ++root) {
        if (state[root] != 0) continue;
        stack.push_back({root, 0});
        state[root] = 1;
        while (!stack.empty()) {
            auto& [node, pos] = stack.back();
            if (pos < revs[node].children.size()) {
                std::size_t c = revs[node].children[pos++];
                if (state[c] == 1) {
                    s.console.print("\n\nERROR:  %s %s descends from itself\n\n",
                                    corvane(s) ? "Revision" : "Version", node_label(s, revs[c]).c_str());
                    return -1;
                }
                if (state[c] == 0) {
                    state[c] = 1;
                    stack.push_back({c, 0});
                }
            } else {
                state[node] = 2;
                stack.pop_back();
            }
        }
    }
    return 0;
}

int mark_important_nodes(HistorySteps& s) {
    std::vector<RevisionNode>& revs = s.model.revisions();
    const RoleTable& roles = s.model.roles();
    for (const PartRowNode& row : s.model.partRows()) {
        std::size_t found = s.model.find_revision_by_source(roles.partRowMatchKey(row));
        if (found == kNoNode) {
            if (row.partRow)
                s.console.print("\n\nERROR:  RevisionName %s not found in Revision Tree \n\n",
                                row.partRow->revisionname.c_str());
            else
                s.console.print("\n\nERROR:  VersionID %s not found in Versions Tree \n\n",
                                row.committedRow ? row.committedRow->versionid.c_str() : "");
            return -1;
        }
        RevisionNode& node = revs[found];
        if (row.partRow && !node.partRow) node.partRow = std::make_unique<PartFullViewRecord>(*row.partRow);
        if (row.committedRow && !node.committedRow)
            node.committedRow = std::make_unique<CommittedVersionRecord>(*row.committedRow);
        add_row_labels(node, row, s.settings);
        node.important = true;
    }
    count_marked_subtrees(revs);
    for (std::size_t start : walk_starts(revs))
        if (revs[start].importantCount > 0) mark_branch_points(s, start);
    return 0;
}

int run_history_steps(HistorySteps& s) {
    struct Step {
        int (*run)(HistorySteps&);
        const char* message;
    };
    static const Step steps[] = {
        {link_ancestors, "\n\nERROR:\t Error in link_ancestors()\n\n"},
        {find_all_children, "\n\nERROR:\tError in find_all_children()\n\n"},
        {mark_important_nodes, "\n\nERROR:  Error in mark_important_nodes()\n\n"},
        {create_ordered_list, "\n\nERROR:  Error in create_ordered_list()\n\n"},
        {write_ordered_list, "\n\nERROR:  Error in write_ordered_list()\n\n"},
    };
    for (const Step& step : steps) {
        if (int rc = step.run(s); rc != 0) {
            s.console.print("%s", step.message);
            return rc;
        }
    }
    return 0;
}
