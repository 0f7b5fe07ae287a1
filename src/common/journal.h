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

#include "run_files.h"


/// An entry of a journal file: its tag, and where its fields lie in the file.
struct JournalEntry {
    std::string tag;
    std::uintmax_t at = 0;      // the first byte of its fields
    std::uintmax_t length = 0;  // the bytes of its fields
};

/// The complete entries of a journal file, the fields of the first, and the bytes the
/// entries take from the file's start.
struct JournalContents {
    std::vector<JournalEntry> entries;
    std::vector<std::string> first;
    std::uintmax_t length = 0;
};

/// An entry in the file: "<tag> <payload length>\n<payload>\n", the payload made of each
/// field as "<length>:<bytes>", so that any bytes can stand in a field. A last entry cut
/// short (a run killed while writing it) is not read.
std::string encode_journal_entry(std::string_view tag, std::initializer_list<std::string_view> fields);

/// The journal a run writes and, when it resumes, the one an earlier run left, whose
/// entries are read one at a time when asked for (a journal holds a whole export). Writes
/// are buffered and reach the file with flush(): what a killed run had not flushed is
/// fetched again. A journal that cannot be written only costs the resume its help:
/// failed() tells, the run goes on and says so at its end.
class Journal {
public:
    /// The complete entries of `file`, or nothing when it is missing or no journal.
    static std::optional<JournalContents> read(const std::string& file);

    /// Starts `file` afresh (replacing any) with the entry `tag` `fields`; false with the
    /// reason (and no file).
    bool create(const std::string& file, std::string_view tag, const std::vector<std::string>& fields,
                std::string& why);
    /// Goes on with the journal `earlier` read from `file`: its entries are kept (a cut
    /// last entry is dropped) and new ones follow them; false with the reason.
    bool resume(const std::string& file, JournalContents earlier, std::string& why);

    /// The fields of the earlier run's first entry with `tag`, or nothing.
    std::optional<std::vector<std::string>> find(std::string_view tag) const;
    /// The earlier run's entries with `tag` by the number their first field holds (the
    /// place of a part or record among all).
    std::map<std::size_t, JournalEntry> numbered(std::string_view tag) const;
    /// The fields of an entry of the earlier run (none when they cannot be read).
    std::vector<std::string> fields(const JournalEntry& entry) const;

    void add(std::string_view tag, std::initializer_list<std::string_view> fields);
    void add(std::string_view tag, const std::vector<std::string>& fields);
    /// An entry of `fields` and then `last`, written as it is, without a copy.
    void add(std::string_view tag, const std::vector<std::string>& fields, std::string_view last);
    /// An entry whose one field is the whole of `file`, copied as it is read.
    void add_file(std::string_view tag, const std::string& file);
    void flush();
    bool is_open() const { return open_; }
    bool failed() const { return open_ && !out_; }
    /// The run leaves work undone even when it succeeds (notes it could not fetch): the
    /// journal then stays for a -resume.
    void keep() { kept_ = true; }
    bool kept() const { return kept_; }
    /// Closes the journal; `removed` removes its file too.
    void close(bool removed);

private:
    void begin_entry(std::string_view tag, std::uintmax_t length);
    std::string read_at(std::uintmax_t at, std::uintmax_t length) const;

    std::string file_;
    std::ofstream out_;
    mutable std::ifstream in_;  // the earlier run's entries
    bool open_ = false;
    bool kept_ = false;
    std::vector<JournalEntry> earlier_;
};

/// The FNV-1a hash of a file's bytes in hexadecimal, or "missing" when it cannot be read.
std::string file_digest(const std::string& file);
