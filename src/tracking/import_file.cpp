// Writes the header and the records of a tracking import file, one raw line at a time.
#include "import_file.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "run_files.h"
#include "field_info.h"
#include "fields.h"
#include "output_file.h"
#include "platform.h"
#include "note_batcher.h"
#include "record_notes.h"

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

/// What the records written so far add up to.
struct Written {
    int records = 0;
    std::vector<std::string> missingNotes;  // the records that carry a placeholder
};

/// Writes the records of `batch` with their notes (`results` holds the result of each
/// note fetched now, in order), each with its client's messages and its progress line.
void write_records(RunContext& ctx, const TrackingFileLayout& layout, const std::vector<PendingRecord>& batch,
                   const std::vector<CallResult>& results, std::ostream& out, Written& written) {
    std::size_t nextResult = 0;
    std::string noteText;
    for (const PendingRecord& pending : batch) {
        int status = 0;
        if (pending.fetches()) {
            status = nextResult < results.size() ? results[nextResult].status : -1;
            // What the client said goes with its record, whichever -jobs ran it.
            if (nextResult < results.size()) report_client_errors(ctx.console, results[nextResult++]);
        }
        std::string record = layout.columns(pending.fields);
        bool missing = false;
        if (pending.note)
            noteText = *pending.note;
        else
            missing = finish_note_fetch(ctx, pending.fetch, status, noteText) != 0;
        if (missing)
            written.missingNotes.push_back(pending.fetch.recordId);
        else if (pending.fetches() && ctx.journal)
            ctx.journal->add("note", {std::to_string(pending.index), pending.fetch.recordId, noteText});
        if (ctx.progress) ctx.progress->advance(missing, !pending.note);
        record += ',';
        record += notes_column(noteText);
        record += '\n';
        out << record;
        // Each record counts, so a file whose only record lacks a line end is kept.
        ++written.records;
        ctx.console.print(layout.progressFormat, written.records);
        // Shown as it happens; and a reader that went away is noticed now.
        ctx.console.flush();
    }
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

    NoteBatcher notes(ctx, raw, logins, layout.loginPositions);
    if (notes.journaled() > 0) ctx.console.print("\n%zu notes of the journal are not fetched again\n", notes.journaled());
    if (ctx.progress) ctx.progress->begin(ctx.settings.progress ? count_lines(rawFileName) : 0, "records");
    Written written;
    while (!platform::interrupted()) {
        const std::vector<PendingRecord> batch = notes.next();
        // Accounts the user map would merge end the export before any more notes are fetched.
        if (batch.empty() || !logins.merge().empty()) break;
        const std::vector<CallResult> results = notes.fetch(batch);
        if (platform::interrupted()) {
            // The notes that came before the interrupt are kept for a -resume.
            notes.journal_fetched(batch, results);
            break;
        }
        write_records(ctx, layout, batch, results, out, written);
        if (ctx.journal) ctx.journal->flush();
        // A full disk ends the export now, not after every note has been fetched.
        if (!out) break;
    }
    if (platform::interrupted()) return -1;
    if (!logins.merge().empty()) {
        ctx.console.print("%s", logins.merge().c_str());
        return -1;
    }
    if (written.records == 0) {
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
    ctx.console.print(layout.countFormat, written.records);
    ctx.console.print("\n");
    if (!written.missingNotes.empty()) {
        warn_missing_notes(ctx.console, written.missingNotes);
        list_missing_notes(ctx, written.missingNotes);
        // A later run with -resume fetches just these.
        if (ctx.journal) ctx.journal->keep();
    }
    logins.report_kept(ctx.console);
    raw.close();
    if (ctx.settings.inFile.empty()) ctx.scratch.remove(rawFileName);
    return layout.values && !write_fallback_report(ctx.console, *layout.values) ? -1 : 0;
}
