// The parts a run could not export: named at its end with their reasons, their raw rows
// kept for a run of just them.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "console.h"
#include "scratch_files.h"

class FailedParts {
public:
    /// A part left out whole: its path, why, and its rows of the raw part file.
    void add(std::string name, std::string reason, std::vector<std::string> lines);
    bool empty() const { return parts_.empty(); }

    /// Writes their raw rows to kFailedPartsFile (a warning when it cannot), or removes
    /// that file when none failed, also when it is the "-infile" that just exported them all.
    void keep_rows(Console& console, ScratchFiles& scratch);

    /// The closing error: how many of `parts` failed and what became of the others
    /// (`written`), each failed part with its reason, and where their rows are.
    void report(Console& console, int parts, const std::string& written) const;

private:
    struct Part {
        std::string name;
        std::string reason;
        std::vector<std::string> lines;
    };
    std::vector<Part> parts_;
    bool rowsKept_ = false;  // their rows are in kFailedPartsFile
};
