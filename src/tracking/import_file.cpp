// Writes the header and the records of a tracking import file, one raw line at a time.
#include "import_file.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>

#include "export_files.h"
#include "field_info.h"
#include "fields.h"
#include "output_file.h"
#include "platform.h"
#include "record_notes.h"

namespace {

// Records whose note commands are handed to the interpreter at once. Their scratch
// files exist together, so the batch is small.
constexpr std::size_t kNotesBatch = 32;

// Scratch names compared as a file system that ignores letter case would see them.
bool same_scratch_file(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        };
        return lower(x) == lower(y);
    });
}

}  // namespace

void append_column(std::string& record, std::string_view value) {
    if (!record.empty()) record += ',';
    record += '"';
    record += double_quotes(value);
    record += '"';
}

std::string compose_header(const std::vector<std::string>& names) {
    std::string header;
    for (const std::string& name : names) append_column(header, name);
    header += '\n';
    return header;
}

std::string plain_header(std::span<const std::string> fixedNames,
                         const std::vector<std::string>& configFieldNames) {
    std::vector<std::string> names(fixedNames.begin(), fixedNames.end());
    const std::size_t count = std::min(configFieldNames.size(), kMaxConfigFields);
    names.insert(names.end(), configFieldNames.begin(), configFieldNames.begin() + count);
    names.push_back("Notes_Log");
    return compose_header(names);
}

std::string plain_record(const PlainLayout& layout, const std::vector<std::string>& fields,
                         std::size_t configFieldCount) {
    std::string record;
    for (std::size_t pos = 0; pos < layout.fixedNames.size(); ++pos)
        append_column(record, field_at(fields, pos));
    for (std::size_t i = 0; i < configFieldCount; ++i)
        append_column(record, field_at(fields, layout.firstConfigPosition + i));
    return record;
}

namespace {

/// One closing line about the records that carry a placeholder instead of their note.
void warn_missing_notes(Console& console, const std::vector<std::string>& missing) {
    const std::size_t count = missing.size();
    std::string names;
    for (std::size_t i = 0; i < count && i < kNamedMissingNotes; ++i) {
        if (!names.empty()) names += ", ";
        // Shown up to a NUL byte, as every message shows a name, so the list goes on after it.
        names += missing[i].empty() ? "(no name)" : missing[i].c_str();
    }
    if (count > kNamedMissingNotes) names += ", ...";
    console.print("\nWARNING: %zu %s could not be fetched and %s exported as \"Migrated Note\": %s\n", count,
                  count == 1 ? "note" : "notes", count == 1 ? "was" : "were", names.c_str());
}

/// A record waiting for its note.
struct Pending {
    std::vector<std::string> fields;
    NoteFetch fetch;
    std::size_t index = 0;              // the record's place in the raw file, from 0
    std::optional<std::string> note = {};  // its note as an earlier run fetched it
};

/// Keeps in the journal the notes of `batch` whose commands succeeded (`results` holds
/// one for each command, in order).
void journal_fetched_notes(RunContext& ctx, const std::vector<Pending>& batch, const std::vector<CallResult>& results) {
    std::size_t next = 0;
    std::string noteText;
    for (const Pending& pending : batch) {
        if (pending.fetch.kind != NoteFetch::Kind::Command || pending.note || next >= results.size()) continue;
        if (results[next++].status == 0 && ctx.journal && finish_note_fetch(ctx, pending.fetch, 0, noteText) == 0)
            ctx.journal->add("note", {std::to_string(pending.index), pending.fetch.recordId, noteText});
    }
    if (ctx.journal) ctx.journal->flush();
}

/// Lists every record whose note is a placeholder in kNotesNotFetchedFile, one name a
/// line, and says so.
void list_missing_notes(RunContext& ctx, const std::vector<std::string>& missing) {
    std::string list;
    for (const std::string& name : missing) list += name + "\n";
    std::string why;
    if (write_whole_file(kNotesNotFetchedFile, list, why, &ctx.scratch, std::ios::out))
        ctx.console.print("The records whose notes could not be fetched are listed in %s\n", kNotesNotFetchedFile);
    else
        ctx.console.print("\nWARNING: Could not write %s: %s\n", kNotesNotFetchedFile, why.c_str());
}

/// The lines of `file` as the exports read them (a last line without a line end too).
std::size_t count_lines(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::size_t count = 0;
    for (std::string line; read_line(in, line);) ++count;
    return count;
}

}  // namespace

int write_tracking_file(RunContext& ctx, const std::string& rawFileName,
                        const TrackingFileLayout& layout, LoginMapper& logins) {
    std::ifstream raw(rawFileName, std::ios::binary);
    if (!raw) {
        ctx.console.print(layout.missingInputMessage, rawFileName.c_str());
        return -1;
    }
    const std::string outputName = ctx.settings.outputFileName.empty()
                                       ? std::string(layout.defaultOutputName)
                                       : ctx.settings.outputFileName;
    // A text stream: on Windows every line end, those inside notes too, becomes CR LF.
    OutputFile output(outputName, &ctx.scratch);
    if (!output.open()) {
        ctx.console.print("\n\nCan't Open Export Output File: %s - Exiting\n\n", outputName.c_str());
        ctx.console.print("   Reason: %s\n\n", output.failure().c_str());
        return -1;
    }
    std::ostream& out = output.stream();
    out << layout.header;
    ctx.console.print("\n\nGenerating Export File %s\n\n", outputName.c_str());
    ctx.console.flush();

    // One note command per record. The commands of up to kNotesBatch records per job go
    // to the interpreters together, so that each runs them back to back as a script
    // would (with -jobs, several side by side); each record is still written, with its
    // messages, in raw file order, so the file and the console do not depend on -jobs.
    ParallelSeries shell(ctx.shell, ctx.settings.jobs);
    const std::size_t batchSize = kNotesBatch * std::max<std::size_t>(shell.width(), 1);

    // The notes an earlier run fetched (-resume), by the record's place in the raw file.
    const std::map<std::size_t, JournalEntry> journaled =
        ctx.journal ? ctx.journal->numbered("note") : std::map<std::size_t, JournalEntry>{};
    if (!journaled.empty())
        ctx.console.print("\n%zu notes of the journal are not fetched again\n", journaled.size());
    if (ctx.progress) ctx.progress->begin(ctx.settings.progress ? count_lines(rawFileName) : 0, "records");
    std::vector<Pending> batch;
    std::optional<Pending> carried;
    std::vector<std::string> commands;
    int written = 0;
    std::size_t records = 0;
    std::vector<std::string> missingNames;
    std::string line;
    std::string record;
    std::string noteText;
    bool rawLeft = true;
    while (!platform::interrupted()) {
        batch.clear();
        commands.clear();
        if (carried) {
            batch.push_back(std::move(*carried));
            carried.reset();
        }
        // Every raw line is one record, a blank line and an unended last line included.
        while (batch.size() < batchSize && rawLeft) {
            if (!read_line(raw, line)) {
                rawLeft = false;
                break;
            }
            std::vector<std::string> fields = split_fields(line);
            logins.next_record();
            for (std::size_t pos : layout.loginPositions)
                if (pos < fields.size()) logins.map(fields[pos]);
            NoteFetch fetch = plan_note_fetch(ctx.settings, field_at(fields, 1));
            Pending pending{std::move(fields), std::move(fetch), records++};
            if (const auto at = journaled.find(pending.index); at != journaled.end()) {
                std::vector<std::string> earlier = ctx.journal->fields(at->second);
                if (earlier.size() == 3 && earlier[1] == pending.fetch.recordId) pending.note = std::move(earlier[2]);
            }
            // Two records of one name (or, where letter case does not count, of names
            // that differ only in case) share a scratch file: the second waits for the
            // next batch.
            if (pending.fetch.kind == NoteFetch::Kind::Command && !pending.note && !batch.empty() &&
                std::any_of(batch.begin(), batch.end(), [&](const Pending& p) {
                    return same_scratch_file(p.fetch.scratch, pending.fetch.scratch);
                })) {
                carried = std::move(pending);
                break;
            }
            batch.push_back(std::move(pending));
        }
        // Accounts the user map would merge end the export before any more notes are fetched.
        if (batch.empty() || !logins.merge().empty()) break;
        for (const Pending& pending : batch) {
            if (pending.fetch.kind != NoteFetch::Kind::Command || pending.note) continue;
            ctx.scratch.add(pending.fetch.scratch);
            commands.push_back(pending.fetch.command);
        }
        const std::vector<CallResult> results = shell.run_each(commands);
        if (platform::interrupted()) {
            // The notes that came before the interrupt are kept for a -resume.
            journal_fetched_notes(ctx, batch, results);
            break;
        }
        std::size_t nextResult = 0;
        for (const Pending& pending : batch) {
            int status = 0;
            const bool command = pending.fetch.kind == NoteFetch::Kind::Command && !pending.note;
            if (command && nextResult < results.size()) {
                // What the client said goes with its record, whichever -jobs ran it.
                report_client_errors(ctx.console, results[nextResult]);
                status = results[nextResult++].status;
            } else if (command) {
                status = -1;
            }
            record = layout.columns(pending.fields);
            bool missing = false;
            if (pending.note)
                noteText = *pending.note;
            else
                missing = finish_note_fetch(ctx, pending.fetch, status, noteText) != 0;
            if (missing)
                missingNames.push_back(pending.fetch.recordId);
            else if (command && ctx.journal)
                ctx.journal->add("note", {std::to_string(pending.index), pending.fetch.recordId, noteText});
            if (ctx.progress) ctx.progress->advance(missing, !pending.note);
            record += ',';
            record += notes_column(noteText);
            record += '\n';
            out << record;
            // Each record counts, so a file whose only record lacks a line end is kept.
            ++written;
            ctx.console.print(layout.progressFormat, written);
            // Shown as it happens; and a reader that went away is noticed now.
            ctx.console.flush();
        }
        if (ctx.journal) ctx.journal->flush();
        // A full disk ends the export now, not after every note has been fetched.
        if (!out) break;
    }
    if (platform::interrupted()) return -1;
    if (!logins.merge().empty()) {
        ctx.console.print("%s", logins.merge().c_str());
        return -1;
    }
    if (written == 0) {
        // Nothing but the header: the file is not made, and none of that name is left
        // to pass for this export.
        output.discard();
        std::remove(outputName.c_str());
    } else if (!output.commit()) {
        // A full disk must not pass for a finished export.
        ctx.console.print("\n\nERROR: Could not write Export Output File: %s: %s\n\n", outputName.c_str(),
                          output.failure().c_str());
        return -1;
    }
    ctx.console.print("\n");
    ctx.console.print(layout.countFormat, written);
    ctx.console.print("\n");
    if (!missingNames.empty()) {
        warn_missing_notes(ctx.console, missingNames);
        list_missing_notes(ctx, missingNames);
        // A later run with -resume fetches just these.
        if (ctx.journal) ctx.journal->keep();
    }
    logins.report_kept(ctx.console);
    raw.close();
    if (ctx.settings.inFile.empty()) ctx.scratch.remove(rawFileName);
    return layout.values && !write_fallback_report(ctx.console, *layout.values) ? -1 : 0;
}
