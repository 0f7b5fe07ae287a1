// Output files that appear whole or not at all.
#pragma once

#include <fstream>
#include <string>

/// An output file written under a temporary name beside its target and renamed over
/// the target by commit(). Until then an earlier file of the target's name stays as it
/// was; a file that is never committed leaves nothing behind. A target that exists and
/// is no regular file (a device such as the null device, a pipe) cannot be replaced and
/// is written directly; a symbolic link stays a link and the file it names is replaced.
class OutputFile {
public:
    explicit OutputFile(std::string target) : target_(std::move(target)) {}
    ~OutputFile() { discard(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    /// Creates the temporary file: a text stream by default, so lines end in CR LF on
    /// Windows. false when it cannot be created.
    bool open(std::ios::openmode mode = std::ios::out);
    std::ofstream& stream() { return out_; }
    /// Closes the file and puts it in the target's place. false when a write, the close
    /// or the rename failed; the temporary file is then removed and the target kept.
    bool commit();
    /// Closes and removes the temporary file.
    void discard();

    const std::string& target() const { return target_; }

private:
    std::string target_;
    std::string replaced_;   // the file that commit() replaces (a link's target)
    std::string temporary_;  // empty when nothing is open
    bool direct_ = false;
    std::ofstream out_;
};

/// Checks, before any server query, that the folder of `target` exists and takes new
/// files. false with the reason in `why` otherwise.
bool output_folder_usable(const std::string& target, std::string& why);

/// True when `a` and `b` name the same existing file, in whatever spelling (relative or
/// absolute path, links, letter case where the file system ignores it).
bool same_file(const std::string& a, const std::string& b);
