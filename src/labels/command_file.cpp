// Temporary-name writing and the final rename of the command file.
#include "command_file.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tagsmith {

namespace {

bool exists(const std::string& name) {
    FileHandle probe(std::fopen(name.c_str(), "rb"));
    return probe != nullptr;
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
    // Beside the target, so the final rename stays within one file system; a name that
    // is taken (a file of the user's, or one of the inputs) is never reused.
    std::string name = target + ".partial";
    for (int attempt = 1; exists(name); ++attempt) {
        if (attempt > 1000) return false;
        name = target + ".partial" + std::to_string(attempt);
    }
    file_.reset(std::fopen(name.c_str(), "wb"));
    if (!file_) return false;
    target_ = target;
    temporaryName_ = name;
    writeFailed_ = false;
    buffer_.clear();
    buffer_.reserve(kBlockSize + 4096);
    return true;
}

void CommandFile::flush() {
    if (!file_ || buffer_.empty()) return;
    if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_.get()) != buffer_.size()) writeFailed_ = true;
    buffer_.clear();
}

bool CommandFile::commit() {
    if (!file_) return false;
    flush();
    bool closed = std::fclose(file_.release()) == 0;
    if (writeFailed_ || !closed || !replace_file(temporaryName_, target_)) {
        std::remove(temporaryName_.c_str());
        temporaryName_.clear();
        return false;
    }
    temporaryName_.clear();
    return true;
}

void CommandFile::discard() {
    if (!file_) return;
    file_.reset();
    std::remove(temporaryName_.c_str());
    temporaryName_.clear();
    buffer_.clear();
}

}  // namespace tagsmith
