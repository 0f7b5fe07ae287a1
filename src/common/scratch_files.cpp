// Creation, registration and removal of scratch files.
#include "scratch_files.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "run_lock.h"

void report_unwritable_scratch(Console& console, const std::string& name) {
    console.print("\n\nERROR:  cannot write %s in the current folder\n\n", name.c_str());
}

bool ScratchFiles::prepare(Console& console, const std::string& name) {
    const bool known = std::find(names_.begin(), names_.end(), name) != names_.end();
    if (!known) record_temporary(name);  // before it exists: a killed run leaves no unnamed file
    std::ofstream file(name, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!file) {
        // Whatever holds the name is not ours to remove.
        report_unwritable_scratch(console, name);
        return false;
    }
    if (!known) names_.push_back(name);
    return true;
}

void ScratchFiles::add(const std::string& name) {
    if (std::find(names_.begin(), names_.end(), name) != names_.end()) return;
    names_.push_back(name);
    record_temporary(name);
}

void ScratchFiles::record_temporary(const std::string& name) {
    if (lock_) lock_->record(name);
}

void ScratchFiles::temporary_kept(const std::string& name) {
    if (lock_) lock_->forget(name);
}

void ScratchFiles::remove(const std::string& name) {
    std::remove(name.c_str());
    // Gone now; its line in the lock file names nothing a later run could remove.
    names_.erase(std::remove(names_.begin(), names_.end(), name), names_.end());
}

void ScratchFiles::keep(const std::string& name) {
    const auto kept = std::remove(names_.begin(), names_.end(), name);
    if (kept == names_.end()) return;
    names_.erase(kept, names_.end());
    temporary_kept(name);
}

void ScratchFiles::remove_all() {
    for (const std::string& name : names_) std::remove(name.c_str());
    names_.clear();
}
