// The generated command file, written whole or not at all.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace tagsmith {

/// Closes a C stream when it goes out of scope.
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

/// The platform's line end, used for every line tagsmith writes into the command file.
#ifdef _WIN32
inline constexpr std::string_view kLineEnd = "\r\n";
#else
inline constexpr std::string_view kLineEnd = "\n";
#endif

/// Output written under a temporary name beside the target and renamed over the target
/// by `commit`. Until then the target keeps its old contents; a file that is dropped
/// (destroyed without `commit`, or `discard`) leaves nothing behind.
class CommandFile {
public:
    CommandFile() = default;
    ~CommandFile() { discard(); }
    CommandFile(const CommandFile&) = delete;
    CommandFile& operator=(const CommandFile&) = delete;

    /// Creates the temporary file for `target`; false when it cannot be created.
    bool open(const std::string& target);

    /// Appends `text`; the data goes to the disk in large blocks.
    void write(std::string_view text) {
        buffer_.append(text);
        if (buffer_.size() >= kBlockSize) flush();
    }

    /// Writes what is buffered, closes the file and puts it in the target's place.
    /// False when any write, the close or the rename failed; the temporary file is then
    /// removed and the target left as it was.
    bool commit();

    /// Closes and removes the temporary file (nothing happens when none is open).
    void discard();

    const std::string& temporary_name() const { return temporaryName_; }

private:
    static constexpr std::size_t kBlockSize = 1 << 20;

    void flush();

    std::string target_;
    std::string temporaryName_;
    FileHandle file_;
    std::string buffer_;
    bool writeFailed_ = false;
};

/// Renames `from` to `to`, replacing an existing `to`; false on failure.
bool replace_file(const std::string& from, const std::string& to);

}  // namespace tagsmith
