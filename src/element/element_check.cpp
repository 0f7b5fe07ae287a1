// Each element checked against its part's history: the predecessor the file implies
// against the one the server gives, labels, branches and the format's own rules.
#include "element_check.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>

#include "revision_tree.h"

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

/// A branch path and a name in it (a SubBranch listed on the path), as a map key.
using PathAndName = std::pair<std::string_view, std::string_view>;
struct PathAndNameHash {
    std::size_t operator()(const PathAndName& key) const noexcept {
        const std::hash<std::string_view> hash;
        return hash(key.first) * 31 + hash(key.second);
    }
};

std::string joined(const std::vector<std::string_view>& names) {
    std::string text;
    for (std::string_view name : names) text += (text.empty() ? "" : ", ") + std::string(name);
    return text.empty() ? "no label" : text;
}

}  // namespace

// --- LineageChecker -------------------------------------------------------------

LineageChecker::LineageChecker(const RunSettings& settings)
    : settings_(settings), branchPrefix_(settings.corvane() ? "CVN-BRANCH-" : "VANDOR-BRANCH-") {
    if (!settings.sinceDate.empty()) since_ = parse_change_time(settings.sinceDate);
}

std::int64_t LineageChecker::version_time(const HistoryModel& model, std::size_t node, std::size_t firstRow) const {
    std::string_view date = model.roles().changeDate(model.revisions()[node]);
    // A Vandor version without a date of its own goes by its first row's commit.
    if (date.empty() && firstRow != kNoNode && model.partRows()[firstRow].committedRow)
        date = model.partRows()[firstRow].committedRow->commitdate;
    return date.empty() ? kEarliestChangeTime : parse_change_time(date);
}

std::string_view LineageChecker::branch_number(std::string_view name) const {
    if (!name.starts_with(branchPrefix_) || name.size() == branchPrefix_.size()) return {};
    const std::string_view rest = name.substr(branchPrefix_.size());
    return std::all_of(rest.begin(), rest.end(), is_digit) ? rest : std::string_view();
}

bool LineageChecker::has_branch_type(std::string_view name, const HistoryModel& model) const {
    const std::string_view number = branch_number(name);
    if (number.empty()) return branches_.contains(name);
    return numberedBranches_.contains(number) || model.has_branch_type(number);
}

void LineageChecker::declare(const DeclaredTypes& types, bool numbered) {
    labels_.insert(types.labels.begin(), types.labels.end());
    for (const std::string& name : types.branches) {
        const std::string_view number = branch_number(name);
        if (number.empty()) branches_.insert(name);
        else if (numbered) numberedBranches_.insert(number);
    }
}

bool LineageChecker::expects_element(const HistoryModel& model) const {
    std::vector<std::size_t> firstRow(model.revisions().size(), kNoNode);
    for (std::size_t r = 0; r < model.partRows().size(); ++r) {
        const std::size_t i = model.find_revision_by_source(model.roles().partRowMatchKey(model.partRows()[r]));
        if (i == kNoNode) continue;
        if (firstRow[i] == kNoNode) firstRow[i] = r;
        if (!since_ || version_time(model, i, firstRow[i]) >= *since_) return true;
    }
    return false;
}

std::vector<std::string> LineageChecker::check(const ReadElement& element, const HistoryModel& model,
                                               const DeclaredTypes* extra, std::string* unchecked) const {
    std::vector<std::string> problems;
    const RoleTable& roles = model.roles();
    const std::vector<RevisionNode>& revs = model.revisions();
    const std::vector<PartRowNode>& rows = model.partRows();
    const std::size_t n = revs.size();
    const std::vector<ReadVersion>& versions = element.versions;
    auto version = [&](std::size_t pos) { return "version " + std::string(versions[pos].id); };

    // The element's versions among the server's (by the model's index of first names).
    std::vector<std::size_t> held(n, kNoNode), node(versions.size(), kNoNode);
    for (std::size_t pos = 0; pos < versions.size(); ++pos) {
        const std::size_t i = model.find_revision_by_name(versions[pos].id);
        if (i == kNoNode)
            problems.push_back(version(pos) + " is no version of the part on the server");
        else if (held[i] != kNoNode)
            problems.push_back(version(pos) + " is in the element twice");
        else
            held[i] = pos, node[pos] = i;
    }

    // What the part rows name: each version's rows, chained in row order.
    std::vector<std::size_t> firstRow(n, kNoNode), lastRow(n, kNoNode), nextRow(rows.size(), kNoNode);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const std::size_t i = model.find_revision_by_source(roles.partRowMatchKey(rows[r]));
        if (i == kNoNode) {
            problems.push_back("a part row names version " + std::string(roles.partRowNameKey(rows[r])) +
                               ", which the server's history of the part lacks");
            continue;
        }
        (firstRow[i] == kNoNode ? firstRow[i] : nextRow[lastRow[i]]) = r;
        lastRow[i] = r;
    }
    for (std::size_t i = 0; i < n; ++i)
        if (firstRow[i] != kNoNode && held[i] == kNoNode && (!since_ || version_time(model, i, firstRow[i]) >= *since_))
            problems.push_back("version " + std::string(roles.nodeName(revs[i])) +
                               ", which a part row names, is not in the element");

    auto declared = [&](NameSet DeclaredTypes::*set, std::string_view name) {
        return (set == &DeclaredTypes::labels ? labels_.contains(name) : has_branch_type(name, model)) ||
               (extra && (extra->*set).contains(name));
    };
    const std::string_view labelPrefix = settings_.corvane() ? "CVN-" : "VANDOR-";
    std::vector<std::string> want;
    std::vector<std::string_view> have;
    for (std::size_t pos = 0; pos < versions.size(); ++pos) {
        const ReadVersion& v = versions[pos];
        for (std::string_view label : v.labels)
            if (!declared(&DeclaredTypes::labels, label))
                problems.push_back(version(pos) + ": its label type " + quoted(label) + " is not declared");
        for (std::size_t from = 0; v.onBranch && from <= v.branch.size();) {
            const std::size_t to = std::min(v.branch.find('/', from), v.branch.size());
            if (!declared(&DeclaredTypes::branches, v.branch.substr(from, to - from)))
                problems.push_back(version(pos) + ": its branch type " + quoted(v.branch.substr(from, to - from)) +
                                   " is not declared");
            from = to + 1;
        }
        if (node[pos] == kNoNode) continue;
        // The labels of its rows; a version without a row of its own (a branch point)
        // takes those of the rows named like it.
        want.clear();
        const bool named = firstRow[node[pos]] != kNoNode;
        for (std::size_t r = named ? firstRow[node[pos]] : model.find_part_row_from(v.id, 0); r != kNoNode;
             r = named ? nextRow[r] : model.next_part_row_named_alike(r))
            for (std::string& label : part_row_labels(rows[r], settings_)) want.push_back(label.insert(0, labelPrefix));
        have.assign(v.labels.begin(), v.labels.end());
        std::sort(want.begin(), want.end());
        want.erase(std::unique(want.begin(), want.end()), want.end());
        std::sort(have.begin(), have.end());
        have.erase(std::unique(have.begin(), have.end()), have.end());
        if (!std::equal(want.begin(), want.end(), have.begin(), have.end()))
            problems.push_back(version(pos) + " carries " + joined(have) + ", its part rows give " +
                               joined({want.begin(), want.end()}));
    }

    // Which of two versions of one name another came from is not guessed at: the lineage
    // goes unchecked, said as such (an element holding the name twice is a problem above).
    if (model.hasRepeatedNames()) {
        for (std::size_t i = 0; unchecked && i < n; ++i)
            if (model.find_revision_by_name(roles.nodeName(revs[i])) != i) {
                *unchecked = "the server gives the name " + std::string(roles.nodeName(revs[i])) +
                             " to more than one version";
                break;
            }
        return problems;
    }
    // The truth: each version's nearest ancestor on the server that the element holds
    // (above), and the root of its tree, settled by climbing each chain once.
    std::vector<std::size_t> parent(n, kNoNode);
    for (std::size_t i = 0; i < n; ++i)
        if (!roles.isRoot(revs[i])) parent[i] = model.find_revision_by_name(roles.ancestorKey(revs[i]));
    constexpr std::size_t kUnset = kNoNode - 1;
    std::vector<std::size_t> above(n, kUnset), root(n, kUnset), chain;
    std::vector<char> climbing(n, 0);
    for (std::size_t start : node) {
        chain.clear();
        for (std::size_t at = start; at != kNoNode && above[at] == kUnset; at = parent[at]) {
            if (climbing[at]) {
                problems.push_back("the server's history of the part closes on itself at version " +
                                   std::string(roles.nodeName(revs[at])));
                return problems;
            }
            climbing[at] = 1;
            chain.push_back(at);
        }
        for (std::size_t k = chain.size(); k-- > 0;) {
            const std::size_t x = chain[k], p = parent[x];
            above[x] = p == kNoNode ? kNoNode : held[p] != kNoNode ? p : above[p];
            root[x] = p == kNoNode ? x : root[p];
        }
    }
    std::vector<int> topsOfTree(n, 0);
    for (std::size_t i : node)
        if (i != kNoNode && above[i] == kNoNode) ++topsOfTree[root[i]];

    // The predecessor the file implies, walked in file order.
    std::unordered_map<std::string_view, std::size_t> lastOn;
    std::unordered_map<PathAndName, std::size_t, PathAndNameHash> listers;  // by parent path and SubBranch
    for (std::size_t pos = 0; pos < versions.size(); ++pos) {
        const ReadVersion& v = versions[pos];
        const std::string_view path = v.onBranch ? v.branch : std::string_view();
        std::size_t implied = kNoNode;
        bool known = true;
        if (const auto last = lastOn.find(path); last != lastOn.end()) {
            implied = last->second;
        } else if (!path.empty()) {
            const std::size_t slash = path.rfind('/');
            const std::string_view up = slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
            const auto from = listers.find({up, path.substr(slash + 1)});
            known = from != listers.end();
            if (known) implied = from->second;
        }
        lastOn[path] = pos;
        for (std::string_view sub : v.subBranches) listers[{path, sub}] = pos;
        const std::size_t i = node[pos];
        if (i == kNoNode) continue;
        const std::size_t truth = above[i] == kNoNode ? kNoNode : held[above[i]];
        if (!known) {
            if (!since_)
                problems.push_back(version(pos) + " starts the branch " + std::string(path) +
                                   ", which no version before it on the parent branch lists as a SubBranch");
        } else if (truth == kNoNode && implied != kNoNode) {
            if (!since_ && topsOfTree[root[i]] > 1)
                problems.push_back(version(pos) + " is built on " + std::string(versions[implied].id) +
                                   " in the file, but no version the element holds is its ancestor on the "
                                   "server: a branch point is missing");
        } else if (truth != implied) {
            problems.push_back(version(pos) + " is built on " +
                               (implied == kNoNode ? "nothing" : std::string(versions[implied].id)) +
                               " in the file, on " + std::string(versions[truth].id) + " on the server");
        }
    }
    return problems;
}

void LineageChecker::declare_written(std::string_view typeBlocks) {
    declare(read_import_text("TYPES_BEGIN\n" + std::string(typeBlocks) + "TYPES_END\n").types, false);
}

std::vector<std::string> LineageChecker::check_written(std::string text, std::string_view newTypes,
                                                       const HistoryModel& model, std::string* unchecked) {
    const ReadImport types = read_import_text("TYPES_BEGIN\n" + std::string(newTypes) + "TYPES_END\n");
    text += "ELEMENT_END\n";
    const ReadImport read = read_import_text(text);
    if (!types.fault.empty()) return {"its type declarations cannot be read back: " + types.fault};
    if (!read.fault.empty() || read.elements.size() != 1) return {"the element cannot be read back: " + read.fault};
    std::vector<std::string> problems = check(read.elements[0], model, &types.types, unchecked);
    if (!problems.empty()) return problems;
    declare(types.types, false);
    return problems;
}

void report_unchecked(Console& console, std::string_view path, const std::string& why) {
    if (!why.empty())
        console.print("\n\nWARNING:  The lineage of Part %.*s is not checked: %s\n\n", static_cast<int>(path.size()),
                      path.data(), why.c_str());
}

