// The part loop of both history paths: grouping, batched reports, export in order,
// and the list of failed parts.
#include "part_series.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>

#include "output_file.h"
#include "parts_export.h"
#include "platform.h"

void PartConsole::out(std::string_view text) {
    run_.out(text);
    if (!firstError_.empty()) return;
    const std::size_t at = text.find("ERROR:");
    if (at == std::string_view::npos) return;
    std::string_view rest = text.substr(at + 6);
    rest = rest.substr(0, rest.find('\n'));
    const std::size_t first = rest.find_first_not_of(" \t");
    if (first == std::string_view::npos) return;
    rest = rest.substr(first, rest.find_last_not_of(" \t") + 1 - first);
    firstError_ = rest;
}

void PartConsole::begin_part() {
    firstError_.clear();
    reason_.clear();
}

std::string PartConsole::reason() const {
    return !reason_.empty() ? reason_ : !firstError_.empty() ? firstError_ : "failed";
}

int PartRun::end_part() {
    if (writer.element_open())
        if (int rc = writer.write_element_end(); rc != 0) return rc;
    return model.release_part_rows();
}

std::string clashing_scratch_file(const PartHistoryPath& path, int jobs, const std::string& output) {
    const std::filesystem::path target(output);
    const bool here = !target.has_parent_path() || same_file(target.parent_path().string(), ".");
    // Letter case is ignored: where file names keep it, refusing one more name is harmless.
    auto lower = [](std::string text) {
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    const std::string name = lower(target.filename().string());
    const std::size_t slots = kPartsBatch * static_cast<std::size_t>(std::max(jobs, 1));
    for (std::size_t slot = 0; slot < slots; ++slot)
        for (const std::string& file : path.scratch_files(slot))
            if ((here && name == lower(file)) || same_file(output, file)) return file;
    return {};
}

namespace {

struct FailedPart {
    std::string name;
    std::string reason;
};

/// The part loop's state for the whole export: one model, one writer, the series of
/// interpreters the reports and lookups go to, and the parts that failed.
class PartHistories {
public:
    PartHistories(RunContext& run, ExportIdentity& identity, PartHistoryPath& path)
        : path_(path),
          shell_(run.shell, run.settings.jobs),
          console_(run.console),
          ctx_{run.settings, console_, shell_, run.scratch},
          model_(run.settings.serverKind),
          writer_(ctx_, identity, model_),
          steps_{model_, run.settings, console_, writer_},
          part_{ctx_, console_, model_, writer_, steps_} {}

    /// Parts a batch holds: kPartsBatch for each interpreter.
    std::size_t batch_size() const { return kPartsBatch * std::max<std::size_t>(shell_.width(), 1); }

    /// Runs the reports of the batch, then exports its parts one by one in their
    /// order. false when the run cannot go on (no scratch file can be made, or it was
    /// interrupted).
    bool process_batch(const std::vector<PendingPart>& batch) {
        std::vector<std::vector<std::string>> files;
        std::vector<std::string> commands;
        for (std::size_t slot = 0; slot < batch.size(); ++slot) {
            files.push_back(path_.scratch_files(slot));
            // The files stay from batch to batch (each command's redirection empties
            // its own): made and checked once, not created anew for every part.
            if (slot == slotsMade_) {
                for (const std::string& file : files.back()) {
                    if (!ctx_.scratch.prepare(console_, file)) return false;
                    if (path_.user_named(file)) ctx_.scratch.keep(file);
                }
                ++slotsMade_;
            }
            for (std::string& line : path_.command_lines(batch[slot], files.back()))
                commands.push_back(std::move(line));
        }
        // Side by side under -jobs; the statuses come back in line order, and nothing
        // is printed before the parts are exported, in order, below.
        const std::vector<int> statuses = ctx_.shell.run_each(commands);
        std::size_t next = 0;
        for (std::size_t slot = 0; slot < batch.size() && !platform::interrupted(); ++slot) {
            const std::size_t count = files[slot].size();
            process(batch[slot],
                    std::vector<int>(statuses.begin() + static_cast<std::ptrdiff_t>(next),
                                     statuses.begin() + static_cast<std::ptrdiff_t>(next + count)),
                    files[slot]);
            next += count;
        }
        return !platform::interrupted();
    }

    int parts() const { return parts_; }

    int finish() {
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
        console_.print("\n\nERROR:  %d of %d parts were not exported%s:\n",
                       static_cast<int>(failed_.size()), parts_, written.c_str());
        for (const FailedPart& part : failed_)
            console_.print("    %s: %s\n", part.name.c_str(), part.reason.c_str());
        console_.print("\n");
        return -1;
    }

private:
    std::string output_name() const {
        const std::string& name = ctx_.settings.outputFileName;
        return name.empty() ? kDefaultPartsExportFile : name;
    }

    /// Exports one part; a failure drops it whole and leaves the lists empty for the
    /// next one.
    void process(const PendingPart& part, const std::vector<int>& statuses,
                 const std::vector<std::string>& files) {
        ++parts_;
        console_.begin_part();
        console_.print("\nProcessing Part:  %s\n", part.name.c_str());
        if (path_.export_part(part_, part, statuses, files) == 0) return;
        writer_.discard_element();
        model_.release_history(false);
        failed_.push_back({part.name, console_.reason()});
    }

    PartHistoryPath& path_;
    ParallelSeries shell_;
    PartConsole console_;
    RunContext ctx_;
    HistoryModel model_;
    ElementWriter writer_;
    HistorySteps steps_;
    PartRun part_;
    std::size_t slotsMade_ = 0;
    int parts_ = 0;
    std::vector<FailedPart> failed_;
};

}  // namespace

int export_part_histories(RunContext& ctx, ExportIdentity& identity, const std::string& rawFile,
                          const char* emptyMessage, PartHistoryPath& path) {
    std::ifstream raw(rawFile, std::ios::binary);
    if (rawFile.empty() || !raw) {
        ctx.console.print("\n\nERROR:  No Parts Raw File Found: %s \n\n", rawFile.c_str());
        return -1;
    }
    std::error_code ec;
    if (std::filesystem::file_size(rawFile, ec) == 0 || ec) {
        ctx.console.print(emptyMessage, rawFile.c_str());
        return -1;
    }
    PartHistories histories(ctx, identity, path);

    // Rows of one part are adjacent; a part is complete when a row of another part
    // comes, or the file ends (also without a final line end).
    std::vector<PendingPart> batch;
    PendingPart current;
    auto complete_part = [&]() {
        batch.push_back(std::move(current));
        current = {};
        if (batch.size() < histories.batch_size()) return true;
        const bool goOn = histories.process_batch(batch);
        batch.clear();
        return goOn;
    };
    std::string line;
    while (read_line(raw, line)) {
        std::string part = path.part_of(line);
        if (part.empty()) continue;  // a line of no part neither ends nor begins one
        if (!current.name.empty() && part != current.name && !complete_part()) return -1;
        current.name = std::move(part);
        current.lines.push_back(line);
    }
    if (!current.name.empty() && !complete_part()) return -1;
    if (!batch.empty() && !histories.process_batch(batch)) return -1;
    if (histories.parts() == 0) {
        ctx.console.print("\n\nERROR:  The query yields no parts to process\n\n");
        return -1;
    }
    return histories.finish();
}
