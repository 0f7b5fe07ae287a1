// The part loop of both history paths: grouping, batched reports, export in order,
// and the list of failed parts.
#include "part_series.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <utility>

#include "failed_parts.h"
#include "run_files.h"
#include "parts_export.h"
#include "platform.h"

namespace {

/// A batch of parts whose reports are under way.
struct FetchedBatch {
    std::vector<PendingPart> parts;
    std::vector<std::vector<std::string>> files;  // each part's scratch files
    std::future<std::vector<CallResult>> results;  // each report's, in order
};

/// The part loop's state for the whole export: one model, one writer, the series of
/// interpreters the reports go to and the one of the lookups (a series of its own, since
/// the report series may be busy with the next batch meanwhile), and the parts that
/// failed. While one batch is exported the reports of the next one run, into the
/// other of two sets of scratch files.
class PartHistories {
public:
    PartHistories(RunContext& run, ExportIdentity& identity, PartHistoryPath& path, FileVerifier* verifier)
        : path_(path),
          reports_(run.shell, run.settings.jobs),
          lookupSeries_(run.shell.start_series()),
          console_(run.console),
          ctx_{run.settings, console_, lookupSeries_ ? *lookupSeries_ : run.shell, run.scratch},
          model_(run.settings.serverKind),
          writer_(ctx_, identity, model_),
          steps_{model_, run.settings, console_, writer_, &ctx_},
          checker_(run.settings),
          part_{ctx_, console_, model_, writer_, steps_, checker_, verifier},
          journal_(run.journal),
          progress_(run.progress),
          journaled_(run.journal ? run.journal->numbered("part") : decltype(journaled_){}) {}

    /// Parts the journal of an earlier run holds.
    std::size_t journaled() const { return journaled_.size(); }

    /// Parts a batch holds: kPartsBatch for each interpreter.
    std::size_t batch_size() const { return kPartsBatch * std::max<std::size_t>(reports_.width(), 1); }

    /// Starts the reports of `batch` once those of the batch before have ended, then
    /// exports the batch before, part by part in its order. false when the run cannot
    /// go on (no scratch file can be made, or it was interrupted).
    bool add_batch(std::vector<PendingPart> batch) {
        FetchedBatch next;
        std::vector<std::string> commands;
        for (std::size_t slot = 0; slot < batch.size(); ++slot) {
            // A part the journal holds needs no report.
            if (earlier(batch[slot])) {
                next.files.emplace_back();
                continue;
            }
            const std::size_t place = set_ * batch_size() + slot;
            next.files.push_back(path_.scratch_files(place));
            // The files stay from batch to batch (each command's redirection empties
            // its own): made and checked once, not created anew for every part.
            if (made_.size() <= place) made_.resize(place + 1, false);
            if (!made_[place]) {
                for (const std::string& file : next.files.back()) {
                    if (!ctx_.scratch.prepare(console_, file)) return false;
                    if (path_.user_named(file)) ctx_.scratch.keep(file);
                }
                made_[place] = true;
            }
            for (std::string& line : path_.command_lines(batch[slot], next.files.back()))
                commands.push_back(std::move(line));
        }
        next.parts = std::move(batch);
        std::vector<CallResult> previous;
        if (fetching_) previous = fetching_->results.get();
        // Side by side under -jobs; the results come back in line order, and nothing
        // is printed before the parts are exported, in order. A shell without series
        // (a test's) serves the lookups too: its reports run when their results are
        // asked for instead of meanwhile.
        const std::launch when = lookupSeries_ ? std::launch::async : std::launch::deferred;
        next.results = std::async(when, [this, lines = std::move(commands)] { return reports_.run_each(lines); });
        set_ = 1 - set_;
        std::optional<FetchedBatch> done = std::move(fetching_);
        fetching_ = std::move(next);
        return !done || export_batch(*done, previous);
    }

    /// Exports the last batch; false when the run was interrupted.
    bool finish_batches() {
        if (!fetching_) return true;
        const std::vector<CallResult> results = fetching_->results.get();
        const FetchedBatch done = std::move(*fetching_);
        fetching_.reset();
        return export_batch(done, results);
    }

    int parts() const { return parts_; }

    int finish() {
        if (part_.verifier) return part_.verifier->finish(console_);
        failed_.keep_rows(console_, ctx_.scratch);
        if (failed_.empty() && writer_.elementCount() == 0 && !ctx_.settings.sinceDate.empty()) {
            console_.print("\n\nERROR:  No version was changed since %s\n\n", ctx_.settings.sinceDate.c_str());
            return -1;
        }
        if (failed_.empty()) return finish_parts_export(writer_, model_, console_);
        // The parts that did not fail are not held back by those that did.
        std::string written = "; no export file was written";
        if (writer_.elementCount() > 0) {
            const int elements = writer_.elementCount();
            if (finish_parts_export(writer_, model_, console_) == 0)
                written = strprintf("; %s holds the other %d", output_name().c_str(), elements);
        } else {
            print_export_totals(writer_, console_);
        }
        failed_.report(console_, parts_, written);
        return -1;
    }

private:
    bool export_batch(const FetchedBatch& batch, const std::vector<CallResult>& results) {
        std::size_t next = 0;
        for (std::size_t slot = 0; slot < batch.parts.size() && !platform::interrupted(); ++slot) {
            const std::size_t count = batch.files[slot].size();
            process(batch.parts[slot],
                    std::vector<CallResult>(results.begin() + static_cast<std::ptrdiff_t>(next),
                                            results.begin() + static_cast<std::ptrdiff_t>(next + count)),
                    batch.files[slot]);
            next += count;
        }
        if (journal_) journal_->flush();
        return !platform::interrupted();
    }

    /// The fields of the earlier run's journal entry of `part`: its place, name, versions,
    /// its reports' extra, its declarations, and last its element; nothing when there is
    /// none.
    std::optional<std::vector<std::string>> earlier(const PendingPart& part) const {
        const auto at = journaled_.find(part.index);
        if (at == journaled_.end()) return std::nullopt;
        std::vector<std::string> fields = journal_->fields(at->second);
        if (fields.size() < 5 || fields[1] != part.name) return std::nullopt;
        return fields;
    }

    /// Writes a part as the earlier run's journal holds it (`fields` as earlier() gives them).
    void replay(const PendingPart& part, std::vector<std::string>& fields) {
        WrittenElement element;
        element.text = std::move(fields.back());
        std::from_chars(fields[2].data(), fields[2].data() + fields[2].size(), element.versions);
        for (std::size_t i = 4; i + 1 < fields.size(); ++i)
            if (!fields[i].empty()) element.declarations.emplace_back(fields[i][0], fields[i].substr(1));
        path_.replay_extra(fields[3]);
        const bool ok = writer_.replay_element(element) == 0;
        // The parts checked after it see what it declared, as after a part exported now.
        if (ok) checker_.declare_written(writer_.type_blocks(element));
        if (!ok) failed_.add(part.name, console_.reason(), part.lines);
        if (progress_) progress_->advance(!ok, false);
    }

    /// Keeps what an exported part wrote in the journal.
    void journal_part(const PendingPart& part, const std::vector<std::string>& files) {
        WrittenElement element = writer_.take_last_element();
        if (!journal_ || !journal_->is_open()) return;
        std::vector<std::string> fields{std::to_string(part.index), part.name, std::to_string(element.versions),
                                        path_.journal_extra(files)};
        for (auto& [kind, name] : element.declarations) fields.push_back(kind + std::move(name));
        journal_->add("part", fields, element.text);
    }

    std::string output_name() const {
        const std::string& name = ctx_.settings.outputFileName;
        return name.empty() ? kDefaultPartsExportFile : name;
    }

    /// Exports one part; a failure drops it whole and leaves the lists empty for the
    /// next one.
    void process(const PendingPart& part, const std::vector<CallResult>& results,
                 const std::vector<std::string>& files) {
        ++parts_;
        console_.begin_part();
        if (std::optional<std::vector<std::string>> fields = earlier(part)) return replay(part, *fields);
        writer_.take_last_element();  // an earlier part's, not this one's
        // What the part's clients said comes with the part, whichever -jobs ran them.
        std::vector<int> statuses;
        for (const CallResult& result : results) {
            report_client_errors(console_, result);
            statuses.push_back(result.status);
        }
        console_.print("\nProcessing Part:  %s\n", part.name.c_str());
        console_.flush();  // a reader that went away is noticed at the next part
        const bool ok = path_.export_part(part_, part, statuses, files) == 0;
        if (ok) {
            journal_part(part, files);
        } else {
            writer_.discard_element();
            model_.release_history(false);
            if (part_.verifier)
                part_.verifier->part_failed(part.name, console_.reason());
            else
                failed_.add(part.name, console_.reason(), part.lines);
        }
        if (progress_) progress_->advance(!ok);
    }

    PartHistoryPath& path_;
    ParallelSeries reports_;
    std::unique_ptr<Shell> lookupSeries_;
    PartConsole console_;
    RunContext ctx_;
    HistoryModel model_;
    ElementWriter writer_;
    HistorySteps steps_;
    LineageChecker checker_;
    PartRun part_;
    std::size_t set_ = 0;     // the set of scratch files the next batch goes to
    std::vector<bool> made_;  // by place: its scratch files are made
    // Declared after the shells it runs on: its reports end before they go.
    std::optional<FetchedBatch> fetching_;
    int parts_ = 0;
    FailedParts failed_;
    Journal* journal_;
    Progress* progress_;
    std::map<std::size_t, JournalEntry> journaled_;  // the parts an earlier run's journal holds
};

}  // namespace

int export_part_histories(RunContext& ctx, ExportIdentity& identity, const std::string& rawFile,
                          const char* emptyMessage, PartHistoryPath& path, const std::string* rows,
                          FileVerifier* verifier) {
    std::ifstream file;
    std::istringstream kept;
    std::istream* raw = &kept;
    if (rows) {
        kept.str(*rows);
    } else {
        file.open(rawFile, std::ios::binary);
        raw = &file;
        if (rawFile.empty() || !file) {
            ctx.console.print("\n\nERROR:  No Parts Raw File Found: %s \n\n", rawFile.c_str());
            return -1;
        }
    }
    std::error_code ec;
    if (rows ? rows->empty() : (std::filesystem::file_size(rawFile, ec) == 0 || ec)) {
        ctx.console.print(emptyMessage, rawFile.c_str());
        return -1;
    }
    PartHistories histories(ctx, identity, path, verifier);
    if (histories.journaled() > 0)
        ctx.console.print("\n%zu parts of the journal are not fetched again\n", histories.journaled());
    if (ctx.progress && ctx.settings.progress) {
        const std::size_t parts = summarize_selection(*raw, path).parts;
        raw->clear();
        raw->seekg(0);
        ctx.progress->begin(parts, "parts");
    }

    // Rows of one part are adjacent; a part is complete when a row of another part
    // comes, or the file ends (also without a final line end).
    std::vector<PendingPart> batch;
    PendingPart current;
    std::size_t completed = 0;
    auto complete_part = [&]() {
        current.index = completed++;
        batch.push_back(std::move(current));
        current = {};
        if (batch.size() < histories.batch_size()) return true;
        return histories.add_batch(std::exchange(batch, {}));
    };
    std::string line;
    while (read_line(*raw, line)) {
        std::string part = path.part_of(line);
        if (part.empty()) continue;  // a line of no part neither ends nor begins one
        if (!current.name.empty() && part != current.name && !complete_part()) return -1;
        current.name = std::move(part);
        current.lines.push_back(line);
    }
    if (!current.name.empty() && !complete_part()) return -1;
    if (!batch.empty() && !histories.add_batch(std::move(batch))) return -1;
    if (!histories.finish_batches()) return -1;
    // The file read may be the one the failed parts are listed in ("-infile").
    file.close();
    if (histories.parts() == 0) {
        ctx.console.print("\n\nERROR:  The query yields no parts to process\n\n");
        return -1;
    }
    if (!path.after_last_part(ctx)) return -1;
    return histories.finish();
}
