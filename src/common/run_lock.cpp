// The lock file of the current folder: an operating-system lock, the record of the run's
// files, and the clean-up after a run that was killed.
#include "run_lock.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "scratch_files.h"

std::string encode_recorded_name(const std::string& name) {
    std::string line;
    for (char c : name) {
        if (c == '%')
            line += "%25";
        else if (c == '\n')
            line += "%0A";
        else if (c == '\r')
            line += "%0D";
        else
            line += c;
    }
    return line;
}

std::string decode_recorded_name(const std::string& line) {
    std::string name;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const std::string code = line.substr(i, 3);
        if (code == "%25" || code == "%0A" || code == "%0D") {
            name += code == "%25" ? '%' : code == "%0A" ? '\n' : '\r';
            i += 2;
        } else {
            name += line[i];
        }
    }
    return name;
}

namespace {

/// Removes the files a killed run recorded, those that are still there; their names.
std::vector<std::string> remove_leftovers(const std::vector<std::string>& lines) {
    std::vector<std::string> removed;
    for (const std::string& line : lines) {
        const std::string name = decode_recorded_name(line);
        std::error_code error;
        // Only regular files: a folder or device that took a recorded name is not ours.
        if (name.empty() || !std::filesystem::is_regular_file(std::filesystem::symlink_status(name, error))) continue;
        if (std::filesystem::remove(name, error) &&
            std::find(removed.begin(), removed.end(), name) == removed.end())
            removed.push_back(name);
    }
    return removed;
}

/// " (process PID on HOST)" from the first line of a lock file, or nothing.
std::string holder_text(const std::string& content) {
    std::istringstream lines(content);
    std::string line;
    std::getline(lines, line);
    std::istringstream words(line);
    std::string pid, host;
    if (!(words >> pid >> host)) return {};
    return " (process " + pid + " on " + host + ")";
}

}  // namespace

bool RunLock::acquire(Console& console, const std::string& hostName) {
    std::string content;
    std::string why;
    switch (lock_.acquire(kRunLockFile, content, why)) {
        case platform::FileLock::Outcome::Held: break;
        case platform::FileLock::Outcome::Busy: {
            // Read apart from the lock, which the holder keeps.
            std::ifstream in(kRunLockFile, std::ios::binary);
            std::ostringstream held;
            held << in.rdbuf();
            console.print(
                "\n\nERROR:  Another ferrox run%s is working in this folder: lock file %s\n"
                "Two runs must not share a folder, as their scratch files have the same names.\n\n",
                holder_text(held.str()).c_str(), kRunLockFile);
            return false;
        }
        case platform::FileLock::Outcome::Failed:
            report_unwritable_scratch(console, kRunLockFile);
            console.print("%s\n\n", why.c_str());
            return false;
    }
    held_ = true;
    holder_ = std::to_string(platform::current_process_id()) + " " + (hostName.empty() ? "-" : hostName);
    if (!content.empty()) {
        // The lock was free but its file was still there: the run that held it ended
        // without its clean-up (it was killed, or its machine stopped).
        std::istringstream lines(content);
        std::string holder;
        std::getline(lines, holder);
        std::vector<std::string> recorded;
        for (std::string line; std::getline(lines, line);) recorded.push_back(line);
        const std::vector<std::string> removed = remove_leftovers(recorded);
        std::string list;
        for (const std::string& name : removed) list += (list.empty() ? "" : ", ") + name;
        console.print("\nWARNING:  A ferrox run%s ended in this folder without cleaning up: its lock is taken "
                      "over%s%s\n",
                      holder_text(content).c_str(),
                      removed.empty() ? "" : " and the files it left are removed: ", list.c_str());
    }
    lock_.rewrite(holder_ + "\n");
    return true;
}

void RunLock::record(const std::string& name) {
    if (!held_) return;
    names_.push_back(name);
    lock_.append(encode_recorded_name(name) + "\n");
}

void RunLock::forget(const std::string& name) {
    if (!held_ || std::find(names_.begin(), names_.end(), name) == names_.end()) return;
    std::erase(names_, name);
    std::string content = holder_ + "\n";
    for (const std::string& kept : names_) content += encode_recorded_name(kept) + "\n";
    lock_.rewrite(content);
}

void RunLock::release() {
    if (held_) lock_.release();
    held_ = false;
    names_.clear();
}
