// The lock file of the current folder: created exclusively, removed at the end.
#include "run_lock.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform.h"
#include "scratch_files.h"

namespace {

struct Holder {
    long pid = 0;
    std::string host;
};

bool read_holder(Holder& holder) {
    std::ifstream in(kRunLockFile, std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line)) return false;
    std::istringstream words(line);
    return static_cast<bool>(words >> holder.pid >> holder.host);
}

}  // namespace

bool RunLock::acquire(Console& console, const std::string& hostName) {
    const std::string host = hostName.empty() ? "-" : hostName;
    const std::string content = std::to_string(platform::current_process_id()) + " " + host + "\n";
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (platform::create_exclusive(kRunLockFile, content)) {
            held_ = true;
            return true;
        }
        if (!std::ifstream(kRunLockFile)) {
            if (attempt == 0) continue;  // it may have been removed meanwhile
            break;
        }
        Holder holder;
        // A run that died without cleaning up left its lock behind; only a process on
        // this host can be looked at.
        if (read_holder(holder) && holder.host == host && !platform::process_alive(holder.pid)) {
            std::remove(kRunLockFile);
            continue;
        }
        const std::string who = holder.pid > 0 ? " (process " + std::to_string(holder.pid) + " on " + holder.host + ")"
                                               : std::string();
        console.print(
            "\n\nERROR:  Another ferrox run%s is working in this folder: lock file %s\n"
            "Two runs must not share a folder, as their scratch files have the same names.\n"
            "Remove %s only when no run is using this folder.\n\n",
            who.c_str(), kRunLockFile, kRunLockFile);
        return false;
    }
    report_unwritable_scratch(console, kRunLockFile);
    return false;
}

void RunLock::release() {
    if (held_) std::remove(kRunLockFile);
    held_ = false;
}
