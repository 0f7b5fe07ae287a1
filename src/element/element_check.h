// Element import files read back by a reader of their own, and each element checked
// against its part's history as the server gave it: during an export, and by -verify.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console.h"
#include "history_model.h"
#include "run_settings.h"

/// One version block as read; its values point into the text read.
struct ReadVersion {
    std::string_view id;
    bool onBranch = false;
    std::string_view branch;  // the OnBranch value
    std::vector<std::string_view> subBranches;
    std::vector<std::string_view> labels;
};

/// One element block as read.
struct ReadElement {
    std::string_view name;
    std::vector<ReadVersion> versions;
};

/// The label and branch type names a file declares.
struct DeclaredTypes {
    NameSet labels;
    NameSet branches;
};

/// What a text in the element import format holds, as far as it could be read.
struct ReadImport {
    std::optional<long long> numElements, numVersions, exporterKind;
    DeclaredTypes types;
    std::vector<ReadElement> elements;
    std::size_t versionCount = 0;
    /// Why reading stopped before the end ("line N: ..."); empty when all was read.
    std::string fault;
};

/// Reads the blocks of `text` (globals, types, directories, elements, in any order),
/// line ends LF or CR LF. A text value is exactly as long as its prefix says. Reading
/// stops at the first line that does not fit the format; the values point into `text`.
ReadImport read_import_text(std::string_view text);

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

/// A parts run that checks an element import file made earlier instead of writing
/// one: the file's elements are paired in order with the parts of the selection.
class FileVerifier {
public:
    FileVerifier(const RunSettings& settings, std::string file);
    /// Reads the whole file; false after a message when it cannot be opened.
    bool load(Console& console);
    /// Pairs the part at `path` with the next element of that name and checks it. A
    /// part without one is a problem unless "-since" leaves it nothing to write;
    /// elements passed over on the way belong to no selected part.
    void verify_part(const std::string& path, const HistoryModel& model);
    /// A part whose history could not be read: a problem; its element is passed over.
    void part_failed(const std::string& path, const std::string& reason);
    /// Prints "Verified N elements, M versions: K problems" and the first problems of
    /// each element; 0 when K is 0, else -1.
    int finish(Console& console);

private:
    /// The next element named `path` at or after the cursor, or none.
    std::optional<std::size_t> take(const std::string& path);
    void add_problem(std::string_view subject, std::string text);

    const RunSettings& settings_;
    Console* console_ = nullptr;  // the run's, from load()
    std::string file_;
    std::string text_;
    ReadImport read_;
    LineageChecker checker_;
    std::size_t next_ = 0;  // the first element not yet paired or passed over
    int elements_ = 0;
    std::size_t versions_ = 0;
    struct Subject {
        std::string name;
        std::vector<std::string> first;  // its first problems
        int more = 0;
    };
    std::vector<Subject> subjects_;
    int problems_ = 0;
};
