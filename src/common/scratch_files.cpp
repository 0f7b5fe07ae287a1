// Creation, registration and removal of scratch files.
#include "scratch_files.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

void report_unwritable_scratch(Console& console, const std::string& name) {
    console.print("\n\nERROR:  cannot write %s in the current folder\n\n", name.c_str());
}

bool ScratchFiles::prepare(Console& console, const std::string& name) {
    std::ofstream file(name, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!file) {
        // Whatever holds the name is not ours to remove.
        report_unwritable_scratch(console, name);
        return false;
    }
    add(name);
    return true;
}

void ScratchFiles::add(const std::string& name) {
    if (std::find(names_.begin(), names_.end(), name) == names_.end()) names_.push_back(name);
}

void ScratchFiles::remove(const std::string& name) {
    std::remove(name.c_str());
    keep(name);
}

void ScratchFiles::keep(const std::string& name) {
    names_.erase(std::remove(names_.begin(), names_.end(), name), names_.end());
}

void ScratchFiles::remove_all() {
    for (const std::string& name : names_) std::remove(name.c_str());
    names_.clear();
}
