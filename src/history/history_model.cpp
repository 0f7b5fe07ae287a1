// HistoryModel: the lists of one part, their indexes, and the export-wide registries.
#include "history_model.h"

#include <algorithm>
#include <span>

#include "fields.h"

namespace {

// --- role table -----------------------------------------------------------------

std::string_view cvn_node_name(const RevisionNode& n) { return n.revision.revisionname; }
std::string_view cvn_ancestor_key(const RevisionNode& n) { return n.revision.ancestorrevision; }
bool cvn_is_root(const RevisionNode& n) { return n.revision.ancestorrevision.empty(); }
std::string_view cvn_match_key(const RevisionNode& n) { return n.revision.sourceid; }
std::string_view cvn_row_match_key(const PartRowNode& r) {
    return r.partRow ? std::string_view(r.partRow->sourceid) : std::string_view();
}
std::string_view cvn_row_name_key(const PartRowNode& r) {
    return r.partRow ? std::string_view(r.partRow->revisionname) : std::string_view();
}
std::string_view cvn_change_date(const RevisionNode& n) {
    return n.revision.changedate.empty() ? n.revision.nuadddate : n.revision.changedate;
}
std::string_view cvn_part_path(const RevisionNode& n) { return n.revision.nupathname; }

std::string_view vdr_node_name(const RevisionNode& n) { return n.version.id; }
bool vdr_is_root(const RevisionNode& n) { return n.version.previousid == "0"; }
std::string_view vdr_ancestor_key(const RevisionNode& n) {
    return vdr_is_root(n) ? std::string_view() : std::string_view(n.version.previousid);
}
std::string_view vdr_match_key(const RevisionNode& n) { return n.version.id; }
std::string_view vdr_row_key(const PartRowNode& r) {
    return r.committedRow ? std::string_view(r.committedRow->versionid) : std::string_view();
}
std::string_view vdr_change_date(const RevisionNode& n) {
    if (!n.version.changedate.empty() || !n.committedRow) return n.version.changedate;
    return n.committedRow->commitdate;
}
std::string_view vdr_part_path(const RevisionNode& n) { return n.version.pathname; }

const RoleTable kCorvaneRoles{cvn_node_name,       cvn_ancestor_key, cvn_is_root,
                              cvn_match_key,       cvn_row_match_key, cvn_row_name_key,
                              cvn_change_date,     cvn_part_path};
const RoleTable kVandorRoles{vdr_node_name, vdr_ancestor_key, vdr_is_root, vdr_match_key,
                             vdr_row_key,   vdr_row_key,      vdr_change_date, vdr_part_path};

}  // namespace

const RoleTable& role_table(ServerKind kind) {
    return kind == ServerKind::Corvane ? kCorvaneRoles : kVandorRoles;
}

std::string_view last_component(std::string_view path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// --- row parsers ----------------------------------------------------------------

PartFullViewRecord parse_part_row(std::string_view line) {
    std::vector<std::string> f = split_fields(line);
    return {field_at(f, 0), field_at(f, 1), field_at(f, 2), field_at(f, 3),
            field_at(f, 4), field_at(f, 5), field_at(f, 6), field_at(f, 7)};
}

RevisionRecord parse_revision_row(std::string_view line) {
    std::vector<std::string> f = split_fields(line);
    return {field_at(f, 0), field_at(f, 1), field_at(f, 2),
            field_at(f, 3), field_at(f, 4), field_at(f, 5)};
}

std::optional<CommittedVersionRecord> parse_committed_row(std::string_view line, int mode) {
    using Column = std::string CommittedVersionRecord::*;
    using R = CommittedVersionRecord;
    // The record field each report column fills, in column order.
    // Fileview: pathname, releasename, versionsid, versionid, compname, adddate, lastupdate, fmode.
    static constexpr Column kFileview[] = {&R::pathname, &R::releasename, &R::sid,        &R::versionid,
                                           &R::compname, &R::commitdate,  &R::changedate, &R::fmode};
    // committedVersions: pathname, releasename, sid, versionid, changedate, levelname, commitdate.
    static constexpr Column kCommitted[] = {&R::pathname,   &R::releasename, &R::sid, &R::versionid,
                                            &R::changedate, &R::levelname,   &R::commitdate};
    std::span<const Column> columns;
    if (mode == 0)
        columns = kFileview;
    else if (mode == 1)
        columns = kCommitted;
    else
        return std::nullopt;
    std::vector<std::string> f = split_fields(line);
    CommittedVersionRecord r;
    for (std::size_t i = 0; i < columns.size(); ++i) r.*columns[i] = field_at(f, i);
    return r;
}

VersionRecord parse_version_row(std::string_view line, std::string_view partPath) {
    std::vector<std::string> f = split_fields(line);
    return {std::string(partPath), field_at(f, 0), field_at(f, 1), field_at(f, 2), field_at(f, 3)};
}

// --- HistoryModel ---------------------------------------------------------------

HistoryModel::HistoryModel(ServerKind kind)
    : kind_(kind),
      roles_(&role_table(kind)),
      byName_(roles_->nodeName),
      bySource_(roles_->revisionMatchKey),
      firstRowNamed_(roles_->partRowNameKey) {}

void HistoryModel::index_part_row(std::size_t row) {
    nextNamedAlike_.push_back(kNoNode);
    lastNamedAlike_.push_back(row);
    std::size_t first = firstRowNamed_.add(partRows_, row);
    if (first != row) {
        nextNamedAlike_[lastNamedAlike_[first]] = row;
        lastNamedAlike_[first] = row;
    }
}

int HistoryModel::append_part_row(const PartFullViewRecord& row) {
    if (kind_ != ServerKind::Corvane) return -1;
    partRows_.emplace_back().partRow = std::make_unique<PartFullViewRecord>(row);
    index_part_row(partRows_.size() - 1);
    return 0;
}

int HistoryModel::append_part_row(const CommittedVersionRecord& row) {
    if (kind_ != ServerKind::Vandor) return -1;
    if (row.versionid == "0") return 0;
    partRows_.emplace_back().committedRow = std::make_unique<CommittedVersionRecord>(row);
    index_part_row(partRows_.size() - 1);
    return 0;
}

int HistoryModel::append_revision(const RevisionRecord& row) {
    if (kind_ != ServerKind::Corvane) return -1;
    revisions_.emplace_back().revision = row;
    index_revision(revisions_.size() - 1);
    return 0;
}

int HistoryModel::append_revision(const VersionRecord& row) {
    if (kind_ != ServerKind::Vandor) return -1;
    revisions_.emplace_back().version = row;
    index_revision(revisions_.size() - 1);
    return 0;
}

void HistoryModel::index_revision(std::size_t index) {
    // An index keeps its existing entry: the first node of a name or key wins.
    if (byName_.add(revisions_, index) != index) repeatedNames_ = true;
    bySource_.add(revisions_, index);
}

std::size_t HistoryModel::find_revision_by_name(std::string_view name) const {
    if (name.empty()) return kNoNode;
    return byName_.find(revisions_, name);
}

std::size_t HistoryModel::find_revision_by_source(std::string_view key) const {
    return bySource_.find(revisions_, key);
}

std::size_t HistoryModel::find_child_from(std::string_view name, std::size_t start) const {
    for (std::size_t i = start; i < revisions_.size(); ++i) {
        const RevisionNode& node = revisions_[i];
        if (!roles_->isRoot(node) && roles_->ancestorKey(node) == name) return i;
    }
    return kNoNode;
}

std::size_t HistoryModel::find_part_row_from(std::string_view name, std::size_t start) const {
    std::size_t row = firstRowNamed_.find(partRows_, name);
    while (row != kNoNode && row < start) row = nextNamedAlike_[row];
    return row;
}

int HistoryModel::add_label(RevisionNode& node, std::string_view label) {
    if (label.empty()) return 0;
    return node.labels.add(label) ? 0 : 1;
}

int HistoryModel::add_subbranch(RevisionNode& node, std::string_view path) {
    if (path.empty()) return 0;
    std::string_view leaf = last_component(path);
    if (leaf == last_component(node.branchPath)) return 0;
    node.subbranches.add(leaf);
    return 0;
}

int HistoryModel::register_declared_name(std::string_view name) {
    if (name.empty()) return 1;
    // Look before inserting: most calls find the name, and need no new node then.
    if (declaredNames_.find(name) != declaredNames_.end()) return 1;
    declaredNames_.emplace(name);
    return 0;
}

int HistoryModel::register_branch_type(std::string_view branchPath) {
    return branchTypes_.insert(last_component(branchPath)) ? 0 : 1;
}

int HistoryModel::release_history(bool all) {
    release_part_rows();
    revisions_.clear();
    ordered_.clear();
    byName_.clear();
    repeatedNames_ = false;
    bySource_.clear();
    if (all) {
        declaredNames_.clear();
        branchTypes_.clear();
    }
    return 0;
}

int HistoryModel::release_part_rows() {
    partRows_.clear();
    firstRowNamed_.clear();
    nextNamedAlike_.clear();
    lastNamedAlike_.clear();
    return 0;
}
