// Walks the raw part file part by part: RevisionView report, history steps, element.
#include "part_history.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "element_writer.h"
#include "fields.h"
#include "history_model.h"
#include "lookups.h"
#include "output_file.h"
#include "parts_export.h"
#include "platform.h"
#include "revision_tree.h"

namespace {

constexpr const char* kRevisionViewHead =
    "corv Report -general RevisionView  -select "
    "\"nupathname,changedate,revisionname,ancestorrevision,nuadddate,sourceid\"";

std::string revision_view_condition(const std::string& partPath) {
    return "nupathname = '" + sql_literal_text(partPath) + "' order by changeDate desc";
}

/// Passes everything on to the run's console and keeps the first error line printed
/// since the part began: the reason a failed part is listed with at the end, unless
/// the failing step names a better one.
class PartConsole : public Console {
  public:
    explicit PartConsole(Console& run) : run_(run) {}
    void out(std::string_view text) override {
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
    void err(std::string_view text) override { run_.err(text); }
    void flush() override { run_.flush(); }

    void begin_part() {
        firstError_.clear();
        reason_.clear();
    }
    void set_reason(std::string reason) { reason_ = std::move(reason); }
    std::string reason() const {
        return !reason_.empty() ? reason_ : !firstError_.empty() ? firstError_ : "failed";
    }

  private:
    Console& run_;
    std::string firstError_;
    std::string reason_;
};

struct FailedPart {
    std::string name;
    std::string reason;
};

/// One part of the raw part file, waiting for its history.
struct PendingPart {
    std::string name;
    std::vector<PartFullViewRecord> rows;
};

/// The history path's state for the whole export: one model, one writer, and the
/// parts that failed. Every command goes through `shell`, the run's command
/// interpreter kept running for the series of parts where the platform can.
class PartHistories {
  public:
    PartHistories(RunContext& run, ExportIdentity& identity, Shell& shell)
        : console_(run.console),
          ctx_{run.settings, console_, shell, run.scratch},
          model_(run.settings.serverKind),
          writer_(ctx_, identity, model_),
          steps_{model_, run.settings, console_, writer_} {}

    /// Runs the RevisionView reports of the batch, then exports its parts one by one
    /// in their order. false when the run cannot go on (no scratch file can be made,
    /// or it was interrupted).
    bool process_batch(const std::vector<PendingPart>& batch) {
        std::vector<int> statuses;
        if (!run_revision_views(batch, statuses)) return false;
        for (std::size_t slot = 0; slot < batch.size() && !platform::interrupted(); ++slot)
            process(batch[slot], statuses[slot], revision_scratch_file(slot));
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

    /// The RevisionView reports of the batch go to the interpreter together, each into
    /// a file of its own, so that it runs them back to back as a script would.
    bool run_revision_views(const std::vector<PendingPart>& batch, std::vector<int>& statuses) {
        std::vector<std::string> commands;
        for (std::size_t slot = 0; slot < batch.size(); ++slot) {
            // The files stay from batch to batch (each command's redirection empties
            // its own): made and checked once, not created anew for every part.
            if (slot == slotsMade_) {
                if (!ctx_.scratch.prepare(console_, revision_scratch_file(slot))) return false;
                ++slotsMade_;
            }
            commands.push_back(
                revision_view_command_line(batch[slot].name, revision_scratch_file(slot)));
        }
        statuses = ctx_.shell.run_each(commands);
        return true;
    }

    /// Exports one part whose RevisionView report ended with `status` into `file`; a
    /// failure drops the part whole and leaves the lists empty for the next one.
    void process(const PendingPart& part, int status, const std::string& file) {
        ++parts_;
        console_.begin_part();
        if (process_part(part, status, file) == 0) return;
        writer_.discard_element();
        model_.release_history(false);
        failed_.push_back({part.name, console_.reason()});
    }

    int process_part(const PendingPart& part, int status, const std::string& file) {
        console_.print("\nProcessing Part:  %s\n", part.name.c_str());
        for (const PartFullViewRecord& row : part.rows)
            if (int rc = model_.append_part_row(row); rc != 0) return rc;
        if (status != 0) {
            console_.print("\n\nERROR:  Can Not Create Revisionview Raw File %s", file.c_str());
            console_.print("\nRevisionView Command is : %s\n",
                           compose_revision_view_command(part.name, file).c_str());
            console_.set_reason("its RevisionView report failed");
            return -1;
        }
        if (int rc = read_revision_rows(part.name, file); rc != 0) return rc;
        // A part whose versions all lie before "-since" has begun no element.
        if (writer_.element_open())
            if (int rc = writer_.write_element_end(); rc != 0) return rc;
        return model_.release_part_rows();
    }

    int read_revision_rows(const std::string& partPath, const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            console_.print("\n\nERROR:  Can not open RevisionView Raw File %s", file.c_str());
            console_.set_reason("its RevisionView report could not be read");
            return -1;
        }
        std::size_t rows = 0;
        std::string line;
        while (read_line(in, line)) {
            RevisionRecord row = parse_revision_row(line);
            if (row.nupathname != partPath) continue;  // not this part's history
            if (int rc = model_.append_revision(row); rc != 0) return rc;
            ++rows;
        }
        if (rows == 0) {
            // The part has versions in the selected releases: without its history they
            // would be missing from the export without a word.
            console_.print("\n\nERROR:  The RevisionView report holds no revision of Part %s\n\n",
                           partPath.c_str());
            console_.set_reason("its RevisionView report holds no revision");
            return -1;
        }
        return run_history_steps(steps_);
    }

    PartConsole console_;
    RunContext ctx_;
    HistoryModel model_;
    ElementWriter writer_;
    HistorySteps steps_;
    std::size_t slotsMade_ = 0;
    int parts_ = 0;
    std::vector<FailedPart> failed_;
};

}  // namespace

std::string revision_scratch_file(std::size_t slot) {
    return strprintf("revTmpFile%03zu.out", slot);
}

std::string clashing_revision_file(const std::string& output) {
    const std::filesystem::path path(output);
    const bool here = !path.has_parent_path() || same_file(path.parent_path().string(), ".");
    // Letter case is ignored: where file names keep it, refusing one more name is harmless.
    auto lower = [](std::string text) {
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    for (std::size_t slot = 0; slot < kPartsBatch; ++slot) {
        const std::string name = revision_scratch_file(slot);
        if ((here && lower(path.filename().string()) == lower(name)) || same_file(output, name))
            return name;
    }
    return {};
}

std::string compose_revision_view_command(const std::string& partPath, const std::string& file) {
    return std::string(kRevisionViewHead) + " -where \"" + revision_view_condition(partPath) +
           "\">" + file;
}

std::string revision_view_command_line(const std::string& partPath, const std::string& file) {
    return std::string(kRevisionViewHead) + " -where " +
           platform::quote_argument(revision_view_condition(partPath)) + ">" + file;
}

int retrieve_part_histories(RunContext& ctx, ExportIdentity& identity, const std::string& rawFile) {
    std::ifstream raw(rawFile, std::ios::binary);
    if (rawFile.empty() || !raw) {
        ctx.console.print("\n\nERROR:  No Parts Raw File Found: %s \n\n", rawFile.c_str());
        return -1;
    }
    std::error_code ec;
    if (std::filesystem::file_size(rawFile, ec) == 0 || ec) {
        ctx.console.print("\n\nERROR:  No Raw Part Data Found in File: %s: \n\n", rawFile.c_str());
        return -1;
    }
    const std::unique_ptr<Shell> series = ctx.shell.start_series();
    PartHistories histories(ctx, identity, series ? *series : ctx.shell);

    // Rows of one part are adjacent; a part is complete when a row of another part
    // comes, or the file ends (also without a final line end).
    std::vector<PendingPart> batch;
    PendingPart current;
    auto complete_part = [&]() {
        batch.push_back(std::move(current));
        current = {};
        if (batch.size() < kPartsBatch) return true;
        const bool goOn = histories.process_batch(batch);
        batch.clear();
        return goOn;
    };
    std::string line;
    while (read_line(raw, line)) {
        PartFullViewRecord row = parse_part_row(line);
        if (row.nupathname.empty()) continue;  // a blank line names no part
        if (!current.name.empty() && row.nupathname != current.name && !complete_part()) return -1;
        current.name = row.nupathname;
        current.rows.push_back(std::move(row));
    }
    if (!current.name.empty() && !complete_part()) return -1;
    if (!batch.empty() && !histories.process_batch(batch)) return -1;
    if (histories.parts() == 0) {
        ctx.console.print("\n\nERROR:  The query yields no parts to process\n\n");
        return -1;
    }
    return histories.finish();
}
