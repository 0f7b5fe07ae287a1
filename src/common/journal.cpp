// Writing and reading the journal of a run.
#include "journal.h"

#include <charconv>
#include <cstdio>
#include <filesystem>

namespace {

/// Reads "<number><end>" at `at` (digits only); nothing when there is none.
std::optional<std::size_t> read_length(std::string_view text, std::size_t& at, char end) {
    std::size_t value = 0;
    const std::size_t start = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        if (value > (SIZE_MAX - 9) / 10) return std::nullopt;
        value = value * 10 + static_cast<std::size_t>(text[at++] - '0');
    }
    if (at == start || at >= text.size() || text[at] != end) return std::nullopt;
    ++at;
    return value;
}

template <typename Fields>
std::string encode_entry(std::string_view tag, const Fields& fields) {
    std::string payload;
    for (const auto& field : fields) {
        payload += std::to_string(field.size());
        payload += ':';
        payload += field;
    }
    std::string entry(tag);
    entry += ' ';
    entry += std::to_string(payload.size());
    entry += '\n';
    entry += payload;
    entry += '\n';
    return entry;
}

}  // namespace

std::string encode_journal_entry(std::string_view tag, std::initializer_list<std::string_view> fields) {
    return encode_entry(tag, fields);
}

std::optional<JournalContents> Journal::read(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    JournalContents contents;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t blank = text.find(' ', at);
        if (blank == std::string::npos) break;
        JournalEntry entry;
        entry.tag = text.substr(at, blank - at);
        std::size_t next = blank + 1;
        const std::optional<std::size_t> length = read_length(text, next, '\n');
        if (!length || text.size() - next < *length + 1 || text[next + *length] != '\n') break;
        const std::string_view payload(text.data() + next, *length);
        bool whole = true;
        for (std::size_t field = 0; field < payload.size();) {
            const std::optional<std::size_t> size = read_length(payload, field, ':');
            if (!size || payload.size() - field < *size) {
                whole = false;
                break;
            }
            entry.fields.emplace_back(payload.substr(field, *size));
            field += *size;
        }
        if (!whole) break;
        contents.entries.push_back(std::move(entry));
        at = next + *length + 1;
        contents.length = at;
    }
    if (contents.entries.empty()) return std::nullopt;
    return contents;
}

bool Journal::create(const std::string& file, const JournalEntry& first, std::string& why) {
    file_ = file;
    out_.open(file, std::ios::binary | std::ios::trunc);
    open_ = static_cast<bool>(out_);
    if (!open_) {
        why = "it cannot be created";
        return false;
    }
    out_ << encode_entry(first.tag, first.fields);
    out_.flush();
    if (out_) return true;
    why = "it cannot be written";
    close(true);
    return false;
}

bool Journal::resume(const std::string& file, JournalContents earlier, std::string& why) {
    file_ = file;
    std::error_code ec;
    // An entry cut short would hide every entry written after it.
    std::filesystem::resize_file(file, earlier.length, ec);
    out_.open(file, std::ios::binary | std::ios::app);
    open_ = !ec && static_cast<bool>(out_);
    if (!open_) {
        why = "it cannot be written";
        return false;
    }
    earlier_ = std::move(earlier.entries);
    resuming_ = true;
    return true;
}

const JournalEntry* Journal::find(std::string_view tag) const {
    for (const JournalEntry& entry : earlier_)
        if (entry.tag == tag) return &entry;
    return nullptr;
}

std::map<std::size_t, const JournalEntry*> Journal::numbered(std::string_view tag, std::size_t fields) const {
    std::map<std::size_t, const JournalEntry*> entries;
    for (const JournalEntry& entry : earlier_) {
        std::size_t number = 0;
        if (entry.tag != tag || entry.fields.size() < fields) continue;
        const std::string& text = entry.fields[0];
        if (std::from_chars(text.data(), text.data() + text.size(), number).ec == std::errc()) entries[number] = &entry;
    }
    return entries;
}

void Journal::add(std::string_view tag, std::initializer_list<std::string_view> fields) {
    if (open_) out_ << encode_journal_entry(tag, fields);
}

void Journal::add(std::string_view tag, const std::vector<std::string>& fields) {
    if (open_) out_ << encode_entry(tag, fields);
}

void Journal::flush() {
    if (open_) out_.flush();
}

void Journal::close(bool removed) {
    if (!open_) return;
    out_.close();
    open_ = false;
    if (removed) std::remove(file_.c_str());
}

std::string file_digest(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return "missing";
    std::uint64_t hash = 14695981039346656037ull;
    char buffer[65536];
    while (in) {
        in.read(buffer, sizeof buffer);
        for (std::streamsize i = 0; i < in.gcount(); ++i) {
            hash ^= static_cast<unsigned char>(buffer[i]);
            hash *= 1099511628211ull;
        }
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}
