// Writing and reading the journal of a run.
#include "journal.h"

#include <charconv>
#include <cstdio>
#include <filesystem>

namespace {

/// Reads "<number><end>" at `at` (digits only); nothing when there is none.
std::optional<std::uintmax_t> read_length(std::string_view text, std::size_t& at, char end) {
    std::uintmax_t value = 0;
    const auto [stop, error] = std::from_chars(text.data() + at, text.data() + text.size(), value);
    const std::size_t next = static_cast<std::size_t>(stop - text.data());
    if (error != std::errc() || next == at || next >= text.size() || text[next] != end) return std::nullopt;
    at = next + 1;
    return value;
}

/// The fields of a payload; none when it is not made of whole fields.
std::vector<std::string> split_payload(std::string_view payload) {
    std::vector<std::string> fields;
    for (std::size_t at = 0; at < payload.size();) {
        const std::optional<std::uintmax_t> size = read_length(payload, at, ':');
        if (!size || payload.size() - at < *size) return {};
        fields.emplace_back(payload.substr(at, *size));
        at += *size;
    }
    return fields;
}

std::uintmax_t field_length(std::uintmax_t size) { return std::to_string(size).size() + 1 + size; }

template <typename Fields>
std::string encode_fields(const Fields& fields) {
    std::string payload;
    for (const auto& field : fields) {
        payload += std::to_string(field.size());
        payload += ':';
        payload += field;
    }
    return payload;
}

}  // namespace

std::string encode_journal_entry(std::string_view tag, std::initializer_list<std::string_view> fields) {
    const std::string payload = encode_fields(fields);
    return std::string(tag) + ' ' + std::to_string(payload.size()) + '\n' + payload + '\n';
}

std::optional<JournalContents> Journal::read(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (!in || ec) return std::nullopt;
    JournalContents contents;
    std::string head;
    // Only the lines that begin the entries are read here: the entries stay in the file.
    while (std::getline(in, head)) {
        const std::size_t blank = head.find(' ');
        std::size_t at = blank + 1;
        head += '\n';
        const std::optional<std::uintmax_t> length =
            blank == std::string::npos ? std::nullopt : read_length(head, at, '\n');
        const std::uintmax_t begin = contents.length + head.size();
        if (!length || begin > size || *length >= size - begin) break;
        in.seekg(static_cast<std::streamoff>(begin + *length));
        if (in.get() != '\n') break;
        contents.entries.push_back({head.substr(0, blank), begin, *length});
        contents.length = begin + *length + 1;
    }
    if (contents.entries.empty()) return std::nullopt;
    in.clear();
    in.seekg(static_cast<std::streamoff>(contents.entries.front().at));
    std::string payload(static_cast<std::size_t>(contents.entries.front().length), '\0');
    in.read(payload.data(), static_cast<std::streamsize>(payload.size()));
    contents.first = split_payload(payload);
    return contents;
}

bool Journal::create(const std::string& file, std::string_view tag, const std::vector<std::string>& fields,
                     std::string& why) {
    file_ = file;
    out_.open(file, std::ios::binary | std::ios::trunc);
    open_ = static_cast<bool>(out_);
    if (!open_) {
        why = "it cannot be created";
        return false;
    }
    add(tag, fields);
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
    in_.open(file, std::ios::binary);
    open_ = !ec && out_ && in_;
    if (!open_) {
        why = "it cannot be written";
        return false;
    }
    earlier_ = std::move(earlier.entries);
    return true;
}

std::string Journal::read_at(std::uintmax_t at, std::uintmax_t length) const {
    std::string text(static_cast<std::size_t>(length), '\0');
    in_.clear();
    in_.seekg(static_cast<std::streamoff>(at));
    in_.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (static_cast<std::uintmax_t>(in_.gcount()) != length) text.clear();
    return text;
}

std::vector<std::string> Journal::fields(const JournalEntry& entry) const {
    return split_payload(read_at(entry.at, entry.length));
}

std::optional<std::vector<std::string>> Journal::find(std::string_view tag) const {
    for (const JournalEntry& entry : earlier_)
        if (entry.tag == tag) return fields(entry);
    return std::nullopt;
}

std::map<std::size_t, JournalEntry> Journal::numbered(std::string_view tag) const {
    std::map<std::size_t, JournalEntry> entries;
    for (const JournalEntry& entry : earlier_) {
        if (entry.tag != tag) continue;
        // Only the first field: "<length>:<number>" of a few digits.
        const std::string start = read_at(entry.at, std::min<std::uintmax_t>(entry.length, 24));
        std::size_t at = 0;
        const std::optional<std::uintmax_t> size = read_length(start, at, ':');
        std::size_t number = 0;
        if (size && start.size() - at >= *size &&
            std::from_chars(start.data() + at, start.data() + at + *size, number).ec == std::errc())
            entries[number] = entry;
    }
    return entries;
}

void Journal::begin_entry(std::string_view tag, std::uintmax_t length) { out_ << tag << ' ' << length << '\n'; }

void Journal::add(std::string_view tag, std::initializer_list<std::string_view> fields) {
    if (open_) out_ << encode_journal_entry(tag, fields);
}

void Journal::add(std::string_view tag, const std::vector<std::string>& fields) {
    if (!open_) return;
    const std::string payload = encode_fields(fields);
    begin_entry(tag, payload.size());
    out_ << payload << '\n';
}

void Journal::add(std::string_view tag, const std::vector<std::string>& fields, std::string_view last) {
    if (!open_) return;
    std::uintmax_t length = field_length(last.size());
    for (const std::string& field : fields) length += field_length(field.size());
    begin_entry(tag, length);
    out_ << encode_fields(fields) << last.size() << ':' << last << '\n';
}

void Journal::add_file(std::string_view tag, const std::string& file) {
    if (!open_) return;
    std::ifstream in(file, std::ios::binary);
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (!in || ec) return;
    begin_entry(tag, field_length(size));
    out_ << size << ':';
    std::uintmax_t copied = 0;
    char buffer[65536];
    while (in && copied < size) {
        in.read(buffer, static_cast<std::streamsize>(std::min<std::uintmax_t>(sizeof buffer, size - copied)));
        out_.write(buffer, in.gcount());
        copied += static_cast<std::uintmax_t>(in.gcount());
    }
    // A file that changed under the copy would leave an entry of another length: the
    // journal ends before it.
    if (copied != size) out_.setstate(std::ios::badbit);
    out_ << '\n';
}

void Journal::flush() {
    if (open_) out_.flush();
}

void Journal::close(bool removed) {
    if (!open_) return;
    out_.close();
    in_.close();
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
