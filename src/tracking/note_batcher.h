// The records of a tracking export read from the raw report a batch at a time, and their
// notes fetched together: several long view commands per interpreter, side by side under
// -jobs, each record still written in raw file order.
#pragma once

#include <cstddef>
#include <istream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "journal.h"
#include "mapping_files.h"
#include "record_notes.h"
#include "run_context.h"

/// A record waiting for its note.
struct PendingRecord {
    std::vector<std::string> fields;
    NoteFetch fetch;
    std::size_t index = 0;                 // the record's place in the raw file, from 0
    std::optional<std::string> note = {};  // its note as an earlier run fetched it
    /// True when its note is to be fetched now (a command, and no note of an earlier run).
    bool fetches() const { return fetch.kind == NoteFetch::Kind::Command && !note; }
};

/// Reads records off `raw` in batches of kNotesBatch for each interpreter, and fetches
/// their notes. Two records whose notes would share a scratch file (one name, or names that
/// differ only in letter case where the file system ignores it) never go in one batch. A
/// note the journal of an earlier run holds for the record's place (-resume) is taken from
/// it instead of fetched. `logins` sees every record's logins at `loginPositions` as it
/// is read.
class NoteBatcher {
public:
    NoteBatcher(RunContext& ctx, std::istream& raw, LoginMapper& logins, std::vector<std::size_t> loginPositions);
    /// Notes of the journal that are not fetched again.
    std::size_t journaled() const { return journaled_.size(); }
    /// The next records in raw file order: every raw line is one, a blank line and an
    /// unended last line included. Empty at the end of the report.
    std::vector<PendingRecord> next();
    /// Runs the note commands of the records of `batch` that fetch; their results in order.
    std::vector<CallResult> fetch(const std::vector<PendingRecord>& batch);
    /// Keeps in the journal the notes of `batch` whose commands succeeded (`results` as
    /// fetch() gave them): an interrupted export keeps what it fetched for a -resume.
    void journal_fetched(const std::vector<PendingRecord>& batch, const std::vector<CallResult>& results);

private:
    RunContext& ctx_;
    std::istream& raw_;
    LoginMapper& logins_;
    std::vector<std::size_t> loginPositions_;
    ParallelSeries shell_;
    std::size_t batchSize_;
    std::map<std::size_t, JournalEntry> journaled_;
    std::optional<PendingRecord> carried_;
    std::size_t records_ = 0;
    bool rawLeft_ = true;
};
