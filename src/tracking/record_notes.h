// The note column of the defect and feature import files: each record's long view.
#pragma once

#include <cstddef>
#include <istream>
#include <string>

#include "run_context.h"

/// The longest note an import file carries; a longer note is cut to this many bytes
/// and the cut is announced with kNoteTruncatedMessage.
inline constexpr std::size_t kNoteLimit = 64000;
/// Arguments: the record name, the note's size, kNoteLimit. The words "for defect"
/// serve the feature export too.
/// The sizes are printed whole: a note past 2 GiB must not show a wrapped, negative size.
inline constexpr const char* kNoteTruncatedMessage =
    "\nNote size\t for defect %s is %zu, will be truncated to %zu";

/// The scratch file that receives the long view of `recordName` ("defect%s.out" or
/// "feature%s.out" for the export kind).
std::string notes_file_name(ExportKind kind, const std::string& recordName);

/// The long view command line: "corv defect -view %s -long > %s" and its Vandor and
/// feature forms, with the record name and the scratch file name each quoted for the
/// command interpreter, so that no server value changes the meaning of the line.
std::string compose_notes_command(ServerKind server, ExportKind kind,
                                  const std::string& recordName);

/// Reads a note from `in`: the first kNoteLimit bytes are kept in `noteText`, their
/// CR LF pairs turned into line feeds. Returns the note's whole length in bytes as the
/// server wrote it, so the caller can tell (and say) that it was cut. Memory stays
/// bounded by the limit however long the note is.
std::size_t read_note(std::istream& in, std::string& noteText);

/// How the note of one record is fetched: planned first, so that the commands of
/// several records can run as one series, then finished record by record.
struct NoteFetch {
    enum class Kind { NoName, NotAFileName, Command } kind = Kind::NoName;
    std::string recordId;
    std::string command;  // for Kind::Command: the long view command line
    std::string scratch;  // for Kind::Command: the file it writes
};

/// The fetch of `recordId` for the run's export kind and server kind: no command for an
/// empty name or one that cannot be part of a scratch file name in the current folder.
NoteFetch plan_note_fetch(const RunSettings& settings, const std::string& recordId);

/// Completes a planned fetch once its command has run with `status` (ignored when no
/// command was planned): prints the record's messages, fills `noteText` and removes the
/// scratch file. Result 0 on success (the note may still be empty when the client wrote
/// nothing), -1 when the name is empty, cannot be part of a scratch file name (a warning
/// names the record; nothing is run), or the command failed. The scratch file is removed.
int finish_note_fetch(RunContext& ctx, const NoteFetch& fetch, int status, std::string& noteText);

/// The notes column as written into the import file: the quoted note with its quotes
/// doubled, or "Migrated Note" in quotes when there is no note.
std::string notes_column(const std::string& noteText);
