// Line reading and tagged-value parsing for the saved labels and directories files.
#include "tagged_lines.h"

#include <charconv>
#include <cstring>

namespace tagsmith {

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;

// A length prefix as the element writer writes it: decimal digits only, nothing else.
std::optional<std::size_t> length_prefix(std::string_view text) {
    if (text.empty()) return std::nullopt;
    std::size_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

void BlockTracker::see(std::string_view line) {
    auto marker = [&](std::string_view suffix) {
        if (line.size() <= suffix.size() || !line.ends_with(suffix)) return std::string_view();
        std::string_view name = line.substr(0, line.size() - suffix.size());
        for (char c : name)
            if ((c < 'A' || c > 'Z') && c != '_') return std::string_view();
        return name;
    };
    if (std::string_view begun = marker("_BEGIN"); !begun.empty())
        open_.emplace_back(begun);
    else if (std::string_view ended = marker("_END"); !ended.empty() && open_block() == ended)
        open_.pop_back();
}

LineReader::LineReader(std::FILE* file) : file_(file), buffer_(kReadChunk) {}

bool LineReader::fill() {
    if (atEnd_) return false;
    // Keep the unread part at the front and make room after it.
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (buffer_.size() - end_ < kReadChunk) buffer_.resize(end_ + kReadChunk);
    std::size_t got = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_);
    end_ += got;
    if (got == 0) {
        atEnd_ = true;
        failed_ = std::ferror(file_) != 0;
        return false;
    }
    return true;
}

bool LineReader::next(std::string& line) {
    std::size_t searched = begin_;
    for (;;) {
        const char* start = buffer_.data() + searched;
        const void* feed = std::memchr(start, '\n', end_ - searched);
        if (feed) {
            std::size_t stop = static_cast<std::size_t>(static_cast<const char*>(feed) - buffer_.data());
            std::size_t length = stop - begin_;
            if (length > 0 && buffer_[stop - 1] == '\r') --length;
            line.assign(buffer_.data() + begin_, length);
            begin_ = stop + 1;
            ++lineNumber_;
            return true;
        }
        std::size_t unread = end_ - begin_;
        if (!fill()) {
            if (failed_ || unread == 0) return false;
            line.assign(buffer_.data() + begin_, unread);
            begin_ = end_;
            ++lineNumber_;
            return true;
        }
        searched = begin_ + unread;
    }
}

std::optional<std::string_view> tagged_value(std::string_view line, std::string_view tag) {
    if (line.substr(0, tag.size()) != tag) return std::nullopt;
    std::string_view rest = line.substr(tag.size());
    std::size_t colon = rest.find(':');
    if (colon == std::string_view::npos) return std::string_view();
    std::string_view body = rest.substr(colon + 1);
    if (auto length = length_prefix(rest.substr(0, colon)); length && *length <= body.size())
        return body.substr(0, *length);
    // Not the writer's length form (a file edited by hand, or cut short): the value ends
    // at the next ":".
    return body.substr(0, body.find(':'));
}

}  // namespace tagsmith
