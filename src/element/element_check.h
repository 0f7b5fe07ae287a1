// Each element of an element import file checked against its part's history as the
// server gave it: as it is written during an export, and by -verify.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console.h"
#include "element_reader.h"
#include "history_model.h"
#include "run_settings.h"

/// Checks elements against the histories of their parts, knowing the types the file
/// declares.
class LineageChecker {
public:
    explicit LineageChecker(const RunSettings& settings);

    /// The problems of `element` against the history in `model` (its part rows and
    /// revisions as read from the server), each naming its version; empty when it
    /// passes. `extra` types count as declared besides those declare() was given.
    ///
    /// A version's predecessor in the file is the version before it on its branch, or,
    /// for the first on a branch, the version before it on the parent branch that lists
    /// the branch as a SubBranch; it must be the version's nearest ancestor on the
    /// server that the element holds. Not judged: the top of a tree that is the only
    /// version of its tree without such an ancestor (a later tree on the main line),
    /// and under "-since" a version without such an ancestor or a branch whose branch
    /// point the date left out. Every version a part row names (changed at or after
    /// "-since") must be there, with exactly the labels its part rows give; labels and
    /// every name of a branch path must be declared types.
    /// When the server gives one name to two versions, which one another came from is
    /// not guessed at: the lineage goes unchecked and `unchecked` says why.
    std::vector<std::string> check(const ReadElement& element, const HistoryModel& model,
                                   const DeclaredTypes* extra = nullptr, std::string* unchecked = nullptr) const;
    /// True when the part has a version the export must write: one a part row names,
    /// changed at or after "-since".
    bool expects_element(const HistoryModel& model) const;
    /// The check of an element as it is written: `text` is its block without its end,
    /// `newTypes` the type blocks its end will declare. Those become declared when it
    /// passes.
    std::vector<std::string> check_written(std::string text, std::string_view newTypes, const HistoryModel& model,
                                           std::string* unchecked);
    /// Adds `types` to the types the file declares; with `numbered` false, not the branch
    /// types named by the branch prefix and a number (see below).
    void declare(const DeclaredTypes& types, bool numbered = true);
    /// Adds the types of the type blocks `typeBlocks` as written (an element of an earlier
    /// run written again from its journal declares them without being checked again).
    void declare_written(std::string_view typeBlocks);

private:
    std::int64_t version_time(const HistoryModel& model, std::size_t node, std::size_t firstRow) const;
    /// The number after the branch prefix of a branch type named so, or empty.
    std::string_view branch_number(std::string_view name) const;
    bool has_branch_type(std::string_view name, const HistoryModel& model) const;

    const RunSettings& settings_;
    std::string_view branchPrefix_;
    std::optional<std::int64_t> since_;
    // The types the file declares. Branch types named by the prefix and a number (a
    // Vandor version id: one for every branch of every part) are held as numbers; during
    // an export the model's registry of branch types holds them (the writer registers
    // each one it declares), so that the check stays small however long the export.
    NameSet labels_;
    NameSet branches_;
    NameRegistry numberedBranches_;
};

/// Says, as a warning, why the lineage of the part at `path` is not checked (nothing
/// when `why` is empty).
void report_unchecked(Console& console, std::string_view path, const std::string& why);
