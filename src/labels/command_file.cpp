// Temporary-name writing and the final rename of the command file.
#include "command_file.h"

#include <cstdio>
#include <exception>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tagsmith {

namespace fs = std::filesystem;

namespace {

// File names are taken as the C library takes them; a name that std::filesystem cannot
// convert (it may read narrow names as UTF-8 on Windows) throws, and the questions below
// then get the answers of an ordinary, missing file.
bool exists(const std::string& name) {
    try {
        std::error_code error;
        return fs::exists(fs::symlink_status(name, error));
    } catch (const std::exception&) {
        return false;
    }
}

// Where an existing target that is no regular file gets written directly.
bool is_special_file(const std::string& name) {
    try {
        std::error_code error;
        fs::file_status status = fs::status(name, error);
        return fs::exists(status) && !fs::is_regular_file(status);
    } catch (const std::exception&) {
        return false;
    }
}

// The file a symbolic link points to, so the link itself survives the rename.
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

/// Renames `from` to `to`, replacing an existing `to`; false on failure.
bool replace_file(const std::string& from, const std::string& to) {
#ifdef _WIN32
    // The C library's rename refuses an existing target on Windows.
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    // Replaces the target in one step: readers see the old file or the new one.
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

}  // namespace

bool CommandFile::open(const std::string& target) {
    discard();
    direct_ = is_special_file(target);
    std::string replaced = direct_ ? target : link_target(target);

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
    copy_permissions(target_, temporaryName_);
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
