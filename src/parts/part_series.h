// The part loop both history paths share: the raw part file read part by part, the
// parts' reports fetched a batch at a time (side by side under -jobs), every part
// exported in raw-file order, and the failed parts listed at the end.
#pragma once

#include <cstddef>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "file_verifier.h"
#include "element_writer.h"
#include "fields.h"
#include "history_model.h"
#include "identity.h"
#include "revision_tree.h"
#include "run_context.h"

/// What a parts export says when its raw part file is empty, by server kind (a printf
/// format of the file name).
inline constexpr const char* kNoRawPartDataMessage = "\n\nERROR:  No Raw Part Data Found in File: %s: \n\n";
inline constexpr const char* kNoFileViewDataMessage = "\n\nERROR:  No FileView Data Found in File: %s: \n\n";

/// Parts whose reports go to one interpreter together; a batch holds this many parts
/// for every interpreter that runs side by side.
inline constexpr std::size_t kPartsBatch = 64;

/// One part of the raw part file: its path and its lines, in file order, and its place
/// among the parts of the file (from 0).
struct PendingPart {
    std::string name;
    std::vector<std::string> lines;
    std::size_t index = 0;
};

/// Passes everything on to the run's console and keeps the first error line printed
/// since the part began: the reason a failed part is listed with at the end, unless
/// the failing step names a better one.
class PartConsole : public Console {
public:
    explicit PartConsole(Console& run) : run_(run) {}
    void out(std::string_view text) override;
    void err(std::string_view text) override { run_.err(text); }
    void flush() override { run_.flush(); }

    void begin_part();
    void set_reason(std::string reason) { reason_ = std::move(reason); }
    std::string reason() const;

private:
    Console& run_;
    std::string firstError_;
    std::string reason_;
};

/// What one part's export works with: the run (its shell is the series the lookups
/// use), the part's console, the history model, the writer, the history steps and the
/// check of each element; under -verify the file checked instead.
struct PartRun {
    RunContext& ctx;
    PartConsole& console;
    HistoryModel& model;
    ElementWriter& writer;
    HistorySteps& steps;
    LineageChecker& checker;
    FileVerifier* verifier = nullptr;

    /// The part's history is loaded: the history steps write its element, or -verify
    /// checks the file's element of the part. 0 or the steps' failure.
    int history_loaded(const std::string& partPath);
    /// Checks the part's element against its history (a failed check fails the part,
    /// said with its first problems) and ends it (a part whose versions all lie before
    /// "-since" has begun none), then lets go of the part's lists; 0 or the failure.
    int end_part();
};

/// How a report of versions is read into the revision list, and what is said when it
/// cannot be read or holds no row of the part.
struct HistoryReport {
    const char* unreadableMessage;  // printf format; the file name
    const char* unreadableReason;
    const char* emptyMessage;  // printf format; the part path
    const char* emptyReason;
};

/// Loads the rows of the report `file` that `append` takes (it returns 0 appended, 1
/// not this part's, -1 failed) and runs the history steps over them. A report that
/// cannot be read (said as `shown`), or holds no row of the part, fails the part with
/// the messages of `report`: the part has versions in the selection, which would
/// otherwise be missing from the export without a word.
template <typename Append>
int load_history(PartRun& run, const std::string& partPath, const std::string& file,
                 const std::string& shown, const HistoryReport& report, Append append);

/// A server kind's history path, as the part loop drives it.
class PartHistoryPath {
public:
    virtual ~PartHistoryPath() = default;
    /// The part a raw line belongs to; empty for a line that belongs to none (skipped).
    virtual std::string part_of(std::string_view line) const = 0;
    /// The release a raw line names.
    virtual std::string release_of(std::string_view line) const = 0;
    /// The scratch files of the reports of the part in place `slot` of a batch.
    virtual std::vector<std::string> scratch_files(std::size_t slot) const = 0;
    /// True for a file of scratch_files that the user named: it stays after the run.
    virtual bool user_named(const std::string&) const { return false; }
    /// The command lines of the part's reports, one into each of `files`.
    virtual std::vector<std::string> command_lines(const PendingPart& part,
                                                   const std::vector<std::string>& files) const = 0;
    /// Exports one part, its reports having ended with `statuses` (one for each of
    /// `files`). 0, or non-zero when the part failed (its messages printed).
    virtual int export_part(PartRun& run, const PendingPart& part, const std::vector<int>& statuses,
                            const std::vector<std::string>& files) = 0;
    /// Runs once every part has been exported, before the export files are combined;
    /// false (after its message) fails the export.
    virtual bool after_last_part(RunContext&) { return true; }
    /// What else of an exported part's reports a resumed run needs, kept in the journal
    /// with its element; and that text given back when the part is taken from a journal.
    virtual std::string journal_extra(const std::vector<std::string>&) const { return {}; }
    virtual void replay_extra(const std::string&) {}
};

/// The parts of a raw part file as the part loop groups them, their rows, and the
/// releases those rows name (each once, in the order first met).
struct SelectionSummary {
    std::size_t lines = 0;  // every line, blank ones and those of no part included
    std::size_t parts = 0;
    std::size_t rows = 0;
    std::vector<std::string> releases;
};
SelectionSummary summarize_selection(std::istream& raw, const PartHistoryPath& path);

/// The file `output` would overwrite among the scratch files of the reports of
/// `path` in every place of the largest batch a run of `jobs` may use, or nothing.
std::string clashing_scratch_file(const PartHistoryPath& path, int jobs, const std::string& output);

/// Exports every part of the raw part file `rawFile` (or of `rows`, the selection an
/// earlier run kept in its journal) through `path`. A failed part is reported and
/// dropped whole; the others go on. When every part succeeded the export files are
/// combined and the totals printed (the result is the combining's). When some failed,
/// the export files are still combined if any element was written, the totals are
/// printed, the failed parts are listed with their reasons, their raw rows go to
/// kFailedPartsFile, and the result is -1. When every part's versions lie before
/// "-since" that is said and the result is -1. -1 at once when the file is missing,
/// empty (`emptyMessage`, a printf format of the file name) or names no part, or when
/// the run is interrupted. Each exported part goes to the run's journal; a part the
/// journal of an earlier run holds (-resume) is written from it, without a call. With a
/// `verifier` nothing is written: each part's element in its file is checked, and the
/// result is the verifier's.
int export_part_histories(RunContext& ctx, ExportIdentity& identity, const std::string& rawFile,
                          const char* emptyMessage, PartHistoryPath& path, const std::string* rows = nullptr,
                          FileVerifier* verifier = nullptr);

// ---------------------------------------------------------------------------------

template <typename Append>
int load_history(PartRun& run, const std::string& partPath, const std::string& file,
                 const std::string& shown, const HistoryReport& report, Append append) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        run.console.print(report.unreadableMessage, shown.c_str());
        run.console.set_reason(report.unreadableReason);
        return -1;
    }
    std::size_t rows = 0;
    std::string line;
    while (read_line(in, line)) {
        const int rc = append(line);
        if (rc < 0) return rc;
        if (rc == 0) ++rows;
    }
    if (rows == 0) {
        run.console.print(report.emptyMessage, partPath.c_str());
        run.console.set_reason(report.emptyReason);
        return -1;
    }
    return run.history_loaded(partPath);
}
