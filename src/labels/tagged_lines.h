// Reading the saved labels and directories files: whole lines, and the value of a tagged line.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tagsmith {

/// Reads a text file line by line, whatever the length of a line. A line ends at a line
/// feed; a carriage return right before it belongs to the line end (files written on
/// Windows read like files written elsewhere). A last line without a line end counts.
class LineReader {
public:
    /// Reads from `file`, which stays owned by the caller.
    explicit LineReader(std::FILE* file);

    /// The next line without its line end; false at the end of the file or on a read
    /// error (then `failed()` is true).
    bool next(std::string& line);

    bool failed() const { return failed_; }
    /// Number of the line last returned by `next`, counted from 1.
    long long line_number() const { return lineNumber_; }

private:
    bool fill();

    std::FILE* file_;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool atEnd_ = false;
    bool failed_ = false;
    long long lineNumber_ = 0;
};

/// Follows the "NAME_BEGIN" and "NAME_END" lines of a saved file. The element writer
/// closes every block it opens, so a file that ends inside one was cut short.
class BlockTracker {
public:
    void see(std::string_view line);
    /// The innermost block still open ("LBTYPE", "DIR"), or empty.
    std::string_view open_block() const { return open_.empty() ? std::string_view() : open_.back(); }

private:
    std::vector<std::string> open_;
};

/// The value of a line that begins with `tag` (compared exactly, letter case included).
/// Nothing when the line does not begin with `tag`; an empty value when the line carries
/// none. The value is read by its length prefix ("LbType 9:REL-a:b:c" gives "REL-a:b:c")
/// when the text before the first ":" is a decimal number no longer than the rest of the
/// line; otherwise it is the text after the first ":" up to the next ":" or the line end.
std::optional<std::string_view> tagged_value(std::string_view line, std::string_view tag);

}  // namespace tagsmith
