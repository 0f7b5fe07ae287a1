// The five history steps that turn one part's rows into its ordered, marked,
// branched and labelled versions and hand them to the element writer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "console.h"
#include "history_model.h"
#include "run_context.h"
#include "run_settings.h"

/// The element writer as the history steps see it; each call returns 0 on success.
class VersionSink {
public:
    virtual ~VersionSink() = default;
    /// True once the export's global section is written (it is written once a run).
    virtual bool globals_written() const = 0;
    virtual int write_globals() = 0;
    virtual int write_element_header(const OrderedEntry& entry) = 0;
    virtual int write_version_block(const OrderedEntry& entry) = 0;
};

/// What the steps work on: the model of the current part and the run around it, and
/// where the SID and release lookups of branch points go (none: they are not made).
struct HistorySteps {
    HistoryModel& model;
    const RunSettings& settings;
    Console& console;
    VersionSink& sink;
    RunContext* lookups = nullptr;
};

/// True when the steps export a Corvane part.
inline bool corvane(const HistorySteps& s) { return s.model.kind() == ServerKind::Corvane; }

/// Runs link_ancestors, find_all_children, mark_important_nodes, create_ordered_list
/// and write_ordered_list in order. Returns 0, or the first failing step's result
/// after printing that step's error line; later steps do not run then.
int run_history_steps(HistorySteps& steps);

/// Step 1: every node's parent is the first node named by its ancestor key.
/// -1 (with a message naming the version) when a version is its own ancestor.
int link_ancestors(HistorySteps& steps);
/// Step 2: every node whose ancestor key names a node becomes its child, in list
/// order. -1 when the children form a cycle (possible with repeated names).
int find_all_children(HistorySteps& steps);
/// Step 3: marks the versions the part rows name, labels them, and marks the branch
/// points between them, walking from the top of the head's tree and then from every
/// other root. -1 when a part row names no version.
int mark_important_nodes(HistorySteps& steps);
/// Step 4: sub-branches, branch paths (every tree from its root, its top on the main
/// line), and the ordered list by effective time, leaving out versions whose own time
/// is older than "-since".
int create_ordered_list(HistorySteps& steps);
/// Step 5: globals once a run, the release (and SID) of every version no part row names
/// looked up on the server in order, then the element header and one version block per
/// entry; a failed lookup fails the step before anything of the element is written. The
/// part's lists stay for the caller, which checks the element against them before it
/// releases them. A part left empty by "-since" writes no element and succeeds with a
/// one-line message.
int write_ordered_list(HistorySteps& steps);

/// Where the walks of steps 3 and 4 start: every root (a node without an ancestor link)
/// in list order, the top of the head's tree among them. A walk from the head would see
/// no fork when it is a leaf, as Corvane's newest revision nearly always is, and with
/// children dated before their parents neither kind's head need be a root. The trees'
/// walks do not meet, so their order changes nothing.
std::vector<std::size_t> walk_starts(const std::vector<RevisionNode>& revs);

/// The labels one part row gives the version it names, in the order they are added,
/// without the server kind's prefix.
std::vector<std::string> part_row_labels(const PartRowNode& row, const RunSettings& settings);

/// The change time of a version without a date: before every date that converts.
inline constexpr std::int64_t kEarliestChangeTime = -1;

/// "YYYY/MM/DD HH:MM:SS" read at fixed positions as local time (the system decides
/// daylight saving), in seconds since the epoch; -1 when it cannot be converted,
/// which includes every time before the epoch.
std::int64_t parse_change_time(std::string_view text);
