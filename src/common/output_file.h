// Output files that appear whole or not at all.
#pragma once

#include <memory>
#include <ostream>
#include <string>

class ScratchFiles;

/// An output file written under a temporary name beside its target and renamed over
/// the target by commit(), once it has reached the disk. Until then an earlier file of
/// the target's name stays as it was; a file that is never committed leaves nothing
/// behind. A target that exists and is no regular file (a device such as the null
/// device, a pipe) cannot be replaced and is written directly; a symbolic link stays a
/// link and the file it names is replaced. With `scratch`, the temporary name is recorded
/// in the folder's lock before the file is made, so that a killed run's is removed later.
class OutputFile {
public:
    explicit OutputFile(std::string target, ScratchFiles* scratch = nullptr);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    /// Creates the temporary file: a text stream by default, so lines end in CR LF on
    /// Windows (std::ios::binary writes bytes as given). false when it cannot be created
    /// (the reason in failure()).
    bool open(std::ios::openmode mode = std::ios::out);
    std::ostream& stream() { return out_; }
    /// Puts the file in the target's place: flushed to the disk, renamed, the rename
    /// made durable. false when a write, the flush, the close or the rename failed (the
    /// reason in failure()); the temporary file is then removed and the target kept.
    bool commit();
    /// Closes and removes the temporary file.
    void discard();

    const std::string& target() const { return target_; }
    /// The system's reason for the last failure, such as "No space left on device".
    const std::string& failure() const { return failure_; }

private:
    class Buffer;
    std::string target_;
    ScratchFiles* scratch_;
    std::string replaced_;   // the file that commit() replaces (a link's target)
    std::string temporary_;  // empty when nothing is open
    bool direct_ = false;
    std::string failure_;
    std::unique_ptr<Buffer> buffer_;
    std::ostream out_;
};

/// Writes `content` to `target` as an OutputFile does (whole or not at all), byte for byte
/// unless `mode` says a text stream; false with the reason in `why`.
bool write_whole_file(const std::string& target, const std::string& content, std::string& why,
                      ScratchFiles* scratch = nullptr, std::ios::openmode mode = std::ios::out | std::ios::binary);

/// Checks, before any server query, that the folder of `target` exists and takes new
/// files. false with the reason in `why` otherwise.
bool output_folder_usable(const std::string& target, std::string& why);

/// True when `a` and `b` name the same existing file, in whatever spelling (relative or
/// absolute path, links, letter case where the file system ignores it).
bool same_file(const std::string& a, const std::string& b);
