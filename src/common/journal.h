// The journal of a run: what it has finished, kept in the working folder while it works,
// so that a run that failed or was stopped can go on from it ("-resume").
#pragma once

#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* kJournalFile = "ferrox.journal";

/// One entry of a journal: a tag and its fields.
struct JournalEntry {
    std::string tag;
    std::vector<std::string> fields;
};

/// The complete entries of a journal file, and the bytes they take from its start.
struct JournalContents {
    std::vector<JournalEntry> entries;
    std::uintmax_t length = 0;
};

/// An entry in the file: "<tag> <payload length>\n<payload>\n", the payload made of each
/// field as "<length>:<bytes>", so that any bytes can stand in a field. A last entry cut
/// short (a run killed while writing it) is not read.
std::string encode_journal_entry(std::string_view tag, std::initializer_list<std::string_view> fields);

/// The journal a run writes and, when it resumes, the one an earlier run left. Writes
/// are buffered and reach the file with flush(): what a killed run had not flushed is
/// fetched again. A journal that cannot be written only costs the resume its help:
/// failed() tells, and the run goes on.
class Journal {
public:
    /// The complete entries of `file`, or nothing when it is missing or no journal.
    static std::optional<JournalContents> read(const std::string& file);

    /// Starts `file` afresh (replacing any) with the entry `first`; false with the reason.
    bool create(const std::string& file, const JournalEntry& first, std::string& why);
    /// Goes on with the journal `earlier` read from `file`: its entries are kept (a cut
    /// last entry is dropped) and new ones follow them; false with the reason.
    bool resume(const std::string& file, JournalContents earlier, std::string& why);

    /// True when the run goes on from an earlier run's journal.
    bool resuming() const { return resuming_; }
    /// The earlier run's entries (none unless resuming).
    const std::vector<JournalEntry>& earlier() const { return earlier_; }
    /// The earlier run's first entry with `tag`, or null.
    const JournalEntry* find(std::string_view tag) const;
    /// The earlier run's entries with `tag` and at least `fields` fields, by the number
    /// their first field holds (the place of a part or record among all).
    std::map<std::size_t, const JournalEntry*> numbered(std::string_view tag, std::size_t fields) const;

    void add(std::string_view tag, std::initializer_list<std::string_view> fields);
    void add(std::string_view tag, const std::vector<std::string>& fields);
    void flush();
    bool is_open() const { return open_; }
    bool failed() const { return open_ && !out_; }
    /// The run leaves work undone even when it succeeds (notes it could not fetch): the
    /// journal then stays for a -resume.
    void keep() { kept_ = true; }
    bool kept() const { return kept_; }
    /// Closes the journal; `removed` removes its file too.
    void close(bool removed);
    const std::string& file() const { return file_; }

private:
    std::string file_;
    std::ofstream out_;
    bool open_ = false;
    bool resuming_ = false;
    bool kept_ = false;
    std::vector<JournalEntry> earlier_;
};

/// The FNV-1a hash of a file's bytes in hexadecimal, or "missing" when it cannot be read.
std::string file_digest(const std::string& file);
