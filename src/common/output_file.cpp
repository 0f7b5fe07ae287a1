// Temporary-name writing and the final rename of output files.
#include "output_file.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <streambuf>
#include <vector>

#include "platform.h"
#include "scratch_files.h"

namespace fs = std::filesystem;

namespace {

// Names that std::filesystem cannot convert throw; they get the answers of a missing,
// ordinary file.
fs::file_status status_of(const std::string& name, bool followLinks) {
    try {
        std::error_code error;
        return followLinks ? fs::status(name, error) : fs::symlink_status(name, error);
    } catch (const std::exception&) {
        return fs::file_status(fs::file_type::not_found);
    }
}

std::string link_target(const std::string& name) {
    try {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(name, error))) return name;
        fs::path linked = fs::canonical(name, error);
        return error ? name : linked.string();
    } catch (const std::exception&) {
        return name;
    }
}

void copy_permissions(const std::string& from, const std::string& to) {
    try {
        std::error_code error;
        fs::file_status old = fs::status(from, error);
        if (fs::is_regular_file(old)) fs::permissions(to, old.permissions(), error);
    } catch (const std::exception&) {
    }
}

}  // namespace

/// The stream's buffer: writes go to the file through the system's calls in large
/// pieces, and the first failure's reason is kept.
class OutputFile::Buffer : public std::streambuf {
public:
    explicit Buffer(std::string& failure) : failure_(failure), data_(1 << 16) { reset(); }
    bool open(const std::string& path, bool text) { return file_.open(path, text, failure_); }
    bool is_open() const { return file_.is_open(); }
    /// Writes what is held and closes the file, synced to the disk.
    bool close_synced() {
        const bool written = flush_held();
        if (!written) {
            file_.close();
            return false;
        }
        return file_.close_synced(failure_);
    }
    void close() { file_.close(); }
    bool failed() const { return failed_; }

protected:
    int_type overflow(int_type c) override {
        if (!flush_held()) return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override { return flush_held() ? 0 : -1; }

private:
    void reset() { setp(data_.data(), data_.data() + data_.size()); }
    bool flush_held() {
        if (failed_) return false;
        const std::size_t size = static_cast<std::size_t>(pptr() - pbase());
        if (size > 0 && !file_.write(pbase(), size, failure_)) failed_ = true;
        reset();
        return !failed_;
    }

    std::string& failure_;
    std::vector<char> data_;
    platform::SyncedFile file_;
    bool failed_ = false;
};

OutputFile::OutputFile(std::string target, ScratchFiles* scratch)
    : target_(std::move(target)), scratch_(scratch), buffer_(std::make_unique<Buffer>(failure_)), out_(buffer_.get()) {}

OutputFile::~OutputFile() { discard(); }

bool OutputFile::open(std::ios::openmode mode) {
    discard();
    failure_.clear();
    buffer_ = std::make_unique<Buffer>(failure_);
    out_.rdbuf(buffer_.get());
    out_.clear();
    const fs::file_status status = status_of(target_, true);
    direct_ = fs::exists(status) && !fs::is_regular_file(status);
    replaced_ = direct_ ? target_ : link_target(target_);
    std::string name = replaced_;
    if (!direct_) {
        // Beside the target, so the rename stays within one file system; a name that is
        // taken (a file of the user's) is never reused.
        name = replaced_ + ".partial";
        for (int attempt = 1; fs::exists(status_of(name, false)); ++attempt) {
            if (attempt > 1000) {
                failure_ = "no free temporary name beside it";
                return false;
            }
            name = replaced_ + ".partial" + std::to_string(attempt);
        }
        if (scratch_) scratch_->record_temporary(name);
    }
    if (!buffer_->open(name, !(mode & std::ios::binary))) return false;
    temporary_ = name;
    return true;
}

bool OutputFile::commit() {
    if (temporary_.empty()) return false;
    out_.flush();
    const bool written = buffer_->close_synced();
    if (direct_) {
        temporary_.clear();
        return written;
    }
    if (!written) {
        discard();
        return false;
    }
    copy_permissions(replaced_, temporary_);
    std::string why;
    if (!platform::replace_file(temporary_, replaced_, &why)) {
        failure_ = why;
        discard();
        return false;
    }
    if (scratch_) scratch_->temporary_kept(temporary_);
    temporary_.clear();
    // The rename itself must reach the disk, or a crash could bring back the old file.
    if (!platform::sync_folder_of(replaced_, why)) {
        failure_ = why;
        return false;
    }
    return true;
}

void OutputFile::discard() {
    if (buffer_) buffer_->close();
    // A target written directly is no file of ours to remove.
    if (!direct_ && !temporary_.empty()) std::remove(temporary_.c_str());
    temporary_.clear();
}

bool write_whole_file(const std::string& target, const std::string& content, std::string& why,
                      ScratchFiles* scratch, std::ios::openmode mode) {
    OutputFile out(target, scratch);
    if (!out.open(mode)) {
        why = out.failure();
        return false;
    }
    out.stream() << content;
    if (out.commit()) return true;
    why = out.failure();
    return false;
}

bool output_folder_usable(const std::string& target, std::string& why) {
    fs::path folder;
    try {
        folder = fs::path(target).parent_path();
    } catch (const std::exception&) {
        why = "its name cannot be used as a path";
        return false;
    }
    if (folder.empty()) folder = ".";
    const fs::file_status status = status_of(folder.string(), true);
    if (!fs::exists(status)) {
        why = "its folder " + folder.string() + " does not exist";
        return false;
    }
    if (!fs::is_directory(status)) {
        why = folder.string() + " is not a folder";
        return false;
    }
    // Only a file that is really created tells whether the folder takes new files.
    const fs::path probe = folder / ("ferrox" + std::to_string(platform::current_process_id()) + ".probe");
    if (!platform::create_exclusive(probe.string(), "")) {
        why = "its folder " + folder.string() + " does not take new files";
        return false;
    }
    std::remove(probe.string().c_str());
    return true;
}

bool same_file(const std::string& a, const std::string& b) {
    try {
        std::error_code error;
        return fs::equivalent(a, b, error) && !error;
    } catch (const std::exception&) {
        return false;
    }
}
