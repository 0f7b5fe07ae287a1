// The generated command file, written whole or not at all.
#pragma once

#include <cstdio>
#include <cstring>
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
/// A target that exists and is no regular file (a device such as the null device, a
/// pipe) cannot be replaced: it is written directly. A symbolic link stays a link; the
/// file it points to is replaced.
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
        if (text.size() > kBlockSize - used_) {
            flush();
            if (text.size() > kBlockSize) {
                write_through(text);
                return;
            }
        }
        std::memcpy(buffer_.get() + used_, text.data(), text.size());
        used_ += text.size();
    }

    /// Writes what is buffered, closes the file and puts it in the target's place.
    /// False when any write, the close or the rename failed; the temporary file is then
    /// removed and the target left as it was.
    bool commit();

    /// Closes and removes the temporary file (nothing happens when none is open).
    void discard();

    /// The name written to until `commit`: the temporary name, or the target itself
    /// when it is written directly.
    const std::string& temporary_name() const { return temporaryName_; }

private:
    static constexpr std::size_t kBlockSize = 1 << 20;

    void flush();
    void write_through(std::string_view text);
    void close_and_remove();

    std::string target_;
    std::string temporaryName_;
    bool direct_ = false;
    FileHandle file_;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
    bool writeFailed_ = false;
};

}  // namespace tagsmith
