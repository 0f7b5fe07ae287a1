// Temporary-name writing and the final rename of output files.
#include "output_file.h"

#include <cstdio>
#include <exception>
#include <filesystem>

#include "platform.h"

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

bool OutputFile::open(std::ios::openmode mode) {
    discard();
    const fs::file_status status = status_of(target_, true);
    direct_ = fs::exists(status) && !fs::is_regular_file(status);
    replaced_ = direct_ ? target_ : link_target(target_);
    std::string name = replaced_;
    if (!direct_) {
        // Beside the target, so the rename stays within one file system; a name that is
        // taken (a file of the user's) is never reused.
        name = replaced_ + ".partial";
        for (int attempt = 1; fs::exists(status_of(name, false)); ++attempt) {
            if (attempt > 1000) return false;
            name = replaced_ + ".partial" + std::to_string(attempt);
        }
    }
    out_.open(name, mode | std::ios::out | std::ios::trunc);
    if (!out_) return false;
    temporary_ = name;
    return true;
}

bool OutputFile::commit() {
    if (temporary_.empty()) return false;
    out_.close();
    const bool written = !out_.fail();
    if (direct_) {
        temporary_.clear();
        return written;
    }
    if (!written) {
        discard();
        return false;
    }
    copy_permissions(replaced_, temporary_);
    if (!platform::replace_file(temporary_, replaced_)) {
        discard();
        return false;
    }
    temporary_.clear();
    return true;
}

void OutputFile::discard() {
    if (out_.is_open()) out_.close();
    // A target written directly is no file of ours to remove.
    if (!direct_ && !temporary_.empty()) std::remove(temporary_.c_str());
    temporary_.clear();
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
