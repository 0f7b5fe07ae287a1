// The failed parts' list: the closing error and failedParts.raw.
#include "failed_parts.h"

#include <cstdio>
#include <ios>

#include "output_file.h"
#include "run_files.h"

void FailedParts::add(std::string name, std::string reason, std::vector<std::string> lines) {
    parts_.push_back({std::move(name), std::move(reason), std::move(lines)});
}

void FailedParts::keep_rows(Console& console, ScratchFiles& scratch) {
    if (parts_.empty()) {
        std::remove(kFailedPartsFile);
        return;
    }
    std::string rows;
    for (const Part& part : parts_)
        for (const std::string& line : part.lines) rows += line + "\n";
    std::string why;
    // A text file like the raw part file it comes from: CR LF line ends on Windows.
    rowsKept_ = write_whole_file(kFailedPartsFile, rows, why, &scratch, std::ios::out);
    if (!rowsKept_) console.print("\nWARNING: Could not write %s: %s\n", kFailedPartsFile, why.c_str());
}

void FailedParts::report(Console& console, int parts, const std::string& written) const {
    console.print("\n\nERROR:  %d of %d parts were not exported%s:\n", static_cast<int>(parts_.size()), parts,
                  written.c_str());
    for (const Part& part : parts_) console.print("    %s: %s\n", part.name.c_str(), part.reason.c_str());
    if (rowsKept_)
        console.print("\nTheir raw rows are in %s: -infile %s exports just them\n", kFailedPartsFile,
                      kFailedPartsFile);
    console.print("\n");
}
