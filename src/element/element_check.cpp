// Reading element import files back, and checking their elements against the histories
// the server gives: shares nothing with the writer but the format.
#include "element_check.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <unordered_map>

#include "revision_tree.h"

namespace {

/// One line of the format: a bare keyword, a number line or a text line.
struct Item {
    std::string_view keyword;
    enum class Kind { Bare, Number, Text } kind = Kind::Bare;
    long long number = 0;
    std::string_view text;
    std::size_t line = 0;
};

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_keyword_char(char c) { return c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

/// The items of a text in order, until the end or the first line that does not fit.
class ItemReader {
public:
    explicit ItemReader(std::string_view text) : text_(text) {}

    bool next(Item& item) {
        if (!fault_.empty() || at_ >= text_.size()) return false;
        item = Item{};
        item.line = line_;
        const std::size_t start = at_;
        while (at_ < text_.size() && is_keyword_char(text_[at_])) ++at_;
        item.keyword = text_.substr(start, at_ - start);
        if (item.keyword.empty()) return fail(item, "no keyword at the start of the line");
        if (line_end()) return true;
        if (at_ >= text_.size() || text_[at_] != ' ')
            return fail(item, "the keyword is followed by neither a blank nor the line end");
        const std::size_t digits = ++at_;
        if (at_ < text_.size() && text_[at_] == '-') ++at_;
        while (at_ < text_.size() && is_digit(text_[at_])) ++at_;
        const std::string_view number = text_.substr(digits, at_ - digits);
        if (number.empty() || number == "-" || number.size() > 18)
            return fail(item, "the value is neither a number nor length-prefixed text");
        const long long value = std::stoll(std::string(number));
        if (at_ < text_.size() && text_[at_] == ':') {
            const std::size_t from = ++at_;
            const auto length = static_cast<std::size_t>(value);
            if (value < 0 || length > text_.size() - from || (at_ += length, !line_end()))
                return fail(item, "the length prefix " + std::string(number) + " does not fit the value");
            item.kind = Item::Kind::Text;
            item.text = text_.substr(from, length);
            line_ += static_cast<std::size_t>(std::count(item.text.begin(), item.text.end(), '\n'));
            return true;
        }
        if (!line_end()) return fail(item, "the number is followed by more than the line end");
        item.kind = Item::Kind::Number;
        item.number = value;
        return true;
    }

    const std::string& fault() const { return fault_; }

private:
    bool fail(const Item& item, const std::string& why) {
        fault_ = "line " + std::to_string(item.line) + ": " + std::string(item.keyword) +
                 (item.keyword.empty() ? "" : ": ") + why;
        return false;
    }
    bool line_end() {
        const std::size_t left = text_.size() - at_;
        const std::size_t size = left >= 1 && text_[at_] == '\n'                           ? 1
                                 : left >= 2 && text_[at_] == '\r' && text_[at_ + 1] == '\n' ? 2
                                                                                          : 0;
        at_ += size;
        line_ += size ? 1 : 0;
        return size != 0;
    }

    std::string_view text_;
    std::size_t at_ = 0;
    std::size_t line_ = 1;
    std::string fault_;
};

/// Which block may stand in which ("" the top of the file).
constexpr std::pair<std::string_view, std::string_view> kNesting[] = {
    {"", "GLOBALS"}, {"", "TYPES"}, {"", "DIR"}, {"", "ELEMENT"},
    {"TYPES", "LBTYPE"}, {"TYPES", "BRTYPE"}, {"ELEMENT", "VERSION"},
};

/// The lines each block holds, whether each is a text line (else a number line), and
/// what the reader keeps of it.
enum class Keep { Nothing, NumElements, NumVersions, ExporterKind, LbType, BrType, Name, VersionId, OnBranch,
                  SubBranch, Label };
struct Field {
    std::string_view block, keyword;
    bool text;
    Keep keep = Keep::Nothing;
};
constexpr Field kFields[] = {
    {"VERSION", "EventUser", true},   {"VERSION", "EventGroup", true}, {"VERSION", "EventName", true},
    {"VERSION", "EventHost", true},   {"VERSION", "EventTime", false}, {"VERSION", "ExtractCmd", true},
    {"VERSION", "Label", true, Keep::Label},      {"VERSION", "VersionId", true, Keep::VersionId},
    {"VERSION", "OnBranch", true, Keep::OnBranch}, {"VERSION", "SubBranch", true, Keep::SubBranch},
    {"ELEMENT", "Name", true, Keep::Name},         {"ELEMENT", "Mode", false},
    {"ELEMENT", "EventUser", true},   {"ELEMENT", "EventGroup", true}, {"ELEMENT", "EventName", true},
    {"ELEMENT", "EventHost", true},   {"ELEMENT", "EventTime", false}, {"LBTYPE", "LbType", true, Keep::LbType},
    {"BRTYPE", "BrType", true, Keep::BrType},      {"DIR", "DirName", true},
    {"", "EXPORT_FORMAT", false},     {"GLOBALS", "ExportFromDir", true},
    {"GLOBALS", "NumElements", false, Keep::NumElements}, {"GLOBALS", "NumVersions", false, Keep::NumVersions},
    {"GLOBALS", "ExporterKind", false, Keep::ExporterKind}, {"GLOBALS", "NeedCmd", true},
};

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

namespace {

/// Reads the blocks of `text` into `out`; the fault that stopped it, or empty.
std::string read_blocks(std::string_view text, ReadImport& out, std::vector<std::string_view>& open) {
    ItemReader reader(text);
    Item item;
    auto fault = [&](const std::string& why) { return "line " + std::to_string(item.line) + ": " + why; };
    while (reader.next(item)) {
        const std::string_view block = open.empty() ? "" : open.back();
        const std::string_view k = item.keyword;
        if (item.kind == Item::Kind::Bare && k.ends_with("_BEGIN")) {
            const std::string_view name = k.substr(0, k.size() - 6);
            if (std::find(std::begin(kNesting), std::end(kNesting), std::pair(block, name)) == std::end(kNesting))
                return fault(std::string(k) + " cannot stand " +
                             (block.empty() ? "outside a block" : "in a " + std::string(block) + " block"));
            open.push_back(name);
            if (name == "ELEMENT") out.elements.emplace_back();
            if (name == "VERSION") out.elements.back().versions.emplace_back();
            continue;
        }
        if (item.kind == Item::Kind::Bare && k.ends_with("_END")) {
            if (open.empty() || k.substr(0, k.size() - 4) != block)
                return fault(std::string(k) + " ends no open block");
            if (block == "VERSION" && out.elements.back().versions.back().id.empty())
                return fault("a version without its VersionId");
            if (block == "ELEMENT" && out.elements.back().name.empty()) return fault("an element without its Name");
            if (block == "VERSION") ++out.versionCount;
            open.pop_back();
            continue;
        }
        const Field* field = nullptr;
        for (const Field& f : kFields)
            if (f.keyword.size() == k.size() && f.keyword[0] == k[0] && f.keyword == k && f.block == block) {
                field = &f;
                break;
            }
        if (!field)
            return fault(std::string(k) + " does not belong " +
                         (block.empty() ? "outside a block" : "in a " + std::string(block) + " block"));
        if (field->text != (item.kind == Item::Kind::Text))
            return fault(std::string(k) + (field->text ? " needs a length-prefixed value" : " needs a number"));
        ReadVersion* version = field->block == "VERSION" ? &out.elements.back().versions.back() : nullptr;
        switch (field->keep) {
            case Keep::Nothing: break;
            case Keep::NumElements: out.numElements = item.number; break;
            case Keep::NumVersions: out.numVersions = item.number; break;
            case Keep::ExporterKind: out.exporterKind = item.number; break;
            case Keep::LbType: out.types.labels.emplace(item.text); break;
            case Keep::BrType: out.types.branches.emplace(item.text); break;
            case Keep::Name: out.elements.back().name = item.text; break;
            case Keep::VersionId:
                if (!version->id.empty()) return fault("a second VersionId in one version");
                version->id = item.text;
                break;
            case Keep::OnBranch:
                if (version->onBranch) return fault("a second OnBranch in one version");
                version->onBranch = true, version->branch = item.text;
                break;
            case Keep::SubBranch: version->subBranches.push_back(item.text); break;
            case Keep::Label: version->labels.push_back(item.text); break;
        }
    }
    if (!reader.fault().empty()) return reader.fault();
    return open.empty() ? "" : "the text ends inside a " + std::string(open.back()) + " block";
}

}  // namespace

ReadImport read_import_text(std::string_view text) {
    ReadImport out;
    std::vector<std::string_view> open;  // the blocks around the line, outermost first
    out.fault = read_blocks(text, out, open);
    // An element the fault cut short is not one of the file's.
    if (!out.fault.empty() && std::find(open.begin(), open.end(), "ELEMENT") != open.end()) out.elements.pop_back();
    return out;
}

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

// --- FileVerifier -----------------------------------------------------------------

FileVerifier::FileVerifier(const RunSettings& settings, std::string file)
    : settings_(settings), file_(std::move(file)), checker_(settings) {}

bool FileVerifier::load(Console& console) {
    console_ = &console;
    std::ifstream in(file_, std::ios::binary);
    if (!in) {
        console.print("\n\nERROR:  Can't open the file to verify: %s\n\n", file_.c_str());
        return false;
    }
    text_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    read_ = read_import_text(text_);
    checker_.declare(read_.types);
    if (!read_.fault.empty()) add_problem(file_, "it cannot be read past " + read_.fault);
    const long long kind = settings_.corvane() ? 12 : 13;
    if (read_.exporterKind && *read_.exporterKind != kind)
        add_problem(file_, "its ExporterKind is " + std::to_string(*read_.exporterKind) + ", the server's kind " +
                               std::to_string(kind));
    return true;
}

std::optional<std::size_t> FileVerifier::take(const std::string& path) {
    for (std::size_t at = next_; at < read_.elements.size(); ++at)
        if (read_.elements[at].name == path) {
            for (; next_ < at; ++next_)
                add_problem(read_.elements[next_].name, "the element belongs to no selected part at its place");
            next_ = at + 1;
            return at;
        }
    return std::nullopt;
}

void FileVerifier::verify_part(const std::string& path, const HistoryModel& model) {
    const std::optional<std::size_t> at = take(path);
    if (!at) {
        if (checker_.expects_element(model)) add_problem(path, "the file holds no element of the part");
        return;
    }
    const ReadElement& element = read_.elements[*at];
    ++elements_;
    versions_ += element.versions.size();
    std::string unchecked;
    for (std::string& problem : checker_.check(element, model, nullptr, &unchecked))
        add_problem(path, std::move(problem));
    report_unchecked(*console_, path, unchecked);
}

void FileVerifier::part_failed(const std::string& path, const std::string& reason) {
    add_problem(path, "not verified: " + reason);
    if (next_ < read_.elements.size() && read_.elements[next_].name == path) ++next_;
}

void FileVerifier::add_problem(std::string_view subject, std::string text) {
    ++problems_;
    if (subjects_.empty() || subjects_.back().name != subject) subjects_.push_back({std::string(subject), {}, 0});
    Subject& s = subjects_.back();
    constexpr std::size_t kShown = 3;  // the first problems of each element
    if (s.first.size() < kShown) s.first.push_back(std::move(text));
    else ++s.more;
}

int FileVerifier::finish(Console& console) {
    for (; next_ < read_.elements.size(); ++next_)
        add_problem(read_.elements[next_].name, "the element belongs to no selected part");
    // The writer states no counts (it writes 0); a file that states them must hold them.
    if (read_.numElements.value_or(0) != 0 && *read_.numElements != static_cast<long long>(read_.elements.size()))
        add_problem(file_, "its NumElements is " + std::to_string(*read_.numElements) + ", it holds " +
                               std::to_string(read_.elements.size()) + " elements");
    if (read_.numVersions.value_or(0) != 0 && *read_.numVersions != static_cast<long long>(read_.versionCount))
        add_problem(file_, "its NumVersions is " + std::to_string(*read_.numVersions) + ", it holds " +
                               std::to_string(read_.versionCount) + " versions");
    console.print("\n\nVerified %d elements, %zu versions: %d problems\n", elements_, versions_, problems_);
    for (const Subject& s : subjects_) {
        for (const std::string& problem : s.first) console.print("    %s: %s\n", s.name.c_str(), problem.c_str());
        if (s.more > 0) console.print("    %s: and %d more\n", s.name.c_str(), s.more);
    }
    console.print("\n");
    return problems_ == 0 ? 0 : -1;
}
