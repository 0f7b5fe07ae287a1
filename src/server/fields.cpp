// Field splitting, quote doubling and line reading for raw report files.
#include "fields.h"

std::size_t read_field(std::string_view line, std::string& field) {
    std::size_t skipped = 0;
    while (skipped < line.size() && line[skipped] == ' ') ++skipped;
    std::size_t end = skipped;
    while (end < line.size() && line[end] != '|' && line[end] != '\n') ++end;
    field.assign(line.substr(skipped, end - skipped));
    return end;
}

std::vector<std::string> split_fields(std::string_view line) {
    std::vector<std::string> fields;
    std::size_t pos = 0;
    std::string field;
    while (true) {
        std::string_view rest = line.substr(pos);
        std::size_t step = read_field(rest, field);
        fields.push_back(field);
        // Only a separator leads to another field; a line feed or the end stops.
        if (step >= rest.size() || rest[step] != '|') break;
        pos += step + 1;
    }
    return fields;
}

const std::string& field_at(const std::vector<std::string>& fields, std::size_t pos) {
    static const std::string empty;
    return pos < fields.size() ? fields[pos] : empty;
}

std::string double_quotes(std::string_view text) {
    std::string doubled;
    doubled.reserve(text.size() + 8);
    for (char c : text) {
        if (c == '"') doubled += '"';
        doubled += c;
    }
    return doubled;
}

bool read_line(std::istream& in, std::string& line, bool* hadLineEnd) {
    line.clear();
    if (hadLineEnd) *hadLineEnd = false;
    // getline fails only when nothing was left: an unended last line still comes whole.
    if (!std::getline(in, line)) return false;
    bool ended = !in.eof();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (hadLineEnd) *hadLineEnd = ended;
    return true;
}
