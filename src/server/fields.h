// Field splitting and quote doubling shared by every reader of raw report files.
#pragma once

#include <cstddef>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

/// Takes one "|"-separated field off the front of `line`: skips leading blanks
/// (character 32 only), copies up to the first "|", line feed or end of text into
/// `field`. Returns the copied characters plus the skipped blanks; the caller steps
/// over that many characters plus one (the separator) to reach the next field.
/// Trailing blanks stay in the field.
std::size_t read_field(std::string_view line, std::string& field);

/// Every field of a raw line, split by repeated read_field. A field past the end of
/// the line does not appear; callers treat a missing position as empty.
std::vector<std::string> split_fields(std::string_view line);

/// The field at `pos` of `fields`, or an empty text when the line ended before it.
const std::string& field_at(const std::vector<std::string>& fields, std::size_t pos);

/// `text` with every double quote doubled (RFC 4180 quoting inside a quoted value).
std::string double_quotes(std::string_view text);

/// Reads one whole line, however long, without its line end: "\r\n" and "\n" both
/// end a line (a CR that ends the text is dropped too). Returns false only when nothing
/// at all was left to read, so a last line without a line end is still returned.
/// `hadLineEnd` tells whether it had one.
bool read_line(std::istream& in, std::string& line, bool* hadLineEnd = nullptr);
