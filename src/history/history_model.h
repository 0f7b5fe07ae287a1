// Row records, revision nodes, ordered entries and the HistoryModel that holds one
// part's history plus the export-wide registries of declared names and branch types.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "name_tables.h"
#include "run_settings.h"

/// The text after the last "/" of `path`, or `path` itself when it has none.
std::string_view last_component(std::string_view path);

/// Corvane: one PartFullView row (which version of a part lies in which release).
struct PartFullViewRecord {
    std::string nupathname;
    std::string releasename;
    std::string workareaname;
    std::string userlogin;
    std::string revisionname;
    std::string lastupdate;
    std::string fmode;
    std::string sourceid;
};

/// Corvane: one RevisionView row (one revision of a part).
struct RevisionRecord {
    std::string nupathname;
    std::string changedate;
    std::string revisionname;
    std::string ancestorrevision;
    std::string nuadddate;
    std::string sourceid;
};

/// Vandor: one committedVersions row or one Fileview parts row; fields a report
/// lacks stay empty.
struct CommittedVersionRecord {
    std::string pathname;
    std::string releasename;
    std::string compname;
    std::string sid;
    std::string levelname;
    std::string changedate;
    std::string fmode;
    std::string commitdate;
    std::string versionid;
};

/// Vandor: one versions row; pathname is the part's path, set by the reader.
struct VersionRecord {
    std::string pathname;
    std::string sid;
    std::string id;
    std::string previousid;  // "0": no predecessor
    std::string changedate;
};

/// Row parsers over one "|"-separated raw line, columns in report order; missing
/// trailing fields stay empty. Values are carried whole.
PartFullViewRecord parse_part_row(std::string_view line);
RevisionRecord parse_revision_row(std::string_view line);
/// mode 0: the eight Fileview columns; mode 1: the seven committedVersions columns.
std::optional<CommittedVersionRecord> parse_committed_row(std::string_view line, int mode);
VersionRecord parse_version_row(std::string_view line, std::string_view partPath);

/// One part row; exactly one record is set, by the server kind.
struct PartRowNode {
    std::unique_ptr<PartFullViewRecord> partRow;          // Corvane
    std::unique_ptr<CommittedVersionRecord> committedRow;  // Vandor
};

inline constexpr std::size_t kNoNode = static_cast<std::size_t>(-1);

/// One version of the part: node of the revision list and of the revision tree.
struct RevisionNode {
    bool important = false;
    std::int64_t importantCount = 0;  // marked nodes in this subtree, itself included
    bool onbranch = false;
    std::string branchPath;
    NameList subbranches;
    NameList labels;
    RevisionRecord revision;                            // Corvane
    // The first part row matched to the version; held apart, since most versions of a
    // long history have none and the nodes are walked many times.
    std::unique_ptr<PartFullViewRecord> partRow;          // Corvane
    std::unique_ptr<CommittedVersionRecord> committedRow;  // Vandor
    VersionRecord version;                              // Vandor
    std::size_t ancestor = kNoNode;                     // index in the revision list
    std::vector<std::size_t> children;                  // indices, in revision-list order

    std::size_t childCount() const { return children.size(); }
};

/// One version to be written, in time order.
struct OrderedEntry {
    std::int64_t changeTime = 0;
    bool onbranch = false;
    std::string branchPath;
    RevisionRecord revision;
    std::unique_ptr<PartFullViewRecord> partRow;          // none when no part row matched
    std::unique_ptr<CommittedVersionRecord> committedRow;  // none when no part row matched
    VersionRecord version;
    std::vector<std::string> subbranches;
    std::vector<std::string> labels;
    /// A version no part row names (a branch point) takes its release, and on Corvane its
    /// SID, from the server's lookup, made by the history step before the element is
    /// written: the writer only formats.
    bool lookedUp = false;
    std::string lookedUpRelease;
    std::string lookedUpSid;
};

/// Which field plays which part, per server kind, so both kinds run the same steps.
struct RoleTable {
    std::string_view (*nodeName)(const RevisionNode&);
    /// The parent's node name; empty when the node has no parent key.
    std::string_view (*ancestorKey)(const RevisionNode&);
    /// True when the node names no parent at all (a root).
    bool (*isRoot)(const RevisionNode&);
    std::string_view (*revisionMatchKey)(const RevisionNode&);
    std::string_view (*partRowMatchKey)(const PartRowNode&);
    std::string_view (*partRowNameKey)(const PartRowNode&);
    /// The change date text, with the kind's fallback when it is empty.
    std::string_view (*changeDate)(const RevisionNode&);
    /// The part's path as carried by a revision row.
    std::string_view (*partPath)(const RevisionNode&);
};

const RoleTable& role_table(ServerKind kind);

/// The history of the part being exported, and the registries of the whole export.
/// The lists keep report order; every search returns the match nearest the front.
/// Nodes may be changed through revisions() but not renamed: the name indexes are
/// kept as rows are appended.
class HistoryModel {
public:
    explicit HistoryModel(ServerKind kind);

    ServerKind kind() const { return kind_; }
    const RoleTable& roles() const { return *roles_; }

    /// Copies the row into the part-row list; 0, or -1 for a row of the other kind.
    /// A Vandor row whose versionid is "0" is ignored (0, nothing appended).
    int append_part_row(const PartFullViewRecord& row);
    int append_part_row(const CommittedVersionRecord& row);
    /// Copies the row into a new node at the end of the revision list; 0 or -1.
    int append_revision(const RevisionRecord& row);
    int append_revision(const VersionRecord& row);

    /// First node whose node name equals `name`; kNoNode for an empty name or none.
    std::size_t find_revision_by_name(std::string_view name) const;
    /// First node whose match key equals `key`, or kNoNode.
    std::size_t find_revision_by_source(std::string_view key) const;
    /// First node at or after `start` whose ancestor key equals `name` and that
    /// names a parent at all (roots are nobody's children), or kNoNode. A linear
    /// walk: the history steps find all children at once from the ancestor links.
    std::size_t find_child_from(std::string_view name, std::size_t start) const;
    /// First part row at or after `start` whose name key equals `name`, or kNoNode.
    std::size_t find_part_row_from(std::string_view name, std::size_t start) const;
    /// The next part row after `row` with the same name key, or kNoNode.
    std::size_t next_part_row_named_alike(std::size_t row) const { return nextNamedAlike_[row]; }

    /// 0 added or empty, 1 already present.
    static int add_label(RevisionNode& node, std::string_view label);
    /// Adds the leaf of `path` unless it is empty or equals the leaf of the node's
    /// own branch path; a repeated leaf is kept once. Always 0.
    static int add_subbranch(RevisionNode& node, std::string_view path);

    /// 0 newly registered, 1 empty or already registered.
    int register_declared_name(std::string_view name);
    /// Registers the last "/" component of `branchPath`: 0 new, 1 already registered.
    int register_branch_type(std::string_view branchPath);
    /// Whether the registries hold a name already, without registering it.
    bool has_declared_name(std::string_view name) const {
        return declaredNames_.find(name) != declaredNames_.end();
    }
    bool has_branch_type(std::string_view branchPath) const {
        return branchTypes_.contains(last_component(branchPath));
    }

    /// Empties the part's lists; with `all` also the export-wide registries. 0.
    int release_history(bool all);
    /// Empties the part-row list alone. 0.
    int release_part_rows();

    const std::vector<PartRowNode>& partRows() const { return partRows_; }
    std::vector<RevisionNode>& revisions() { return revisions_; }
    const std::vector<RevisionNode>& revisions() const { return revisions_; }
    std::vector<OrderedEntry>& ordered() { return ordered_; }
    const std::vector<OrderedEntry>& ordered() const { return ordered_; }
    /// True when two revisions of the part share a node name.
    bool hasRepeatedNames() const { return repeatedNames_; }
    std::size_t declaredNameCount() const { return declaredNames_.size(); }

private:
    void index_revision(std::size_t index);

    ServerKind kind_;
    const RoleTable* roles_;
    std::vector<PartRowNode> partRows_;
    std::vector<RevisionNode> revisions_;
    std::vector<OrderedEntry> ordered_;
    NameSet declaredNames_;
    NameRegistry branchTypes_;

    // Indexes that stand in for the linear searches.
    FirstNodeIndex<RevisionNode> byName_;
    bool repeatedNames_ = false;
    FirstNodeIndex<RevisionNode> bySource_;
    // Part rows by name key: the first of each name, then a chain in list order.
    FirstNodeIndex<PartRowNode> firstRowNamed_;
    std::vector<std::size_t> nextNamedAlike_;
    std::vector<std::size_t> lastNamedAlike_;  // for the first row of a name: its chain's end
    void index_part_row(std::size_t row);
};
