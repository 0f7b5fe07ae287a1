// Temporary-name writing and the final rename of the command file.
#include "command_file.h"

#include <cstdio>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tagsmith {

namespace fs = std::filesystem;

namespace {

bool exists(const std::string& name) {
    std::error_code error;
    return fs::exists(fs::symlink_status(name, error));
}

}  // namespace

bool replace_file(const std::string& from, const std::string& to) {
#ifdef _WIN32
    // The C library's rename refuses an existing target on Windows.
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    // Replaces the target in one step: readers see the old file or the new one.
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

bool CommandFile::open(const std::string& target) {
    discard();
    std::error_code error;
    fs::file_status status = fs::status(target, error);
    direct_ = fs::exists(status) && !fs::is_regular_file(status);
    std::string replaced = target;
    if (!direct_ && fs::is_symlink(fs::symlink_status(target, error))) {
        fs::path linked = fs::canonical(target, error);
        if (!error) replaced = linked.string();
    }

    std::string name = replaced;
    if (!direct_) {
        // Beside the target, so the final rename stays within one file system; a name
        // that is taken (a file of the user's, or one of the inputs) is never reused.
        name = replaced + ".partial";
        for (int attempt = 1; exists(name); ++attempt) {
            if (attempt > 1000) return false;
            name = replaced + ".partial" + std::to_string(attempt);
        }
    }
    file_.reset(std::fopen(name.c_str(), "wb"));
    if (!file_) return false;
    target_ = replaced;
    temporaryName_ = name;
    writeFailed_ = false;
    if (!buffer_) buffer_ = std::make_unique<char[]>(kBlockSize);
    used_ = 0;
    return true;
}

void CommandFile::flush() {
    if (used_ == 0) return;
    write_through(std::string_view(buffer_.get(), used_));
    used_ = 0;
}

void CommandFile::write_through(std::string_view text) {
    if (!file_ || writeFailed_) return;
    if (std::fwrite(text.data(), 1, text.size(), file_.get()) != text.size()) writeFailed_ = true;
}

bool CommandFile::commit() {
    if (!file_) return false;
    flush();
    bool closed = std::fclose(file_.release()) == 0;
    if (direct_) {
        temporaryName_.clear();
        return closed && !writeFailed_;
    }
    if (writeFailed_ || !closed) {
        close_and_remove();
        return false;
    }
    // A replaced file keeps its permissions.
    std::error_code error;
    fs::file_status old = fs::status(target_, error);
    if (fs::is_regular_file(old)) fs::permissions(temporaryName_, old.permissions(), error);
    if (!replace_file(temporaryName_, target_)) {
        close_and_remove();
        return false;
    }
    temporaryName_.clear();
    return true;
}

void CommandFile::discard() {
    if (!file_) return;
    close_and_remove();
}

void CommandFile::close_and_remove() {
    file_.reset();
    // A target written directly is no file of ours to remove.
    if (!direct_ && !temporaryName_.empty()) std::remove(temporaryName_.c_str());
    temporaryName_.clear();
    used_ = 0;
}

}  // namespace tagsmith
