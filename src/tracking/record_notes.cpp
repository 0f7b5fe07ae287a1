// Fetches a record's long view through the server client and reads it as its note.
#include "record_notes.h"

#include <array>
#include <fstream>

#include "fields.h"
#include "platform.h"

std::string notes_file_name(ExportKind kind, const std::string& recordName) {
    return (kind == ExportKind::Features ? "feature" : "defect") + recordName + ".out";
}

std::string compose_notes_command(ServerKind server, ExportKind kind,
                                  const std::string& recordName) {
    const bool features = kind == ExportKind::Features;
    std::string command;
    if (server == ServerKind::Corvane)
        command = features ? "corv feature -view " : "corv defect -view ";
    else
        command = features ? "Feature -view " : "Defect -view ";
    command += platform::quote_argument(recordName);
    command += " -long > ";
    command += platform::quote_argument(notes_file_name(kind, recordName));
    return command;
}

std::size_t read_note(std::istream& in, std::string& noteText) {
    noteText.clear();
    std::size_t length = 0;  // bytes of the note as the server wrote them
    bool pendingCr = false;  // a kept CR that may be the first half of a CR LF pair
    std::array<char, 65536> chunk;
    while (in) {
        in.read(chunk.data(), chunk.size());
        const std::streamsize got = in.gcount();
        for (std::streamsize i = 0; i < got; ++i, ++length) {
            const char c = chunk[static_cast<std::size_t>(i)];
            if (length > kNoteLimit) continue;  // past the limit: only counted
            if (pendingCr) {
                pendingCr = false;
                // A pair cut by the limit still ends its line.
                noteText += c == '\n' ? '\n' : '\r';
                if (c == '\n' || length == kNoteLimit) continue;
            }
            if (length == kNoteLimit) continue;
            if (c == '\r')
                pendingCr = true;
            else
                noteText += c;
        }
    }
    if (pendingCr) noteText += '\r';
    return length;
}

NoteFetch plan_note_fetch(const RunSettings& settings, const std::string& recordId) {
    NoteFetch fetch;
    fetch.recordId = recordId;
    if (recordId.empty()) return fetch;
    fetch.scratch = notes_file_name(settings.exportKind, recordId);
    if (!platform::is_plain_file_name(fetch.scratch)) {
        fetch.kind = NoteFetch::Kind::NotAFileName;
        fetch.scratch.clear();
        return fetch;
    }
    fetch.kind = NoteFetch::Kind::Command;
    fetch.command = compose_notes_command(settings.serverKind, settings.exportKind, recordId);
    return fetch;
}

int finish_note_fetch(RunContext& ctx, const NoteFetch& fetch, int status, std::string& noteText) {
    noteText.clear();
    const bool features = ctx.settings.exportKind == ExportKind::Features;
    const char* name = fetch.recordId.c_str();
    switch (fetch.kind) {
        case NoteFetch::Kind::NoName:
            return -1;
        case NoteFetch::Kind::NotAFileName:
            // The name would put the scratch file outside the current folder or cannot
            // name a file at all: the record is exported without its note.
            ctx.console.print(
                "\nWARNING: %s %s has a name that cannot be part of a file name; its note is "
                "not exported\n",
                features ? "Feature" : "Defect", name);
            return -1;
        case NoteFetch::Kind::Command:
            break;
    }
    int result = 0;
    if (status != 0) {
        ctx.console.print(features ? "\nFeature Information Not Found for Feature %s\n"
                                   : "\nDefect Information Not Found for Defect %s\n",
                          name);
        result = -1;
    } else {
        std::ifstream in(fetch.scratch, std::ios::binary);
        if (in) {
            const std::size_t length = read_note(in, noteText);
            if (length > kNoteLimit)
                ctx.console.print(kNoteTruncatedMessage, name, length, kNoteLimit);
        }
    }
    ctx.scratch.remove(fetch.scratch);
    return result;
}

std::string notes_column(const std::string& noteText) {
    if (noteText.empty()) return "\"Migrated Note\"";
    std::string column = "\"";
    column += double_quotes(noteText);
    column += '"';
    return column;
}
